// "Image Size Limit Reached": whether an image too wide for one file keeps the view's sample
// spacing (only the samples in view) or squeezes every sample in; Cancel writes nothing.
#pragma once

#include "pirq.h"

class QRadioButton;

class VOKR_IMAGE_EXPORT_OPTION : public PIRQ_DIALOG {
    Q_OBJECT
public:
    explicit VOKR_IMAGE_EXPORT_OPTION(QWidget* parent);
    bool is_fit_all() const { return m_fit_all; }
    QRadioButton* truncate_button() const { return m_truncate; }
    QRadioButton* fit_all_button() const { return m_fit; }

public slots:
    void on_truncate_button(bool);
    void on_fitall_button(bool);

private:
    bool m_fit_all = false;
    QRadioButton* m_truncate;
    QRadioButton* m_fit;
};

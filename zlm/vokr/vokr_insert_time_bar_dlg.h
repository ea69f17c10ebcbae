// "Insert Time Bar": asks for the sample of a new time bar, relative to the trigger sample, while
// the view shows sample numbers. The time row is shown disabled; the make-master choice is the
// opener's and cannot be changed.
#pragma once

#include "pirq.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class VOKR_INSERT_TIME_BAR_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    VOKR_INSERT_TIME_BAR_DLG(QWidget* parent, int minimum, int maximum, bool make_master);

    // The accepted sample, relative to the trigger sample.
    int get_sample() const;
    bool is_make_master() const;
    QLineEdit* get_sample_edit() const { return m_sample_edit; }

public slots:
    // Closes only on a whole number within the bounds; otherwise shows the bounds and stays open.
    void accept() override;

private:
    int m_minimum;
    int m_maximum;
    QLineEdit* m_time_edit;
    QComboBox* m_unit_combo;
    QLineEdit* m_sample_edit;
    QCheckBox* m_make_master;
};

// The suite's node finder: a dialog that lists the design's node names and hands out the
// chosen ones.
#pragma once

#include "pirq.h"

#include <QDialog>

class TEVQ_DIALOG : public QDialog {
    Q_OBJECT
public:
    TEVQ_DIALOG(QWidget* parent, bool modeless);
    void set_filter_title(const QString& title);
    QString get_filter_title() const { return m_filter_title; }
    void clear_selection();
    // Hands the names out as the user's choice.
    void choose(const PIRQ_INSTANCE_NAME_LIST& names);

signals:
    void on_selected_list(const PIRQ_INSTANCE_NAME_LIST& names);

private:
    QString m_filter_title;
};

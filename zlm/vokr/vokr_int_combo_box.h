// A combo box of the integers from first to last that reports the chosen count.
#pragma once

#include <QComboBox>

class VOKR_INT_COMBO_BOX : public QComboBox {
    Q_OBJECT
public:
    VOKR_INT_COMBO_BOX(int first, int last);
signals:
    void current_count_changed(int count);
public slots:
    // A text that is no number counts as 0 (an emptied box gives 0).
    void on_current_index_changed(const QString& text);
    // Selects the item of that count; without one the selection stays.
    void set_current_count(int count);
};

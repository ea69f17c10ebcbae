// A combo box of two choices, the false text and the true text, that reports the choice as a bool.
#pragma once

#include <QComboBox>

class VOKR_BOOL_COMBO_BOX : public QComboBox {
    Q_OBJECT
public:
    // The texts are Latin-1; a null text gives an empty item.
    VOKR_BOOL_COMBO_BOX(const char* false_text, const char* true_text);
signals:
    void current_index_changed(bool is_true);
public slots:
    void on_current_index_changed(int index);
    void set_current_index(bool is_true);
};

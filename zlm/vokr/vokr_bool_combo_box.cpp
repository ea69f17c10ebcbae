#include "vokr_bool_combo_box.h"

VOKR_BOOL_COMBO_BOX::VOKR_BOOL_COMBO_BOX(const char* false_text, const char* true_text)
{
    addItem(QString::fromLatin1(false_text));
    addItem(QString::fromLatin1(true_text));
    setCurrentIndex(0);
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VOKR_BOOL_COMBO_BOX::on_current_index_changed);
}

void VOKR_BOOL_COMBO_BOX::on_current_index_changed(int index) { emit current_index_changed(index == 1); }

void VOKR_BOOL_COMBO_BOX::set_current_index(bool is_true) { setCurrentIndex(is_true ? 1 : 0); }

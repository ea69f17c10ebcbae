#include "vokr_storage_combo_box.h"

VOKR_STORAGE_COMBO_BOX::VOKR_STORAGE_COMBO_BOX()
{
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { current_index_changed(itemText(index)); });
}

void VOKR_STORAGE_COMBO_BOX::current_index_changed(const QString& text)
{
    emit input_port_selected(text == QLatin1String("Input port"));
    emit storage_qualifier_selected(text != QLatin1String("Continuous"));
}

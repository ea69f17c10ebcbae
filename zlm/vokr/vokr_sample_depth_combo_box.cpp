#include "vokr_sample_depth_combo_box.h"

VOKR_SAMPLE_DEPTH_COMBO_BOX::VOKR_SAMPLE_DEPTH_COMBO_BOX()
{
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VOKR_SAMPLE_DEPTH_COMBO_BOX::current_index_changed);
}

void VOKR_SAMPLE_DEPTH_COMBO_BOX::current_index_changed(int index)
{
    emit sample_depth_selected(index > 0);
    if (index == 0)
        emit zero_sample_depth_selected(false);
}

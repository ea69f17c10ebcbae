#include "vokr_segment_combo_box.h"

#include "vokr_assert.h"

namespace {

QString in_k(int value) { return value >= 1024 ? QString("%1 K").arg(value / 1024) : QString::number(value); }

}  // namespace

void VOKR_SEGMENT_COMBO_BOX::sample_depth_changed(int index)
{
    clear();
    if (index <= 0) {
        addItem("0 segments");
        setEnabled(false);
        return;
    }
    VOKR_ASSERT_TEXT(index <= MAX_DEPTH_INDEX, "index <= 12");
    const int depth = 32 << index;
    for (int n = 2; n <= depth; n *= 2)
        addItem(QString("%1  %2 sample segments").arg(in_k(n), in_k(depth / n)));
}

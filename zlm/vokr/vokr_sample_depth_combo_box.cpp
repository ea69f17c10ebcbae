#include "vokr_sample_depth_combo_box.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

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

// Without a chosen item the placeholder (a stored depth the list does not offer) is drawn as
// the box's text: this Qt draws no placeholder in a list that cannot be edited.
void VOKR_SAMPLE_DEPTH_COMBO_BOX::paintEvent(QPaintEvent* event)
{
    if (currentIndex() >= 0 || placeholderText().isEmpty())
        return QComboBox::paintEvent(event);
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = placeholderText();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

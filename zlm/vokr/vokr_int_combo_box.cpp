#include "vokr_int_combo_box.h"

VOKR_INT_COMBO_BOX::VOKR_INT_COMBO_BOX(int first, int last)
{
    for (int i = first; i <= last; ++i)
        addItem(QString::number(i));
    setCurrentIndex(count() > 0 ? 0 : -1);
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { on_current_index_changed(itemText(index)); });
}

void VOKR_INT_COMBO_BOX::on_current_index_changed(const QString& text)
{
    emit current_count_changed(text.toInt(nullptr, 10));
}

void VOKR_INT_COMBO_BOX::set_current_count(int count)
{
    const int index = findText(QString::number(count), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        setCurrentIndex(index);
}

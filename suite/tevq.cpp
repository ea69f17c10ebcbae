#include "tevq.h"

TEVQ_DIALOG::TEVQ_DIALOG(QWidget* parent, bool modeless) : QDialog(parent)
{
    setModal(!modeless);
    setWindowTitle("Node Finder");
}

void TEVQ_DIALOG::set_filter_title(const QString& title)
{
    m_filter_title = title;
}

void TEVQ_DIALOG::clear_selection() {}

void TEVQ_DIALOG::choose(const PIRQ_INSTANCE_NAME_LIST& names)
{
    emit on_selected_list(names);
}

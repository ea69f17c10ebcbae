#include "vokr_object_widget.h"

VOKR_OBJECT_WIDGET::VOKR_OBJECT_WIDGET(QWidget* parent, VOKR_TX_MANAGER* manager) : QWidget(parent), m_manager(manager)
{
}

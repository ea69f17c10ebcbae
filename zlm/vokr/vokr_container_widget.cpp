#include "vokr_container_widget.h"

#include <QVBoxLayout>

VOKR_CONTAINER_WIDGET::VOKR_CONTAINER_WIDGET(QWidget* widget, QWidget* parent) : QFrame(parent), m_widget(widget)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
}

// The shared widget leaves with the container unless another container holds it already.
VOKR_CONTAINER_WIDGET::~VOKR_CONTAINER_WIDGET()
{
    layout()->removeWidget(m_widget);
    if (m_widget->parentWidget() != this)
        return;
    m_widget->hide();
    m_widget->setParent(nullptr);
}

void VOKR_CONTAINER_WIDGET::showEvent(QShowEvent* event)
{
    layout()->addWidget(m_widget);
    m_widget->show();
    QFrame::showEvent(event);
}

void VOKR_CONTAINER_WIDGET::hideEvent(QHideEvent* event)
{
    layout()->removeWidget(m_widget);
    QFrame::hideEvent(event);
}

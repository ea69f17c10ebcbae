#include "vokr_view.h"

#include "vokr_tx_manager.h"

#include <QScrollBar>

VOKR_VIEW::VOKR_VIEW(QWidget* parent, VOKR_TX_MANAGER* manager) : QWidget(parent), m_tx_manager(manager)
{
    m_vertical_bar = new QScrollBar(Qt::Vertical, this);
    m_horizontal_bar = new QScrollBar(Qt::Horizontal, this);
    m_vertical_bar->hide();
    m_horizontal_bar->hide();
    load_column_widths();
    // Any announced change may move rows: the row geometry is measured again on the next query.
    connect(manager, &VOKR_TX_MANAGER::updated, this, [this] { invalidate_geometry(); });
}

// Nothing the view shows depends on the project's assignments yet.
void VOKR_VIEW::on_settings_changed() {}

void VOKR_VIEW::resizeEvent(QResizeEvent* event)
{
    if (event)
        QWidget::resizeEvent(event);
}

#include "vokr_view.h"

#include "vokr_tx_manager.h"

VOKR_VIEW::VOKR_VIEW(QWidget* parent, VOKR_TX_MANAGER* manager) : QWidget(parent), m_tx_manager(manager) {}

void VOKR_VIEW::save_position_data()
{
    // The grid's scroll and zoom positions are stored here once the grid exists.
}

// Nothing the view shows depends on the project's assignments yet.
void VOKR_VIEW::on_settings_changed() {}

void VOKR_VIEW::resizeEvent(QResizeEvent* event)
{
    if (event)
        QWidget::resizeEvent(event);
}

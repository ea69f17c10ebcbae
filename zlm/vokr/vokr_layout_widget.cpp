#include "vokr_layout_widget.h"

#include "vokr_assert.h"
#include "vokr_tx_manager.h"

#include <QAction>
#include <QTabWidget>

VOKR_LAYOUT_WIDGET::VOKR_LAYOUT_WIDGET(QWidget* parent, VOKR_TX_MANAGER* manager)
    : QWidget(parent), m_tx_manager(manager)
{
}

QTabWidget* VOKR_LAYOUT_WIDGET::get_data_setup_tab_widget(int instance_index) const
{
    if (m_data_setup_tab_widget_map.isEmpty())
        return nullptr;
    if (instance_index == -1)
        instance_index = m_current_instance_page;
    VOKR_ASSERT(this->m_data_setup_tab_widget_map.contains(instance_index));
    return m_data_setup_tab_widget_map.value(instance_index);
}

void VOKR_LAYOUT_WIDGET::set_data_setup_tab_widget(int instance_index, QTabWidget* tabs)
{
    m_data_setup_tab_widget_map[instance_index] = tabs;
}

void VOKR_LAYOUT_WIDGET::save_widget_state()
{
    VOKR_ASSERT(this->m_tx_manager->get_session() != NULL);
    m_tx_manager->set_size_state("frame size", size());
    const std::pair<const char*, PIRQ_ACTION_ENUM> panels[] = {{"instance widget visible", PIRQ_ACTION_INSTANCE_PANE},
                                                               {"config widget visible", PIRQ_ACTION_CONFIG_PANE},
                                                               {"hierarchy widget visible", PIRQ_ACTION_HIERARCHY_PANE},
                                                               {"data log widget visible", PIRQ_ACTION_DATA_LOG_PANE}};
    for (const auto& [key, action] : panels)
        m_tx_manager->set_visible_state(key, m_tx_manager->get_action(action, QVariant())->isChecked());
}

#include "vokr_layout_widget.h"

#include "vokr_assert.h"
#include "vokr_jtag_widget.h"
#include "vokr_object_widget.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QAction>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The panels whose visibility the session keeps, with the actions that show them.
const std::pair<const char*, PIRQ_ACTION_ENUM> PANELS[] = {{"instance widget visible", PIRQ_ACTION_INSTANCE_PANE},
                                                           {"config widget visible", PIRQ_ACTION_CONFIG_PANE},
                                                           {"hierarchy widget visible", PIRQ_ACTION_HIERARCHY_PANE},
                                                           {"data log widget visible", PIRQ_ACTION_DATA_LOG_PANE}};

}  // namespace

// The view fills the layout; the advanced trigger editor shows only on an advanced tab.
VOKR_LAYOUT_WIDGET::VOKR_LAYOUT_WIDGET(QWidget* parent, VOKR_TX_MANAGER* manager)
    : QWidget(parent), m_tx_manager(manager), m_frame(parent ? parent : this)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new VOKR_VIEW(this, manager);
    m_object_widget = new VOKR_OBJECT_WIDGET(this, manager);
    m_object_widget->setFocusPolicy(Qt::StrongFocus);
    m_object_widget->hide();
    layout->addWidget(m_view);
    connect(manager, &VOKR_TX_MANAGER::updated, m_view, &VOKR_VIEW::on_update, Qt::QueuedConnection);
    layout->addWidget(m_object_widget);
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
    m_tx_manager->set_size_state("frame size", frame()->size());
    for (const auto& [key, action] : PANELS)
        m_tx_manager->set_visible_state(key, m_tx_manager->get_action(action, QVariant())->isChecked());
}

void VOKR_LAYOUT_WIDGET::restore_widget_state()
{
    const QSize size = m_tx_manager->get_size_state("frame size", QSize(-1, -1));
    frame()->setMinimumSize(size.width() >= 0 && size.height() >= 0 ? size : QSize(0, 0));
    QTimer::singleShot(0, this, &VOKR_LAYOUT_WIDGET::on_resize_timer);
}

void VOKR_LAYOUT_WIDGET::on_resize_timer()
{
    frame()->setMinimumSize(0, 0);
    if (!m_tx_manager->get_session())
        return;
    for (const auto& [key, action] : PANELS)
        m_tx_manager->get_action(action, QVariant())->setChecked(m_tx_manager->get_visible_state(key, true));
}

void VOKR_LAYOUT_WIDGET::on_jtag_widget_resized(QSplitter* splitter)
{
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    if (!session || !splitter)
        return;
    const QList<int> sizes = splitter->sizes();
    session->set_global_data("jtag widget size", sizes.toVector().constData(), sizes.size());
}

QAction* VOKR_LAYOUT_WIDGET::get_jtag_action()
{
    if (!m_jtag_action) {
        m_jtag_action = new QAction("JTAG Chain Configuration", this);
        m_jtag_action->setCheckable(true);
        m_jtag_action->setChecked(true);
    }
    return m_jtag_action;
}

void VOKR_LAYOUT_WIDGET::set_jtag_widget(VOKR_JTAG_WIDGET* widget)
{
    QAction* action = get_jtag_action();
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    action->setChecked(!session || session->get_global_data("jtag widget visible") != 0);
    widget->setVisible(action->isChecked());
    connect(action, &QAction::toggled, widget, &QWidget::setVisible);
    connect(action, &QAction::toggled, widget, &VOKR_JTAG_WIDGET::on_set_visible);
}

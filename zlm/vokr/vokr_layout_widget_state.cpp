// The window layout kept with the session: the frame size, which panes are shown and where
// the splitters stand. Splitter drags write their value at once; the frame size and the
// panes' visibility are taken when the document is saved.
#include "vokr_layout_widget.h"

#include "vokr_config_widget.h"
#include "vokr_frame_wnd.h"
#include "vokr_hierarchy_widget.h"
#include "vokr_instance_widget.h"
#include "vokr_jtag_widget.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QAction>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

namespace {

const QSize DEFAULT_JTAG_SIZE(398, 120);

// The panes whose visibility the view menu switches, with their keys.
const std::pair<const char*, PIRQ_ACTION_ENUM> PANES[] = {{"config widget visible", PIRQ_ACTION_CONFIG_PANE},
                                                          {"hierarchy widget visible", PIRQ_ACTION_HIERARCHY_PANE},
                                                          {"data log widget visible", PIRQ_ACTION_DATA_LOG_PANE}};

}  // namespace

// Visibility is taken from the panes' own state, not from whether the window is on screen, so
// that a document saved from a window that was never shown keeps its panes.
bool VOKR_LAYOUT_WIDGET::save_widget_state()
{
    m_tx_manager->set_size_state("frame size", m_frame->size());
    m_tx_manager->set_visible_state("jtag widget visible", !m_jtag_widget->isHidden());
    on_jtag_widget_resized();
    m_tx_manager->set_visible_state("instance widget visible", pane_action(PIRQ_ACTION_INSTANCE_PANE)->isChecked());
    for (const auto& [key, action] : PANES)
        m_tx_manager->set_visible_state(key, pane_action(action)->isChecked());
    return true;
}

bool VOKR_LAYOUT_WIDGET::restore_widget_state()
{
    const QSize size = m_tx_manager->get_size_state("frame size", QSize(-1, -1));
    m_frame->setMinimumSize(size.width() >= 0 && size.height() >= 0 ? size : QSize(0, 0));
    QTimer::singleShot(0, this, &VOKR_LAYOUT_WIDGET::on_resize_timer);
    if (m_tx_manager->get_int_state("sif manager visible", -1) == 1 && m_jtag_widget->get_file_list()->isHidden())
        m_jtag_widget->on_sif_manager_toggle();
    return true;
}

void VOKR_LAYOUT_WIDGET::on_resize_timer()
{
    m_frame->setMinimumSize(0, 0);
    if (!m_tx_manager->get_session())
        return;
    const bool instance_shown = m_tx_manager->get_visible_state("instance widget visible", true);
    const bool jtag_shown = m_tx_manager->get_visible_state("jtag widget visible", true);
    if (!instance_shown)
        pane_action(PIRQ_ACTION_INSTANCE_PANE)->setChecked(false);
    if (!jtag_shown)
        get_jtag_action()->setChecked(false);
    if (!instance_shown && !jtag_shown) {
        m_instance_widget->hide();
        m_jtag_widget->hide();
        m_top_splitter->hide();
    } else {
        apply_top_pane_sizes(jtag_shown);
        if (!instance_shown)
            m_instance_widget->hide();
    }
    for (const auto& [key, action] : PANES)
        pane_action(action)->setChecked(m_tx_manager->get_visible_state(key, true));
    apply_hierarchy_height();
}

// The stored height of the hierarchy and data-log panes, once the window has its size: the
// node lists above them take the rest of each instance's page.
void VOKR_LAYOUT_WIDGET::apply_hierarchy_height()
{
    const int height = m_tx_manager->get_int_state("hierarchy widget height", -1);
    if (height < 0)
        return;
    for (VOKR_HIERARCHY_WIDGET* hierarchy : qAsConst(m_hierarchy_widget_map)) {
        QWidget* panes = hierarchy ? hierarchy->parentWidget() : nullptr;
        auto* page = panes ? qobject_cast<QSplitter*>(panes->parentWidget()) : nullptr;
        QList<int> sizes = page ? page->sizes() : QList<int>();
        if (sizes.size() < 2 || page->indexOf(panes) != sizes.size() - 1)
            continue;
        const int total = sizes[sizes.size() - 2] + sizes.last();
        sizes.last() = std::min(height, total);
        sizes[sizes.size() - 2] = total - sizes.last();
        page->setSizes(sizes);
    }
}

// A stored height of 0 leaves the top pane's height alone; a width of 0 hides the JTAG pane.
void VOKR_LAYOUT_WIDGET::apply_top_pane_sizes(bool jtag_shown)
{
    const QSize size = m_tx_manager->get_size_state("jtag widget size", DEFAULT_JTAG_SIZE);
    const QList<int> outer = sizes();
    if (size.height() >= 1 && outer.size() >= 2)
        setSizes({size.height(), outer[0] + outer[1] - size.height()});
    const QList<int> top = m_top_splitter->sizes();
    if (!jtag_shown || size.width() <= 0)
        m_jtag_widget->hide();
    else if (top.size() >= 2)
        m_top_splitter->setSizes({top[0] + top[1] - size.width(), size.width()});
}

void VOKR_LAYOUT_WIDGET::on_jtag_widget_resized()
{
    if (!m_tx_manager->get_session())
        return;
    const QList<int> top = m_top_splitter->sizes();
    const QList<int> outer = sizes();
    if (top.size() < 2 || outer.isEmpty())
        return;
    m_tx_manager->set_size_state("jtag widget size", QSize(top[1], outer[0]));
}

// The space left below the handle is the hierarchy/log height; a drag past the bottom would
// make it negative, which is stored as 0.
void VOKR_LAYOUT_WIDGET::on_instance_splitter_moved(int pos, int)
{
    auto* page = qobject_cast<QSplitter*>(sender());
    if (!page || !m_tx_manager->get_session())
        return;
    const QRect area = page->geometry();
    m_tx_manager->set_int_state("hierarchy widget height", std::max(0, area.bottom() - area.top() - pos - 5));
}

void VOKR_LAYOUT_WIDGET::on_hierarchy_log_splitter_moved(int pos, int)
{
    if (m_tx_manager->get_session())
        m_tx_manager->set_int_state("hierarchy widget width", pos);
}

void VOKR_LAYOUT_WIDGET::on_advanced_trigger_horizontal_splitter_moved(int pos, int)
{
    if (m_tx_manager->get_session())
        m_tx_manager->set_int_state("advanced trigger node widget width", pos - 1);
}

void VOKR_LAYOUT_WIDGET::on_advanced_trigger_vertical_splitter_moved(int pos, int)
{
    if (m_tx_manager->get_session())
        m_tx_manager->set_int_state("advanced trigger node widget height", pos);
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

#include "vokr_layout_widget.h"

#include "vokr_assert.h"
#include "vokr_config_widget.h"
#include "vokr_container_widget.h"
#include "vokr_diagram_widget.h"
#include "vokr_enum.h"
#include "vokr_frame_wnd.h"
#include "vokr_hierarchy_widget.h"
#include "vokr_instance_widget.h"
#include "vokr_jtag_widget.h"
#include "vokr_line_widget.h"
#include "vokr_log_widget.h"
#include "vokr_object_widget.h"
#include "vokr_operator_widget.h"
#include "vokr_resources_widget.h"
#include "vokr_state_widget.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QAction>
#include <QEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int TOP_PANE_HEIGHT = 120;
constexpr int NODE_COLUMN_WIDTH = 258;
constexpr int NODE_LIST_HEIGHT = 260;  // the advanced tab's node list: its headers and a dozen rows
constexpr const char* STATE_BASED_TAB = "State-Based Trigger Flow";

QIcon icon(PIRQ_ICON_ENUM id) { return QIcon(pirq_get_icon(id)); }

QString advanced_tab_title(int level)
{
    switch (level) {
    case -3: return "Storage Qualifier";
    case -2: return "Start";
    case -1: return "Stop";
    default: return QString("Advanced Trigger %1").arg(level + 1);
    }
}

QVBoxLayout* column_layout(QWidget* widget, int left, int top, int right, int bottom)
{
    auto* box = new QVBoxLayout(widget);
    box->setContentsMargins(left, top, right, bottom);
    box->setSpacing(0);
    return box;
}

}  // namespace

VOKR_LAYOUT_WIDGET::VOKR_LAYOUT_WIDGET(VOKR_FRAME_WND* frame, VOKR_TX_MANAGER* manager)
    : QSplitter(Qt::Vertical, frame), m_frame(frame), m_tx_manager(manager)
{
    setChildrenCollapsible(false);
    m_view = new VOKR_VIEW(nullptr, manager);
    m_view->hide();
    connect(manager, &VOKR_TX_MANAGER::updated, m_view, &VOKR_VIEW::on_update, Qt::QueuedConnection);
    // The advanced trigger editor subscribes itself, as it does wherever it is shown.
    m_object_widget = new VOKR_OBJECT_WIDGET(nullptr, manager);
    m_object_widget->setFocusPolicy(Qt::StrongFocus);
    m_object_widget->hide();
    // The view menu's pane switches, made before the panes that follow them.
    for (PIRQ_ACTION_ENUM id :
         {PIRQ_ACTION_DATA_LOG_PANE, PIRQ_ACTION_HIERARCHY_PANE, PIRQ_ACTION_INSTANCE_PANE, PIRQ_ACTION_CONFIG_PANE})
        manager->get_action(id, QVariant(int(id)));
    setContentsMargins(0, 0, 0, 0);
    build_top_pane();
    build_bottom_pane();
    setStretchFactor(1, 1);
    setSizes({TOP_PANE_HEIGHT, 1});
    connect(this, &QSplitter::splitterMoved, this, &VOKR_LAYOUT_WIDGET::on_jtag_widget_resized);
    connect(manager, &VOKR_TX_MANAGER::updated, this, &VOKR_LAYOUT_WIDGET::on_update, Qt::QueuedConnection);
}

// The shared view and editor outlive every container that shows them; the hubs go last.
VOKR_LAYOUT_WIDGET::~VOKR_LAYOUT_WIDGET()
{
    disconnect(m_instance_tab_widget, nullptr, this, nullptr);
    disconnect(m_instance_tab_widget, nullptr, m_instance_widget, nullptr);
    {
        const QSignalBlocker blocker(m_instance_tab_widget);
        for (int i = m_instance_tab_widget->count() - 1; i >= 0; --i)
            delete m_instance_tab_widget->widget(i);
        m_instance_tab_widget->clear();
    }
    delete m_object_widget;
    delete m_view;
    qDeleteAll(m_splitter_hubs);
}

VOKR_SPLITTER* VOKR_LAYOUT_WIDGET::splitter(int id, Qt::Orientation orientation, QWidget* parent)
{
    auto* result = new VOKR_SPLITTER(&m_splitter_hubs, id, orientation, parent);
    result->setChildrenCollapsible(false);
    return result;
}

QAction* VOKR_LAYOUT_WIDGET::pane_action(int id) const
{
    return m_tx_manager->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant());
}

bool VOKR_LAYOUT_WIDGET::instance_present() const
{
    return m_tx_manager->get_session() && m_tx_manager->get_current_instance_index() >= 0;
}

void VOKR_LAYOUT_WIDGET::build_top_pane()
{
    m_top_splitter = new QSplitter(Qt::Horizontal, this);
    m_top_splitter->setChildrenCollapsible(false);
    m_instance_widget = new VOKR_INSTANCE_WIDGET(m_top_splitter, m_frame);
    m_jtag_widget = new VOKR_JTAG_WIDGET(m_top_splitter, m_frame);
    for (QWidget* pane : {static_cast<QWidget*>(m_instance_widget), static_cast<QWidget*>(m_jtag_widget)}) {
        m_top_splitter->addWidget(pane);
        pane->resize(pane->width(), TOP_PANE_HEIGHT);
        pane->installEventFilter(this);
    }
    m_instance_widget->setVisible(pane_action(PIRQ_ACTION_INSTANCE_PANE)->isChecked());
    set_jtag_widget(m_jtag_widget);
    enable_top_pane();
    m_top_splitter->setStretchFactor(0, 1);
    connect(m_top_splitter, &QSplitter::splitterMoved, this, &VOKR_LAYOUT_WIDGET::on_jtag_widget_resized);
    addWidget(m_top_splitter);
}

// The instance manager and the JTAG pane act on the session: a window without a session shows
// them disabled, a session without instances keeps them, so that an instance can be added.
void VOKR_LAYOUT_WIDGET::enable_top_pane() { m_top_splitter->setEnabled(m_tx_manager->has_open_session()); }

void VOKR_LAYOUT_WIDGET::build_bottom_pane()
{
    auto* bottom = new QWidget(this);
    QVBoxLayout* box = column_layout(bottom, 0, 0, 0, 0);
    auto* line = new VOKR_LINE_WIDGET(bottom);
    line->setLineWidth(0);
    line->setMidLineWidth(1);
    box->addWidget(line);
    auto* holder = new QWidget(bottom);
    m_instance_tab_widget = new QTabWidget(holder);
    m_instance_tab_widget->setObjectName("instance_tabs");
    m_instance_tab_widget->setTabPosition(QTabWidget::South);
    column_layout(holder, 4, 6, 4, 0)->addWidget(m_instance_tab_widget);
    box->addWidget(holder, 1);
    connect(m_instance_tab_widget, &QTabWidget::currentChanged, this, &VOKR_LAYOUT_WIDGET::on_sel_change_instance_tab);
    connect(m_instance_tab_widget, &QTabWidget::currentChanged, m_instance_widget,
            &VOKR_INSTANCE_WIDGET::on_sel_change_instance_tab);
    build_instance_tabs();
    addWidget(bottom);
}

// A power-up view shares the tab of the instance before it; when it is current, that tab's
// page is tinted light blue.
void VOKR_LAYOUT_WIDGET::build_instance_tabs()
{
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    const int current = m_tx_manager->get_current_instance_index();
    const int count = instance_present() ? session->get_num_instances() : 0;
    int current_tab = -1;
    bool highlight = false;
    for (int i = 0; i < count; ++i) {
        if (session->is_power_up_view(i)) {
            if (i == current) {
                current_tab = m_instance_tab_widget->count() - 1;
                highlight = true;
            }
            continue;
        }
        QWidget* page = build_instance_page(i);
        const QSignalBlocker blocker(m_instance_tab_widget);
        const int tab = m_instance_tab_widget->addTab(page, icon(PIRQ_ICON_INSTANCE),
                                                      QString::fromLocal8Bit(session->get_instance_name_at(i)));
        if (i == current)
            current_tab = tab;
    }
    VOKR_ASSERT_TEXT(count == 0 || current_tab != -1, "instance_count == 0 || current_tab != -1");
    if (count == 0)
        return;
    const QSignalBlocker blocker(m_instance_tab_widget);
    m_instance_tab_widget->setCurrentIndex(current_tab);
    m_instance_tab_widget->setTabIcon(current_tab, icon(PIRQ_ICON_INSTANCE_CURRENT));
    if (highlight) {
        QWidget* page = m_instance_tab_widget->widget(current_tab);
        QPalette palette = page->palette();
        palette.setBrush(QPalette::All, QPalette::Window, QColor(153, 204, 255));
        page->setPalette(palette);
        page->setAutoFillBackground(true);
    }
}

QWidget* VOKR_LAYOUT_WIDGET::build_instance_page(int instance)
{
    VOKR_SPLITTER* page = splitter(511, Qt::Vertical, nullptr);
    page->setContentsMargins(1, 2, 2, 2);
    page->setProperty("instance index", instance);
    page->addWidget(build_data_setup_frame(instance, page));
    page->addWidget(build_hierarchy_log(instance, page));
    page->setStretchFactor(0, 1);
    connect(page, qOverload<int, int>(&QSplitter::splitterMoved), this,
            &VOKR_LAYOUT_WIDGET::on_instance_splitter_moved);
    // A page rebuilt on a change keeps the splits the person dragged to.
    page->apply_dragged_sizes();
    for (VOKR_SPLITTER* inner : page->findChildren<VOKR_SPLITTER*>())
        inner->apply_dragged_sizes();
    return page;
}

QWidget* VOKR_LAYOUT_WIDGET::build_data_setup_frame(int instance, QWidget* parent)
{
    auto* frame = new QWidget(parent);
    QVBoxLayout* box = column_layout(frame, 0, 0, 0, 0);
    auto* holder = new QWidget(frame);
    auto* tabs = new QTabWidget(holder);
    tabs->setObjectName("data_setup_tabs");
    tabs->setTabPosition(QTabWidget::South);
    column_layout(holder, 4, 3, 4, 0)->addWidget(tabs);
    box->addWidget(holder, 1);
    auto* line = new VOKR_LINE_WIDGET(frame);
    line->setLineWidth(1);
    line->setMidLineWidth(0);
    box->addWidget(line);
    m_data_setup_tab_widget_map[instance] = tabs;

    auto* data = new VOKR_CONTAINER_WIDGET(m_view, nullptr);
    data->setContentsMargins(2, 2, 3, 3);
    tabs->addTab(data, icon(PIRQ_ICON_DATA_TAB), "Data");
    tabs->addTab(build_setup_tab(instance), icon(PIRQ_ICON_SETUP_TAB), "Setup");
    add_advanced_tabs(tabs, instance);
    if (!m_tx_manager->is_sequential_mode(instance))
        tabs->addTab(build_state_tab(instance), icon(PIRQ_ICON_STATE_FLOW_TAB), STATE_BASED_TAB);
    connect(tabs, &QTabWidget::currentChanged, this, &VOKR_LAYOUT_WIDGET::on_sel_change_data_setup_tab);
    select_active_tab(tabs, instance);
    return frame;
}

// The node list starts as wide as its columns (and its title row's lock-mode selector) and its
// scroll bar; the signal configuration pane takes the rest of the tab and what the window gains
// or loses later, so that the columns stay whole at every window size the pane leaves room for,
// and in every tab rebuilt on a change.
// Where the columns need more, the pane keeps the width its fields need and the list scrolls.
QWidget* VOKR_LAYOUT_WIDGET::build_setup_tab(int instance)
{
    VOKR_SPLITTER* setup = splitter(711, Qt::Horizontal, nullptr);
    setup->setContentsMargins(1, 1, 2, 2);
    auto* nodes = new VOKR_CONTAINER_WIDGET(m_view, setup);
    nodes->resize(m_view->get_setup_width() + m_view->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4,
                  nodes->height());
    setup->addWidget(nodes);
    auto* config = new VOKR_CONFIG_WIDGET(setup, instance, m_frame);
    config->resize(SIDE_PANE_WIDTH, config->height());
    config->setMinimumWidth(std::max(SIDE_PANE_WIDTH, config->get_whole_width()));
    config->setVisible(pane_action(PIRQ_ACTION_CONFIG_PANE)->isChecked());
    setup->addWidget(config);
    setup->setStretchFactor(1, 1);
    return setup;
}

void VOKR_LAYOUT_WIDGET::add_advanced_tabs(QTabWidget* tabs, int instance)
{
    if (!instance_present())
        return;
    KSM_TX_TRIGGER* return_value = m_tx_manager->get_trigger_nodes(instance);
    VOKR_ASSERT(return_value);
    const int levels = return_value->get_num_levels();
    for (int level = -3; level < levels; ++level) {
        if (!m_tx_manager->is_advanced_trigger(level, instance))
            continue;
        m_object_widget->on_update(nullptr, vokr_hint(VOKR_HINT_REBUILD | VOKR_HINT_ADVANCED));
        QWidget* page = build_advanced_tab(level);
        const QSignalBlocker blocker(tabs);
        tabs->addTab(page, icon(PIRQ_ICON_ADVANCED_TAB), advanced_tab_title(level));
    }
}

// The node list over the operator palette, beside the canvas of the level.
QWidget* VOKR_LAYOUT_WIDGET::build_advanced_tab(int level)
{
    VOKR_SPLITTER* page = splitter(1351, Qt::Horizontal, nullptr);
    page->setContentsMargins(1, 1, 2, 2);
    page->setProperty("trigger level", level);
    VOKR_SPLITTER* column = splitter(1590, Qt::Vertical, page);
    auto* nodes = new VOKR_CONTAINER_WIDGET(m_view, column);
    column->addWidget(nodes);
    column->addWidget(new VOKR_OPERATOR_WIDGET(column));
    column->setStretchFactor(1, 1);
    column->resize(m_tx_manager->get_int_state("advanced trigger node widget width", NODE_COLUMN_WIDTH),
                   column->height());
    // The node list keeps its height (the one given last) as the column grows or shrinks; the
    // operator palette takes the rest.
    const int height = m_tx_manager->get_int_state("advanced trigger node widget height", -1);
    column->setSizes({height > 0 ? height : NODE_LIST_HEIGHT, 1});
    page->addWidget(column);
    page->addWidget(new VOKR_CONTAINER_WIDGET(m_object_widget, page));
    page->setStretchFactor(1, 1);
    connect(page, qOverload<int, int>(&QSplitter::splitterMoved), this,
            &VOKR_LAYOUT_WIDGET::on_advanced_trigger_horizontal_splitter_moved);
    connect(column, qOverload<int, int>(&QSplitter::splitterMoved), this,
            &VOKR_LAYOUT_WIDGET::on_advanced_trigger_vertical_splitter_moved);
    return page;
}

// The node list of the state-based trigger beside the flags and counters of the instance.
QWidget* VOKR_LAYOUT_WIDGET::build_state_tab(int instance)
{
    VOKR_SPLITTER* page = splitter(1419, Qt::Horizontal, nullptr);
    page->setContentsMargins(1, 1, 2, 2);
    auto* diagram = new VOKR_DIAGRAM_WIDGET(page, instance, m_frame);
    diagram->resize(SIDE_PANE_WIDTH, diagram->height());
    page->addWidget(diagram);
    page->addWidget(new VOKR_STATE_WIDGET(page, instance, m_frame));
    auto* resources = new VOKR_RESOURCES_WIDGET(page, instance, m_frame);
    resources->resize(SIDE_PANE_WIDTH, resources->height());
    page->addWidget(resources);
    page->setStretchFactor(1, 1);
    return page;
}

QWidget* VOKR_LAYOUT_WIDGET::build_hierarchy_log(int instance, QWidget* parent)
{
    VOKR_SPLITTER* panes = splitter(783, Qt::Horizontal, parent);
    auto* hierarchy = new VOKR_HIERARCHY_WIDGET(panes, instance, m_frame);
    auto* log = new VOKR_LOG_WIDGET(panes, instance, m_frame);
    panes->addWidget(hierarchy);
    panes->addWidget(log);
    panes->setStretchFactor(1, 1);
    hierarchy->setVisible(pane_action(PIRQ_ACTION_HIERARCHY_PANE)->isChecked());
    log->setVisible(pane_action(PIRQ_ACTION_DATA_LOG_PANE)->isChecked());
    hierarchy->installEventFilter(this);
    log->installEventFilter(this);
    m_hierarchy_widget_map[instance] = hierarchy;
    if (m_tx_manager->get_session()) {
        const int height = m_tx_manager->get_int_state("hierarchy widget height", -1);
        if (height != -1)
            panes->resize(panes->width(), std::max(0, height));
        const int width = m_tx_manager->get_int_state("hierarchy widget width", -1);
        if (width != -1)
            hierarchy->resize(width, hierarchy->height());
    }
    if (hierarchy->isHidden() && log->isHidden())
        panes->hide();
    connect(panes, qOverload<int, int>(&QSplitter::splitterMoved), this,
            &VOKR_LAYOUT_WIDGET::on_hierarchy_log_splitter_moved);
    return panes;
}

// The stored "active tab"; a value outside the tabs opens "Setup" and is stored as such.
void VOKR_LAYOUT_WIDGET::select_active_tab(QTabWidget* tabs, int instance)
{
    if (!instance_present())
        return;
    int active = m_tx_manager->get_int_state(instance, "active tab", 1);
    if (active < 0 || active >= tabs->count()) {
        active = 1;
        m_tx_manager->set_int_state(instance, "active tab", active);
    }
    const QSignalBlocker blocker(tabs);
    tabs->setCurrentIndex(active);
}

void VOKR_LAYOUT_WIDGET::update_instance_tabs()
{
    m_data_setup_tab_widget_map.clear();
    m_hierarchy_widget_map.clear();
    m_view->set_rebuilding_tabs(true);
    {
        const QSignalBlocker blocker(m_instance_tab_widget);
        for (int i = m_instance_tab_widget->count() - 1; i >= 0; --i)
            delete m_instance_tab_widget->widget(i);
        m_instance_tab_widget->clear();
    }
    build_instance_tabs();
    m_view->set_rebuilding_tabs(false);
}

QTabWidget* VOKR_LAYOUT_WIDGET::get_data_setup_tab_widget(int instance_index) const
{
    if (instance_index == -1) {
        QWidget* page = m_instance_tab_widget->currentWidget();
        instance_index = page ? page->property("instance index").toInt() : 0;
    }
    if (QTabWidget* stand_in = m_stand_in_tab_widgets.value(instance_index))
        return stand_in;
    if (m_data_setup_tab_widget_map.isEmpty())
        return nullptr;
    VOKR_ASSERT(this->m_data_setup_tab_widget_map.contains(instance_index));
    return m_data_setup_tab_widget_map.value(instance_index);
}

void VOKR_LAYOUT_WIDGET::set_data_setup_tab_widget(int instance_index, QTabWidget* tabs)
{
    if (tabs)
        m_stand_in_tab_widgets[instance_index] = tabs;
    else
        m_stand_in_tab_widgets.remove(instance_index);
}

VOKR_HIERARCHY_WIDGET* VOKR_LAYOUT_WIDGET::get_hierarchy_widget() const
{
    int current = m_tx_manager->get_current_instance_index();
    if (instance_present() && m_tx_manager->get_session()->is_power_up_view(current))
        --current;
    return current < 0 ? nullptr : m_hierarchy_widget_map.value(current);
}

// ---- tab changes ----------------------------------------------------------------------------------------

void VOKR_LAYOUT_WIDGET::on_sel_change_instance_tab(int index)
{
    if (index != -1) {
        if (m_skip_position_save)
            m_skip_position_save = false;
        else
            m_view->save_position_data();
        QWidget* widget = m_instance_tab_widget->widget(index);
        VOKR_ASSERT(widget != NULL);
        m_tx_manager->set_instance(widget->property("instance index").toInt());
        for (int i = 0; i < m_instance_tab_widget->count(); ++i)
            m_instance_tab_widget->setTabIcon(i, icon(i == index ? PIRQ_ICON_INSTANCE_CURRENT : PIRQ_ICON_INSTANCE));
    }
    emit m_tx_manager->updated(nullptr, vokr_hint(VOKR_HINT_RELAYOUT_INSTANCE));
}

void VOKR_LAYOUT_WIDGET::on_sel_change_data_setup_tab()
{
    if (m_skip_position_save)
        m_skip_position_save = false;
    else
        m_view->save_position_data();
    const bool present = instance_present();
    const bool busy = present && m_tx_manager->is_instance_acquiring(-1);
    const bool advanced = m_tx_manager->is_advanced_mode(nullptr);
    if (m_tx_manager->is_state_mode() || advanced) {
        if (advanced && !m_tx_manager->is_state_mode())
            emit m_tx_manager->updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_ADVANCED));
        if (busy)
            m_tab_changed_during_acquisition = true;
    } else if (m_tx_manager->is_setup_mode()) {
        if (present && !busy) {
            m_tx_manager->update_all_views(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_STATUS | VOKR_HINT_CONFIG));
        } else {
            m_tab_changed_during_acquisition = true;
            emit m_tx_manager->updated(nullptr,
                                       vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_ACQUISITION_STARTED | VOKR_HINT_CONFIG));
        }
    }
    if (present) {
        m_tx_manager->set_int_state(-1, "active tab", get_data_setup_tab_widget(-1)->currentIndex());
        const int current = m_tx_manager->get_current_instance_index();
        if (KSM_TX_TRIGGER* trigger = m_tx_manager->get_session()->get_trigger_at(current))
            trigger->reset_transient_state();
    }
    emit m_tx_manager->updated(nullptr, vokr_hint(VOKR_HINT_GEOMETRY | VOKR_HINT_REFRESH | VOKR_HINT_HIERARCHY));
    emit m_tx_manager->updated(nullptr,
                               vokr_hint(VOKR_HINT_GEOMETRY | VOKR_HINT_REFRESH | VOKR_HINT_DATA_LOG | VOKR_HINT_VIEW));
}

void VOKR_LAYOUT_WIDGET::on_update(QObject*, int hint)
{
    const unsigned int bits = static_cast<unsigned int>(hint);
    if (!(bits & VOKR_HINT_TABS))
        return;
    if (bits & VOKR_HINT_POWER_UP_SWITCH)
        on_power_up_switch(hint);
    else if (bits & (VOKR_HINT_REBUILD | VOKR_HINT_REFRESH))
        on_tabs_rebuilt();
    if ((bits & VOKR_HINT_STATUS) && !m_tx_manager->is_any_instance_acquiring())
        m_tab_changed_during_acquisition = false;
}

// The power-up view and its instance share a tab: the switch moves the current index between
// them and shows the Data tab unless a tab change happened during an acquisition. The tab
// changes without its signal, so the view is told of its new mode here: the refresh the data
// brought was decided while the Setup tab still showed, and the Setup tab's controls would stay
// over the waveforms until the acquisition ends.
void VOKR_LAYOUT_WIDGET::on_power_up_switch(int hint)
{
    const int current = m_tx_manager->get_current_instance_index();
    const bool power_up = instance_present() && m_tx_manager->get_session()->is_power_up_view(current);
    const bool to_power_up = static_cast<unsigned int>(hint) & VOKR_HINT_POWER_UP_DIRECTION;
    if (power_up != to_power_up) {
        m_tx_manager->set_instance(current + (to_power_up ? 1 : -1));
        m_tx_manager->update_all_views(nullptr,
                                       vokr_hint(VOKR_HINT_GEOMETRY | VOKR_HINT_REFRESH | VOKR_HINT_INSTANCES));
    }
    QTabWidget* tabs = get_data_setup_tab_widget(-1);
    if (!tabs || m_tx_manager->is_data_mode(-1) || m_tab_changed_during_acquisition)
        return;
    {
        const QSignalBlocker blocker(tabs);
        tabs->setCurrentIndex(0);
    }
    m_tx_manager->set_int_state(-1, "active tab", 0);
    emit m_tx_manager->updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
}

// The control that had the keyboard focus in the old tabs, found again by its name in the new
// ones, keeps it: a person changing a setting that rebuilds the tabs goes on where they were.
void VOKR_LAYOUT_WIDGET::on_tabs_rebuilt()
{
    QWidget* focus = window()->focusWidget();
    const bool in_tabs = focus && m_instance_tab_widget->isAncestorOf(focus) && !focus->objectName().isEmpty();
    const QString focus_name = in_tabs ? focus->objectName() : QString();
    rebuild_tabs();
    if (focus_name.isEmpty())
        return;
    QWidget* page = m_instance_tab_widget->currentWidget();
    QWidget* again = page ? page->findChild<QWidget*>(focus_name) : nullptr;
    if (again && again->isVisible() && again->isEnabled())
        again->setFocus(Qt::OtherFocusReason);
}

void VOKR_LAYOUT_WIDGET::rebuild_tabs()
{
    update_instance_tabs();
    enable_top_pane();
    if (!instance_present())
        return;
    QTabWidget* tabs = get_data_setup_tab_widget(-1);
    if (!tabs)
        return;
    int active = m_tx_manager->get_int_state(-1, "active tab", 1);
    if (active < 0 || active >= tabs->count()) {
        active = 1;
        m_tx_manager->set_int_state(-1, "active tab", active);
    }
    if (tabs->currentIndex() != 1) {
        const QSignalBlocker blocker(tabs);
        tabs->setCurrentIndex(1);
    }
    if (tabs->currentIndex() != active)
        tabs->setCurrentIndex(active);
    m_object_widget->on_update(nullptr, vokr_hint(VOKR_HINT_ADVANCED));
    // The new tabs may show another tab than the view was refreshed for (an undone flow control
    // takes its State-Based tab away, and Setup comes up without the tab change signal): the
    // view shows the controls of the tab now shown.
    emit m_tx_manager->updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
}

// Showing a pane shows its hidden parent; hiding the last shown pane of a parent hides it.
bool VOKR_LAYOUT_WIDGET::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    QWidget* parent = widget ? widget->parentWidget() : nullptr;
    if (!parent)
        return QSplitter::eventFilter(watched, event);
    if (event->type() == QEvent::ShowToParent) {
        if (parent->isHidden())
            parent->show();
    } else if (event->type() == QEvent::Hide) {
        bool any_shown = false;
        for (QObject* child : parent->children()) {
            auto* sibling = qobject_cast<QWidget*>(child);
            if (sibling && !qobject_cast<QSplitterHandle*>(sibling) && !sibling->isHidden())
                any_shown = true;
        }
        if (!any_shown)
            parent->hide();
    }
    return QSplitter::eventFilter(watched, event);
}

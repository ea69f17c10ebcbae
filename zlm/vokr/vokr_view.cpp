// Construction of the node list view: fields, child widgets and context menus.
#include "vokr_view.h"

#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_globals.h"
#include "vokr_tx_manager.h"
#include "vokr_wheel_guard.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QMenu>
#include <QRubberBand>
#include <QScrollBar>
#include <QToolButton>

namespace {

constexpr int SEPARATOR = -1;

// Icons of the child widgets and of the trigger condition menu.
constexpr int ICON_PREVIOUS_TRANSITION = 6;
constexpr int ICON_NEXT_TRANSITION = 7;
constexpr int ICON_LOCK_RESTRICTED = 311;
constexpr int ICON_LOCK_ALL = 312;

// The condition actions of the trigger condition menu and the condition each stores.
constexpr std::pair<int, int> CONDITION_ACTIONS[] = {
    {371, KSM_CTYPE_HIGH},
    {373, KSM_CTYPE_LOW},
    {374, KSM_CTYPE_RISING_EDGE},
    {370, KSM_CTYPE_FALLING_EDGE},
    {369, KSM_CTYPE_EITHER_EDGE},
    {368, KSM_CTYPE_DONT_CARE},
    {227, 9},
    {226, 10},
    {230, 11},
    {228, 12},
    {229, 13},
    {232, 14},
    {231, 15},
    {234, 16},
    {233, 17},
};

QIcon icon(int id) { return QIcon(pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(id))); }

}  // namespace

VOKR_VIEW::VOKR_VIEW(QWidget* parent, VOKR_TX_MANAGER* manager)
    : QWidget(parent), m_frame_wnd(manager->get_frame_wnd()), m_tx_manager(manager)
{
    if (m_frame_wnd)
        setAcceptDrops(true);
    setObjectName("node_list");
    setFocusPolicy(Qt::ClickFocus);
    connect(manager, &QObject::destroyed, this, [this] { m_tx_manager = nullptr; });
    // Any announced change may move rows: the row geometry is measured again on the next query.
    // Made before anyone connects the view's update slot, so the relayout never reads stale rows.
    connect(manager, &VOKR_TX_MANAGER::updated, this, &VOKR_VIEW::invalidate_geometry);
    create_scroll_bars();
    reset_zoom(false);
    if (m_frame_wnd) {
        m_notify_target.set_view(this);
        on_settings_changed();
    }
    clear_time_bars();
    select_items(false);
    m_column_width_pending = !load_column_widths();
    create_combo_boxes();
    m_rubber_band = new QRubberBand(QRubberBand::Rectangle, this);
    setAttribute(Qt::WA_MouseTracking);
    if (!m_frame_wnd)
        return;
    create_context_menus();
    create_action_table();
}

// The children and menus are the view's own; the manager and the frame are not.
VOKR_VIEW::~VOKR_VIEW() { m_notify_target.set_view(nullptr); }

void VOKR_VIEW::create_scroll_bars()
{
    m_horizontal_bar = new QScrollBar(Qt::Horizontal, this);
    m_vertical_bar = new QScrollBar(Qt::Vertical, this);
    m_horizontal_bar->setObjectName("node_list_horizontal_bar");
    m_vertical_bar->setObjectName("node_list_vertical_bar");
    for (QScrollBar* bar : {m_horizontal_bar, m_vertical_bar}) {
        bar->setCursor(Qt::ArrowCursor);
        bar->setTracking(true);
        bar->hide();
        connect(bar, &QScrollBar::valueChanged, this, QOverload<>::of(&QWidget::update));
    }
    connect(m_horizontal_bar, &QScrollBar::valueChanged, this, &VOKR_VIEW::update_advanced_trigger_combo_positions);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 25, 0, 0);
    grid->setSpacing(0);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(0, 1);
    grid->addWidget(m_horizontal_bar, 1, 0);
    grid->addWidget(m_vertical_bar, 0, 1);
    auto* corner = new QWidget(this);
    corner->setAutoFillBackground(true);
    grid->addWidget(corner, 1, 1);
}

void VOKR_VIEW::create_combo_boxes()
{
    m_lock_mode_combo = new QComboBox(this);
    m_lock_mode_combo->setObjectName("lock_mode");
    for (int i = 0; i < LEVEL_COMBO_COUNT; ++i)
        m_level_combos[i] = new QComboBox(this);
    m_previous_transition_button = new QToolButton(this);
    m_next_transition_button = new QToolButton(this);
    if (!m_frame_wnd) {
        for (QWidget* child :
             std::initializer_list<QWidget*>{m_lock_mode_combo, m_previous_transition_button, m_next_transition_button})
            child->hide();
        for (QComboBox* combo : m_level_combos)
            combo->hide();
        return;
    }
    const QStringList& labels = vokr_lock_mode_labels();
    for (int i = 0; i < labels.size(); ++i)
        m_lock_mode_combo->addItem(icon(i == 0 ? ICON_LOCK_ALL : ICON_LOCK_RESTRICTED), labels.at(i));
    m_lock_mode_combo->setCurrentIndex(m_tx_manager->get_lock_mode(false));
    m_lock_mode_combo->show();
    vokr_connect_slot(m_lock_mode_combo, SIGNAL(currentIndexChanged(QString)), m_tx_manager,
                      SLOT(set_lock_mode(QString)));
    for (int i = 0; i < LEVEL_COMBO_COUNT; ++i) {
        m_level_combos[i]->addItems({"Basic AND", "Basic OR", "Comparison", "Advanced"});
        m_level_combos[i]->setProperty("trigger level", i);
        m_level_combos[i]->setObjectName(i < 3 ? QString("pattern_type_%1").arg(i)
                                               : QString("level_type_%1").arg(i - 3));
        vokr_connect_slot(m_level_combos[i], SIGNAL(currentIndexChanged(QString)), this,
                          SLOT(on_sel_change_advanced_trigger_combo(QString)));
        // A selector its column makes too narrow for its text names the type in its tooltip.
        connect(m_level_combos[i], &QComboBox::currentTextChanged, m_level_combos[i], &QWidget::setToolTip);
        m_level_combos[i]->setToolTip(m_level_combos[i]->currentText());
    }
    const std::pair<QToolButton*, int> buttons[] = {{m_previous_transition_button, ICON_PREVIOUS_TRANSITION},
                                                    {m_next_transition_button, ICON_NEXT_TRANSITION}};
    m_previous_transition_button->setObjectName("previous_transition");
    m_next_transition_button->setObjectName("next_transition");
    for (const auto& [button, id] : buttons) {
        button->setIcon(icon(id));
        button->resize(22, 22);
        button->hide();
    }
    connect(m_previous_transition_button, &QToolButton::clicked, this, &VOKR_VIEW::on_previous_transition);
    connect(m_next_transition_button, &QToolButton::clicked, this, &VOKR_VIEW::on_next_transition);
    // The selectors over the list pass the wheel to it, which scrolls.
    VOKR_WHEEL_GUARD::guard_boxes(this);
}

// ---- context menus --------------------------------------------------------------------------------------

QAction* VOKR_VIEW::action(int id) const
{
    return m_tx_manager->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant());
}

QMenu* VOKR_VIEW::new_context_menu(std::initializer_list<int> columns, const char* state_slot)
{
    auto* menu = new QMenu(this);
    for (int column : columns)
        m_context_menus.insert(column, menu);
    vokr_connect_slot(menu, SIGNAL(aboutToShow()), this, state_slot);
    return menu;
}

void VOKR_VIEW::add_actions(QMenu* menu, std::initializer_list<int> ids, bool exclusive)
{
    QActionGroup* group = nullptr;
    for (int id : ids) {
        if (id == SEPARATOR) {
            menu->addSeparator();
            continue;
        }
        QAction* entry = action(id);
        if (exclusive && !entry->actionGroup()) {
            if (!group)
                group = new QActionGroup(this);
            group->addAction(entry);
        }
        menu->addAction(entry);
    }
}

void VOKR_VIEW::create_context_menus()
{
    QMenu* name = new_context_menu({2}, SLOT(on_update_name_menu()));
    add_actions(name, {PIRQ_ACTION_DELETE, PIRQ_ACTION_SELECT_ALL, SEPARATOR, PIRQ_ACTION_FIND, PIRQ_ACTION_FIND_NEXT,
                       SEPARATOR, PIRQ_ACTION_FIND_BUS_VALUE, PIRQ_ACTION_FIND_NEXT_BUS_VALUE,
                       PIRQ_ACTION_FIND_PREVIOUS_BUS_VALUE, SEPARATOR});
    connect_frame_menus(name);
    add_actions(name, {PIRQ_ACTION_GROUP, 377, 378, PIRQ_ACTION_RENAME, SEPARATOR, PIRQ_ACTION_MNEMONIC_TABLE_SETUP,
                       SEPARATOR, PIRQ_ACTION_CREATE_LIST_FILE, SEPARATOR, 353, SEPARATOR});
    add_actions(name, {328, 329}, true);
    name->addSeparator();
    add_actions(name, {360, 359}, true);
    name->addSeparator();
    add_actions(name, {PIRQ_ACTION_MSB_ON_TOP, PIRQ_ACTION_LSB_ON_TOP}, true);
    name->addSeparator();
    QMenu* formats = m_frame_wnd->get_bus_display_format_menu();
    VOKR_ASSERT_TEXT(formats != nullptr, "sub_menu != NULL");
    name->addMenu(formats);
    vokr_connect_slot(formats, SIGNAL(aboutToShow()), this, SLOT(on_update_bus_display_format_menu()));

    add_actions(new_context_menu({1}, SLOT(on_update_alias_menu())), {363, 357, 347});
    add_actions(new_context_menu({5}, SLOT(on_update_data_menu())), {346, 345});
    add_actions(new_context_menu({6}, SLOT(on_update_trigger_menu())), {376, 375});
    add_actions(new_context_menu({7}, SLOT(on_update_storage_menu())), {365, 364});
    add_actions(new_context_menu({8}, SLOT(on_update_transition_menu())), {367, 366});

    QMenu* condition =
        new_context_menu({9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21}, SLOT(on_update_trigger_condition_menu()));
    // Each condition action carries its condition, which the menu's handler stores.
    for (const auto& [id, code] : CONDITION_ACTIONS)
        m_tx_manager->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant())->setData(code);
    add_actions(condition, {227, SEPARATOR, 226, 230, 228, 229, 232, 231, 234, 233}, true);
    condition->addSeparator();
    add_actions(condition, {225}, true);
    condition->addSeparator();
    const std::pair<int, int> operators[] = {{368, 691}, {373, 695}, {370, 693}, {374, 696}, {371, 694}, {369, 692}};
    for (const auto& [id, icon_id] : operators)
        action(id)->setIcon(icon(icon_id));
    add_actions(condition, {368, 373, 370, 374, 371, 369}, true);
    condition->addSeparator();
    add_actions(condition, {372});
    m_trigger_condition_action_count = condition->actions().size();

    add_actions(new_context_menu({23}, SLOT(on_update_waveform_menu())),
                {712, 710, 711, SEPARATOR, 713, 717, 714, SEPARATOR, 718, 719, SEPARATOR, PIRQ_ACTION_FIT_IN_WINDOW,
                 PIRQ_ACTION_ZOOM_IN, PIRQ_ACTION_ZOOM_OUT, PIRQ_ACTION_CENTER_ON_TRIGGER});
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

// The frame's plug-in and locate submenus in the name column's menu, and their connections.
void VOKR_VIEW::connect_frame_menus(QMenu* name_menu)
{
    QMenu* plugins = m_frame_wnd->get_plugin_menu();
    name_menu->addMenu(plugins);
    vokr_connect_slot(plugins, SIGNAL(aboutToShow()), this, SLOT(on_update_plugin_menu()));
    if (auto* group = qobject_cast<QActionGroup*>(plugins->property("action group").value<QObject*>()))
        vokr_connect_slot(group, SIGNAL(triggered(QAction*)), this, SLOT(on_plugin(QAction*)));
    add_actions(name_menu,
                {PIRQ_ACTION_INSERT_NODES, PIRQ_ACTION_PLUGIN_OPTIONS, SEPARATOR,
                 PIRQ_ACTION_INSERT_STATE_MACHINE_NODES, PIRQ_ACTION_RECREATE_STATE_MACHINE_MNEMONICS, SEPARATOR});
    QMenu* locate = m_frame_wnd->get_locate_menu();
    name_menu->addMenu(locate);
    vokr_connect_slot(locate, SIGNAL(aboutToShow()), this, SLOT(on_update_locate()));
    vokr_connect_slot(locate, SIGNAL(locate_triggered(QString)), this, SLOT(on_locate(QString)));
    if (QAction* design_file = locate->findChild<QAction*>("design file"))
        vokr_connect_slot(design_file, SIGNAL(triggered()), this, SLOT(on_locate_design_file()));
    name_menu->addSeparator();
}

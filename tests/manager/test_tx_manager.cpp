// The manager's core: construction by frame kind, the current-instance cache, shared actions,
// transactions with undo and redo, user settings, stored window state and the plug-in registry.
#include "manager_test_support.h"

#include "gen.h"
#include "tevq.h"
#include "vokr_layout_widget.h"
#include "vokr_plugin_library.h"
#include "vokr_session_object.h"
#include "vokr_trigger_object.h"
#include "vokr_undo_actions.h"
#include "vokr_view.h"
#include "wex.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTabWidget>

#include <dlfcn.h>

using namespace manager_test;

namespace {

int count_node_finders()
{
    int n = 0;
    for (QWidget* w : QApplication::allWidgets())
        n += qobject_cast<TEVQ_DIALOG*>(w) != nullptr;
    return n;
}

using TxCore = MANAGER_TEST;

TEST_F(TxCore, FrameDecidesModeLockModeAndNodeFinder)
{
    const int finders = count_node_finders();
    {
        VOKR_TX_MANAGER wizard(nullptr);
        EXPECT_TRUE(wizard.is_wizard_mode());
        EXPECT_FALSE(wizard.is_data_mode(-1));
        EXPECT_FALSE(wizard.is_setup_mode());
        EXPECT_EQ(wizard.get_lock_mode(false), VOKR_LOCK_MODE_ALL_CHANGES);
        EXPECT_EQ(count_node_finders(), finders);
        EXPECT_EQ(wizard.get_current_instance_index(), -1);
    }
    const struct {
        unsigned int mode;
        VOKR_LOCK_MODE lock;
    } frames[] = {{0, VOKR_LOCK_MODE_ALL_CHANGES}, {WEX_FRAME_MODE_MAIN_WINDOW, VOKR_LOCK_MODE_TRIGGER_CONDITIONS}};
    for (const auto& c : frames) {
        VOKR_FRAME_WND frame(nullptr, c.mode, 0, 0);
        EXPECT_FALSE(frame.get_tx_manager()->is_wizard_mode());
        EXPECT_EQ(frame.get_tx_manager()->get_lock_mode(false), c.lock) << c.mode;
        EXPECT_EQ(frame.findChildren<TEVQ_DIALOG*>().size(), 1);
    }
}

TEST_F(TxCore, DataAndSetupModesFollowTheTabWidget)
{
    QTabWidget tabs;
    tabs.addTab(new QWidget, "Data");
    tabs.addTab(new QWidget, "Setup");
    VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
    VOKR_TX_MANAGER* m = frame.get_tx_manager();
    m->new_document(path("a.lmx").c_str());
    EXPECT_FALSE(m->is_data_mode(-1));  // no tab widget yet
    EXPECT_TRUE(m->is_setup_mode());
    frame.get_layout_widget()->set_data_setup_tab_widget(0, &tabs);
    for (int tab : {0, 1}) {
        tabs.setCurrentIndex(tab);
        EXPECT_EQ(m->is_data_mode(-1), tab == 0);
        EXPECT_EQ(m->is_setup_mode(), tab == 1);
    }
}

TEST_F(TxCore, NoCurrentInstanceEmptiesTheCache)
{
    VOKR_TX_MANAGER m(nullptr);
    m.new_document(path("a.lmx").c_str());
    m.add_instance();
    m.get_session()->set_active_log(1, m.get_session()->create_new_log(1));
    m.set_instance(1);
    ASSERT_NE(m.get_data_log(), nullptr);
    m.set_instance(-1);
    EXPECT_EQ(m.get_tx_instance(), nullptr);
    EXPECT_EQ(m.get_data_log(), nullptr);
    EXPECT_EQ(m.get_instance(), nullptr);
    EXPECT_TRUE(m.is_empty());
    EXPECT_EQ(m.get_num_instances(), 0);
    EXPECT_EQ(m.get_session()->get_num_instances(), 2);
    m.set_instance(1);
    EXPECT_EQ(m.get_tx_instance(), m.get_session()->get_instance_at(1));
    EXPECT_EQ(m.get_num_instances(), 2);
}

TEST(TxHelpers, IntLengthCountsDigitsAndSign)
{
    const std::pair<int, int> cases[] = {{0, 1},    {9, 1},    {10, 2},    {99, 2},    {100, 3},   {999, 3},
                                         {1000, 4}, {9999, 4}, {10000, 5}, {-1, 2},    {-9, 2},    {-10, 3},
                                         {-99, 3},  {-100, 4}, {-999, 4},  {-1000, 5}, {-9999, 5}, {-10000, 6}};
    for (const auto& [value, length] : cases)
        EXPECT_EQ(VOKR_TX_MANAGER::get_int_length(value), length) << value;
}

TEST_F(TxCore, ActionsAreMadeOnceAndPanelTogglesAreCheckedAndShown)
{
    VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
    VOKR_TX_MANAGER* m = frame.get_tx_manager();
    const struct {
        PIRQ_ACTION_ENUM id;
        bool panel;
    } cases[] = {{PIRQ_ACTION_DATA_LOG_PANE, true},
                 {PIRQ_ACTION_HIERARCHY_PANE, true},
                 {PIRQ_ACTION_INSTANCE_PANE, true},
                 {PIRQ_ACTION_TOOLBAR_PANE, true},
                 {PIRQ_ACTION_CONFIG_PANE, true},
                 {PIRQ_ACTION_DISPLAY_SYMBOLIC, false},
                 {static_cast<PIRQ_ACTION_ENUM>(900), false}};  // actions the frame's menus do not hold
    for (const auto& c : cases) {
        QAction* action = m->get_action(c.id, QVariant(int(c.id)));
        EXPECT_EQ(m->get_action(c.id, QVariant("ignored")), action);
        EXPECT_EQ(action->data(), QVariant(int(c.id)));
        EXPECT_EQ(action->isChecked(), c.panel) << c.id;
        EXPECT_EQ(action->isEnabled(), c.panel) << c.id;
        EXPECT_EQ(frame.actions().contains(action), c.panel) << c.id;
    }
    QAction own("own", nullptr);
    m->get_action(PIRQ_ACTION_STOP, QVariant());
    m->insert_action(PIRQ_ACTION_STOP, &own);  // replaces the one made before
    m->enable_action(PIRQ_ACTION_STOP, true);
    EXPECT_EQ(m->get_action(PIRQ_ACTION_STOP, QVariant()), &own);
    EXPECT_TRUE(own.isEnabled());
}

TEST_F(TxCore, ActionsAreFreedWithTheManager)
{
    auto m = std::make_unique<VOKR_TX_MANAGER>(nullptr);
    QPointer<QAction> made = m->get_action(PIRQ_ACTION_RUN, QVariant());
    QPointer<QAction> inserted = new QAction("inserted", nullptr);
    m->insert_action(PIRQ_ACTION_STOP, inserted);
    m.reset();
    EXPECT_TRUE(made.isNull());
    EXPECT_TRUE(inserted.isNull());
}

// ---- transactions ---------------------------------------------------------------------------------

class TxUndo : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        m.new_document(path("t.lmx").c_str());
    }
    QString clock() const
    {
        QString c;
        m.get_clock(&c, -1);
        return c;
    }
    void insert_trigger_node(const char* name)
    {
        m.get_session()->get_trigger_at(0)->insert_node(name, KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
    }

    VOKR_TX_MANAGER m{nullptr};
};

TEST_F(TxUndo, ClosingAUnitReportsTheCompilationStatusAsAsked)
{
    const struct {
        const char* what;
        int status;
        bool power_up;
        int current;
        int index;
        std::vector<unsigned> hints;
    } cases[] = {
        {"always", 1, false, 0, -1, {UNIT_END_HINT}},
        {"power-up view only, on the instance", 2, true, 0, -1, {}},
        {"power-up view only, on its power-up entry", 2, true, 1, -1, {UNIT_END_HINT}},
        {"power-up view only, power-up entry named", 2, true, 0, 1, {UNIT_END_HINT}},
        {"power-up view only, no current instance", 2, true, -1, 1, {}},
        {"nothing", 0, false, 0, -1, {}},
        {"unknown status", 5, false, 0, -1, {}},
    };
    for (const auto& c : cases) {
        m.new_document(path("t.lmx").c_str());
        m.get_session()->set_power_up_trigger_mode(0, c.power_up);
        m.set_instance(c.current);
        HINTS hints(&m);
        m.begin_action(c.index);
        m.end_action(static_cast<VOKR_CHECK_COMPILATION_STATUS>(c.status), c.index);
        EXPECT_EQ(hints.list, c.hints) << c.what;
    }
}

TEST_F(TxUndo, UndoAndRedoActionsAreRefreshedOnlyWithAFrame)
{
    VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
    VOKR_TX_MANAGER* f = frame.get_tx_manager();
    f->new_document(path("f.lmx").c_str());
    HINTS hints(f);
    f->begin_action(-1);
    f->get_session()->get_trigger_at(0)->insert_node("n", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
    f->end_action(VOKR_CHECK_NOTHING, -1);
    EXPECT_TRUE(hints.list.empty());
    EXPECT_TRUE(f->get_action(PIRQ_ACTION_UNDO, QVariant())->isEnabled());
    EXPECT_FALSE(f->get_action(PIRQ_ACTION_REDO, QVariant())->isEnabled());
    f->on_edit_undo();
    EXPECT_FALSE(f->get_action(PIRQ_ACTION_UNDO, QVariant())->isEnabled());
    EXPECT_TRUE(f->get_action(PIRQ_ACTION_REDO, QVariant())->isEnabled());

    QAction undo("undo", nullptr);  // the wizard's actions stay as they are
    m.insert_action(PIRQ_ACTION_UNDO, &undo);
    undo.setEnabled(false);
    m.begin_action(-1);
    insert_trigger_node("n");
    m.end_action(VOKR_CHECK_NOTHING, -1);
    EXPECT_FALSE(undo.isEnabled());
}

TEST_F(TxUndo, UpdateGuardsLeaveTheFlagToTheOutermost)
{
    EXPECT_FALSE(VOKR_UPDATE_GUARD::is_updating());
    {
        VOKR_UPDATE_GUARD outer;
        {
            VOKR_UPDATE_GUARD inner;
            EXPECT_TRUE(VOKR_UPDATE_GUARD::is_updating());
        }
        EXPECT_TRUE(VOKR_UPDATE_GUARD::is_updating());
    }
    EXPECT_FALSE(VOKR_UPDATE_GUARD::is_updating());
}

TEST_F(TxUndo, UndoAndRedoReplayTheUnitAndNotifyInOrder)
{
    m.set_clock("clk");
    EXPECT_TRUE(VOKR_TX_MANAGER::is_action_done());
    const std::vector<unsigned> expected = {
        MODIFIED_HINT,
        VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_CONFIG | VOKR_HINT_HIERARCHY | VOKR_HINT_VIEW,
        VOKR_HINT_GEOMETRY | VOKR_HINT_REFRESH | VOKR_HINT_INSTANCES,
        UNIT_END_HINT,
    };
    for (bool undo : {true, false}) {
        HINTS hints(&m);
        undo ? m.on_edit_undo() : m.on_edit_redo();
        EXPECT_EQ(hints.list, expected);
        EXPECT_EQ(clock(), undo ? "" : "clk");
    }
}

TEST_F(TxUndo, UndoThatTakesTheLastEntryAwayKeepsTheCurrentIndexInRange)
{
    m.enable_powerup_trigger(0, true);
    ASSERT_EQ(m.get_current_instance_index(), 1);
    m.on_edit_undo();
    EXPECT_EQ(m.get_session()->get_num_instances(), 1);
    EXPECT_EQ(m.get_current_instance_index(), 0);
    // The cache is read again: the trigger no longer answers from the power-up bank.
    EXPECT_EQ(m.get_tx_instance(), m.get_session()->get_instance_at(0));
    EXPECT_FALSE(m.get_session()->get_trigger_at(0)->is_power_up_selection());
    m.on_edit_redo();
    EXPECT_EQ(m.get_session()->get_num_instances(), 2);
    EXPECT_EQ(m.get_current_instance_index(), 0);
}

// Work done after a unit outside it (the JTAG hardware, an attached programming file, a new
// instance) and a later unit of another instance stay when the unit is undone, also in the
// file; the instance that owned the power-up entry taken away becomes current again.
TEST_F(TxUndo, UndoTakesBackTheUnitAloneAndKeepsItsInstanceCurrent)
{
    QFile sif(QString::fromStdString(path("design.sif")));
    ASSERT_TRUE(sif.open(QIODevice::WriteOnly) && sif.write("bits") == 4);
    sif.close();
    KSM_TX_INSTANCE* a = m.get_tx_instance();
    m.enable_powerup_trigger(0, true);
    m.set_jtag_hardware("USB-Cable", true);
    ASSERT_TRUE(m.get_session()->embed_sif_file(sif.fileName().toLocal8Bit().constData(), "design.sif"));
    m.add_instance();
    m.set_clock("clk");
    KSM_TX_INSTANCE* b = m.get_tx_instance();
    m.set_instance(1);  // the power-up view of the first instance
    m.on_edit_undo();
    EXPECT_EQ(m.get_current_instance_index(), 0);
    EXPECT_EQ(m.get_tx_instance(), a);
    m.on_edit_undo();  // nothing more of the first instance's: the other's clock stays
    EXPECT_EQ(m.get_session()->get_instance_at(1), b);

    ASSERT_TRUE(m.save_document(path("t.lmx").c_str()));
    VOKR_TX_MANAGER reopened(nullptr);
    bool renamed = false;
    std::string name;
    ASSERT_TRUE(reopened.open_document(path("t.lmx").c_str(), &renamed, &name));
    for (VOKR_TX_MANAGER* manager : {&m, &reopened}) {
        KSM_TX_SESSION* s = manager->get_session();
        EXPECT_EQ(s->get_num_instances(), 2);
        EXPECT_FALSE(s->is_power_up_trigger(0));
        EXPECT_STREQ(s->get_jtag_chain_name(), "USB-Cable");
        EXPECT_EQ(s->get_embedded_sif_file_count(), 1);
        EXPECT_STREQ(s->get_signal_set_at(1)->get_clock_name(), "clk");
    }
}

TEST_F(TxUndo, SetterThatChangesNothingOpensNoUnit)
{
    const struct {
        const char* what;
        bool updating;
        const char* value;
    } cases[] = {{"the stored value", false, "clk"}, {"while widgets are filled", true, "other"}};
    for (const auto& c : cases) {
        m.new_document(path("t.lmx").c_str());
        m.set_clock("clk");
        HINTS hints(&m);
        {
            std::unique_ptr<VOKR_UPDATE_GUARD> guard(c.updating ? new VOKR_UPDATE_GUARD : nullptr);
            m.set_clock(c.value);
        }
        EXPECT_TRUE(hints.list.empty()) << c.what;
        EXPECT_EQ(clock(), "clk") << c.what;
        m.on_edit_undo();
        EXPECT_EQ(clock(), "") << c.what;
        EXPECT_FALSE(m.get_tx_instance()->is_undo_available()) << c.what;
    }
}

TEST_F(TxUndo, AtomicStepsRunOnUndoAndOnRedo)
{
    VOKR_VIEW view(nullptr, &m);
    m.begin_action(-1);
    m.get_tx_instance()->append_atomic_action(new KSM_TX_UNDO_ACTION_RESIZE_EVENT(&view));
    m.get_tx_instance()->append_atomic_action(new KSM_TX_UNDO_ACTION_CHECK_NODE_VALIDITY(&m));
    insert_trigger_node("n");
    m.end_action(VOKR_CHECK_NOTHING, -1);
    m.on_edit_undo();
    EXPECT_TRUE(view.is_resized());
    view.set_resized(false);
    m.on_edit_redo();
    EXPECT_TRUE(view.is_resized());
}

// The history keeps the module's steps after the view and the manager they work for are gone.
TEST_F(TxUndo, AtomicStepsWhoseViewAndManagerAreGoneDoNothing)
{
    KSM_TX_SESSION session(new VOKR_SESSION_OBJECT, true);
    session.create_session(path("k.lmx").c_str());
    KSM_TX_INSTANCE* instance = session.get_instance_at(0);
    {
        VOKR_TX_MANAGER manager(nullptr);
        ASSERT_TRUE(manager.open_document(&session));
        VOKR_VIEW view(nullptr, &manager);
        manager.begin_action(-1);
        instance->append_atomic_action(new KSM_TX_UNDO_ACTION_RESIZE_EVENT(&view));
        instance->append_atomic_action(new KSM_TX_UNDO_ACTION_CHECK_NODE_VALIDITY(&manager));
        session.get_trigger_at(0)->insert_node("n", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
        manager.end_action(VOKR_CHECK_NOTHING, -1);
    }
    EXPECT_TRUE(instance->undo());
    EXPECT_EQ(session.get_trigger_at(0)->get_num_nodes(), 0);
    EXPECT_TRUE(instance->redo());
    EXPECT_EQ(session.get_trigger_at(0)->get_num_nodes(), 1);
}

// The snapshots and boxes handed out are those of the advanced level or pattern the editor's tab
// shows.
TEST_F(TxUndo, UndoListBelongsToTheShownAdvancedLevel)
{
    QTabWidget tabs;
    VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
    VOKR_TX_MANAGER* f = frame.get_tx_manager();
    f->new_document(path("f.lmx").c_str());
    KSM_TX_TRIGGER* t = f->get_trigger_object();
    t->set_level_type(0, KSM_LTYPE_ADVANCED);
    t->set_pattern_type(1, KSM_LTYPE_ADVANCED);
    const std::pair<const char*, int> pages[] = {
        {"Data", 0}, {"Setup", 0}, {"Level 1", 0}, {"Pattern 2", -2}, {"State-Based Trigger Flow", 0}};
    for (const auto& [text, level] : pages) {
        auto* page = new QWidget;
        page->setProperty("trigger level", level);
        tabs.addTab(page, text);
    }
    frame.get_layout_widget()->set_data_setup_tab_widget(0, &tabs);
    KSM_TX_TREE_OBJECT* shown[] = {nullptr, nullptr, t->get_advanced_root(0), t->get_storage_qualifier_root(1),
                                   nullptr};
    for (int tab = 0; tab < tabs.count(); ++tab) {
        tabs.setCurrentIndex(tab);
        auto* root = dynamic_cast<VOKR_TRIGGER_OBJECT*>(shown[tab]);
        EXPECT_EQ(f->get_undo_list(), root ? root->get_undo_list() : nullptr) << tab;
        EXPECT_EQ(f->get_undo_position(), root ? root->get_undo_position() : -1) << tab;
        EXPECT_EQ(f->get_object_array(), root ? root->get_object_array() : nullptr) << tab;
    }
    m.get_trigger_object()->set_level_type(0, KSM_LTYPE_ADVANCED);  // the wizard shows its trigger level
    m.set_trigger_level(0);
    auto* root = dynamic_cast<VOKR_TRIGGER_OBJECT*>(m.get_trigger_object()->get_advanced_root(0));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(m.get_undo_list(), root->get_undo_list());
    EXPECT_EQ(m.get_object_array(), root->get_object_array());
}

using TxUndoDeathTest = TxUndo;

TEST_F(TxUndoDeathTest, BrokenInvariantsEndTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            VOKR_ACTION_GUARD outer(&m);
            VOKR_ACTION_GUARD inner(&m);
        },
        "m_action_done");  // the flag that tells whether a unit is open
    VOKR_TX_MANAGER no_session(nullptr);
    EXPECT_DEATH(no_session.get_int_state("frame size", 0), "this->m_tx_session != NULL");
    EXPECT_DEATH(no_session.begin_action(-1), "return_value != NULL");
}

// ---- user settings and window state ----------------------------------------------------------------

struct SETTING {
    const char* name;
    QVariant fallback;  // the value before the first read
    QVariant other;
    std::function<QVariant(const VOKR_TX_MANAGER&)> get;
};

#define SETTING_ROW(NAME, FALLBACK, OTHER, GETTER)                                                               \
    {                                                                                                            \
        NAME, QVariant(FALLBACK), QVariant(OTHER), [](const VOKR_TX_MANAGER& m) { return QVariant(m.GETTER()); } \
    }

const std::vector<SETTING>& settings()
{
    static const std::vector<SETTING> rows = {
        SETTING_ROW(NIXQ_VOKR_SHOW_DUPLICATE_BUTTONS_STR, true, false, cfg_show_duplicate_buttons),
        SETTING_ROW(NIXQ_VOKR_LINK_GROUPS_STR, true, false, cfg_link_groups),
        SETTING_ROW(NIXQ_VOKR_LINK_PROPERTIES_STR, true, false, cfg_link_properties),
        SETTING_ROW(NIXQ_VOKR_LINK_ORDER_STR, true, false, cfg_link_order),
        SETTING_ROW(NIXQ_VOKR_LINK_MNEMONICS_STR, true, false, cfg_link_mnemonics),
        SETTING_ROW(NIXQ_VOKR_AUTO_RECOMPILE_STR, false, true, cfg_auto_recompile),
        SETTING_ROW(NIXQ_VOKR_SHOW_HORZ_GRID_STR, true, false, cfg_show_horz_grid),
        SETTING_ROW(NIXQ_VOKR_INTER_LINE_SPACING_STR, 0, 3, cfg_inter_line_spacing),
        SETTING_ROW(NIXQ_VOKR_ALIGN_LEFT_STR, false, true, cfg_align_left),
        SETTING_ROW(NIXQ_VOKR_MSB_FIRST_STR, true, false, cfg_msb_first),
        SETTING_ROW(NIXQ_VOKR_SHOW_LEADING_ZEROES_STR, true, false, cfg_show_leading_zeroes),
        SETTING_ROW(NIXQ_VOKR_SHOW_VERT_GRID_STR, false, true, cfg_show_vert_grid),
        SETTING_ROW(NIXQ_VOKR_SHOW_TIME_BARS_STR, true, false, cfg_show_time_bars),
        SETTING_ROW(NIXQ_VOKR_FIT_DATA_STR, 0, 2, get_page_fit_type),
        SETTING_ROW(NIXQ_VOKR_ROWPP_STR, 35, 50, get_row_pp),
        SETTING_ROW(NIXQ_VOKR_COLUMNPP_STR, 30, 12, get_column_pp),
        SETTING_ROW(NIXQ_VOKR_PAGES_WIDE_STR, 1, 2, get_pages_wide),
        SETTING_ROW(NIXQ_VOKR_PAGES_TALL_STR, 1, 3, get_pages_tall),
        SETTING_ROW(NIXQ_VOKR_NAME_WIDTH_STR, 20, 44, get_name_width),
        SETTING_ROW(NIXQ_VOKR_SHOW_TYPE_STR, true, false, get_show_type),
        SETTING_ROW(NIXQ_VOKR_SHOW_ALIAS_STR, true, false, get_show_alias),
        SETTING_ROW(NIXQ_VOKR_DISPLAY_MODE_STR, false, true, is_unified_state_display),
    };
    return rows;
}

// The settings are shared by the process: every test leaves the values it started with.
class TxSettings : public MANAGER_TEST {
protected:
    void TearDown() override
    {
        REGISTRY_SCOPE registry;
        for (const SETTING& s : settings())
            registry.set(s.name, s.fallback);
        VOKR_TX_MANAGER(nullptr).cfg_initialize_user_registry_settings();
        MANAGER_TEST::TearDown();
    }
};

TEST_F(TxSettings, EmptyRegistryGivesTheDefaultsAndStoredValuesAreRead)
{
    {
        REGISTRY_SCOPE empty;
        VOKR_TX_MANAGER m(nullptr);
        for (const SETTING& s : settings())
            EXPECT_EQ(s.get(m), s.fallback) << s.name;
    }
    REGISTRY_SCOPE registry;
    for (const SETTING& s : settings())
        registry.set(s.name, s.other);
    VOKR_TX_MANAGER m(nullptr);
    for (const SETTING& s : settings())
        EXPECT_EQ(s.get(m), s.other) << s.name;
}

TEST_F(TxSettings, LinkGroupsOffTurnsTheOtherLinksOff)
{
    REGISTRY_SCOPE registry;
    registry.set(NIXQ_VOKR_LINK_GROUPS_STR, false);
    for (const char* name : {NIXQ_VOKR_LINK_PROPERTIES_STR, NIXQ_VOKR_LINK_ORDER_STR, NIXQ_VOKR_LINK_MNEMONICS_STR})
        registry.set(name, true);
    VOKR_TX_MANAGER m(nullptr);
    EXPECT_FALSE(m.cfg_link_order());
    EXPECT_FALSE(m.cfg_link_properties());
    EXPECT_FALSE(m.cfg_link_mnemonics());
}

TEST_F(TxSettings, SecondWindowKeepsTheSharedValuesTheFirstRead)
{
    {
        REGISTRY_SCOPE registry;
        registry.set(NIXQ_VOKR_SHOW_VERT_GRID_STR, true);
        registry.set(NIXQ_VOKR_INTER_LINE_SPACING_STR, 4);
        registry.set(NIXQ_VOKR_ALIGN_LEFT_STR, true);
        registry.set(NIXQ_VOKR_ROWPP_STR, 60);
        VOKR_TX_MANAGER first(nullptr);
    }
    REGISTRY_SCOPE empty;
    VOKR_TX_MANAGER second(nullptr);
    EXPECT_TRUE(second.cfg_show_vert_grid());
    EXPECT_EQ(second.cfg_inter_line_spacing(), 4);
    EXPECT_FALSE(second.cfg_align_left());  // the window's own values start over
    EXPECT_EQ(second.get_row_pp(), 35);
}

TEST_F(TxCore, StoredWindowStateFallsBackToTheDefault)
{
    VOKR_TX_MANAGER m(nullptr);
    m.new_document(path("w.lmx").c_str());
    const struct {
        const char* key;          // the first word says which accessor reads it
        std::vector<int> stored;  // empty: absent
        QVariant expected;
    } cases[] = {{"visible 2", {2}, false},
                 {"visible 0", {0}, false},
                 {"visible -1", {-1}, true},
                 {"visible absent", {}, true},
                 {"size 3 ints", {3, 4, 5}, QSize(7, 8)},
                 {"size 2 ints", {3, 4}, QSize(3, 4)},
                 {"int -1", {-1}, 9},
                 {"int absent", {}, 9},
                 {"int 0", {0}, 0}};
    for (const auto& c : cases) {
        if (!c.stored.empty())
            m.get_session()->set_global_data(c.key, c.stored.data(), static_cast<int>(c.stored.size()));
        const QString kind = QString(c.key).section(' ', 0, 0);
        const QVariant read = kind == "visible" ? QVariant(m.get_visible_state(c.key, true))
                              : kind == "size"  ? QVariant(m.get_size_state(c.key, QSize(7, 8)))
                                                : QVariant(m.get_int_state(c.key, 9));
        EXPECT_EQ(read, c.expected) << c.key;
    }
    m.set_int_state(-1, "k", -1);
    EXPECT_EQ(m.get_int_state(-1, "k", 9), 9);
}

// ---- plug-in registry ----------------------------------------------------------------------------

bool is_loaded(const char* file)
{
    const std::string path = std::string(VOKR_TEST_PLUGIN_DIR) + "/" + file;
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

class TxPlugins : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        gen_set_module_path(VOKR_TEST_PLUGIN_DIR);
    }
    void TearDown() override
    {
        gen_set_module_path(std::string());  // back to the module's own directory
        MANAGER_TEST::TearDown();
    }
};

TEST_F(TxPlugins, RegistersCompleteVersion3PluginsByName)
{
    VOKR_TX_MANAGER m(nullptr);
    EXPECT_EQ(m.get_plugin_names(), QStringList({"Demo Opcode Decoder", "Good Decoder", "Twin"}));
    EXPECT_EQ(m.get_plugin_count(), 3);
    QString name = "unchanged";
    EXPECT_TRUE(m.get_plugin_name(2, &name));
    EXPECT_EQ(name, "Twin");
    name = "unchanged";
    EXPECT_FALSE(m.get_plugin_name(3, &name));
    EXPECT_EQ(name, "unchanged");
    // Of two plug-ins with one name, the one found later stays; the earlier is unloaded.
    EXPECT_EQ(VOKR_PLUGIN_LIBRARY::registry().at("Twin").unit_names, QStringList({"twin_b", "shared_unit"}));
    const std::pair<const char*, bool> libraries[] = {{"zlm_vok_good.so", true},      {"zlm_vok_twin_b.so", true},
                                                      {"zlm_vok_twin_a.so", false},   {"zlm_vok_old_version.so", false},
                                                      {"zlm_vok_no_close.so", false}, {"zlm_vok_open_fails.so", false}};
    for (const auto& [file, loaded] : libraries)
        EXPECT_EQ(is_loaded(file), loaded) << file;
    // The plug-in that failed to open is not registered: its error text was shown as it stands.
    std::vector<std::string> boxes;
    for (const MSG_RECORD& r : MSG_JOURNAL::records_of("prompted"))
        boxes.push_back(r.text);
    EXPECT_EQ(boxes, std::vector<std::string>({"no licence for the decoder"}));

    EXPECT_TRUE(m.show_plugin_error_msg("Good Decoder"));
    EXPECT_FALSE(m.show_plugin_error_msg("Twin"));  // it has no error text
    EXPECT_FALSE(m.show_plugin_error_msg("Nobody"));
}

TEST_F(TxPlugins, FirstManagerLoadsAndLastUnloads)
{
    {
        gen_set_module_path(std::string());  // the module's own directory holds no plug-ins
        VOKR_TX_MANAGER first(nullptr);
        EXPECT_EQ(first.get_plugin_count(), 0);
        EXPECT_TRUE(first.get_plugin_names().isEmpty());
        gen_set_module_path(VOKR_TEST_PLUGIN_DIR);
        VOKR_TX_MANAGER second(nullptr);  // does not look again
        EXPECT_EQ(second.get_plugin_count(), 0);
    }
    auto first = std::make_unique<VOKR_TX_MANAGER>(nullptr);
    auto second = std::make_unique<VOKR_TX_MANAGER>(nullptr);
    EXPECT_EQ(second->get_plugin_count(), 3);
    first.reset();
    EXPECT_EQ(second->get_plugin_count(), 3);
    EXPECT_TRUE(is_loaded("zlm_vok_good.so"));
    second.reset();
    EXPECT_TRUE(VOKR_PLUGIN_LIBRARY::registry().empty());
    EXPECT_FALSE(is_loaded("zlm_vok_good.so"));
    EXPECT_FALSE(is_loaded("zlm_vok_twin_b.so"));
}

}  // namespace

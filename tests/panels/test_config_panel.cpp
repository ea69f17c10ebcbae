// The settings panes: the small controls, the signal configuration pane on a real manager and
// session (construction, refresh and editing rules, every control through save and undo), and
// the flags and counters table.
#include "manager_test_support.h"

#include "vokr_allocation_type_button_group.h"
#include "vokr_config_check_box.h"
#include "vokr_config_widget.h"
#include "vokr_int_combo_box.h"
#include "vokr_layout_widget.h"
#include "vokr_node_allocation.h"
#include "vokr_resources_widget.h"
#include "vokr_sample_depth_combo_box.h"
#include "vokr_segment_combo_box.h"
#include "vokr_storage_combo_box.h"
#include "vokr_tree_widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <algorithm>
#include <iostream>

using namespace manager_test;

namespace {

class ConfigPanel : public MANAGER_TEST {
protected:
    std::unique_ptr<VOKR_CONFIG_WIDGET> panel(const EDITOR& e, int instance = -1)
    {
        auto p = std::make_unique<VOKR_CONFIG_WIDGET>(nullptr, instance, e.frame(), e.get());
        return p;
    }
    template <class T> static T* find(QWidget* p, const char* name)
    {
        T* w = p->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static QComboBox* combo(QWidget* p, const char* name) { return find<QComboBox>(p, name); }
    // What a control shows, as text.
    static QString shown(QWidget* p, const char* name)
    {
        QWidget* w = find<QWidget>(p, name);
        if (auto* c = qobject_cast<QComboBox*>(w))
            return c->currentText();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            return e->text();
        if (auto* s = qobject_cast<QSpinBox*>(w))
            return QString::number(s->value());
        if (auto* g = qobject_cast<QGroupBox*>(w))
            return g->isChecked() ? "on" : "off";
        return qobject_cast<QAbstractButton*>(w)->isChecked() ? "on" : "off";
    }
    static void settle() { QCoreApplication::processEvents(); }
};

QStringList items(const QComboBox* c)
{
    QStringList texts;
    for (int i = 0; i < c->count(); ++i)
        texts << c->itemText(i);
    return texts;
}

// A person's choice of a list item: the item becomes current, then the list says it was chosen.
void choose(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    emit combo->textActivated(combo->itemText(index));
}

void choose(QComboBox* combo, const QString& text) { choose(combo, combo->findText(text)); }

class FAKE_ALLOCATION : public VOKR_NODE_ALLOCATION_IF {
public:
    using VOKR_NODE_ALLOCATION_IF::VOKR_NODE_ALLOCATION_IF;
    int get_maximum() const override { return 100; }
    int get_value() const override { return value; }
    void set_value(int count) override { value = count, ++calls; }
    int value = 0, calls = 0;
};

TEST_F(ConfigPanel, SmallControlsTurnChoicesIntoTypedSignals)
{
    VOKR_INT_COMBO_BOX counts(0, 20);
    QSignalSpy count_spy(&counts, &VOKR_INT_COMBO_BOX::current_count_changed);
    EXPECT_EQ(counts.count(), 21);
    counts.set_current_count(7);
    counts.set_current_count(21);
    EXPECT_EQ(counts.currentText(), "7");
    counts.clear();
    EXPECT_EQ(count_spy.last().at(0).toInt(), 0);

    VOKR_SAMPLE_DEPTH_COMBO_BOX depth;
    depth.addItems({"0", "64"});
    QSignalSpy selected(&depth, &VOKR_SAMPLE_DEPTH_COMBO_BOX::sample_depth_selected);
    QSignalSpy zero(&depth, &VOKR_SAMPLE_DEPTH_COMBO_BOX::zero_sample_depth_selected);
    depth.setCurrentIndex(1);
    depth.setCurrentIndex(0);
    depth.clear();
    ASSERT_EQ(selected.count(), 3);
    EXPECT_EQ(QList<bool>({selected[0][0].toBool(), selected[1][0].toBool(), selected[2][0].toBool()}),
              QList<bool>({true, false, false}));
    EXPECT_EQ(zero.count(), 1);

    VOKR_STORAGE_COMBO_BOX storage;
    QSignalSpy port(&storage, &VOKR_STORAGE_COMBO_BOX::input_port_selected);
    QSignalSpy sq(&storage, &VOKR_STORAGE_COMBO_BOX::storage_qualifier_selected);
    for (const auto& [text, is_port, is_sq] :
         {std::tuple{"Continuous", false, false}, {"Input port", true, true}, {"Transitional", false, true}}) {
        storage.current_index_changed(text);
        EXPECT_EQ(port.last()[0].toBool(), is_port) << text;
        EXPECT_EQ(sq.last()[0].toBool(), is_sq) << text;
    }

    VOKR_SEGMENT_COMBO_BOX segments;
    for (const auto& [index, first, last, n] : {std::tuple{1, "2  32 sample segments", "64  1 sample segments", 6},
                                                {10, "2  16 K sample segments", "32 K  1 sample segments", 15},
                                                {12, "2  64 K sample segments", "128 K  1 sample segments", 17},
                                                {0, "0 segments", "0 segments", 1}}) {
        segments.setEnabled(true);
        segments.sample_depth_changed(index);
        EXPECT_EQ(segments.count(), n) << index;
        EXPECT_EQ(segments.itemText(0), first);
        EXPECT_EQ(segments.itemText(n - 1), last);
        EXPECT_EQ(segments.isEnabled(), index > 0);
    }
    EXPECT_DEATH(segments.sample_depth_changed(13), "index <= 12");

    EDITOR editor(true);
    FAKE_ALLOCATION allocation(editor.get());
    allocation.value = 9;
    HINTS hints(editor.get());
    VOKR_ALLOCATION_TYPE_BUTTON_GROUP group(nullptr, &allocation);
    QRadioButton automatic("Auto"), manual("Manual:");
    QSpinBox spin;
    spin.setValue(4);
    group.addButton(&automatic, 0);
    group.addButton(&manual, 1);
    group.set_spin_box(&spin);
    manual.click();
    EXPECT_EQ(allocation.value, 4);
    EXPECT_TRUE(spin.isEnabled());
    for (int i = 0; i < 2; ++i)
        automatic.click();  // also when already automatic
    EXPECT_EQ(hints.count(VOKR_HINT_VIEW), 2);
    EXPECT_EQ(allocation.calls, 3);
    EXPECT_EQ(allocation.value, 0);
    EXPECT_FALSE(spin.isEnabled());
}

TEST_F(ConfigPanel, RamTypeRowsMapToStoredTypes)
{
    EDITOR editor(true);
    auto p = panel(editor);
    const int stored_of_row[] = {0, 2, 1, 3};  // rows: Auto, small, medium, large
    for (int row : {3, 1, 2, 0}) {
        choose(combo(p.get(), "ram_type"), row);
        settle();
        EXPECT_EQ(editor.data()->get_ram_type(), stored_of_row[row]) << row;
        EXPECT_EQ(combo(p.get(), "ram_type")->currentIndex(), row);
    }
}

TEST_F(ConfigPanel, DepthAndStorageTypeDriveTheDependentControls)
{
    EDITOR editor(true);
    auto p = panel(editor);
    QComboBox* depth = combo(p.get(), "sample_depth");
    choose(depth, "0");
    settle();
    for (const char* name : {"ram_type", "segmented", "storage_type", "trigger_position", "segments"})
        EXPECT_FALSE(find<QWidget>(p.get(), name)->isEnabled()) << name;
    EXPECT_EQ(items(combo(p.get(), "segments")), QStringList{"0 segments"});

    choose(depth, "1 K");
    settle();
    EXPECT_EQ(editor.data()->get_sample_depth(), 1024);
    EXPECT_EQ(combo(p.get(), "segments")->count(), 10);
    EXPECT_EQ(combo(p.get(), "segments")->itemText(9), "1 K  1 sample segments");
    auto* segmented = find<QCheckBox>(p.get(), "segmented");
    segmented->setChecked(true);
    EXPECT_FALSE(combo(p.get(), "storage_type")->isEnabled());
    segmented->setChecked(false);
    EXPECT_TRUE(combo(p.get(), "storage_type")->isEnabled());

    const char* const sq_dependents[] = {"record_discontinuities", "disable_sq", "input_port", "input_port_browse"};
    for (const char* type : {"Continuous", "Input port"}) {
        combo(p.get(), "storage_type")->setCurrentText(type);
        for (const char* name : sq_dependents)
            EXPECT_EQ(find<QWidget>(p.get(), name)->isEnabled(), QString(type) == "Input port") << type << name;
    }
}

// A session holding a depth that the list does not offer says so when it opens, and its box
// shows that depth as its placeholder instead of another depth.
TEST_F(ConfigPanel, UnlistedStoredDepthIsShownAndExplained)
{
    {
        EDITOR made(true);
        ASSERT_TRUE(made.data()->set_sample_depth(1 << 20));
        ASSERT_TRUE(made->save_document(path("deep.lmx").c_str()));
    }
    MSG_JOURNAL::clear();
    EDITOR editor(true);
    bool renamed = false;
    std::string name;
    ASSERT_TRUE(editor->open_document(path("deep.lmx").c_str(), &renamed, &name));
    auto p = panel(editor);
    settle();
    QComboBox* depth = combo(p.get(), "sample_depth");
    EXPECT_EQ(depth->currentIndex(), -1);
    EXPECT_EQ(depth->placeholderText(), "1024 K");
    EXPECT_TRUE(depth->toolTip().startsWith("The stored sample depth 1024 K is not one of the depths offered"));
    const auto warnings = posted("VOKR_UNLISTED_SAMPLE_DEPTH");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].text,
              "Instance \"auto_lumetra_0\": The stored sample depth 1024 K is not one of the depths "
              "offered (0, 64 to 128 K); choose a listed depth to change it");
    choose(depth, "4 K");
    settle();
    EXPECT_EQ(editor.data()->get_sample_depth(), 4096);
    EXPECT_EQ(depth->currentText(), "4 K");
    EXPECT_TRUE(depth->placeholderText().isEmpty() && depth->toolTip().isEmpty());
}

TEST_F(ConfigPanel, OnlyConfigurationRefreshHintsRefresh)
{
    EDITOR editor(true);
    auto p = panel(editor);
    for (const auto& [hint, refreshes] : {std::pair<unsigned int, bool>{VOKR_HINT_CONFIG, false},
                                          {VOKR_HINT_REFRESH, false},
                                          {VOKR_HINT_REFRESH | VOKR_HINT_CONFIG, true},
                                          {VOKR_HINT_REFRESH_CONFIG_VIEW, true}}) {
        find<QLineEdit>(p.get(), "in_pin")->setText("stale");
        p->on_update(nullptr, vokr_hint(hint));
        EXPECT_EQ(shown(p.get(), "in_pin") == "stale", !refreshes) << hint;
    }
}

// The saved session's lines without the views' scroll and zoom positions, which are where a
// view stood, not settings.
QStringList saved(VOKR_TX_MANAGER* manager, const std::string& file)
{
    EXPECT_TRUE(manager->save_document(file.c_str()));
    QFile f(QString::fromStdString(file));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const QString& line) { return line.trimmed().startsWith("<position "); }),
                lines.end());
    return lines;
}

// The first line where two saved sessions differ, empty when they are the same.
QString first_difference(const QStringList& a, const QStringList& b)
{
    for (int i = 0; i < std::max(a.size(), b.size()); ++i)
        if (a.value(i) != b.value(i))
            return QString("line %1: %2 | %3").arg(i + 1).arg(a.value(i).trimmed(), b.value(i).trimmed());
    return QString();
}

// Every control: a person's change reaches the session as one undo step, survives save and
// reopen, shows in a new pane, and one undo gives back exactly the session before.
TEST_F(ConfigPanel, EveryControlRoundTripsThroughTheSession)
{
    using SET = std::function<void(QWidget*)>;
    const auto pick = [](const char* text) -> SET {
        return [text](QWidget* w) {
            auto* combo = static_cast<QComboBox*>(w);
            choose(combo, combo->findText(text));
        };
    };
    const auto click = [](QWidget* w) { static_cast<QAbstractButton*>(w)->click(); };
    const auto group_on = [](QWidget* w) { QMetaObject::invokeMethod(w, "clicked", Q_ARG(bool, true)); };
    const auto type = [](const char* text, const char* signal = "editingFinished") -> SET {
        return [=](QWidget* w) {
            static_cast<QLineEdit*>(w)->setText(text);
            signal == QString("textEdited") ? (void)QMetaObject::invokeMethod(w, signal, Q_ARG(QString, text))
                                            : (void)QMetaObject::invokeMethod(w, signal);
        };
    };
    const auto other_instance = [](QWidget* w) {
        static_cast<QComboBox*>(w)->setCurrentIndex(-1);
        choose(static_cast<QComboBox*>(w), 0);
    };
    const auto value = [](int v) -> SET { return [v](QWidget* w) { static_cast<QSpinBox*>(w)->setValue(v); }; };
    const struct {
        const char* name;
        std::vector<std::pair<const char*, SET>> before;  // steps that make the control usable
        SET change;
        const char* expected;
    } rows[] = {
        {"clock", {}, type("clk"), "clk"},
        {"sample_depth", {}, pick("4 K"), "4 K"},
        {"ram_type", {}, [](QWidget* w) { choose(static_cast<QComboBox*>(w), 3); }, nullptr},
        {"segmented", {}, click, "on"},
        {"segments",
         {{"segmented", click}, {"segments", pick("4  32 sample segments")}},
         pick("8  16 sample segments"),
         "8  16 sample segments"},
        // The depth refills the segment list: one step all the same.
        {"sample_depth", {{"segmented", click}, {"segments", pick("4  32 sample segments")}}, pick("4 K"), "4 K"},
        {"pipeline", {}, pick("3"), "3"},
        {"storage_type", {}, pick("Transitional"), "Transitional"},
        {"input_port", {{"storage_type", pick("Input port")}}, type("sq_in"), "sq_in"},
        {"record_discontinuities", {{"storage_type", pick("Transitional")}}, click, "on"},
        {"disable_sq", {{"storage_type", pick("Transitional")}}, click, "on"},
        {"data_nodes", {}, value(7), "7"},
        {"trigger_nodes", {}, value(6), "6"},
        {"sq_nodes", {{"storage_type", pick("Transitional")}}, value(5), "5"},
        {"flow_control", {}, pick("State-based"), "State-based"},
        {"trigger_position", {}, pick("Post trigger position"), "Post trigger position"},
        {"trigger_conditions", {}, pick("4"), "4"},
        {"trigger_in", {}, group_on, "on"},
        {"in_node_radio", {{"trigger_in", group_on}}, click, "on"},
        {"in_pin", {{"trigger_in", group_on}}, type("tin"), "tin"},
        {"in_node", {{"trigger_in", group_on}}, type("a|b"), "a|b"},
        {"in_instance", {{"trigger_in", group_on}}, other_instance, "auto_lumetra_1"},
        {"pattern", {{"trigger_in", group_on}}, pick("Falling Edge"), "Falling Edge"},
        {"trigger_out", {}, group_on, "on"},
        {"out_pin_check", {{"trigger_out", group_on}}, click, "on"},
        {"out_pin", {{"trigger_out", group_on}}, type("tout", "textEdited"), "tout"},
        {"out_instance_check", {{"trigger_out", group_on}}, click, "on"},
        {"out_instance", {{"trigger_out", group_on}}, other_instance, "auto_lumetra_1"},
        {"out_eps_trigger_in", {{"trigger_out", group_on}}, click, "on"},
        {"out_eps_event_check", {{"trigger_out", group_on}}, click, "on"},
        {"out_eps_event", {{"trigger_out", group_on}}, pick("12"), "12"},
        {"level", {{"trigger_out", group_on}}, pick("Active Low"), "Active Low"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EDITOR editor(true);
        ASSERT_TRUE(editor->add_instance());
        editor->set_instance(0);
        auto p = panel(editor);
        settle();
        for (const auto& [name, step] : row.before) {
            step(find<QWidget>(p.get(), name));
            settle();
        }
        const QString before = shown(p.get(), row.name);
        editor->get_state_machine_object(-1);  // the flow is made on first read, as its pane reads it
        const QStringList session_before = saved(editor.get(), path("before.lmx"));
        row.change(find<QWidget>(p.get(), row.name));
        settle();
        const QString expected = row.expected ? row.expected : VOKR_CONFIG_WIDGET::ram_type_items()[3];
        EXPECT_EQ(shown(p.get(), row.name), expected);
        ASSERT_TRUE(editor->save_document(path("round.lmx").c_str()));
        {
            EDITOR reopened(true);
            ASSERT_NO_FATAL_FAILURE(open_session(reopened.get(), "round.lmx"));
            auto again = panel(reopened);
            EXPECT_EQ(shown(again.get(), row.name), expected);
        }
        editor->on_edit_undo();
        settle();
        EXPECT_EQ(shown(p.get(), row.name), before);
        EXPECT_EQ(first_difference(saved(editor.get(), path("before.lmx")), session_before).toStdString(), "");
    }
}

// The level count offers 1 to 10; every count chosen is stored, and the levels keep distinct
// names through save and reopen, also when a level was renamed to a name a new level would get.
TEST_F(ConfigPanel, LevelCountsOneToTenWithDistinctNames)
{
    EDITOR editor(true);
    ASSERT_TRUE(editor->add_instance());
    editor->set_instance(0);
    auto p = panel(editor);
    settle();
    QStringList counts;
    for (int n = 1; n <= 10; ++n)
        counts << QString::number(n);
    EXPECT_EQ(items(combo(p.get(), "trigger_conditions")), counts);
    const struct {
        const char* count;
        const char* rename_first;  // a new name for level 1 once the count is chosen, or null
    } steps[] = {{"10", nullptr}, {"2", "condition3"}, {"3", nullptr}, {"1", "condition2"}, {"4", nullptr}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.count);
        choose(combo(p.get(), "trigger_conditions"), step.count);
        settle();
        if (step.rename_first) {
            EXPECT_TRUE(editor->set_trigger_level_name(step.rename_first, 0, -1));
        }
        ASSERT_TRUE(editor->save_document(path("levels.lmx").c_str()));
        EDITOR reopened(true);
        ASSERT_NO_FATAL_FAILURE(open_session(reopened.get(), "levels.lmx"));
        const QStringList names = reopened->get_condition_names(-1);
        EXPECT_EQ(names.size(), QString(step.count).toInt());
        EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size()) << names.join(", ").toStdString();
    }
}

bool usable(QWidget* w) { return !w->testAttribute(Qt::WA_Disabled); }

TEST_F(ConfigPanel, PowerUpViewAndLockModesDecideWhatStaysEditable)
{
    const char* const guarded[] = {"pipeline", "flow_control", "trigger_conditions",
                                   "clock",    "trigger_in",   "trigger_out"};
    const char* const soft[] = {"trigger_position", "disable_sq", "pattern", "level"};
    const struct {
        bool framed, power_up;
        VOKR_LOCK_MODE lock;
        bool guarded_usable, soft_usable, tinted;
    } cases[] = {{true, true, VOKR_LOCK_MODE_ALL_CHANGES, false, true, true},
                 // A lock alone blocks the guarded controls only: position, "Disable storage
                 // qualifier", pattern and level are blocked when locked in the power-up view.
                 {true, false, VOKR_LOCK_MODE(1), false, true, false},
                 {true, false, VOKR_LOCK_MODE(2), false, true, false},
                 {true, true, VOKR_LOCK_MODE(2), false, false, false},  // only usable controls are tinted
                 {true, false, VOKR_LOCK_MODE_ALL_CHANGES, true, true, false},
                 {false, false, VOKR_LOCK_MODE(1), true, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.framed << c.power_up << c.lock);
        EDITOR editor(c.framed);
        editor->enable_trigger_in(true);
        editor->enable_trigger_out(true);
        editor->set_storage_qualifier_type("Transitional");
        if (c.power_up)
            editor->enable_powerup_trigger(0, true);
        editor->set_lock_mode(c.lock, false);
        auto p = panel(editor);
        if (!c.framed)
            p = std::make_unique<VOKR_CONFIG_WIDGET>(nullptr, -1, nullptr, editor.get());
        for (const char* name : guarded)
            EXPECT_EQ(usable(find<QWidget>(p.get(), name)), c.guarded_usable) << name;
        for (const char* name : soft) {
            QWidget* w = find<QWidget>(p.get(), name);
            EXPECT_EQ(usable(w), c.soft_usable) << name;
            EXPECT_EQ(w->palette().color(QPalette::Base) == QColor(153, 204, 255), c.tinted) << name;
        }
        // Group boxes keep their children's states.
        EXPECT_EQ(find<QWidget>(p.get(), "in_pin_radio")->isEnabled(), c.guarded_usable);
    }
}

TEST_F(ConfigPanel, EmbeddedProcessorControlsNeedADeviceWithOne)
{
    for (const auto& [device, eps] : {std::pair{"MR2-C40", true}, {"TV1-A10", false}}) {
        SCOPED_TRACE(device);
        ASSERT_NO_FATAL_FAILURE(open_project((std::string("top top\ndevice ") + device + "\n").c_str()));
        EDITOR editor(true);
        editor->enable_trigger_in(true);
        editor->enable_trigger_out(true);
        editor->set_trigger_out_eps_event_selected(true);
        editor.trigger()->get_trigger_out()->set_instance_name("gone");
        auto p = panel(editor);
        for (const char* name : {"in_eps_radio", "out_eps_trigger_in", "out_eps_event_check", "out_eps_event"})
            EXPECT_EQ(find<QWidget>(p.get(), name)->isEnabled(), eps) << name;
        // One instance: nothing to choose; the stale destination shows as read-only text.
        QComboBox* out = combo(p.get(), "out_instance");
        EXPECT_EQ(out->count(), 0);
        EXPECT_FALSE(find<QWidget>(p.get(), "out_instance_check")->isEnabled());
        EXPECT_EQ(out->currentIndex(), -1);
        EXPECT_EQ(out->currentText(), "gone");
        EXPECT_TRUE(out->lineEdit() && out->lineEdit()->isReadOnly());
        PRJ_PROJECT::close();
    }
}

TEST_F(ConfigPanel, StorageSettingsFollowThePanesOwnInstance)
{
    EDITOR editor(true);
    ASSERT_TRUE(editor->add_instance());
    editor->set_storage_qualifier_type("Transitional");  // instance 1, current
    editor->storage_qualifier_manual_input_changed(3);
    editor->set_storage_qualifier_type("Continuous");
    auto current = panel(editor);
    EXPECT_TRUE(find<QRadioButton>(current.get(), "sq_manual")->isChecked());
    for (const char* name : {"sq_manual", "sq_auto", "sq_nodes"})
        EXPECT_FALSE(find<QWidget>(current.get(), name)->isEnabled()) << name;
    editor->set_storage_qualifier_type("Start/Stop");
    ASSERT_TRUE(editor->set_instance(0));
    auto other = panel(editor, 1);
    EXPECT_EQ(shown(other.get(), "storage_type"), "Start/Stop");
}

// A clock name cleared and left is no clock the session takes: the field shows the clock kept.
TEST_F(ConfigPanel, AClearedClockFieldShowsTheClockKept)
{
    EDITOR editor(true);
    editor->set_clock("clk");
    auto p = panel(editor);
    settle();
    auto* clock = find<QLineEdit>(p.get(), "clock");
    clock->setText("");
    QMetaObject::invokeMethod(clock, "editingFinished");
    settle();
    EXPECT_EQ(shown(p.get(), "clock"), "clk");
}

TEST_F(ConfigPanel, DemoSessionRendersToPng)
{
    ASSERT_NO_FATAL_FAILURE(open_demo_project());
    EDITOR editor(true);
    ASSERT_NO_FATAL_FAILURE(open_session(editor.get(), "demo.lmx"));
    auto p = panel(editor);
    p->resize(620, 1260);
    p->show();
    settle();
    QDir().mkpath(VOKR_ARTIFACT_DIR);
    const QString file = VOKR_ARTIFACT_DIR "/signal_config_panel.png";
    ASSERT_TRUE(p->grab().save(file));
    std::cout << "signal configuration panel image: " << file.toStdString() << std::endl;
    EXPECT_NE(shown(p.get(), "clock"), "");
    PRJ_PROJECT::close();
}

// ---- flags and counters table ------------------------------------------------------------------

class FlagsAndCounters : public ConfigPanel {
protected:
    void SetUp() override
    {
        ConfigPanel::SetUp();
        m_editor = std::make_unique<EDITOR>(true);
        (*m_editor)->set_trigger_flow_control("State-based");
        (*m_editor)->set_counter_count(1);
        (*m_editor)->set_flag_count(1);
    }
    std::unique_ptr<VOKR_TREE_WIDGET> table(bool flags)
    {
        auto t = flags ? std::make_unique<VOKR_TREE_WIDGET>(0, 1, true, -1, m_editor->get(), 0)
                       : std::make_unique<VOKR_TREE_WIDGET>(1, 32, false, -1, m_editor->get(), 4294967295u);
        t->setColumnCount(flags ? 3 : 4);
        int width = 0, initial = 0;
        unsigned initial_u = 0;
        const char* name = flags ? (*m_editor)->get_flag_name(0, -1, &initial)
                                 : (*m_editor)->get_counter_name(0, -1, &width, &initial_u);
        t->addTopLevelItem(
            new QTreeWidgetItem({name, QString::number(flags ? initial : width), QString::number(initial_u), "0"}));
        t->topLevelItem(0)->setFlags(t->topLevelItem(0)->flags() | Qt::ItemIsEditable);
        // The wiring of the owning pane.
        VOKR_TX_MANAGER* m = m_editor->get();
        QObject::connect(t.get(), &VOKR_TREE_WIDGET::column_zero_changed, m,
                         flags ? &VOKR_TX_MANAGER::set_flag_name : &VOKR_TX_MANAGER::set_counter_name);
        QObject::connect(t.get(), &VOKR_TREE_WIDGET::column_one_changed, m,
                         flags ? &VOKR_TX_MANAGER::set_flag_initial_value : &VOKR_TX_MANAGER::set_counter_width);
        QObject::connect(t.get(), &VOKR_TREE_WIDGET::column_two_changed, m,
                         &VOKR_TX_MANAGER::set_counter_initial_value);
        return t;
    }
    std::unique_ptr<EDITOR> m_editor;
};

TEST_F(FlagsAndCounters, EditsAreClampedAndReachTheManager)
{
    const struct {
        bool flags;
        int column;
        const char* typed;
        const char* shown;
    } cases[] = {{false, 1, "0", "1"},
                 {false, 1, "33", "32"},
                 {false, 1, "abc", "1"},
                 {false, 2, "-1", "0"},
                 {false, 2, "abc", "0"},
                 {false, 1, "32", "32"},
                 {false, 2, "4294967295", "4294967295"},
                 {true, 1, "5", "1"},
                 {true, 1, "-3", "0"},
                 {false, 3, "77", "0"},
                 {true, 2, "9", "0"},
                 {false, 0, "hits", "hits"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << c.column << c.typed);
        auto t = table(c.flags);
        t->topLevelItem(0)->setText(c.column, c.typed);
        EXPECT_EQ(t->topLevelItem(0)->text(c.column), c.shown);
        int width = 0, flag_initial = 0;
        unsigned counter_initial = 0;
        const QString name = c.flags ? (*m_editor)->get_flag_name(0, -1, &flag_initial)
                                     : (*m_editor)->get_counter_name(0, -1, &width, &counter_initial);
        const QString stored[] = {name, QString::number(c.flags ? flag_initial : width),
                                  QString::number(counter_initial)};
        if (c.column < 3 && !(c.flags && c.column == 2)) {
            EXPECT_EQ(stored[c.column], c.shown);
        }
    }
}

// Every control of the resources pane: a person's change is one undo step that gives back
// exactly the session before.
TEST_F(FlagsAndCounters, EveryPaneControlIsOneUndoStep)
{
    using SET = std::function<void(VOKR_RESOURCES_WIDGET&)>;
    const auto cell = [](bool flags, int column, const char* text) -> SET {
        return [=](VOKR_RESOURCES_WIDGET& pane) {
            VOKR_TREE_WIDGET* table = flags ? pane.get_flag_table() : pane.get_counter_table();
            table->topLevelItem(0)->setText(column, text);
        };
    };
    const auto option = [](int i) -> SET {
        return [i](VOKR_RESOURCES_WIDGET& pane) { pane.get_option_boxes()[i]->click(); };
    };
    const std::pair<const char*, SET> rows[] = {
        {"flag count", [](VOKR_RESOURCES_WIDGET& pane) { choose(pane.get_flag_combo(), "3"); }},
        {"counter count", [](VOKR_RESOURCES_WIDGET& pane) { choose(pane.get_counter_combo(), "2"); }},
        {"goto destinations", option(0)},
        {"comparison values", option(1)},
        {"comparison operators", option(2)},
        {"logical operators", option(3)},
        {"flag name", cell(true, 0, "done")},
        {"flag initial value", cell(true, 1, "1")},
        {"counter name", cell(false, 0, "hits")},
        {"counter width", cell(false, 1, "8")},
        {"counter initial value", cell(false, 2, "5")},
    };
    VOKR_RESOURCES_WIDGET pane(nullptr, -1, m_editor->frame());
    VOKR_TX_MANAGER* m = m_editor->get();
    m->get_state_machine_object(-1);
    settle();
    for (const auto& [name, change] : rows) {
        SCOPED_TRACE(name);
        const QStringList before = saved(m, path("before.lmx"));
        change(pane);
        settle();
        EXPECT_NE(first_difference(saved(m, path("changed.lmx")), before).toStdString(), "");
        m->on_edit_undo();
        settle();
        EXPECT_EQ(first_difference(saved(m, path("undone.lmx")), before).toStdString(), "");
    }
}

TEST_F(FlagsAndCounters, RefusedEditsShowTheSessionsValue)
{
    (*m_editor)->set_instance_acq_state(-1, 0x800000);
    for (const auto& [flags, column] : {std::pair{false, 0}, {false, 1}, {false, 2}, {true, 1}}) {
        auto t = table(flags);
        const QString before = t->topLevelItem(0)->text(column);
        int passed_on = 0;
        for (auto signal : {&VOKR_TREE_WIDGET::column_one_changed})
            QObject::connect(t.get(), signal, [&] { ++passed_on; });
        QObject::connect(t.get(), &VOKR_TREE_WIDGET::column_zero_changed, [&] { ++passed_on; });
        QObject::connect(t.get(), &VOKR_TREE_WIDGET::column_two_changed, [&] { ++passed_on; });
        t->topLevelItem(0)->setText(column, "9");
        EXPECT_EQ(t->topLevelItem(0)->text(column), before) << flags << column;
        EXPECT_EQ(passed_on, 0);
    }
}

// A name the session does not take (none, or another's) shows the session's name again at once.
TEST_F(FlagsAndCounters, NamesTheSessionRefusesShowItsOwnAgain)
{
    for (const bool flags : {false, true}) {
        auto t = table(flags);
        const QString before = t->topLevelItem(0)->text(0);
        t->topLevelItem(0)->setText(0, "");
        EXPECT_EQ(t->topLevelItem(0)->text(0), before) << flags;
        t->topLevelItem(0)->setText(0, "renamed");
        EXPECT_EQ(t->topLevelItem(0)->text(0), "renamed") << flags;
    }
}

TEST_F(FlagsAndCounters, SingleClickEditsAllButTheCurrentValue)
{
    auto t = table(false);
    t->resize(400, 200);
    t->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(t.get()));
    const QRect name = t->visualItemRect(t->topLevelItem(0));
    const QPoint in_name(t->columnViewportPosition(0) + 5, name.center().y());
    const QPoint in_current(t->columnViewportPosition(3) + 5, name.center().y());
    QTest::mouseMove(t->viewport(), in_current);
    EXPECT_EQ(t->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(t->viewport(), in_name);
    EXPECT_EQ(t->cursor().shape(), Qt::IBeamCursor);
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, in_name);
    EXPECT_NE(t->viewport()->findChild<QLineEdit*>(), nullptr);  // the editor is open
}

}  // namespace

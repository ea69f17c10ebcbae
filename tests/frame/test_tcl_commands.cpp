// The module's Tcl commands run in-process on real editor windows: dialog chains answered by
// their follow-ups, the commands' effects, their errors, and random calls.
#include "manager_test_support.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_mnemonic_dlg.h"
#include "vokr_mnemonic_new_table_dlg.h"
#include "vokr_mnemonic_table_view.h"
#include "vokr_object_widget.h"
#include "vokr_tcl.h"
#include "vokr_tx_manager.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPrinter>
#include <QStandardItemModel>

#include <random>

namespace {

using namespace manager_test;

// What each modal dialog held when it closed: its class and, for the mnemonic dialogs, the
// tables or the new table's name.
class DIALOG_SPY : public QObject {
public:
    DIALOG_SPY() { qApp->installEventFilter(this); }
    std::vector<std::string> seen;
    std::vector<std::pair<int, int>> keys;  // key, modifiers sent to the editor
    bool saw(const std::string& start) const
    {
        return std::any_of(seen.begin(), seen.end(), [&start](const std::string& s) { return s.rfind(start, 0) == 0; });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && qobject_cast<VOKR_OBJECT_WIDGET*>(watched)) {
            auto* key = static_cast<QKeyEvent*>(event);
            keys.emplace_back(key->key(), int(key->modifiers()));
        }
        if (event->type() != QEvent::Hide || !qobject_cast<QDialog*>(watched))
            return false;
        std::string text = watched->metaObject()->className();
        if (auto* d = qobject_cast<VOKR_MNEMONIC_DLG*>(watched)) {
            for (int i = 0; i < d->table_selector()->count(); ++i)
                text += "|" + d->table_selector()->itemText(i).toStdString();
            if (d->current_table())  // entries held, rows shown
                text += "|" + std::to_string(d->current_table()->entries.size()) + "/" +
                        std::to_string(d->entries_view()->entries_model()->rowCount());
        }
        if (auto* d = qobject_cast<VOKR_MNEMONIC_NEW_TABLE_DLG*>(watched))
            text += "|" + d->name_edit()->text().toStdString();
        seen.push_back(text);
        return false;
    }
};

class TclCommands : public MANAGER_TEST {
protected:
    static void SetUpTestSuite()
    {
        interp = Tcl_CreateInterp();
        yuvr_set_interpreter(interp);
        Tcl_Eval(interp, "load {} Vokr");
    }
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        wex_clear_modal_follow_up_log();
        frame = new_frame();
    }
    std::unique_ptr<VOKR_FRAME_WND> new_frame()
    {
        auto f = std::make_unique<VOKR_FRAME_WND>(nullptr, 0, 0, 0);
        EXPECT_TRUE(f->new_file());
        f->activateWindow();
        QCoreApplication::processEvents();
        return f;
    }
    static std::string eval(const std::string& script, int* code = nullptr)
    {
        const int result = Tcl_Eval(interp, script.c_str());
        if (code)
            *code = result;
        return Tcl_GetStringResult(interp);
    }
    std::vector<std::string> nodes(VOKR_FRAME_WND* f) const
    {
        return names(f->get_tx_manager()->get_trigger_nodes(-1));
    }

    static Tcl_Interp* interp;
    std::unique_ptr<VOKR_FRAME_WND> frame;
    DIALOG_SPY spy;
};

Tcl_Interp* TclCommands::interp = nullptr;

// Each call registers its follow-up (values escaped so they reach it as typed) and the chain it
// starts leaves its trace in the dialogs that closed.
TEST_F(TclCommands, DialogChainsRegisterTheirFollowUpsAndFillTheDialogs)
{
    struct CASE {
        const char* script;
        const char* follow_up;
        const char* dialog_seen;  // a closed dialog's record that must be there
    } cases[] = {
        {"vokr_on_mnemonic_dialog -action {add table}",
         "vokr_dlg_trigger_add_table_dialog -table_name \"\" -table_width \"\"", "VOKR_MNEMONIC_NEW_TABLE_DLG|"},
        {"vokr_on_mnemonic_dialog -action {add table} -table_name states -table_width 8",
         "vokr_dlg_trigger_add_table_dialog -table_name \"states\" -table_width \"8\"",
         "VOKR_MNEMONIC_DLG|states : width = 8"},
        {"vokr_on_mnemonic_dialog -action {add table} -table_name {a\"b$c[set ::pwned 1]\\x} -table_width 8",
         "vokr_dlg_trigger_add_table_dialog -table_name \"a\\\"b\\$c\\[set ::pwned 1\\]\\\\x\" -table_width \"8\"",
         "VOKR_MNEMONIC_NEW_TABLE_DLG|a\"b$c[set ::pwned 1]\\x"},
        {"vokr_on_insert_time_bar_dialog -sample_number 3",
         "vokr_dlg_trigger_insert_time_bar_dialog -time \"\" -time_unit_index \"\" -sample_number \"3\"",
         "VOKR_INSERT_TIME_BAR_DLG"},
        {"vokr_on_advanced_key_press -keyboard_key Enter -keyboard_modifier 2", "", nullptr},
        {"vokr_on_advanced_key_press -keyboard_key Enter -keyboard_modifier 1",
         "vokr_dlg_trigger_property_dialog_accept", nullptr},
        {"vokr_on_advanced_key_press -keyboard_key A -keyboard_modifier 9", "vokr_dlg_trigger_property_dialog_insert",
         nullptr},
        {"vokr_test_advanced_menu_actions -action nothing -x_coord 5 -y_coord 5", "", nullptr},
        {"vokr_find -find_string x -direction 7", "vokr_dlg_trigger_find_dialog", nullptr},
    };
    for (const CASE& c : cases) {
        spy.seen.clear();
        wex_clear_modal_follow_up_log();
        int code = 0;
        const std::string result = eval(c.script, &code);
        EXPECT_EQ(code, TCL_OK) << c.script << ": " << result;
        ASSERT_FALSE(wex_get_modal_follow_up_log().empty()) << c.script;
        EXPECT_EQ(wex_get_modal_follow_up_log().front(), c.follow_up) << c.script;
        if (c.dialog_seen) {
            EXPECT_TRUE(spy.saw(c.dialog_seen)) << c.script << " saw " << ::testing::PrintToString(spy.seen);
        }
        EXPECT_FALSE(wex_has_pending_modal_follow_up()) << c.script;
    }
    EXPECT_EQ(eval("info exists ::pwned"), "0");
}

// Chains in the mnemonic dialog of a session holding "opcodes" (NOP 00, JMP 11).
TEST_F(TclCommands, MnemonicChainsEditThePendingTables)
{
    const std::string source = path("second.lmx");
    {
        EDITOR other(false);
        other->get_session()->get_data_session()->get_mnemonics()->create_table("imported", 3);
        ASSERT_TRUE(other->save_document(source.c_str()));
    }
    KSM_DATA_MNEMONICS* tables = frame->get_tx_manager()->get_session()->get_data_session()->get_mnemonics();
    tables->create_table("opcodes", 2)->add_entry("NOP", "00");
    tables->get_table(0)->add_entry("JMP", "11");
    const struct {
        std::string script;
        const char* dialog_seen;
    } cases[] = {
        // The value dialog adds the typed entry to the table shown.
        {"vokr_on_mnemonic_dialog -action {add entry} -entry_value 01 -entry_radix 7 -entry_mnemonic ADD",
         "VOKR_MNEMONIC_DLG|opcodes|3/4"},
        // The entry list shows what the table holds (and the "<<new>>" row) after the removal.
        {"vokr_on_mnemonic_dialog -action {delete entry} -entry_row 0", "VOKR_MNEMONIC_DLG|opcodes|1/2"},
        {"vokr_on_mnemonic_dialog -action {import file} -import_filename {" + source + "}",
         "VOKR_MNEMONIC_DLG|opcodes|imported"},
    };
    for (const auto& c : cases) {
        spy.seen.clear();
        int code = 0;
        eval(c.script, &code);
        EXPECT_EQ(code, TCL_OK) << c.script;
        EXPECT_TRUE(spy.saw(c.dialog_seen)) << c.script << " saw " << ::testing::PrintToString(spy.seen);
    }
}

TEST_F(TclCommands, EditorCommandsActOnTheEditorAsScripted)
{
    VOKR_OBJECT_WIDGET* canvas = frame->get_layout_widget()->get_object_widget();
    eval("vokr_find -find_string x -direction 7");
    EXPECT_EQ(canvas->get_find_direction(), "All");
    eval("vokr_find -find_string x -direction 1");
    EXPECT_EQ(canvas->get_find_direction(), "Up");
    EXPECT_EQ(canvas->get_find_text(), "x");

    spy.keys.clear();
    eval("vokr_on_advanced_key_press -keyboard_key Enter -keyboard_modifier 2");
    eval("vokr_on_advanced_key_press -keyboard_key Tab -keyboard_modifier 1");
    EXPECT_EQ(spy.keys, (std::vector<std::pair<int, int>>{{Qt::Key_Enter, int(Qt::ShiftModifier)},
                                                          {Qt::Key_Escape, int(Qt::NoModifier)}}));

    EXPECT_EQ(eval("vokr_dlg_trigger_property_dialog_accept"), "1");
    eval("vokr_on_print_file");  // nothing captured: no page, no failure
    EXPECT_EQ(frame->get_printer()->outputFormat(), QPrinter::PdfFormat);

    HINTS hints(frame->get_tx_manager());
    int code = 0;
    const std::string trigger = frame->get_tx_manager()->get_tx_instance()->get_active_trigger_name();
    eval("vokr_set_active -trigger_name {" + trigger + "}", &code);
    EXPECT_EQ(code, TCL_OK) << Tcl_GetStringResult(interp);
    // The data log pane hears of it too, to mark the log made active.
    EXPECT_EQ(hints.count(VOKR_HINT_REFRESH_CONFIG_VIEW | VOKR_HINT_DATA_LOG), 1);

    eval("vokr_add_node -filename nowhere.lmx -nodename ignored");  // no frame of that name: nothing
    eval("vokr_add_node -filename {} -nodename a");                 // the untitled frame's path is empty
    eval("vokr_undo_view");
    EXPECT_TRUE(nodes(frame.get()).empty());
    eval("vokr_redo_view");
    EXPECT_EQ(nodes(frame.get()), std::vector<std::string>{"a"});
}

// Nodes go to the first frame of the file, and a location from a new file to the last frame.
TEST_F(TclCommands, AddNodeAndLocateChooseTheFrame)
{
    const QString file = QString::fromStdString(path("shared.lmx"));
    ASSERT_TRUE(frame->save_as(file));
    auto second = new_frame();
    ASSERT_TRUE(second->open_file(file));
    auto third = new_frame();
    const std::string name = file.toStdString();
    int code = 0;
    eval("vokr_add_node -filename {" + name + "} -nodename n1", &code);
    EXPECT_EQ(code, TCL_OK) << Tcl_GetStringResult(interp);
    eval("vokr_do_locate -schema {-source {New Lumetra File} -object l1 -object {} -object l2}", &code);
    EXPECT_EQ(code, TCL_OK) << Tcl_GetStringResult(interp);
    eval("vokr_do_locate -schema {-source {" + name + "} -object l3}");
    EXPECT_EQ(nodes(frame.get()), (std::vector<std::string>{"n1", "l3"}));
    EXPECT_TRUE(nodes(second.get()).empty());
    EXPECT_EQ(nodes(third.get()), (std::vector<std::string>{"l1", "l2"}));
}

TEST_F(TclCommands, BadInputAnswersATclErrorAndChangesNothing)
{
    struct CASE {
        const char* script;
        const char* message;
    } cases[] = {
        {"vokr_do_locate -schema \\{", "not a Tcl list"},
        {"vokr_set_active -trigger_name nope", "has no signal set \"\", trigger \"nope\""},
        {"vokr_do_locate -schema {-object a}", "names no source"},
        {"vokr_do_locate -schema {-bogus 1}", "cannot be read"},
        {"vokr_switch_to_advanced_view -combobox_type 13", "outside 0..12"},
        {"vokr_switch_to_advanced_view -combobox_type -1", "outside 0..12"},
        {"vokr_dlg_trigger_add_table_dialog_accept -table_name a -table_width 1", "no new mnemonic table dialog"},
        {"vokr_dlg_trigger_delete_entry -entry_row 0", "no mnemonic table dialog"},
        {"vokr_dlg_trigger_property_dialog", "no object properties dialog"},
        {"vokr_dlg_trigger_import_dialog_accept", "no mnemonic import dialog"},
        {"vokr_dlg_trigger_file_dialog_accept -import_filename x", "no file dialog"},
        {"vokr_set_storage_qualifier",
         "bad type \"\": must be Continuous, Conditional, Start/Stop, Transitional, "
         "State-based, Input port"},
        {"vokr_set_storage_qualifier -type {}", "bad type \"\""},
        {"vokr_set_storage_qualifier -type PORT", "bad type \"PORT\""},
        {"vokr_set_storage_qualifier -type conditional", "bad type \"conditional\""},
        {"vokr_on_mnemonic_dialog -action {Add Table}",
         "unknown action \"Add Table\": must be add table, import file, delete table, add entry, delete entry"},
        {"vokr_on_mnemonic_dialog -action bogus", "unknown action \"bogus\""},
    };
    spy.seen.clear();
    for (const CASE& c : cases) {
        int code = 0;
        const std::string result = eval(c.script, &code);
        EXPECT_EQ(code, TCL_ERROR) << c.script;
        EXPECT_NE(result.find(c.message), std::string::npos) << c.script << ": " << result;
    }
    EXPECT_TRUE(spy.seen.empty()) << "no dialog opened for the refused calls";
    EXPECT_EQ(frame->get_tx_manager()->get_trigger_nodes(-1)->get_storage_qualifier_type(), KSM_SQTYPE_CONTINUOUS);
    EXPECT_TRUE(nodes(frame.get()).empty());
    frame.reset();
    int code = 0;
    {
        // A window without a session: the commands that work on one say so.
        VOKR_FRAME_WND bare(nullptr, 0, 0, 0);
        bare.activateWindow();
        QCoreApplication::processEvents();
        for (const char* script : {"vokr_set_storage_qualifier -type Continuous", "vokr_undo_view",
                                   "vokr_delete_all_node_in_view", "vokr_on_mnemonic_dialog -action {add table}"}) {
            EXPECT_NE(eval(script, &code).find("the editor has no session"), std::string::npos) << script;
            EXPECT_EQ(code, TCL_ERROR) << script;
        }
    }
    EXPECT_EQ(eval("vokr_undo_view", &code), "vokr_undo_view: no editor window is open");
    EXPECT_EQ(code, TCL_ERROR);
}

// Every command with random option words and values: it answers, with TCL_OK or TCL_ERROR.
TEST_F(TclCommands, RandomCallsAnswerWithoutCrashOrHang)
{
    const char* values[] = {"",           "0",  "-1", "12", "99999999999999999999", "\"",        "[",
                            "]",          "{",  "$x", "\\", "\xc3\xa9\xe2\x82\xac", "add table", "Enter",
                            "properties", "a b"};
    std::mt19937 random(30);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 2; ++round)
        for (int command = 0; command < VOKR_TCL_COMMAND_COUNT; ++command) {
            if (command == VOKR_TCL_ON_PRINT_FILE || command == VOKR_TCL_SHOW_LIST_VIEW)
                continue;  // they write files where the random words say
            Tcl_Obj* words = Tcl_NewListObj(0, nullptr);
            Tcl_IncrRefCount(words);
            Tcl_ListObjAppendElement(interp, words,
                                     Tcl_NewStringObj(VOKR_TCL_COMMAND_DEFINITIONS[command].command, -1));
            for (int n = pick(4); n > 0; --n) {
                const int option = 4 + pick(25);
                Tcl_ListObjAppendElement(
                    interp, words, Tcl_NewStringObj((std::string("-") + vokr_tcl_option_name(option)).c_str(), -1));
                Tcl_ListObjAppendElement(interp, words, Tcl_NewStringObj(values[pick(std::size(values))], -1));
            }
            const int code = Tcl_EvalObjEx(interp, words, TCL_EVAL_GLOBAL);
            EXPECT_TRUE(code == TCL_OK || code == TCL_ERROR) << Tcl_GetString(words);
            Tcl_DecrRefCount(words);
        }
    EXPECT_FALSE(wex_has_pending_modal_follow_up());
}

}  // namespace

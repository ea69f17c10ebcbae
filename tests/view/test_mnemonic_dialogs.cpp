// The mnemonic table setup and import dialogs: the pending copy and its in-place edits, the
// checks before the session's tables are replaced, and tables imported from another session
// file, saved with the session and shown by a bus that uses them.
#include "manager_test_support.h"

#include "vokr_mnemonic_dlg.h"
#include "vokr_mnemonic_import_dlg.h"
#include "vokr_mnemonic_new_table_dlg.h"
#include "vokr_mnemonic_table_view.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QStandardItemModel>
#include <QTimer>

using namespace manager_test;

namespace {

class MnemonicDialogs : public MANAGER_TEST {
protected:
    KSM_DATA_MNEMONICS* tables(VOKR_TX_MANAGER* m) { return m->get_session()->get_data_session()->get_mnemonics(); }
    // A session file holding the table "opcodes" of width 2, written through its own editor.
    QString write_source(const char* name)
    {
        EDITOR source(false);
        tables(source.get())->create_table("opcodes", 2)->add_entry("NOP", "00");
        tables(source.get())->get_table(0)->add_entry("JMP", "11");
        EXPECT_TRUE(source->save_document(path(name).c_str()));
        return QString::fromStdString(path(name));
    }
    // Runs `drive` on the next modal dialog of type T once it shows.
    template <class T> static void on_modal(std::function<void(T*)> drive)
    {
        QTimer::singleShot(0, [drive] { drive(qobject_cast<T*>(QApplication::activeModalWidget())); });
    }
    static std::vector<std::string> patterns(const VOKR_MNEMONIC_DLG::TABLE* t)
    {
        std::vector<std::string> out;
        for (const auto& e : t->entries)
            out.push_back((e.pattern + "=" + e.symbol).toStdString());
        return out;
    }
    // Types `text` into the cell as a person would, closing the editor with Enter.
    static void type_into(VOKR_MNEMONIC_TABLE_VIEW* view, int row, int column, const QString& text)
    {
        const QModelIndex cell = view->entries_model()->index(row, column);
        view->setCurrentIndex(cell);
        view->edit(cell);
        auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(cell));
        ASSERT_TRUE(editor);
        editor->setText(text);
        emit view->itemDelegate()->commitData(editor);
        emit view->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    EDITOR editor{true};
};

TEST_F(MnemonicDialogs, PatternsAreNormalisedToTheTableWidth)
{
    const struct {
        const char* typed;
        int width;
        const char* stored;
    } cases[] = {{"h1x", 4, "0H1X"}, {"10101", 4, "XXXX"}, {"L", 4, "0000"}, {"", 3, "000"}, {"1f", 2, "1F"}};
    for (const auto& c : cases)
        EXPECT_EQ(VOKR_MNEMONIC_DLG::normalize_pattern(c.typed, c.width), c.stored) << c.typed;
}

TEST_F(MnemonicDialogs, AddTableRefusesNamelessAndOutOfRangeWidths)
{
    const struct {
        const char *name, *width, *notice;
    } cases[] = {{"", "1", "VOKR_NO_NAME"},
                 {"s", "8 bits", "VOKR_VALUE_OUT_OF_RANGE"},
                 {"s", "0", "VOKR_VALUE_OUT_OF_RANGE"},
                 {"s", "1025", "VOKR_VALUE_OUT_OF_RANGE"},
                 {"s", "1024", nullptr}};
    for (const auto& c : cases) {
        MSG_JOURNAL::clear();
        VOKR_MNEMONIC_NEW_TABLE_DLG dialog(nullptr);
        dialog.name_edit()->setText(c.name);
        dialog.width_edit()->setText(c.width);
        dialog.accept();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.notice == nullptr) << c.width;
        EXPECT_EQ(shown_messages(), c.notice ? std::vector<std::string>{c.notice} : std::vector<std::string>{});
    }
}

TEST_F(MnemonicDialogs, EntriesStaySortedAndInPlaceEditsNormalise)
{
    VOKR_MNEMONIC_DLG dialog(editor.frame(), nullptr);
    EXPECT_FALSE(dialog.is_modified());  // a session without tables
    dialog.add_new_table("states", "2");
    ASSERT_EQ(dialog.current_table()->name, "states : width = 2");
    for (const char* pattern : {"11", "01", "10"})
        dialog.add_entry(dialog.current_table(), pattern, QString("S") + pattern, 2);
    EXPECT_EQ(patterns(dialog.current_table()), (std::vector<std::string>{"01=S01", "10=S10", "11=S11"}));
    dialog.refresh_mnemonic_view(dialog.current_table());
    type_into(dialog.entries_view(), 0, 1, "");    // a cleared symbol
    type_into(dialog.entries_view(), 3, 0, "h");   // the "<<new>>" row
    type_into(dialog.entries_view(), 1, 0, "x1");  // an existing pattern
    EXPECT_EQ(patterns(dialog.current_table()),
              (std::vector<std::string>{"01=<enter symbol>", "X1=<enter symbol>", "10=S10", "11=S11"}));
    EXPECT_EQ(dialog.entries_view()->entries_model()->item(4, 0)->text(), "<<new>>");
}

// The session's tables are replaced only when the repository will take every entry; a refused
// copy keeps the dialog open and the session as it was.
TEST_F(MnemonicDialogs, OkChecksThePendingCopyBeforeReplacingTheSessionTables)
{
    tables(editor.get())->create_table("kept", 1)->add_entry("ON", "1");
    VOKR_MNEMONIC_DLG dialog(editor.frame(), nullptr);
    EXPECT_TRUE(dialog.is_modified());  // loading a session with tables marks the copy
    dialog.add_entry(dialog.current_table(), "0", "<enter symbol>", 1);
    dialog.add_entry(dialog.current_table(), "1", "<enter symbol>", 1);
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(tables(editor.get())->get_num_tables(), 1);
    EXPECT_EQ(tables(editor.get())->get_table(0)->get_num_entries(), 1);
    EXPECT_TRUE(dialog.delete_entry(dialog.current_table(), 1));  // 0, 1=<enter symbol>, 1=ON
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(tables(editor.get())->get_table(0)->get_num_entries(), 2);
    EXPECT_TRUE(editor->get_session()->is_modified());
}

TEST_F(MnemonicDialogs, ImportDialogListsMovesAndCopiesTables)
{
    const QString source = write_source("source.lmx");
    tables(editor.get())->create_table("opcodes", 2)->add_entry("OLD", "01");
    KSM_DATA_SESSION* target = editor->get_session()->get_data_session();
    {
        VOKR_MNEMONIC_IMPORT_DLG dialog(target, source, nullptr);
        EXPECT_EQ(dialog.file_edit()->text(), "source.lmx");
        dialog.accept();  // nothing selected: as Cancel
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        dialog.on_select_all();
        dialog.on_select_all();
        EXPECT_EQ(dialog.selected_list()->count(), 1);
        dialog.file_edit()->setText(QString::fromStdString(path("missing.lmx")));
        dialog.selected_file_change();
        EXPECT_EQ(dialog.file_edit()->text(), "source.lmx");
        MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_CANCEL);
        dialog.accept();
        EXPECT_STREQ(tables(editor.get())->get_table(0)->get_entry_symbol_at(0), "OLD");
        MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_OK);
        dialog.accept();
        EXPECT_EQ(tables(editor.get())->find_table("opcodes")->get_num_entries(), 2);
    }
    EXPECT_EQ(KSM_DATA_MANAGER::get_data_repository_manager()->get_session_opened(qPrintable(source)), nullptr);
}

// A table imported through the setup dialog is saved with the session, and after reopening a
// bus that names it shows its symbols; a damaged file is refused with a notice.
TEST_F(MnemonicDialogs, ImportedTableIsSavedAndShownByABus)
{
    const QString damaged = QString::fromStdString(path("damaged.lmx"));
    write_file(damaged, "not a session");
    const QString source = write_source("source.lmx");
    MSG_JOURNAL::clear();
    auto first = std::make_unique<EDITOR>(true);
    VOKR_MNEMONIC_DLG dialog(first->frame(), nullptr);
    on_modal<VOKR_MNEMONIC_IMPORT_DLG>([](VOKR_MNEMONIC_IMPORT_DLG* d) { d->reject(); });
    dialog.import_from(damaged);
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_INVALID_LMX_FILE_STRUCTURE"});
    EXPECT_EQ(dialog.tables().size(), 0u);
    on_modal<VOKR_MNEMONIC_IMPORT_DLG>([](VOKR_MNEMONIC_IMPORT_DLG* d) {
        d->on_select_all();
        d->accept();
    });
    (*first)->set_modified_flag(false);
    dialog.import_from(source);
    ASSERT_EQ(dialog.tables().size(), 1u);
    EXPECT_TRUE(first->frame()->isWindowModified());  // the import is in the session: closing asks
    dialog.accept();
    add_rows(first->get(), {"bus[0]", "bus[1]"});
    KSM_TX_SIGNAL_NODES* list = first->trigger();
    ASSERT_TRUE(list->group_nodes(0, 1));
    list->set_group_display_type(0, KSM_GTYPE_MNEMONICS);
    list->set_mnemonics_table_name(0, "opcodes");
    const std::string saved = path("saved.lmx");
    ASSERT_TRUE((*first)->save_document(saved.c_str()));
    first.reset();  // the session is read back from the file
    EDITOR reopened(true);
    bool renamed = false;
    std::string name;
    ASSERT_TRUE(reopened->open_document(saved.c_str(), &renamed, &name));
    QString symbol;
    EXPECT_TRUE(reopened->get_node_mnemonics_symbol(0, "11", &symbol, nullptr));
    EXPECT_EQ(symbol, "JMP");
}

}  // namespace

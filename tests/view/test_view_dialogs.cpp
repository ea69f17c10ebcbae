// The view's find dialog and its repeat, the plug-in option and hierarchy dialogs, and the Help
// button of the view's dialogs.
#include "manager_test_support.h"

#include "vokr_find_dlg.h"
#include "vokr_layout_widget.h"
#include "vokr_mnemonic_dlg.h"
#include "vokr_mnemonic_import_dlg.h"
#include "vokr_mnemonic_new_table_dlg.h"
#include "vokr_plugin_dialogs.h"
#include "vokr_time_units_dlg.h"
#include "vokr_view.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

using namespace manager_test;

namespace {

// A framed editor on its Setup tab with the rows alpha, beta, alphabet and the bus "alpine"
// over m[0] and m[1], and a view on it.
class ViewDialogs : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        m_tabs.addTab(new QWidget, "Data");
        m_tabs.addTab(new QWidget, "Setup");
        m_tabs.setCurrentIndex(1);
        m_editor.frame()->get_layout_widget()->set_data_setup_tab_widget(0, &m_tabs);
        add_rows(m_editor.get(), {"alpha", "beta", "alphabet", "m[0]", "m[1]"});
        ASSERT_TRUE(m_editor->group_node(3, 4));
        ASSERT_TRUE(m_editor.trigger()->rename_group(3, "alpine"));
        m_view = std::make_unique<VOKR_VIEW>(nullptr, m_editor.get());
    }
    void TearDown() override
    {
        m_view.reset();
        m_editor.frame()->get_layout_widget()->set_data_setup_tab_widget(0, nullptr);
        MANAGER_TEST::TearDown();
    }
    std::vector<int> selected() const
    {
        std::vector<int> out;
        for (int n = 0; n < m_editor.trigger()->get_num_nodes(); ++n)
            if (m_editor.trigger()->is_selected(n))
                out.push_back(n);
        return out;
    }

    EDITOR m_editor{true};
    QTabWidget m_tabs;
    std::unique_ptr<VOKR_VIEW> m_view;
};

TEST_F(ViewDialogs, FindControlsFollowTextAndFindIn)
{
    m_view->find_settings().text = "alp";
    VOKR_FIND_DLG dialog(m_view.get(), m_view.get());
    EXPECT_TRUE(dialog.find_next_button()->isEnabled());
    EXPECT_TRUE(dialog.all_box()->isChecked());
    for (int bit = 2; bit < 5; ++bit)
        EXPECT_TRUE(dialog.find_in_box(bit)->isHidden()) << bit;
    dialog.find_in_box(0)->setChecked(false);
    EXPECT_FALSE(dialog.all_box()->isChecked());
    dialog.find_in_box(1)->setChecked(false);
    EXPECT_FALSE(dialog.find_next_button()->isEnabled());
    dialog.all_box()->click();
    EXPECT_TRUE(dialog.find_in_box(0)->isChecked() && dialog.find_in_box(1)->isChecked());
    dialog.text_edit()->clear();
    EXPECT_FALSE(dialog.find_next_button()->isEnabled());
}

// Repeats without the dialog, from no earlier search on; the wrap question is answered from
// the table (0: no question expected) and a wrap without any match asks only once.
TEST_F(ViewDialogs, RepeatedFindsWalkTheMatchesAndWrapOnce)
{
    const struct {
        const char* what;
        const char* text;
        bool bus_names;
        int answer;
        std::vector<int> selected;
        size_t questions;
    } steps[] = {
        {"first node from no earlier search", "alp", true, 0, {0}, 0},
        {"next match", "alp", true, 0, {2}, 0},
        {"a bus name", "alp", true, 0, {3}, 0},
        {"end reached, No", "alp", true, MSG_PROMPT::MSG_VALUE_NO, {3}, 1},
        {"after No from the start", "alp", true, 0, {0}, 0},
        {"again", "alp", true, 0, {2}, 0},
        {"again", "alp", true, 0, {3}, 0},
        {"end reached, Yes wraps", "alp", true, MSG_PROMPT::MSG_VALUE_YES, {0}, 1},
        {"node names only", "alpine", false, MSG_PROMPT::MSG_VALUE_YES, {0}, 1},
        {"no match anywhere", "zeta", true, MSG_PROMPT::MSG_VALUE_YES, {0}, 1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        MSG_JOURNAL::clear();
        MSG_JOURNAL::set_default_answer(s.answer ? s.answer : MSG_PROMPT::MSG_VALUE_NO);
        m_view->find_settings().text = s.text;
        m_view->find_settings().bus_names = s.bus_names;
        m_view->on_edit_find_next();
        EXPECT_EQ(selected(), s.selected);
        EXPECT_EQ(shown_messages().size(), s.questions);
    }
    MSG_JOURNAL::set_default_answer(0);
}

TEST_F(ViewDialogs, PluginOptionFileFilters)
{
    const struct {
        const char* name;
        QStringList filters;
    } cases[] = {{"Output file", {"Output Files (*.output)", "All Files (*.*)"}},
                 {"SIF FILE", {"SIF Files (*.sif)", "All Files (*.*)"}},
                 {"My file name", {"All Files (*.*)"}},
                 {"My data file", {"All Files (*.*)"}}};
    for (const auto& c : cases)
        EXPECT_EQ(VOKR_PLUGIN_OPTION_DLG::file_filters(c.name), c.filters) << c.name;
}

TEST_F(ViewDialogs, PluginDialogsWithoutChoices)
{
    VOKR_PLUGIN_OPTION_DLG options(m_editor.get(), {});
    EXPECT_EQ(options.option_tree()->topLevelItemCount(), 0);
    EXPECT_EQ(options.name_label()->text(), "No Selection");
    EXPECT_FALSE(options.setting_edit()->isEnabled());
    EXPECT_FALSE(options.browse_button()->isEnabled());
    QString chosen;
    VOKR_PLUGIN_HIERARCHY_DLG hierarchy({"top|a", "top|b"}, &chosen);
    QPushButton* ok = hierarchy.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    EXPECT_FALSE(ok->isEnabled());
    hierarchy.findChild<QListWidget*>()->setCurrentRow(1);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(chosen, "top|b");
}

// Each dialog's Help button asks the suite for the dialog's help.
TEST_F(ViewDialogs, HelpButtonsAskForHelp)
{
    QString chosen;
    KSM_DATA_SESSION* data = m_editor->get_session()->get_data_session();
    const std::function<QDialog*()> dialogs[] = {
        [&] { return new VOKR_MNEMONIC_DLG(m_editor.frame(), nullptr); },
        [&] { return new VOKR_MNEMONIC_NEW_TABLE_DLG(nullptr); },
        [&] { return new VOKR_MNEMONIC_IMPORT_DLG(data, "absent.lmx", nullptr); },
        [&] { return new VOKR_FIND_DLG(m_view.get(), m_view.get()); },
        [&] { return new VOKR_TIME_UNITS_DLG(nullptr); },
        [&] { return new VOKR_PLUGIN_OPTION_DLG(m_editor.get(), {}); },
        [&] { return new VOKR_PLUGIN_HIERARCHY_DLG({"top|a"}, &chosen); },
    };
    for (const auto& make : dialogs) {
        std::unique_ptr<QDialog> dialog(make());
        QPushButton* help = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Help);
        ASSERT_TRUE(help) << dialog->metaObject()->className();
        const int asked = PIRQ_DIALOG::help_request_count();
        help->click();
        EXPECT_EQ(PIRQ_DIALOG::help_request_count(), asked + 1) << dialog->metaObject()->className();
    }
}

// Options of several plug-in tables are listed by name: once each, in name order; a setting of a
// name two tables share goes to both.
TEST_F(ViewDialogs, PluginOptionsAreListedOncePerName)
{
    KSM_TX_PLUGIN_MNEMONICS record;
    record.plugin_name = "Decoder";
    ASSERT_TRUE(m_editor.trigger()->set_plugin_mnemonics(3, &record));  // the bus "alpine"
    VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT tables[2];
    const char* names[2][2] = {{"style", "radix"}, {"radix", "base"}};
    for (int t = 0; t < 2; ++t) {
        tables[t].record_list = m_editor.trigger(), tables[t].record_row = 3;
        for (const char* name : names[t])
            tables[t].options.push_back({name, "", "string", "0", {}});
    }
    VOKR_PLUGIN_OPTION_DLG dialog(m_editor.get(), {&tables[0], &tables[1]});
    ASSERT_TRUE(dialog.findChild<QGroupBox*>());
    EXPECT_EQ(dialog.findChild<QGroupBox*>()->title(), "Parameter");
    QStringList rows;
    for (int i = 0; i < dialog.option_tree()->topLevelItemCount(); ++i)
        rows << dialog.option_tree()->topLevelItem(i)->text(0);
    EXPECT_EQ(rows, QStringList({"base", "radix", "style"}));
    dialog.option_tree()->setCurrentItem(dialog.option_tree()->topLevelItem(1));
    EXPECT_EQ(dialog.name_label()->text(), "radix");
    QTest::keyClicks(dialog.setting_edit(), "16");
    dialog.accept();
    for (const auto& table : tables)
        for (const auto& option : table.options)
            EXPECT_EQ(option.setting, option.name == "radix" ? "016" : "0") << option.name.toStdString();
}

}  // namespace

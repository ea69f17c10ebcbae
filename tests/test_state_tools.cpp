// The state-based trigger tools on a framed editor: highlighting, the text editor driven by
// keys and clicks, the state machine pane, the flags and counters pane and the state diagram.
#include "manager_test_support.h"

#include "ksm_state.h"
#include "vokr_config_check_box.h"
#include "vokr_diagram_widget.h"
#include "vokr_int_combo_box.h"
#include "vokr_resources_widget.h"
#include "vokr_state_list_widget.h"
#include "vokr_state_machine_object.h"
#include "vokr_state_text_edit.h"
#include "vokr_state_widget.h"
#include "vokr_syntax_highlighter.h"
#include "vokr_tree_widget.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <iostream>

using namespace manager_test;

namespace {

class StateTools : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        m = std::make_unique<EDITOR>(true);
        (*m)->set_counter_count(1);
        (*m)->set_state_count(3);
    }
    VOKR_TX_MANAGER* mgr() const { return m->get(); }
    std::unique_ptr<EDITOR> m;
};

void settle() { QCoreApplication::processEvents(); }

QStringList offers(QCompleter* completer)
{
    QStringList list;
    for (int row = 0; row < completer->completionModel()->rowCount(); ++row)
        list << completer->completionModel()->index(row, 0).data().toString();
    return list;
}

// Picks `text` from the visible main popup with the keyboard.
void choose(VOKR_STATE_TEXT_EDIT* editor, const QString& text)
{
    QAbstractItemView* popup = editor->get_completer()->popup();
    ASSERT_TRUE(popup->isVisible()) << text.toStdString();
    const int row = offers(editor->get_completer()).indexOf(text);
    ASSERT_GE(row, 0) << text.toStdString() << " not in " << offers(editor->get_completer()).join('|').toStdString();
    popup->setCurrentIndex(editor->get_completer()->completionModel()->index(row, 0));
    QTest::keyClick(popup, Qt::Key_Return);
    // Offscreen, no window manager hands the activation back once the popup closes.
    QApplication::setActiveWindow(editor->window());
    editor->setFocus();
}

// The underlined words of the editor's document, in order.
QStringList underlined(QTextEdit* editor)
{
    QStringList words;
    for (QTextBlock b = editor->document()->begin(); b.isValid(); b = b.next())
        for (const QTextLayout::FormatRange& r : b.layout()->formats())
            if (r.format.underlineStyle() == QTextCharFormat::SingleUnderline)
                words << b.text().mid(r.start, r.length);
    return words;
}

QColor colour_at(QTextEdit* editor, int position)
{
    const QTextBlock b = editor->document()->findBlock(position);
    QColor colour;
    for (const QTextLayout::FormatRange& r : b.layout()->formats())
        if (position - b.position() >= r.start && position - b.position() < r.start + r.length)
            colour = r.format.foreground().color();
    return colour;
}

// Clicks the middle of the first occurrence of `word`.
void click_word(VOKR_STATE_TEXT_EDIT* editor, const QString& word)
{
    QTextCursor cursor(editor->document());
    cursor.setPosition(editor->toPlainText().indexOf(word) + word.size() / 2);
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, editor->cursorRect(cursor).center());
}

// Answers the next modal value dialog with `text` (or cancels it with an empty text).
void answer_value_dialog(const QString& text, bool* seen)
{
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        *seen = dialog != nullptr;
        if (!dialog)
            return;
        if (text.isEmpty())
            return dialog->reject();
        dialog->setTextValue(text);
        dialog->accept();
    });
}

}  // namespace

TEST_F(StateTools, HighlighterColoursAndUnderlinesByLockAndOptions)
{
    const QString text = "state ST1:\nif (condition1 && c1 > 5) goto ST2;\nstart_store;";
    const struct {
        VOKR_LOCK_MODE lock;
        unsigned options;
        QStringList underlined;
    } cases[] = {
        {VOKR_LOCK_MODE_ALL_CHANGES, 0, {"condition1", "&&", "c1", ">", "5", "ST2"}},
        {VOKR_LOCK_MODE(1), 0, {}},
        {VOKR_LOCK_MODE(2), RUV_RUNTIME_GOTO_DESTINATIONS | RUV_RUNTIME_COMPARISON_VALUES, {"5", "ST2"}},
        {VOKR_LOCK_MODE(1), RUV_RUNTIME_LOGICAL_OPERATORS | RUV_RUNTIME_COMPARISON_OPERATORS, {"&&", ">"}},
    };
    for (const auto& c : cases) {
        mgr()->set_lock_mode(c.lock, false);
        for (unsigned option : {1u, 2u, 4u, 8u})
            mgr()->state_trigger(-1)->set_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION(option), c.options & option);
        VOKR_STATE_TEXT_EDIT editor(mgr(), -1, -1);
        editor.set_text_silently(text);
        EXPECT_EQ(underlined(&editor), c.underlined) << c.lock << " " << c.options;
        EXPECT_EQ(colour_at(&editor, text.indexOf("ST1")), QColor(Qt::darkGreen));
        EXPECT_EQ(colour_at(&editor, 0), QColor(Qt::darkGreen));  // the header, not the keyword
        EXPECT_EQ(colour_at(&editor, text.indexOf("goto")), QColor(Qt::blue));
        EXPECT_EQ(colour_at(&editor, text.indexOf("start_store")), QColor(Qt::lightGray));
        EXPECT_EQ(colour_at(&editor, text.indexOf("c1") + 1), QColor(Qt::magenta));  // not a number
    }
    // Names are patterns of their own text: regular-expression characters match themselves and
    // empty names are left out (they would match everywhere, endlessly).
    EXPECT_EQ(VOKR_SYNTAX_HIGHLIGHTER::names_pattern({"a+b", "", "x|y"}), "\\b(a\\+b|x\\|y)\\b");
    EXPECT_EQ(VOKR_SYNTAX_HIGHLIGHTER::names_pattern({""}), "");
    mgr()->set_lock_mode(VOKR_LOCK_MODE_ALL_CHANGES, false);
    const QString odd = "a+b";
    mgr()->set_flag_count(1);
    mgr()->set_flag_name(0, &odd);
    VOKR_STATE_TEXT_EDIT editor(mgr(), -1, -1);
    editor.set_text_silently("if (a+b && aab) trigger;");
    EXPECT_EQ(underlined(&editor), QStringList({"a+b", "&&"}));
}

// A flow typed key by key with offers accepted from the popups; an error shown with its state
// and line half a second later, then fixed; the diagram draws what was typed.
TEST_F(StateTools, FlowTypedWithCompletionsIsCheckedAndDrawn)
{
    VOKR_STATE_WIDGET pane(nullptr, -1, m->frame());
    pane.show();
    QApplication::setActiveWindow(&pane);
    const auto editors = pane.findChildren<VOKR_STATE_TEXT_EDIT*>();
    ASSERT_EQ(editors.size(), 3);
    const struct {
        int state;
        const char* keys;
        const char* choice;  // then taken from the popup
    } steps[] = {
        {0, "be", "begin"}, {0, "", "increment "}, {0, "", "c1;"}, {0, "", "if ("}, {0, "c1 > 5) ", "goto "},
        {0, "", "ST2;"}, {0, "", "end"}, {1, "", "if ("}, {1, "condition1 && c1 < 9) ", "goto "}, {1, "", "ST3;"},
        {2, "tr", "trigger;"},
    };
    int current = -1;
    for (const auto& s : steps) {
        VOKR_STATE_TEXT_EDIT* editor = editors[s.state];
        if (s.state != current) {  // a click into the editor brings the offers for its cursor
            editor->setFocus();
            QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
            current = s.state;
        }
        QTest::keyClicks(editor, s.keys);
        if (!editor->get_completer()->popup()->isVisible())
            QTest::qWait(600);
        choose(editor, s.choice);
    }
    const QStringList typed = {"begin\nincrement c1;\nif (c1 > 5) goto ST2;\nend\n",
                               "if (condition1 && c1 < 9) goto ST3;\n", "trigger;\n"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(editors[i]->toPlainText().toStdString(), typed[i].toStdString());
        EXPECT_EQ(mgr()->get_state_machine_object(-1)->get_state_text(i).toStdString(), typed[i].toStdString());
    }
    settle();
    QTest::qWait(600);
    EXPECT_EQ(pane.get_error_label()->text().toStdString(), "");

    // An undefined counter on the first line of the second state.
    QTextCursor cursor = editors[1]->textCursor();
    cursor.setPosition(typed[1].indexOf("c1 < 9"));
    editors[1]->setTextCursor(cursor);
    QTest::keyClick(editors[1], Qt::Key_Delete);
    QTest::keyClicks(editors[1], "d");
    settle();
    QTest::qWait(600);
    EXPECT_EQ(pane.get_error_label()->text().toStdString(), "Undefined condition 'd1' (State 2, line 1)");
    mgr()->set_state_display_mode(true);
    settle();
    QTest::qWait(600);
    EXPECT_EQ(pane.get_error_label()->text().toStdString(), "Undefined condition 'd1' (line 8)");
    auto* all = pane.findChild<VOKR_STATE_TEXT_EDIT*>();
    EXPECT_TRUE(all->toPlainText().contains("state ST3:"));
    cursor = all->textCursor();
    cursor.setPosition(all->toPlainText().indexOf("d1"));
    all->setTextCursor(cursor);
    QTest::keyClick(all, Qt::Key_Delete);
    QTest::keyClicks(all, "c");
    settle();
    QTest::qWait(600);
    EXPECT_EQ(pane.get_error_label()->text().toStdString(), "");

    VOKR_DIAGRAM_WIDGET diagram(nullptr, -1, m->frame());
    VOKR_STATE_LIST_WIDGET* list = diagram.get_state_list();
    ASSERT_EQ(list->count(), 4);
    auto state = [&](int row) { return VOKR_STATE_LIST_WIDGET::state_of(list->item(row)); };
    EXPECT_EQ(state(1)->successors, QList<VOKR_STATE*>({state(2)}));
    EXPECT_EQ(state(2)->successors, QList<VOKR_STATE*>({state(3)}));
    EXPECT_TRUE(state(3)->successors.isEmpty() && state(3)->reached);
}

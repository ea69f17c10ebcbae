// The state-based trigger tools on a framed editor: highlighting, the text editor driven by
// keys and clicks, the state machine pane, the flags and counters pane and the state diagram.
#include "manager_test_support.h"

#include "ksm_state.h"
#include "vokr_config_check_box.h"
#include "vokr_diagram_widget.h"
#include "vokr_int_combo_box.h"
#include "vokr_resources_widget.h"
#include "vokr_state_list_widget.h"
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

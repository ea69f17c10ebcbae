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
#include "vokr_trigger_value_dlg.h"

#include <QAbstractItemView>
#include <QApplication>
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

// Delivers the changes, then waits until the pane's check, which each change restarts, has run.
void wait_for_check(VOKR_STATE_WIDGET* pane)
{
    settle();
    EXPECT_TRUE(QTest::qWaitFor([pane] { return !pane->get_check_timer()->isActive(); }, 10000));
}

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

// Answers the next modal value dialog with `text` (or cancels it with an empty text); `shown`
// receives the value the dialog opened with, empty when none opened.
void answer_value_dialog(const QString& text, QString* shown)
{
    shown->clear();
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<VOKR_TRIGGER_VALUE_DLG*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        *shown = dialog->get_value_edit()->text();
        if (text.isEmpty())
            return dialog->reject();
        dialog->get_value_edit()->setText(text);
        dialog->on_ok_button();
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
            mgr()->state_trigger(-1)->set_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION(option),
                                                       c.options & option);
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

// A flow typed key by key with offers accepted from the popups, each waited for; an error shown
// with its state and line once the check after the edit ran, then fixed; the diagram draws what
// was typed.
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
        {0, "be", "begin"}, {0, "", "increment "},    {0, "", "c1;"},
        {0, "", "if ("},    {0, "c1 > 5) ", "goto "}, {0, "", "ST2;"},
        {0, "", "end"},     {1, "", "if ("},          {1, "condition1 && c1 < 9) ", "goto "},
        {1, "", "ST3;"},    {2, "tr", "trigger;"},
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
        ASSERT_TRUE(QTest::qWaitFor([editor] { return editor->get_completer()->popup()->isVisible(); }, 10000))
            << s.choice;
        choose(editor, s.choice);
    }
    const QStringList typed = {"begin\nincrement c1;\nif (c1 > 5) goto ST2;\nend\n",
                               "if (condition1 && c1 < 9) goto ST3;\n", "trigger;\n"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(editors[i]->toPlainText().toStdString(), typed[i].toStdString());
        EXPECT_EQ(mgr()->get_state_machine_object(-1)->get_state_text(i).toStdString(), typed[i].toStdString());
    }
    wait_for_check(&pane);
    EXPECT_EQ(pane.get_error_label()->text().toStdString(), "");

    // An undefined counter on the first line of the second state.
    QTextCursor cursor = editors[1]->textCursor();
    cursor.setPosition(typed[1].indexOf("c1 < 9"));
    editors[1]->setTextCursor(cursor);
    QTest::keyClick(editors[1], Qt::Key_Delete);
    QTest::keyClicks(editors[1], "d");
    wait_for_check(&pane);
    EXPECT_EQ(pane.get_error_label()->text().toStdString(), "Undefined condition 'd1' (State 2, line 1)");
    mgr()->set_state_display_mode(true);
    wait_for_check(&pane);
    EXPECT_EQ(pane.get_error_label()->text().toStdString(), "Undefined condition 'd1' (line 8)");
    auto* all = pane.findChild<VOKR_STATE_TEXT_EDIT*>();
    EXPECT_TRUE(all->toPlainText().contains("state ST3:"));
    cursor = all->textCursor();
    cursor.setPosition(all->toPlainText().indexOf("d1"));
    all->setTextCursor(cursor);
    QTest::keyClick(all, Qt::Key_Delete);
    QTest::keyClicks(all, "c");
    wait_for_check(&pane);
    EXPECT_EQ(pane.get_error_label()->text().toStdString(), "");

    VOKR_DIAGRAM_WIDGET diagram(nullptr, -1, m->frame());
    VOKR_STATE_LIST_WIDGET* list = diagram.get_state_list();
    ASSERT_EQ(list->count(), 4);
    auto state = [&](int row) { return VOKR_STATE_LIST_WIDGET::state_of(list->item(row)); };
    EXPECT_EQ(state(1)->successors, QList<VOKR_STATE*>({state(2)}));
    EXPECT_EQ(state(2)->successors, QList<VOKR_STATE*>({state(3)}));
    EXPECT_TRUE(state(3)->successors.isEmpty() && state(3)->reached);
}

// A state header typed below a line that goes to it marks that line too: the whole text is
// highlighted again once the state names change. A flag used as a counter is named as a flag.
TEST_F(StateTools, EarlierLinesAreHighlightedWhenStateNamesChange)
{
    mgr()->set_flag_count(1);
    mgr()->set_state_display_mode(true);
    VOKR_STATE_WIDGET pane(nullptr, -1, m->frame());
    pane.show();
    QApplication::setActiveWindow(&pane);
    auto* editor = pane.findChild<VOKR_STATE_TEXT_EDIT*>();
    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    for (const char* line : {"goto ST4;", "state ST4:"}) {
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, line);
    }
    ASSERT_EQ(mgr()->get_state_names(-1).size(), 4);
    const QString text = editor->toPlainText();
    EXPECT_EQ(colour_at(editor, text.indexOf("ST4;")), QColor(Qt::darkGreen));
    EXPECT_EQ(colour_at(editor, text.lastIndexOf("ST4")), QColor(Qt::darkGreen));
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, "increment f1;");
    pane.get_check_timer()->setInterval(0);
    wait_for_check(&pane);
    EXPECT_EQ(pane.get_error_label()->text(),
              QString("'f1' is a flag, not a counter (line %1)").arg(editor->toPlainText().count('\n') + 1));
}

// With one window per state, an error is named with the window and the line where
// it shows, whatever blank lines the window holds around its statements or however the joined
// flow counts. A header typed into a state's window is not taken as another state: the flow
// keeps its states, and the window keeps the text, also through a rebuild, until it is fixed.
TEST_F(StateTools, StateWindowsNameTheirOwnLines)
{
    VOKR_STATE_WIDGET pane(nullptr, -1, m->frame());
    pane.get_check_timer()->setInterval(0);
    auto editor = [&](int state) { return pane.findChild<VOKR_STATE_TEXT_EDIT*>(QString("state_text_%1").arg(state)); };
    const struct {
        QStringList texts;
        const char* label;
    } cases[] = {
        {{"\n\ntrigger;\nincrement d1;", "trigger;", ""}, "Undefined counter 'd1' (State 1, line 4)"},
        {{"if (condition1)\n", "", ""}, "Unexpected 'state'; expected a statement (State 1, line 1)"},
        {{"trigger;", "trigger;\n  State ST4:\ntrigger;", "trigger;"}, "Not stored: state header (State 2, line 2)"},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i)
            editor(i)->setPlainText(c.texts[i]);
        wait_for_check(&pane);
        EXPECT_EQ(pane.get_error_label()->text().toStdString(), c.label);
    }
    QString flow;
    mgr()->get_unified_state_text(&flow, -1);
    EXPECT_EQ(mgr()->get_state_count(-1), 3);
    EXPECT_FALSE(flow.contains("ST4")) << flow.toStdString();
    mgr()->set_state_display_mode(false);  // rebuilds the windows
    wait_for_check(&pane);
    EXPECT_EQ(editor(1)->toPlainText(), cases[2].texts[1]);
    EXPECT_EQ(pane.get_error_label()->text().toStdString(), cases[2].label);
    editor(1)->setPlainText("trigger;\ntrigger;");
    wait_for_check(&pane);
    EXPECT_EQ(mgr()->get_state_machine_object(-1)->get_state_text(1), "trigger;\ntrigger;");
    EXPECT_EQ(pane.get_error_label()->text(), "");
}

// While offers show, the cursor keys still move the text cursor, and the offers follow it.
TEST_F(StateTools, CursorKeysMoveThroughShownOffers)
{
    VOKR_STATE_WIDGET pane(nullptr, -1, m->frame());
    pane.show();
    QApplication::setActiveWindow(&pane);
    auto* editor = pane.findChild<VOKR_STATE_TEXT_EDIT*>();
    const struct {
        Qt::Key key;
        int position;
    } rows[] = {{Qt::Key_Left, 1}, {Qt::Key_Right, 3}, {Qt::Key_Home, 0}, {Qt::Key_End, 3}};
    for (const auto& row : rows) {
        editor->set_text_silently(";");
        editor->moveCursor(QTextCursor::Start);
        editor->setFocus();
        QTest::keyClicks(editor, "be");
        QAbstractItemView* popup = editor->get_completer()->popup();
        ASSERT_TRUE(popup->isVisible());
        QTest::keyClick(popup, row.key);
        EXPECT_EQ(editor->textCursor().position(), row.position) << row.key;
        EXPECT_EQ(popup->isVisible(), row.position == 1) << row.key;  // "b" still begins "begin"
        editor->get_completer()->popup()->hide();
    }
}

// Locked, typing changes nothing and nothing pops up, the background is tinted; a run-time
// configurable number is still changed by a click. Unlocked, a clicked operator offers its kind.
TEST_F(StateTools, ClicksChangeUnderlinedWordsAndLocksBlockTyping)
{
    mgr()->set_state_text(0, "if (c1 > 5 && condition1) goto ST2;");
    mgr()->state_trigger(-1)->set_configurable(RUV_RUNTIME_COMPARISON_VALUES, true);
    mgr()->set_lock_mode(VOKR_LOCK_MODE(1), false);
    VOKR_STATE_WIDGET pane(nullptr, -1, m->frame());
    pane.resize(500, 500);
    pane.show();
    QApplication::setActiveWindow(&pane);
    auto* editor = pane.findChild<VOKR_STATE_TEXT_EDIT*>();
    editor->setFocus();
    const QString before = editor->toPlainText();
    QTest::keyClicks(editor, "xy");
    QTest::qWait(600);
    EXPECT_EQ(editor->toPlainText(), before);
    EXPECT_FALSE(editor->get_completer()->popup()->isVisible());
    EXPECT_EQ(editor->viewport()->grab().toImage().pixelColor(2, 2), pirq_get_brush(22).color());
    EXPECT_EQ(underlined(editor), QStringList({"5"}));

    QString shown;
    answer_value_dialog("12", &shown);
    click_word(editor, "5");
    EXPECT_EQ(shown, "5");
    EXPECT_EQ(editor->toPlainText(), "if (c1 > 12 && condition1) goto ST2;");
    answer_value_dialog("", &shown);
    click_word(editor, "12");
    EXPECT_EQ(shown, "12");
    EXPECT_EQ(editor->toPlainText(), "if (c1 > 12 && condition1) goto ST2;");

    // A number beyond 32 bits is not offered to the 32-bit dialog, which would cut it.
    mgr()->set_lock_mode(VOKR_LOCK_MODE_ALL_CHANGES, false);
    editor->set_text_silently("if (c1 > 5000000000 && condition1) goto ST2;");
    editor->get_highlighter()->rehighlight();
    answer_value_dialog("1", &shown);
    click_word(editor, "5000000000");
    EXPECT_TRUE(shown.isEmpty());
    settle();

    click_word(editor, "&&");
    ASSERT_TRUE(editor->get_completer()->popup()->isVisible());
    EXPECT_EQ(offers(editor->get_completer()), QStringList({"||", "&&"}));
    EXPECT_EQ(editor->get_completer()->popup()->currentIndex().row(), 1);
    choose(editor, "||");
    EXPECT_EQ(editor->toPlainText(), "if (c1 > 5000000000 || condition1) goto ST2;");
    EXPECT_FALSE(editor->get_completer()->popup()->isVisible());
}

// Only view hints start a check; a pane whose instance is gone checks nothing.
TEST_F(StateTools, StatePaneChecksOnViewHintsOnly)
{
    VOKR_STATE_WIDGET pane(nullptr, -1, m->frame());
    HINTS hints(mgr());
    const unsigned int hints_sent[] = {VOKR_HINT_INSTANCE_STATUS, VOKR_HINT_REFRESH | VOKR_HINT_CONFIG,
                                       VOKR_HINT_REBUILD | VOKR_HINT_VIEW};
    for (unsigned int hint : hints_sent) {
        pane.get_check_timer()->stop();
        pane.on_update(nullptr, vokr_hint(hint));
        EXPECT_EQ(pane.get_check_timer()->isActive(), (hint & VOKR_HINT_VIEW) != 0) << hint;
    }
    EXPECT_TRUE(hints.list.empty());  // refilling the editors sent nothing back
    VOKR_STATE_WIDGET orphan(nullptr, 7, m->frame());
    orphan.get_error_label()->setText("stale");
    orphan.on_timer();
    EXPECT_EQ(orphan.get_error_label()->text(), "");
}

TEST_F(StateTools, ResourcesPaneShowsTheTriggerAndTheLog)
{
    mgr()->set_flag_count(3);
    mgr()->set_counter_count(2);
    auto log = ksm_make<KSM_DATA_LOG>(mgr()->get_session()->get_data_session(), "log");
    KSM_ACCESS::set_parent(log.get(), m->trigger());
    KSM_ACCESS::state(m->trigger())->logs.push_back(log);
    mgr()->get_session()->set_active_log(mgr()->get_current_instance_index(), log.get());
    log->begin_capture(1, 64, 0);
    log->set_state_results(1, {9}, {1, 0, 1});
    log->end_capture();
    VOKR_RESOURCES_WIDGET pane(nullptr, -1, m->frame());
    auto column = [](QTreeWidget* t, int c) {
        QStringList texts;
        for (int i = 0; i < t->topLevelItemCount(); ++i)
            texts << t->topLevelItem(i)->text(c);
        return texts;
    };
    EXPECT_EQ(column(pane.get_flag_table(), 2), QStringList({"1", "0", "1"}));
    EXPECT_EQ(column(pane.get_counter_table(), 3), QStringList({"9", ""}));
    EXPECT_EQ(pane.get_flag_combo()->currentText(), "3");
    EXPECT_EQ(pane.get_counter_combo()->currentText(), "2");

    mgr()->set_flag_count(1);
    pane.on_update(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
    EXPECT_EQ(pane.get_flag_table()->topLevelItemCount(), 3);
    pane.get_flag_combo()->setCurrentText("0");
    EXPECT_EQ(mgr()->get_flag_count(-1), 0);
    pane.on_update(nullptr, VOKR_HINT_VIEW);
    EXPECT_EQ(pane.get_flag_table()->topLevelItemCount(), 0);

    const struct {
        VOKR_LOCK_MODE lock;
        int acq_state;
        bool enabled;
    } cases[] = {{VOKR_LOCK_MODE_ALL_CHANGES, 0, true},
                 {VOKR_LOCK_MODE(1), 0, false},
                 {VOKR_LOCK_MODE(2), 0, false},
                 {VOKR_LOCK_MODE_ALL_CHANGES, 0x800000, false}};
    for (const auto& c : cases) {
        mgr()->set_lock_mode(c.lock, false);
        mgr()->set_instance_acq_state(-1, c.acq_state);
        pane.on_update(nullptr, VOKR_HINT_VIEW);
        QList<QWidget*> controls{pane.get_flag_combo(), pane.get_counter_combo()};
        for (VOKR_CONFIG_CHECK_BOX* box : pane.get_option_boxes())
            controls << box;
        for (QWidget* w : controls)
            EXPECT_EQ(w->isEnabled(), c.enabled) << c.lock << " " << c.acq_state;
    }
}

TEST_F(StateTools, DiagramLinksReachesAndMarksStates)
{
    const struct {
        QStringList names;  // stored names; empty: the defaults
        QStringList texts;
        std::vector<std::vector<int>> successors;  // rows, per state
        std::vector<bool> reached;
    } cases[] = {
        {{}, {"goto ST2;", "if (condition1) goto ST3; else goto ST1;", "trigger;"}, {{2}, {3, 1}, {}}, {1, 1, 1}},
        {{"ST1", "wait", "ST3"}, {"goto ST2;", "goto ST3;", "goto"}, {{}, {3}, {}}, {1, 0, 0}},
        {{}, {"goto st2; goto ST1;", "", "goto ST3;"}, {{1}, {}, {3}}, {1, 0, 0}},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i) {
            mgr()->set_state_name(i, c.names.isEmpty() ? QString("ST%1").arg(i + 1) : c.names[i]);
            mgr()->set_state_text(i, c.texts[i]);
        }
        VOKR_DIAGRAM_WIDGET diagram(nullptr, -1, m->frame());
        VOKR_STATE_LIST_WIDGET* list = diagram.get_state_list();
        for (int s = 1; s <= 3; ++s) {
            std::vector<int> rows;
            for (VOKR_STATE* next : VOKR_STATE_LIST_WIDGET::state_of(list->item(s))->successors)
                rows.push_back(list->row(next->item));
            EXPECT_EQ(rows, c.successors[s - 1]) << c.texts.join('|').toStdString() << " state " << s;
            EXPECT_EQ(VOKR_STATE_LIST_WIDGET::state_of(list->item(s))->reached, c.reached[s - 1]);
        }
    }
    VOKR_DIAGRAM_WIDGET diagram(nullptr, -1, m->frame());
    EXPECT_EQ(diagram.get_current_state_field()->text(), "");
    EXPECT_TRUE(VOKR_STATE_LIST_WIDGET::state_of(diagram.get_state_list()->item(0))->current);
    auto log = ksm_make<KSM_DATA_LOG>(mgr()->get_session()->get_data_session(), "log");
    KSM_ACCESS::set_parent(log.get(), m->trigger());
    KSM_ACCESS::state(m->trigger())->logs.push_back(log);
    mgr()->get_session()->set_active_log(mgr()->get_current_instance_index(), log.get());
    for (const auto& [value, text] : std::vector<std::pair<int, QString>>{{2, "State 3: ST3"}, {7, "State 8: ST8"}}) {
        log->begin_capture(1, 64, 0);
        log->set_state_results(value, {}, {});
        log->end_capture();
        diagram.on_update(nullptr, VOKR_HINT_VIEW);
        EXPECT_EQ(diagram.get_current_state_field()->text(), text);
    }
    log->begin_capture(1, 64, 0);
    log->set_state_results(1, {}, {});
    log->end_capture();
    diagram.on_update(nullptr, VOKR_HINT_VIEW);
    VOKR_STATE_LIST_WIDGET* list = diagram.get_state_list();
    list->resize(120, 300);
    const QImage image = list->grab().toImage();
    const QRect box = list->visualItemRect(list->item(2));
    EXPECT_EQ(image.pixelColor(box.center().x() - 27, box.center().y()), QColor(Qt::darkYellow));
    EXPECT_NE(image.pixelColor(box.center().x() - 27, list->visualItemRect(list->item(1)).center().y()),
              QColor(Qt::darkYellow));

    mgr()->set_state_count(5);
    diagram.on_update(nullptr, vokr_hint(VOKR_HINT_REBUILD | VOKR_HINT_VIEW));
    mgr()->set_state_count(3);
    diagram.on_update(nullptr, vokr_hint(VOKR_HINT_REBUILD | VOKR_HINT_VIEW));
    EXPECT_EQ(diagram.get_state_list()->count(), 4);
    EXPECT_TRUE(diagram.get_state_count_combo()->isEnabled());
    mgr()->set_lock_mode(VOKR_LOCK_MODE(2), false);
    diagram.on_update(nullptr, VOKR_HINT_VIEW);
    EXPECT_FALSE(diagram.get_state_count_combo()->isEnabled());
}

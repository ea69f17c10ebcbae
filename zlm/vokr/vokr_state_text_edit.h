// The state-based trigger flow text as the state text editor knows it: its tokens, the word at
// the cursor, and the completion engine that proposes what may follow the text before the
// cursor or replace the word at it. The functions keep no state; the names they offer come
// from a VOKR_STATE_NAME_SOURCE, which the manager's adapter fills from an instance's trigger.
#pragma once

#include <QString>
#include <QStringList>

class KSM_TX_TRIGGER;
class VOKR_TX_MANAGER;

// Completer types, a bit set: replace candidates, insert candidates, or both.
constexpr int VOKR_COMPLETER_TYPE_REPLACE = 1;
constexpr int VOKR_COMPLETER_TYPE_INSERT = 16;
constexpr int VOKR_COMPLETER_TYPE_CHECK = 17;

// What an editor shows: one state's statements, or every state with its header.
constexpr int VOKR_DISPLAY_TYPE_ONE_WINDOW_PER_STATE = 1;
constexpr int VOKR_DISPLAY_TYPE_ALL_STATES_IN_ONE_WINDOW = 16;

// How names of one kind are offered: each of them, or the single name or the kind's
// placeholder word ("condition", "counter", "flag") when there are several.
constexpr int VOKR_RESOURCE_TYPE_EXPANDED = 1;
constexpr int VOKR_RESOURCE_TYPE_COLLAPSED = 16;

// The names a flow text may use, in the trigger's order: conditions (the trigger levels),
// counters, flags and states.
class VOKR_STATE_NAME_SOURCE {
public:
    virtual ~VOKR_STATE_NAME_SOURCE() = default;
    virtual QStringList get_condition_names() const = 0;
    virtual QStringList get_counter_names() const = 0;
    virtual QStringList get_flag_names() const = 0;
    virtual QStringList get_state_names() const = 0;
};

// The names of one instance's trigger (-1: the manager's current instance). A state without a
// stored name is "ST" and its 1-based number. Without a trigger every list is empty.
class VOKR_TX_MANAGER_NAME_SOURCE : public VOKR_STATE_NAME_SOURCE {
public:
    VOKR_TX_MANAGER_NAME_SOURCE(const VOKR_TX_MANAGER* manager, int instance) : m_manager(manager), m_instance(instance)
    {
    }
    QStringList get_condition_names() const override;
    QStringList get_counter_names() const override;
    QStringList get_flag_names() const override;
    QStringList get_state_names() const override;

private:
    KSM_TX_TRIGGER* trigger() const;
    const VOKR_TX_MANAGER* m_manager;
    int m_instance;
};

// The tokens of a text: "(", ")", "&&", "||", ";", ":" and "!" stand alone wherever they occur
// (so "c1!=5" gives "c1", "!", "=5"); everything else is split at white space.
QStringList vokr_tokenize_state_text(const QString& text);

// The word at the cursor, given the text before the cursor and the whole text; empty when the
// cursor touches no word.
QString vokr_get_completion_prefix(const QString& before, const QString& all);

// The offers for a cursor position: with VOKR_COMPLETER_TYPE_REPLACE those that may replace the
// word at the cursor (the ones that begin with it), then with VOKR_COMPLETER_TYPE_INSERT those
// that may follow the text before the cursor.
QStringList vokr_get_completion_list(const QString& before, const QString& all, const VOKR_STATE_NAME_SOURCE& names,
                                     int display_type, int kinds);
QStringList vokr_get_completion_list(const QString& before, const QString& all, const VOKR_TX_MANAGER* manager,
                                     int instance, int display_type, int kinds);

// Appends to `out` the offers that may follow `tokens`, in their fixed order; never clears it.
void vokr_get_state_text_completions(QStringList* out, const QStringList& tokens, const VOKR_STATE_NAME_SOURCE& names,
                                     int display_type, int resource_type);

// Token predicates; each reads the list from its last token backwards.
// Inside a begin/end block of the current state.
bool vokr_is_in_begin_end_block(const QStringList& tokens);
// The last complete statement is the branch of an if that has no else yet.
bool vokr_is_in_if_without_else(const QStringList& tokens);
// The last if or else still takes statements: its condition just closed, it just began, or its
// block is not ended.
bool vokr_is_last_if_or_else_open(const QStringList& tokens);
// `keyword` already occurs in the branch being written (outside the if branches that an else
// leaves behind), within the current state.
bool vokr_is_used_in_branch(const QStringList& tokens, const QString& keyword);
// `keyword` occurs after the last state header (anywhere when there is none).
bool vokr_is_after_state_header(const QStringList& tokens, const QString& keyword);
// The condition of the last if has more "(" than ")".
bool vokr_is_if_condition_open(const QStringList& tokens);
// For a list ending with "begin": the block opens a state's statements, where an if may start.
bool vokr_is_begin_of_if_allowed(const QStringList& tokens);

// The choices offered when a word of the text is clicked: the names of the word's kind, the
// logical or the comparison operators; empty for anything else, and for a decimal number, which
// the editor edits in its value dialog instead.
QStringList vokr_get_click_change_list(const QString& word, const VOKR_STATE_NAME_SOURCE& names);

// ---- the editor -----------------------------------------------------------------------------------------

#include <QCompleter>
#include <QTextEdit>
#include <QTimer>

#include <utility>

class VOKR_SYNTAX_HIGHLIGHTER;

// The plain-text editor of a flow: the text of one state (state index from 0) or of all states
// (-1). It colours the text, proposes completions in a popup as the engineer types or moves the
// cursor, changes an underlined name or operator from a list and an underlined number in a
// value dialog, and reports every change of its text. While the design is locked or the
// power-up trigger is shown, keys, popups and the context menu do nothing and the background is
// tinted; underlined parts can still be changed by clicking them.
class VOKR_STATE_TEXT_EDIT : public QTextEdit {
    Q_OBJECT
public:
    VOKR_STATE_TEXT_EDIT(VOKR_TX_MANAGER* manager, int instance, int state_index);
    ~VOKR_STATE_TEXT_EDIT() override;

    int get_state_index() const { return m_state_index; }
    int get_completer_type() const { return m_completer_type; }
    QCompleter* get_completer() const { return m_completer; }
    QCompleter* get_name_completer() const { return m_name_completer; }
    VOKR_SYNTAX_HIGHLIGHTER* get_highlighter() const { return m_highlighter; }
    // Sets the text without reporting it as a change.
    void set_text_silently(const QString& text);
    // Highlights the whole text again when the names it may use have changed since.
    void refresh_highlighting();

    // Refreshes the offers for the cursor: 1 nothing, 16 after typing, 17 after a move, a click
    // or an insertion.
    void show_suggestions(int kind);
    // Whether the character at a viewport position is underlined; the word under it in `word`.
    bool is_underlined(const QPoint& pos, QString* word) const;

signals:
    void text_changed(int index, const QString& text);
    void text_changed(const QString& text);

public slots:
    void on_text_changed();
    void on_timer();
    void on_replace_text(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* object, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool underlined_range(const QPoint& pos, QString* word, std::pair<int, int>* range) const;
    bool is_locked() const;
    bool is_power_up() const;
    // Typing changes nothing while the design is locked, the power-up view is shown or the
    // instance acquires.
    bool is_blocked() const;
    int display_type() const;
    QString text_before_cursor() const;
    QRect popup_rect(QCompleter* completer) const;
    void set_model(QCompleter* completer, const QStringList& list);
    void edit_number(const QString& word);

    VOKR_TX_MANAGER* m_tx_manager;
    int m_instance;
    int m_state_index;
    VOKR_SYNTAX_HIGHLIGHTER* m_highlighter = nullptr;
    QTimer* m_timer = nullptr;
    QCompleter* m_completer = nullptr;
    QCompleter* m_name_completer = nullptr;
    int m_completer_type = VOKR_COMPLETER_TYPE_REPLACE;
    // The underlined range last clicked (document positions), which a choice from the
    // click-to-change list replaces whole ("&&" is one operator, not two words).
    std::pair<int, int> m_clicked{0, 0};
    // Set while the text is filled by the program, which is not a change to report.
    bool m_filling = false;
};

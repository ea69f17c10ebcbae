#include "vokr_state_machine_object.h"
#include "vokr_state_text_edit.h"
#include "vokr_tx_manager.h"

#include <QRegularExpression>

namespace {

const QStringList& statement_start_list()
{
    static const QStringList list = {
        "begin",      "if (",       "goto ",  "start_store;", "stop_store;", "trigger;", "segment_trigger;",
        "increment ", "decrement ", "clear ", "set ",         "reset "};
    return list;
}

const QStringList& counter_and_flag_actions()
{
    static const QStringList list = {"increment ", "decrement ", "clear ", "set ", "reset "};
    return list;
}

const QStringList& logical_continuations()
{
    static const QStringList list = {"&&", "||", ")"};
    return list;
}

bool has_form(const QString& token, const QRegularExpression& form) { return form.match(token).hasMatch(); }

bool is_counter_form(const QString& token)
{
    static const QRegularExpression form("^c\\d+$");
    return has_form(token, form);
}

bool is_flag_form(const QString& token)
{
    static const QRegularExpression form("^f\\d+$");
    return has_form(token, form);
}

bool is_condition_form(const QString& token)
{
    static const QRegularExpression form("^condition\\d+$");
    return has_form(token, form);
}

bool is_state_form(const QString& token)
{
    static const QRegularExpression form("^ST\\d+$");
    return has_form(token, form);
}

bool is_number(const QString& token)
{
    static const QRegularExpression form("^\\d+$");
    return has_form(token, form);
}

bool is_comparison(const QString& token)
{
    static const QStringList operators = {"<", "<=", "==", "!=", ">=", ">"};
    return operators.contains(token);
}

bool is_operand_start(const QString& token) { return token == "!" || token == "(" || token == "&&" || token == "||"; }

bool is_one_of(const QString& token, std::initializer_list<const char*> words)
{
    for (const char* word : words)
        if (token == QLatin1String(word))
            return true;
    return false;
}

void append_with_semicolon(QStringList* out, const QStringList& names)
{
    for (const QString& name : names)
        out->append(name + ';');
}

// The single name of a kind, its placeholder word when there are several, nothing for none.
void append_collapsed(QStringList* out, const QStringList& names, const char* placeholder)
{
    if (names.size() == 1)
        out->append(names.first());
    else if (names.size() > 1)
        out->append(placeholder);
}

void append_operands(QStringList* out, const QString& last, const VOKR_STATE_NAME_SOURCE& names, int resource_type)
{
    if (last != "!")
        out->append("!");
    out->append("(");
    if (resource_type == VOKR_RESOURCE_TYPE_COLLAPSED) {
        append_collapsed(out, names.get_condition_names(), "condition");
        append_collapsed(out, names.get_counter_names(), "counter");
        append_collapsed(out, names.get_flag_names(), "flag");
    } else {
        *out << names.get_condition_names() << names.get_counter_names() << names.get_flag_names();
    }
}

// The actions a branch may still take: each one-shot action unless the branch already has it.
void append_branch_actions(QStringList* out, const QStringList& tokens)
{
    if (!vokr_is_used_in_branch(tokens, "goto"))
        out->append("goto ");
    if (!vokr_is_used_in_branch(tokens, "start_store") && !vokr_is_used_in_branch(tokens, "stop_store"))
        *out << "start_store;"
             << "stop_store;";
    if (!vokr_is_used_in_branch(tokens, "trigger"))
        out->append("trigger;");
    if (!vokr_is_used_in_branch(tokens, "segment_trigger"))
        out->append("segment_trigger;");
    *out << counter_and_flag_actions();
}

void append_branch_list(QStringList* out, const QStringList& tokens)
{
    if (tokens.last() == "else")
        out->append("if (");
    out->append("begin");
    append_branch_actions(out, tokens);
}

// After a statement inside a begin/end block.
void append_in_block(QStringList* out, const QStringList& tokens)
{
    if (vokr_is_after_state_header(tokens, "if")) {
        if (!vokr_is_last_if_or_else_open(tokens) && vokr_is_in_if_without_else(tokens))
            *out << "else if ("
                 << "else ";
    } else {
        out->append("if (");
    }
    append_branch_actions(out, tokens);
    out->append("end");
}

// After a statement at the top level of a state.
void append_at_top(QStringList* out, const QStringList& tokens)
{
    if (vokr_is_in_if_without_else(tokens))
        *out << "else "
             << "else if (";
    if (tokens.first() == "state")
        out->append("state ");
}

// The offers that follow a name, a number, an operator or an action word.
void append_after_word(QStringList* out, const QString& last, const QString& previous,
                       const VOKR_STATE_NAME_SOURCE& names)
{
    const bool counter_action = is_one_of(previous, {"increment", "decrement", "reset"});
    if (is_one_of(last, {"increment", "decrement", "reset"}))
        append_with_semicolon(out, names.get_counter_names());
    else if (is_one_of(last, {"set", "clear"}))
        append_with_semicolon(out, names.get_flag_names());
    else if (last == "goto")
        append_with_semicolon(out, names.get_state_names());
    else if (last == "if")
        out->append("(");
    else if (is_counter_form(last))
        *out << (counter_action ? QStringList{";"} : QStringList{"<", "<=", "==", ">=", ">"});
    else if (is_flag_form(last))
        *out << (is_one_of(previous, {"set", "clear"}) ? QStringList{";"} : logical_continuations());
    else if (is_condition_form(last))
        *out << logical_continuations();
    else if (is_comparison(last))
        out->append("value");
    else if (is_state_form(last) || is_one_of(last, {"start_store", "stop_store", "trigger", "segment_trigger"}))
        out->append(";");
    else if (is_number(last))
        *out << logical_continuations();
}

}  // namespace

// ---- names of a trigger ----

KSM_TX_TRIGGER* VOKR_TX_MANAGER_NAME_SOURCE::trigger() const
{
    return m_manager && !m_manager->is_empty() ? m_manager->get_trigger_nodes(m_instance) : nullptr;
}

QStringList VOKR_TX_MANAGER_NAME_SOURCE::get_condition_names() const
{
    QStringList names;
    if (const KSM_TX_TRIGGER* t = trigger())
        for (int level = 0; level < t->get_num_levels(); ++level)
            names.append(QString::fromLocal8Bit(t->get_level_name(level)));
    return names;
}

QStringList VOKR_TX_MANAGER_NAME_SOURCE::get_counter_names() const
{
    QStringList names;
    const KSM_TX_TRIGGER* t = trigger();
    const char* name = nullptr;
    for (int i = 0; t && t->get_counter(i, &name, nullptr, nullptr); ++i)
        names.append(QString::fromLocal8Bit(name));
    return names;
}

QStringList VOKR_TX_MANAGER_NAME_SOURCE::get_flag_names() const
{
    QStringList names;
    const KSM_TX_TRIGGER* t = trigger();
    const char* name = nullptr;
    for (int i = 0; t && t->get_flag(i, &name, nullptr); ++i)
        names.append(QString::fromLocal8Bit(name));
    return names;
}

QStringList VOKR_TX_MANAGER_NAME_SOURCE::get_state_names() const
{
    QStringList names;
    KSM_TX_TRIGGER* t = trigger();
    const auto* machine = t ? dynamic_cast<const VOKR_STATE_MACHINE_OBJECT*>(t->get_state_machine_object()) : nullptr;
    for (int i = 0; machine && i < machine->get_state_count(); ++i) {
        QString name;
        machine->get_state_name(i, &name);
        names.append(name);
    }
    return names;
}

// ---- tokens and the word at the cursor ----

QStringList vokr_tokenize_state_text(const QString& text)
{
    QStringList tokens;
    QString word;
    const auto flush = [&] {
        if (!word.isEmpty())
            tokens.append(word);
        word.clear();
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool doubled = (c == '&' || c == '|') && i + 1 < text.size() && text[i + 1] == c;
        if (c.isSpace()) {
            flush();
        } else if (doubled || c == '(' || c == ')' || c == ';' || c == ':' || c == '!') {
            flush();
            tokens.append(text.mid(i, doubled ? 2 : 1));
            i += doubled ? 1 : 0;
        } else {
            word.append(c);
        }
    }
    flush();
    return tokens;
}

QString vokr_get_completion_prefix(const QString& before, const QString& all)
{
    if (before.isEmpty() || all.isEmpty())
        return QString();
    const QStringList tb = vokr_tokenize_state_text(before);
    const QStringList ta = vokr_tokenize_state_text(all);
    if (ta.isEmpty())
        return QString();
    if (ta.size() <= tb.size() && ta.last() == tb.last())
        return before.endsWith(tb.last()) ? tb.last() : QString();
    if (tb.isEmpty())
        return ta.first();
    if (before.endsWith(tb.last()))
        return ta.value(tb.size() - 1);
    return ta.value(tb.size());
}

// ---- offers ----

QStringList vokr_get_completion_list(const QString& before, const QString& all, const VOKR_STATE_NAME_SOURCE& names,
                                     int display_type, int kinds)
{
    QStringList offers;
    const QString word = vokr_get_completion_prefix(before, all);
    const QStringList tokens = vokr_tokenize_state_text(before);
    if ((kinds & VOKR_COMPLETER_TYPE_REPLACE) && !word.isEmpty() && !tokens.isEmpty()) {
        QStringList candidates;
        vokr_get_state_text_completions(&candidates, tokens.mid(0, tokens.size() - 1), names, display_type,
                                        VOKR_RESOURCE_TYPE_EXPANDED);
        // The typed word is compared literally: an offer stays when it begins with the word and
        // does not continue with a blank right after it (that offer is already complete).
        for (const QString& candidate : candidates)
            if (candidate.size() > word.size() && candidate.startsWith(word) && candidate[word.size()] != ' ')
                offers.append(candidate);
    }
    if (kinds & VOKR_COMPLETER_TYPE_INSERT)
        vokr_get_state_text_completions(&offers, tokens, names, display_type, VOKR_RESOURCE_TYPE_COLLAPSED);
    return offers;
}

QStringList vokr_get_completion_list(const QString& before, const QString& all, const VOKR_TX_MANAGER* manager,
                                     int instance, int display_type, int kinds)
{
    return vokr_get_completion_list(before, all, VOKR_TX_MANAGER_NAME_SOURCE(manager, instance), display_type, kinds);
}

void vokr_get_state_text_completions(QStringList* out, const QStringList& tokens, const VOKR_STATE_NAME_SOURCE& names,
                                     int display_type, int resource_type)
{
    if (tokens.isEmpty()) {
        if (display_type == VOKR_DISPLAY_TYPE_ALL_STATES_IN_ONE_WINDOW)
            out->append("state ");
        else
            *out << statement_start_list();
        return;
    }
    const QString& last = tokens.last();
    const QString previous = tokens.size() > 1 ? tokens[tokens.size() - 2] : QString();
    if (last == ":") {
        *out << statement_start_list();
    } else if (previous == "state") {
        out->append(":");
    } else if (last == "begin") {
        if (vokr_is_begin_of_if_allowed(tokens))
            out->append("if (");
        *out << statement_start_list().mid(2);
    } else if (last == ")" && vokr_is_if_condition_open(tokens)) {
        *out << logical_continuations();
    } else if (last == ")" || last == "else") {
        append_branch_list(out, tokens);
    } else if (is_operand_start(last)) {
        append_operands(out, last, names, resource_type);
    } else if (last != ";" && last != "end") {
        append_after_word(out, last, previous, names);
    } else if (vokr_is_in_begin_end_block(tokens)) {
        append_in_block(out, tokens);
    } else {
        append_at_top(out, tokens);
    }
}

// ---- token predicates ----

bool vokr_is_in_begin_end_block(const QStringList& tokens)
{
    int depth = 0;
    for (int i = tokens.size() - 1; i >= 0 && tokens[i] != "state"; --i)
        depth += tokens[i] == "begin" ? 1 : tokens[i] == "end" ? -1 : 0;
    return depth >= 1;
}

// An else may follow when the last statement is the branch of an if or else if, that is when
// the token before it closes a condition. That statement is a block back to its "begin", or a
// simple statement back to the token that ends what stands before it.
bool vokr_is_in_if_without_else(const QStringList& tokens)
{
    int i = tokens.size() - 1;
    if (i < 0 || (tokens[i] != ";" && tokens[i] != "end"))
        return false;
    if (tokens[i] == "end") {
        for (int depth = 0; i >= 0; --i) {
            depth += tokens[i] == "end" ? 1 : tokens[i] == "begin" ? -1 : 0;
            if (depth == 0)
                break;
        }
        --i;
    } else {
        static const QStringList bounds = {";", "end", ")", ":", "else", "begin", "state"};
        do
            --i;
        while (i >= 0 && !bounds.contains(tokens[i]));
    }
    return i >= 0 && tokens[i] == ")";
}

bool vokr_is_last_if_or_else_open(const QStringList& tokens)
{
    if (tokens.isEmpty())
        return false;
    if (tokens.last() == "else" || tokens.last() == ")")
        return true;
    int opener = tokens.lastIndexOf(")");
    if (opener < 0)
        opener = tokens.lastIndexOf("else");
    if (opener < 0 || tokens.value(opener + 1) != "begin")
        return false;
    return tokens.indexOf("end", opener + 1) < 0;
}

bool vokr_is_used_in_branch(const QStringList& tokens, const QString& keyword)
{
    if (!vokr_is_last_if_or_else_open(tokens))
        return vokr_is_after_state_header(tokens, keyword);
    // An if branch that an else closed does not count for the else branch. The walk ends at the
    // state's header: what earlier states do has no bearing on this one.
    for (int i = tokens.size() - 1; i >= 0 && tokens[i] != "state"; --i) {
        if (tokens[i] == "else") {
            while (i > 0 && tokens[i - 1] != "if" && tokens[i - 1] != "state")
                --i;
            if (i > 0 && tokens[i - 1] == "if")
                --i;
        } else if (tokens[i] == keyword) {
            return true;
        }
    }
    return false;
}

bool vokr_is_after_state_header(const QStringList& tokens, const QString& keyword)
{
    for (int i = tokens.size() - 1; i >= 0 && tokens[i] != "state"; --i)
        if (tokens[i] == keyword)
            return true;
    return false;
}

bool vokr_is_if_condition_open(const QStringList& tokens)
{
    int open = 0;
    for (int i = tokens.size() - 1; i >= 0 && tokens[i] != "if"; --i)
        open += tokens[i] == "(" ? 1 : tokens[i] == ")" ? -1 : 0;
    return open >= 1;
}

bool vokr_is_begin_of_if_allowed(const QStringList& tokens)
{
    return tokens.size() == 1 || (tokens.size() > 1 && tokens[tokens.size() - 2] == ":");
}

// ---- click-to-change lists ----

QStringList vokr_get_click_change_list(const QString& word, const VOKR_STATE_NAME_SOURCE& names)
{
    if (is_number(word))
        return {};
    for (const QStringList& kind :
         {names.get_state_names(), names.get_condition_names(), names.get_flag_names(), names.get_counter_names()})
        if (kind.contains(word))
            return kind;
    if (word.contains("&&") || word.contains("||"))
        return {"||", "&&"};
    static const QRegularExpression comparison("(<|<=|==|!=|>=|>)");
    if (comparison.match(word).hasMatch())
        return {">", ">=", "!=", "==", "<=", "<"};
    return {};
}

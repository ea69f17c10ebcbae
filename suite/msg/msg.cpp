#include "msg.h"

#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>

namespace {

struct JOURNAL_STATE {
    bool interactive = false;
    bool echo = false;
    int default_answer = 0;
    std::deque<int> answers;
    std::vector<MSG_RECORD> records;
    std::string script_error;
};

JOURNAL_STATE& journal()
{
    static JOURNAL_STATE state;
    return state;
}

std::map<unsigned int, MSG_POST_TYPE>& registered_ids()
{
    static std::map<unsigned int, MSG_POST_TYPE> ids;
    return ids;
}

// One placeholder "%n!s!" or "%n!d!" found in a text.
struct PLACEHOLDER {
    size_t pos;
    size_t length;
    int number;
    char kind;
};

std::vector<PLACEHOLDER> find_placeholders(const std::string& text)
{
    std::vector<PLACEHOLDER> found;
    for (size_t i = 0; i + 4 < text.size(); ++i) {
        if (text[i] != '%' || text[i + 1] < '1' || text[i + 1] > '9')
            continue;
        size_t j = i + 1;
        int number = 0;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9')
            number = number * 10 + (text[j++] - '0');
        if (j + 2 < text.size() && text[j] == '!' && (text[j + 1] == 's' || text[j + 1] == 'd') && text[j + 2] == '!')
            found.push_back({i, j + 3 - i, number, text[j + 1]});
    }
    return found;
}

// Reads the arguments in number order, as the placeholders' kinds say, and fills the text.
std::string fill_text(const std::string& text, va_list args)
{
    const std::vector<PLACEHOLDER> places = find_placeholders(text);
    int count = 0;
    for (const PLACEHOLDER& p : places)
        count = std::max(count, p.number);
    std::vector<std::string> values(count + 1);
    for (int n = 1; n <= count; ++n) {
        auto it = std::find_if(places.begin(), places.end(), [n](const PLACEHOLDER& p) { return p.number == n; });
        if (it == places.end())
            continue;  // a gap in the numbering takes no argument
        if (it->kind == 'd') {
            values[n] = std::to_string(va_arg(args, int));
        } else {
            const char* s = va_arg(args, const char*);
            values[n] = s ? s : "";
        }
    }
    std::string out;
    size_t from = 0;
    for (const PLACEHOLDER& p : places) {
        out.append(text, from, p.pos - from);
        out += values[p.number];
        from = p.pos + p.length;
    }
    out.append(text, from, std::string::npos);
    return out;
}

MSG_RECORD record_of(const MSG_BASE& msg, const char* event)
{
    MSG_RECORD r;
    r.event = event;
    r.type = msg.get_type_letters();
    r.identifier = msg.get_identifier();
    r.id = msg.get_id();
    r.text = msg.get_msg_text();
    return r;
}

MSG_RECORD record_of_post(const MSG_POST& msg, const char* event)
{
    MSG_RECORD r = record_of(msg, event);
    for (const auto& item : msg.get_sub_msgs())
        if (!item->is_null())
            r.items.push_back(record_of_post(*item, event));
    return r;
}

const char* type_word(const std::string& letters)
{
    if (letters == "I")
        return "Info";
    if (letters == "W")
        return "Warning";
    if (letters == "E")
        return "Error";
    return "Prompt";
}

void echo_record(const MSG_RECORD& r, int depth)
{
    std::fprintf(stderr, "%*s%s (%u): %s\n", depth * 4, "", type_word(r.type), r.id, r.text.c_str());
    for (const MSG_RECORD& item : r.items)
        echo_record(item, depth + 1);
}

int ask_with_message_box(const MSG_PROMPT& msg)
{
    QMessageBox::StandardButtons buttons;
    for (MSG_PROMPT::MSG_VALUE v : msg.get_answers()) {
        switch (v) {
        case MSG_PROMPT::MSG_VALUE_OK: buttons |= QMessageBox::Ok; break;
        case MSG_PROMPT::MSG_VALUE_CANCEL: buttons |= QMessageBox::Cancel; break;
        case MSG_PROMPT::MSG_VALUE_YES: buttons |= QMessageBox::Yes; break;
        case MSG_PROMPT::MSG_VALUE_NO: buttons |= QMessageBox::No; break;
        default: break;
        }
    }
    const QString text = QString::fromUtf8(msg.get_msg_text().c_str());
    // The suite's message boxes bear its name as their title.
    const bool question = buttons & QMessageBox::Yes;
    const int pressed = question ? QMessageBox::question(nullptr, "Korvane", text, buttons)
                                 : QMessageBox::information(nullptr, "Korvane", text, buttons);
    switch (pressed) {
    case QMessageBox::Yes: return MSG_PROMPT::MSG_VALUE_YES;
    case QMessageBox::No: return MSG_PROMPT::MSG_VALUE_NO;
    case QMessageBox::Cancel: return MSG_PROMPT::MSG_VALUE_CANCEL;
    default: return MSG_PROMPT::MSG_VALUE_OK;
    }
}

const char* button_name(int value)
{
    switch (value) {
    case MSG_PROMPT::MSG_VALUE_OK: return "ok";
    case MSG_PROMPT::MSG_VALUE_CANCEL: return "cancel";
    case MSG_PROMPT::MSG_VALUE_YES: return "yes";
    case MSG_PROMPT::MSG_VALUE_NO: return "no";
    default: return "button";
    }
}

// The button that changes least: Cancel, else No, else the prompt's first.
int least_change(const std::vector<int>& buttons)
{
    for (int safe : {MSG_PROMPT::MSG_VALUE_CANCEL, MSG_PROMPT::MSG_VALUE_NO})
        if (std::find(buttons.begin(), buttons.end(), safe) != buttons.end())
            return safe;
    return buttons.front();
}

std::string misfit_text(int answer, const std::vector<int>& buttons, const std::string& prompt_text)
{
    std::string names;
    for (int v : buttons)
        names += (names.empty() ? "" : ", ") + std::string(button_name(v)) + " (" + std::to_string(v) + ")";
    return "the scripted answer " + std::to_string(answer) + " is not a button of the prompt \"" + prompt_text +
           "\": its buttons are " + names;
}

}  // namespace

// ---- MSG_BASE -------------------------------------------------------------------------------

MSG_BASE::MSG_BASE(MSG_REPORT*) {}

MSG_BASE::~MSG_BASE() = default;

void MSG_BASE::fill_args(const char* literal, ...)
{
    const std::string all = literal ? literal : "";
    const size_t slash = all.rfind('/');
    const std::string letters = get_type_letters();
    std::string text = all;
    if (slash != std::string::npos && all.compare(slash + 1, letters.size(), letters) == 0) {
        text = all.substr(0, slash);
        m_identifier = all.substr(slash + 1 + letters.size());
        m_help_id = QString::fromStdString(m_identifier).toLower().toStdString();
    }
    va_list args;
    va_start(args, literal);
    m_text = fill_text(text, args);
    va_end(args);
}

void MSG_BASE::set_id(unsigned int id)
{
    m_id = id;
    if (!is_null())
        MSG_JOURNAL::add(record_of(*this, "built"));
}

// ---- MSG_POST -------------------------------------------------------------------------------

MSG_POST::~MSG_POST() = default;

void MSG_POST::post()
{
    if (is_null())
        return;
    MSG_RECORD r = record_of_post(*this, "posted");
    if (journal().echo)
        echo_record(r, 0);
    MSG_JOURNAL::add(std::move(r));
}

void MSG_POST::add_msg(MSG_POST* item)
{
    if (item)
        m_items.emplace_back(item);
}

// ---- MSG_PROMPT -----------------------------------------------------------------------------

MSG_PROMPT::MSG_VALUE MSG_PROMPT::prompt(MSG_REPORT*)
{
    int answer = 0;
    if (journal().interactive && qobject_cast<QApplication*>(QCoreApplication::instance())) {
        answer = ask_with_message_box(*this);
    } else {
        const std::vector<MSG_VALUE> buttons = get_answers();
        answer = MSG_JOURNAL::take_answer(std::vector<int>(buttons.begin(), buttons.end()), get_msg_text());
    }
    MSG_RECORD r = record_of(*this, "prompted");
    r.answer = answer;
    if (journal().echo)
        std::fprintf(stderr, "Prompt (%u): %s -> %d\n", r.id, r.text.c_str(), answer);
    MSG_JOURNAL::add(std::move(r));
    return static_cast<MSG_VALUE>(answer);
}

// ---- MSG_INDEX ------------------------------------------------------------------------------

MSG_INDEX* MSG_INDEX::get_default_index()
{
    static MSG_INDEX index;
    return &index;
}

bool MSG_INDEX::is_suppressed(unsigned int id) const
{
    return std::find(m_suppressed.begin(), m_suppressed.end(), id) != m_suppressed.end();
}

void MSG_INDEX::set_suppressed(unsigned int id, bool suppressed)
{
    m_suppressed.erase(std::remove(m_suppressed.begin(), m_suppressed.end(), id), m_suppressed.end());
    if (suppressed)
        m_suppressed.push_back(id);
}

void MSG_INDEX::clear() { m_suppressed.clear(); }

// ---- MSG_ID_REGISTRAR -----------------------------------------------------------------------

MSG_ID_REGISTRAR::MSG_ID_REGISTRAR(const unsigned int* ids, const MSG_POST_TYPE* types, size_t count)
    : m_ids(ids, ids + count)
{
    for (size_t i = 0; i < count; ++i)
        registered_ids()[ids[i]] = types[i];
}

MSG_ID_REGISTRAR::~MSG_ID_REGISTRAR()
{
    for (unsigned int id : m_ids)
        registered_ids().erase(id);
}

int MSG_ID_REGISTRAR::get_registered_type(unsigned int id)
{
    auto it = registered_ids().find(id);
    return it == registered_ids().end() ? -1 : it->second;
}

// ---- MSG_INTERNAL_ERROR ---------------------------------------------------------------------

void MSG_INTERNAL_ERROR::report(const char* condition, const char* module, const char* source, int line)
{
    std::fprintf(stderr, "Internal Error: Sub-system: %s, File: %s, Line: %d\n%s\n", module ? module : "",
                 source ? source : "", line, condition ? condition : "");
    std::fflush(stderr);
    std::abort();
}

// ---- MSG_JOURNAL ----------------------------------------------------------------------------

void MSG_JOURNAL::set_interactive(bool interactive) { journal().interactive = interactive; }
bool MSG_JOURNAL::is_interactive() { return journal().interactive; }
void MSG_JOURNAL::set_echo(bool echo) { journal().echo = echo; }
bool MSG_JOURNAL::is_echo() { return journal().echo; }
void MSG_JOURNAL::push_answer(int answer) { journal().answers.push_back(answer); }
void MSG_JOURNAL::set_default_answer(int answer) { journal().default_answer = answer; }
void MSG_JOURNAL::clear_answers()
{
    journal().answers.clear();
    journal().script_error.clear();
}

std::string MSG_JOURNAL::take_script_error()
{
    std::string error;
    error.swap(journal().script_error);
    return error;
}

const std::vector<MSG_RECORD>& MSG_JOURNAL::records() { return journal().records; }
void MSG_JOURNAL::clear() { journal().records.clear(); }
// With a person answering, nobody reads the journal: it keeps nothing.
void MSG_JOURNAL::add(MSG_RECORD record)
{
    if (!journal().interactive)
        journal().records.push_back(std::move(record));
}

std::vector<MSG_RECORD> MSG_JOURNAL::records_of(const std::string& event)
{
    std::vector<MSG_RECORD> out;
    for (const MSG_RECORD& r : journal().records)
        if (r.event == event)
            out.push_back(r);
    return out;
}

int MSG_JOURNAL::take_answer(const std::vector<int>& allowed, const std::string& prompt_text)
{
    JOURNAL_STATE& j = journal();
    if (allowed.size() == 1)
        return allowed.front();  // a notice has nothing to choose: it leaves the queue alone
    if (!j.answers.empty()) {
        const int answer = j.answers.front();
        j.answers.pop_front();
        if (std::find(allowed.begin(), allowed.end(), answer) != allowed.end())
            return answer;
        if (j.script_error.empty())  // the first mistake is the one the script hears of
            j.script_error = misfit_text(answer, allowed, prompt_text);
        return least_change(allowed);
    }
    const bool default_fits = std::find(allowed.begin(), allowed.end(), j.default_answer) != allowed.end();
    return default_fits ? j.default_answer : allowed.front();
}

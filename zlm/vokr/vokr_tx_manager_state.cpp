// The manager's state-based trigger: the states of an instance's flow (kept by the module's
// state-machine object), the counters, flags and run-time options of its trigger, the values at
// which an acquisition stopped, and the check of the flow with its failing line mapped to a state.
#include "vokr_tx_manager.h"

#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_state_machine_object.h"

#include <QRegularExpression>
#include <QTabWidget>

#include <algorithm>
#include <functional>

namespace {

constexpr const char* STATE_BASED_TAB = "State-Based Trigger Flow";
// The data and setup tabs, which come before the flow's tab.
constexpr int FIXED_TABS = 2;

// Announced when the states' number, names or display change, and when their texts change.
constexpr int STATES_REBUILT = vokr_hint(VOKR_HINT_REBUILD | VOKR_HINT_VIEW);
constexpr int STATES_REFRESHED = vokr_hint(VOKR_HINT_REFRESH_VIEW);

QStringList names_of(int count, const std::function<const char*(int)>& name)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QString::fromLocal8Bit(name(i));
    return names;
}

int line_at(const QString& text, int position) { return 1 + text.leftRef(position).count('\n'); }

// The words of the flow language, which no state may be named.
bool is_flow_word(const QString& name)
{
    static const QStringList words = {
        "if",        "else",      "begin", "end", "goto", "start_store", "stop_store", "trigger", "segment_trigger",
        "increment", "decrement", "reset", "set", "clear"};
    return words.contains(name) || name.compare("state", Qt::CaseInsensitive) == 0;
}

// Where a state stands in a unified text: the line of its header and the line on which its
// statements begin (0 when it has none). A plain header is "state NAME:" alone on its line with
// a name the checker takes, not taken by a state above: the checker finds nothing wrong with the
// header itself then.
struct BLOCK {
    int header_line;
    int body_line;
    bool plain_header;
};

QVector<BLOCK> blocks_of(const QString& text)
{
    static const QRegularExpression identifier("^[A-Za-z_][A-Za-z0-9_]*$");
    constexpr int HEADER_WORD = 5;  // "state"
    const QVector<VOKR_STATE_MACHINE_OBJECT::HEADER> headers = VOKR_STATE_MACHINE_OBJECT::find_headers(text);
    QVector<BLOCK> blocks;
    QStringList names;
    for (int i = 0; i < headers.size(); ++i) {
        const VOKR_STATE_MACHINE_OBJECT::HEADER& h = headers[i];
        const int end = i + 1 < headers.size() ? headers[i + 1].start : text.size();
        int body = h.colon + 1;
        while (body < end && text[body].isSpace())
            ++body;
        const int header_line = line_at(text, h.start);
        const int body_line = body < end ? line_at(text, body) : 0;
        const QString name = text.mid(h.start + HEADER_WORD, h.colon - h.start - HEADER_WORD).trimmed();
        const bool plain = line_at(text, h.colon) == header_line && body_line > header_line &&
                           identifier.match(name).hasMatch() && !is_flow_word(name) && !names.contains(name);
        names << name;
        blocks.append({header_line, body_line, plain});
    }
    if (blocks.isEmpty())
        blocks.append({1, 2, false});
    return blocks;
}

// A state's own text, as its window shows it, gives the unified text its statements without the
// blank lines around them: the number of lines before them, and the line of their last line.
int leading_lines(const QString& state_text)
{
    int first = 0;
    while (first < state_text.size() && state_text[first].isSpace())
        ++first;
    return state_text.leftRef(first).count('\n');
}

int last_line(const QString& state_text) { return leading_lines(state_text) + 1 + state_text.trimmed().count('\n'); }

// Finds the state that holds line `error->line` of the unified text that was checked, and the
// line of that state's own text, as its window shows it. A state's block runs from its header
// line to the line before the next header, so the empty line between two states belongs to the
// one above it; a line past the last block (its last text line and one separator line) maps to
// the state count. The checker names a plain header's line when the statements above it stop
// short (a missing statement, "end" or ")"): that is the last line of the state above.
void locate_line(const QString& text, const VOKR_STATE_MACHINE_OBJECT* object, VOKR_STATE_MACHINE_ERROR* error)
{
    error->state = 0;
    error->line_in_state = 0;
    const int state_count = object ? object->get_state_count() : 0;
    const QVector<BLOCK> blocks = blocks_of(text);
    const int line = error->line;
    if (state_count < 1 || line < blocks[0].header_line)
        return;
    if (line > text.count('\n') + 2) {
        error->state = state_count;
        return;
    }
    int state = 0;
    while (state + 1 < blocks.size() && state + 1 < state_count && blocks[state + 1].header_line <= line)
        ++state;
    const BLOCK& block = blocks[state];
    if (line == block.header_line && block.plain_header && state > 0) {
        error->state = state - 1;
        error->line_in_state = last_line(object->get_state_text(state - 1));
        return;
    }
    error->state = state;
    const QString own = object->get_state_text(state);
    if (line == block.header_line || block.body_line == 0 || line < block.body_line || own.trimmed().isEmpty())
        error->line_in_state = line - block.header_line;
    else
        error->line_in_state = std::min(line - block.body_line + 1 + leading_lines(own), last_line(own));
}

}  // namespace

// ---- objects --------------------------------------------------------------------------------------------

KSM_TX_TRIGGER* VOKR_TX_MANAGER::state_trigger(int instance) const
{
    if (!m_tx_session)
        return nullptr;
    return instance == -1 ? m_tx_trigger : m_tx_session->get_trigger_at(instance);
}

VOKR_STATE_MACHINE_OBJECT* VOKR_TX_MANAGER::get_state_machine_object(int instance) const
{
    KSM_TX_TRIGGER* trigger = state_trigger(instance);
    return trigger ? dynamic_cast<VOKR_STATE_MACHINE_OBJECT*>(trigger->get_state_machine_object()) : nullptr;
}

VOKR_STATE_MACHINE_OBJECT* VOKR_TX_MANAGER::current_state_machine() const
{
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    VOKR_STATE_MACHINE_OBJECT* vokr_state_machine_object = get_state_machine_object(-1);
    VOKR_ASSERT(vokr_state_machine_object != NULL);
    return vokr_state_machine_object;
}

// Runs one edit of the current flow as an undo unit, unless the value is unchanged or widgets
// are being filled; the trigger learns that its state machine changed.
template <class CHANGE> void VOKR_TX_MANAGER::edit_state_machine(bool unchanged, CHANGE change)
{
    edit_setting(unchanged, [&] {
        change();
        set_state_machine_modified();
    });
}

void VOKR_TX_MANAGER::set_state_machine_modified()
{
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    m_tx_trigger->state_machine_changed();
    set_modified_flag(true);
}

// ---- states ---------------------------------------------------------------------------------------------

int VOKR_TX_MANAGER::get_state_count(int instance) const
{
    const VOKR_STATE_MACHINE_OBJECT* object = get_state_machine_object(instance);
    return object ? object->get_state_count() : 1;
}

QStringList VOKR_TX_MANAGER::get_state_names(int instance) const
{
    QStringList names;
    for (int i = 0; i < get_state_count(instance); ++i) {
        QString name;
        get_state_name(i, &name, instance);
        names << name;
    }
    return names;
}

void VOKR_TX_MANAGER::get_state_name(int i, QString* name, int instance) const
{
    if (const VOKR_STATE_MACHINE_OBJECT* object = get_state_machine_object(instance))
        object->get_state_name(i, name);
    else
        *name = QString("ST%1").arg(i + 1);
}

bool VOKR_TX_MANAGER::is_state_name(const QString& name, int instance) const
{
    return get_state_names(instance).contains(name);
}

void VOKR_TX_MANAGER::get_state_text(int i, QString* text, int instance) const
{
    const VOKR_STATE_MACHINE_OBJECT* object = get_state_machine_object(instance);
    *text = object ? object->get_state_text(i) : QString();
}

void VOKR_TX_MANAGER::get_unified_state_text(QString* text, int instance) const
{
    VOKR_STATE_MACHINE_OBJECT* object = get_state_machine_object(instance);
    if (object)
        object->get_unified_state_text(text);
    else
        *text = QString();
}

VOKR_STATE_TYPE VOKR_TX_MANAGER::get_state_type(int i, int instance) const
{
    const VOKR_STATE_MACHINE_OBJECT* object = get_state_machine_object(instance);
    return object ? object->get_state_type(i) : 0;
}

// A state's kind and name are part of the stored flow: each change is an undo unit and marks
// the document modified, though it announces nothing of its own.
void VOKR_TX_MANAGER::set_state_type(int i, VOKR_STATE_TYPE type)
{
    VOKR_STATE_MACHINE_OBJECT* object = current_state_machine();
    edit_state_machine(i < 0 || type == object->get_state_type(i), [&] { object->set_state_type(i, type); });
}

void VOKR_TX_MANAGER::set_state_name(int i, const QString& name)
{
    VOKR_STATE_MACHINE_OBJECT* object = current_state_machine();
    QString current;
    object->get_state_name(i, &current);
    edit_state_machine(i < 0 || name == current, [&] { object->set_state_name(i, name); });
}

void VOKR_TX_MANAGER::set_state_count(int count)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_STATE_MACHINE_OBJECT* object = current_state_machine();
    edit_state_machine(count < 1 || count == object->get_state_count(), [&] {
        object->set_state_count(count);
        emit updated(nullptr, STATES_REBUILT);
    });
}

// A state's text holds that state's statements only: a text with a header word would stand in
// the flow (the file, the check, the run) as more states than the state count says, so it is
// not taken; the panel keeps it in the state's window and names the line.
void VOKR_TX_MANAGER::set_state_text(int i, const QString& text)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_STATE_MACHINE_OBJECT* object = current_state_machine();
    const bool refused = VOKR_STATE_MACHINE_OBJECT::find_header_word(text) >= 0;
    edit_state_machine(i < 0 || refused || text == object->get_state_text(i), [&] {
        object->set_state_text(i, text);
        update_all_views(nullptr, STATES_REFRESHED);
    });
}

void VOKR_TX_MANAGER::set_unified_state_text(const QString& text)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_STATE_MACHINE_OBJECT* object = current_state_machine();
    QString current;
    object->get_unified_state_text(&current);
    edit_state_machine(text == current, [&] {
        object->set_unified_state_text(text);
        update_all_views(nullptr, STATES_REFRESHED);
    });
}

// How the flow's text is shown, not what a run is built from: it changes during an acquisition too.
void VOKR_TX_MANAGER::set_state_display_mode(bool unified)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_STATE_MACHINE_OBJECT* object = current_state_machine();
    VOKR_ACTION_GUARD action(this);
    VOKR_UPDATE_GUARD update;
    m_unified_state_display = unified;
    if (!unified)
        object->clear_unified_text();
    emit updated(nullptr, STATES_REBUILT);
}

bool VOKR_TX_MANAGER::is_state_mode() const
{
    QTabWidget* tabs = current_tab_widget(-1);
    return tabs && tabs->currentIndex() >= FIXED_TABS && tabs->tabText(tabs->currentIndex()) == STATE_BASED_TAB;
}

// ---- counters, flags and run-time options -----------------------------------------------------------------

int VOKR_TX_MANAGER::get_counter_count(int instance) const
{
    const KSM_TX_TRIGGER* trigger = state_trigger(instance);
    return trigger ? trigger->get_counter_count() : 0;
}

int VOKR_TX_MANAGER::get_flag_count(int instance) const
{
    const KSM_TX_TRIGGER* trigger = state_trigger(instance);
    return trigger ? trigger->get_flag_count() : 0;
}

QStringList VOKR_TX_MANAGER::get_counter_names(int instance) const
{
    return names_of(get_counter_count(instance), [&](int i) { return get_counter_name(i, instance); });
}

QStringList VOKR_TX_MANAGER::get_flag_names(int instance) const
{
    return names_of(get_flag_count(instance), [&](int i) { return get_flag_name(i, instance); });
}

const char* VOKR_TX_MANAGER::get_counter_name(int i, int instance, int* width, unsigned int* initial_value) const
{
    const char* name = "";
    const KSM_TX_TRIGGER* trigger = state_trigger(instance);
    if (trigger)
        trigger->get_counter(i, &name, width, initial_value);
    return name;
}

const char* VOKR_TX_MANAGER::get_flag_name(int i, int instance, int* initial_value) const
{
    const char* name = "";
    const KSM_TX_TRIGGER* trigger = state_trigger(instance);
    if (trigger)
        trigger->get_flag(i, &name, initial_value);
    return name;
}

bool VOKR_TX_MANAGER::is_counter_name(const QString& name, int instance) const
{
    return get_counter_names(instance).contains(name);
}

bool VOKR_TX_MANAGER::is_flag_name(const QString& name, int instance) const
{
    return get_flag_names(instance).contains(name);
}

bool VOKR_TX_MANAGER::is_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option, int instance) const
{
    const KSM_TX_TRIGGER* trigger = state_trigger(instance);
    return trigger && trigger->is_configurable(option);
}

void VOKR_TX_MANAGER::set_counter_count(int count)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    edit_state_machine(false, [&] {
        m_tx_trigger->set_counter_count(count);
        emit updated(nullptr, STATES_REFRESHED);
    });
}

void VOKR_TX_MANAGER::set_flag_count(int count)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    edit_state_machine(false, [&] {
        m_tx_trigger->set_flag_count(count);
        emit updated(nullptr, STATES_REFRESHED);
    });
}

void VOKR_TX_MANAGER::set_counter_name(int i, const QString* name)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    const QByteArray bytes = name ? name->toLocal8Bit() : QByteArray();
    edit_state_machine(false, [&] { m_tx_trigger->set_counter(i, bytes.constData(), nullptr, nullptr); });
}

namespace {

// The largest value a counter of `width` bits holds: the hardware keeps only that many bits.
unsigned int counter_maximum(int width) { return width <= 0 ? 0u : width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u; }

}  // namespace

// A narrower counter also takes its initial value down to what the width holds, in the same step.
void VOKR_TX_MANAGER::set_counter_width(int i, int width)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    edit_state_machine(false, [&] {
        unsigned int initial = 0;
        if (!m_tx_trigger->set_counter(i, nullptr, &width, nullptr) ||
            !m_tx_trigger->get_counter(i, nullptr, nullptr, &initial))
            return;
        const unsigned int held = std::min(initial, counter_maximum(width));
        if (held == initial)
            return;
        m_tx_trigger->set_counter(i, nullptr, nullptr, &held);
        emit updated(nullptr, STATES_REFRESHED);
    });
}

// An initial value past the counter's width takes the largest value the width holds, as any
// value past the table's bounds takes the nearest bound.
void VOKR_TX_MANAGER::set_counter_initial_value(int i, unsigned int value)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    int width = 0;
    const unsigned int typed = value;
    if (m_tx_trigger->get_counter(i, nullptr, &width, nullptr))
        value = std::min(value, counter_maximum(width));
    edit_state_machine(false, [&] {
        m_tx_trigger->set_counter(i, nullptr, nullptr, &value);
        if (value != typed)
            emit updated(nullptr, STATES_REFRESHED);  // the table shows the value taken
    });
}

void VOKR_TX_MANAGER::set_flag_name(int i, const QString* name)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    const QByteArray bytes = name ? name->toLocal8Bit() : QByteArray();
    edit_state_machine(false, [&] { m_tx_trigger->set_flag(i, bytes.constData(), nullptr); });
}

void VOKR_TX_MANAGER::set_flag_initial_value(int i, int value)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    edit_state_machine(false, [&] { m_tx_trigger->set_flag(i, nullptr, &value); });
}

void VOKR_TX_MANAGER::set_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option, bool configurable)
{
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    edit_state_machine(false, [&] {
        m_tx_trigger->set_configurable(option, configurable);
        emit updated(nullptr, vokr_hint(VOKR_HINT_VIEW));
    });
}

// ---- acquired values --------------------------------------------------------------------------------------

int VOKR_TX_MANAGER::get_state_current_value(int log) const
{
    const KSM_DATA_LOG* data = m_tx_trigger ? m_tx_trigger->get_log(log) : nullptr;
    return data ? data->get_state_value() : -1;
}

bool VOKR_TX_MANAGER::get_counter_current_value(int i, int log, int* value) const
{
    const KSM_DATA_LOG* data = m_tx_trigger ? m_tx_trigger->get_log(log) : nullptr;
    if (!data || i < 0 || i >= data->get_number_counters())
        return false;
    *value = static_cast<int>(data->get_counter_value(i));
    return true;
}

bool VOKR_TX_MANAGER::get_flag_current_value(int i, int log, int* value) const
{
    const KSM_DATA_LOG* data = m_tx_trigger ? m_tx_trigger->get_log(log) : nullptr;
    if (!data || i < 0 || i >= data->get_number_flags())
        return false;
    *value = data->get_flag_value(i);
    return true;
}

// ---- check ------------------------------------------------------------------------------------------------

void VOKR_TX_MANAGER::check_state_machine(VOKR_STATE_MACHINE_ERROR* error, int instance)
{
    KSM_TX_TRIGGER* trigger = trigger_at(instance);
    std::string message;
    int line = 0;
    error->has_error = !trigger->check_state_machine(&message, &line);
    if (error->has_error) {
        error->message = QString::fromLocal8Bit(message.c_str());
        error->line = line;
        VOKR_STATE_MACHINE_OBJECT* object = get_state_machine_object(instance);
        QString text;
        if (object)
            object->get_unified_state_text(&text);
        locate_line(text, object, error);
    }
    emit updated(nullptr, vokr_hint(VOKR_HINT_INSTANCE_STATUS));
}

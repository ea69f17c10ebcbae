#include "vokr_syntax_highlighter.h"

#include "vokr_tx_manager.h"

#include <QRegularExpression>
#include <QTextEdit>

VOKR_SYNTAX_HIGHLIGHTER::VOKR_SYNTAX_HIGHLIGHTER(QTextEdit* parent, VOKR_TX_MANAGER* manager, int instance)
    : QSyntaxHighlighter(parent->document()), m_tx_manager(manager), m_instance(instance)
{
    setParent(parent);
}

bool VOKR_SYNTAX_HIGHLIGHTER::is_locked() const
{
    return m_tx_manager->get_frame_wnd() && m_tx_manager->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES;
}

bool VOKR_SYNTAX_HIGHLIGHTER::is_power_up() const
{
    const KSM_TX_SESSION* session = m_tx_manager->get_session();
    return m_tx_manager->get_tx_instance() && session &&
           session->is_power_up_view(m_tx_manager->get_current_instance_index());
}

QString VOKR_SYNTAX_HIGHLIGHTER::names_pattern(const QStringList& names)
{
    QStringList escaped;
    for (const QString& name : names)
        if (!name.isEmpty())
            escaped << QRegularExpression::escape(name);
    return escaped.isEmpty() ? QString() : "\\b(" + escaped.join('|') + ")\\b";
}

VOKR_SYNTAX_HIGHLIGHTER::NAMES VOKR_SYNTAX_HIGHLIGHTER::current_names() const
{
    NAMES names;
    names.states = m_tx_manager->get_state_names(m_instance);
    if (m_tx_manager->state_trigger(m_instance)) {
        names.conditions = m_tx_manager->get_condition_names(m_instance);
        names.flags = m_tx_manager->get_flag_names(m_instance);
        names.counters = m_tx_manager->get_counter_names(m_instance);
    }
    return names;
}

void VOKR_SYNTAX_HIGHLIGHTER::highlightBlock(const QString& text)
{
    m_names = current_names();
    const bool locked = is_locked();
    const bool power_up = is_power_up();
    const bool names_underline = !power_up && !locked;
    auto option_underline = [&](RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option) {
        if (power_up == locked)
            return !locked;
        return m_tx_manager->state_trigger(m_instance) && m_tx_manager->is_configurable(option, m_instance);
    };
    highlight_pattern(
        text, "\\b(state|if|else|increment|decrement|reset|set|clear|goto|trigger|segment_trigger|begin|end)\\b",
        Qt::blue, false);
    highlight_pattern(text, "\\b(start_store|stop_store)\\b", Qt::lightGray, false);
    for (const QStringList* names : {&m_names.conditions, &m_names.flags, &m_names.counters})
        highlight_pattern(text, names_pattern(*names), Qt::magenta, names_underline);
    const QString states = names_pattern(m_names.states);
    highlight_pattern(text, states, Qt::darkGreen, option_underline(RUV_RUNTIME_GOTO_DESTINATIONS));
    if (!states.isEmpty())
        highlight_pattern(text, "\\bstate\\s+" + states, Qt::darkGreen, false);
    highlight_pattern(text, "(<|<=|==|!=|>=|>)", Qt::black, option_underline(RUV_RUNTIME_COMPARISON_OPERATORS));
    highlight_pattern(text, "(&&|\\|\\|)", Qt::black, option_underline(RUV_RUNTIME_LOGICAL_OPERATORS));
    highlight_pattern(text, "\\b\\d+\\b", Qt::black, option_underline(RUV_RUNTIME_COMPARISON_VALUES));
}

// Gives every match of `pattern` in the block the colour and underline; an empty pattern
// colours nothing, and an empty match moves the search on by one character.
void VOKR_SYNTAX_HIGHLIGHTER::highlight_pattern(const QString& text, const QString& pattern, Qt::GlobalColor colour,
                                                bool underline)
{
    if (pattern.isEmpty())
        return;
    if (is_locked() && is_power_up())
        underline = false;
    QTextCharFormat format;
    format.setForeground(QBrush(colour, Qt::SolidPattern));
    format.setUnderlineStyle(underline ? QTextCharFormat::SingleUnderline : QTextCharFormat::NoUnderline);
    const QRegularExpression expression(pattern);
    int from = 0;
    while (from <= text.size()) {
        const QRegularExpressionMatch match = expression.match(text, from);
        if (!match.hasMatch())
            break;
        if (match.capturedLength() > 0)
            setFormat(match.capturedStart(), match.capturedLength(), format);
        from = match.capturedEnd() + (match.capturedLength() == 0 ? 1 : 0);
    }
}

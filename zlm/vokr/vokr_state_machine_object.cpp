#include "vokr_state_machine_object.h"

#include "vokr_assert.h"

#include <cstring>

namespace {

const QString STATE_KEYWORD = QStringLiteral("state");

bool starts_word(const QString& text, int at)
{
    return at == 0 || text[at - 1].isSpace() || text[at - 1] == ';' || text[at - 1] == ':';
}

bool ends_keyword(const QString& text, int after)
{
    return after < text.size() && (text[after].isSpace() || text[after] == ':');
}

// The next whole-word "state" at or after `from`, or -1.
int next_keyword(const QString& text, int from)
{
    for (int at = text.indexOf(STATE_KEYWORD, from, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(STATE_KEYWORD, at + 1, Qt::CaseInsensitive)) {
        if (starts_word(text, at) && ends_keyword(text, at + STATE_KEYWORD.size()))
            return at;
    }
    return -1;
}

}  // namespace

void VOKR_STATE_MACHINE_OBJECT::set_state_count(int count)
{
    m_state_count = count;
    m_unified_text.clear();
}

void VOKR_STATE_MACHINE_OBJECT::get_state_name(int n, QString* name) const
{
    const bool stored = n >= 0 && n < m_state_names.size() && !m_state_names[n].isEmpty();
    *name = stored ? m_state_names[n] : QString("ST%1").arg(n + 1);
}

void VOKR_STATE_MACHINE_OBJECT::set_state_name(int n, const QString& name)
{
    if (n < 0)
        return;
    while (m_state_names.size() <= n)
        m_state_names.append(QString());
    m_state_names[n] = name;
    m_unified_text.clear();
}

void VOKR_STATE_MACHINE_OBJECT::set_state_text(int n, const QString& text)
{
    if (n >= 0) {
        while (m_state_texts.size() <= n)
            m_state_texts.append(QString());
        m_state_texts[n] = text;
    }
    m_unified_text.clear();
}

QString VOKR_STATE_MACHINE_OBJECT::get_state_text(int n) const
{
    return n >= 0 && n < m_state_texts.size() ? m_state_texts[n] : QString();
}

void VOKR_STATE_MACHINE_OBJECT::get_unified_state_text(QString* text)
{
    if (m_unified_text.isEmpty()) {
        for (int i = 0; i < m_state_count; ++i) {
            QString name;
            get_state_name(i, &name);
            const QString body = get_state_text(i).trimmed();
            m_unified_text += (i ? "\r\n\r\n" : "") + QString("state ") + name + ":\r\n" +
                              (body.isEmpty() ? QString("trigger;") : body);
        }
    }
    *text = m_unified_text;
}

QVector<VOKR_STATE_MACHINE_OBJECT::HEADER> VOKR_STATE_MACHINE_OBJECT::find_headers(const QString& text)
{
    QVector<HEADER> headers;
    for (int at = next_keyword(text, 0); at >= 0;) {
        const int colon = text.indexOf(':', at + STATE_KEYWORD.size());
        if (colon < 0)
            break;
        headers.append({at, colon});
        at = next_keyword(text, colon + 1);
    }
    return headers;
}

// In the text of all states a state's text is followed by a line end, or ends the text.
int VOKR_STATE_MACHINE_OBJECT::find_header_word(const QString& state_text)
{
    return next_keyword(state_text + QLatin1Char('\n'), 0);
}

// Splits a unified text at its headers; text before the first header is dropped. The names of
// states past the new count stay stored but unused. A header without a colon ends the split:
// the text of the state before it runs up to that header.
void VOKR_STATE_MACHINE_OBJECT::set_unified_state_text(const QString& text)
{
    m_state_texts.clear();
    const QVector<HEADER> headers = find_headers(text);
    const int name_offset = STATE_KEYWORD.size();
    for (int i = 0; i < headers.size(); ++i) {
        const HEADER& h = headers[i];
        set_state_name(i, text.mid(h.start + name_offset, h.colon - h.start - name_offset).trimmed());
        const int body_end = i + 1 < headers.size() ? headers[i + 1].start : next_keyword(text, h.colon + 1);
        const int body_length = body_end < 0 ? -1 : body_end - h.colon - 1;
        set_state_text(i, text.mid(h.colon + 1, body_length).trimmed());
    }
    m_state_count = headers.isEmpty() ? 1 : headers.size();
    m_unified_text = text;
}

VOKR_STATE_TYPE VOKR_STATE_MACHINE_OBJECT::get_state_type(int n) const
{
    return n >= 0 && n < m_state_types.size() ? m_state_types[n] : 0;
}

void VOKR_STATE_MACHINE_OBJECT::set_state_type(int n, VOKR_STATE_TYPE type)
{
    if (n < 0)
        return;
    while (m_state_types.size() <= n)
        m_state_types.append(0);
    m_state_types[n] = type;
}

// ---- tree operations --------------------------------------------------------------------------------

KSM_TX_TREE_OBJECT* VOKR_STATE_MACHINE_OBJECT::get_child_object(int)
{
    VOKR_INTERNAL_ERROR("get_child_object() should not be called on a VOKR_STATE_MACHINE_OBJECT");
}

int VOKR_STATE_MACHINE_OBJECT::get_child_count()
{
    VOKR_INTERNAL_ERROR("get_child_count() should not be called on a VOKR_STATE_MACHINE_OBJECT");
}

KSM_TX_TREE_OBJECT* VOKR_STATE_MACHINE_OBJECT::create_child_object(int)
{
    VOKR_INTERNAL_ERROR("create_child_object() should not be called on a VOKR_STATE_MACHINE_OBJECT");
}

bool VOKR_STATE_MACHINE_OBJECT::delete_child_object(KSM_TX_TREE_OBJECT*)
{
    VOKR_INTERNAL_ERROR("delete_child_object() should not be called on a VOKR_STATE_MACHINE_OBJECT");
}

void VOKR_STATE_MACHINE_OBJECT::generate_tree(RUV_ADVANCED_TRIGGER_FACTORY*)
{
    VOKR_INTERNAL_ERROR("generate_tree() should not be called on a VOKR_STATE_MACHINE_OBJECT");
}

void VOKR_STATE_MACHINE_OBJECT::get_attributes()
{
    QString text;
    get_unified_state_text(&text);
    add_attribute(FLOW_ATTRIBUTE, text.remove('\r').toUtf8().constData());
    int typed = qMin(m_state_count, m_state_types.size());
    while (typed > 0 && m_state_types[typed - 1] == 0)
        --typed;
    if (typed == 0)
        return;
    QStringList types;
    for (int i = 0; i < typed; ++i)
        types << QString::number(m_state_types[i]);
    add_attribute(TYPES_ATTRIBUTE, types.join(' ').toUtf8().constData());
}

// A kind that is no number reads as 0.
void VOKR_STATE_MACHINE_OBJECT::set_attribute(const char* key, const char* value)
{
    const QString text = QString::fromUtf8(value ? value : "");
    if (key && std::strcmp(key, FLOW_ATTRIBUTE) == 0) {
        m_state_names.clear();
        m_state_types.clear();
        set_unified_state_text(text);
    } else if (key && std::strcmp(key, TYPES_ATTRIBUTE) == 0) {
        m_state_types.clear();
        for (const QString& type : text.simplified().split(' ', Qt::SkipEmptyParts))
            m_state_types.append(type.toInt());
    }
}

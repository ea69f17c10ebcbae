#include "vokr_state_machine_object.h"

#include "vokr_assert.h"

#include <cstring>

namespace {

constexpr char STATE_KEYWORD[] = "state";
constexpr int KEYWORD_LENGTH = sizeof(STATE_KEYWORD) - 1;

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
    while (m_state_names.size() <= n)
        m_state_names.append(QString());
    m_state_names[n] = name;
    m_unified_text.clear();
}

void VOKR_STATE_MACHINE_OBJECT::set_state_text(int n, const QString& text)
{
    if (n != -1) {
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

// Splits a unified text at its headers "state <name>:" (found in any letter case, anywhere).
void VOKR_STATE_MACHINE_OBJECT::set_unified_state_text(const QString& text)
{
    m_state_texts.clear();
    const QString lower = text.toLower();
    int search = 0;
    int open_start = -1;
    int count = 0;
    while (true) {
        const int header = lower.indexOf(STATE_KEYWORD, search);
        if (header < 0)
            break;
        if (open_start >= 0) {
            set_state_text(count - 1, text.mid(open_start, header - open_start).trimmed());
            open_start = -1;
        }
        const int name = header + KEYWORD_LENGTH;
        const int colon = lower.indexOf(':', name);
        if (colon < 0)
            break;
        set_state_name(count, text.mid(name, colon - name).trimmed());
        search = open_start = colon + 1;
        ++count;
    }
    if (open_start >= 0)
        set_state_text(count - 1, text.mid(open_start).trimmed());
    m_state_count = count > 0 ? count : 1;
    m_unified_text = text;
}

int VOKR_STATE_MACHINE_OBJECT::get_state_type(int n) const
{
    return n >= 0 && n < m_state_types.size() ? m_state_types[n] : 0;
}

void VOKR_STATE_MACHINE_OBJECT::set_state_type(int n, int type)
{
    if (n < 0)
        return;
    while (m_state_types.size() <= n)
        m_state_types.append(0);
    m_state_types[n] = type;
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
}

void VOKR_STATE_MACHINE_OBJECT::set_attribute(const char* key, const char* value)
{
    if (key && std::strcmp(key, FLOW_ATTRIBUTE) == 0)
        set_unified_state_text(QString::fromUtf8(value ? value : ""));
}

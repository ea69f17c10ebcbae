// The readable text form of a sub-tree that the canvas shows above the diagram: values and names
// as the boxes show them, operators between their inputs, parentheses by precedence.
#include "vokr_object.h"

namespace {

// Unary operators bind tightest, then shifts, comparisons, the bitwise and the logical ones.
constexpr int LEAF = 100;

bool is_constant_comparison(int kind)
{
    if (kind < VOKR_KIND_CONSTANT_UNSIGNED_COMPARISON || kind >= VOKR_KIND_BITWISE)
        return false;
    const int comparison = (kind - VOKR_KIND_CONSTANT_UNSIGNED_COMPARISON) % 8;
    return comparison >= 6;  // True and False
}

}  // namespace

int VOKR_OBJECT::display_precedence(int kind)
{
    switch (kind) {
    case VOKR_KIND_UNKNOWN:
    case VOKR_KIND_CIRN:
    case VOKR_KIND_RESULT: return -1;
    case VOKR_KIND_BITWISE:
    case VOKR_KIND_LOGICAL:
    case VOKR_KIND_REDUCTION:
    case VOKR_KIND_REDUCTION + 1:
    case VOKR_KIND_REDUCTION + 2: return 14;
    case VOKR_KIND_BITWISE + 1: return 8;
    case VOKR_KIND_BITWISE + 3: return 7;
    case VOKR_KIND_BITWISE + 2: return 6;
    case VOKR_KIND_LOGICAL + 1: return 5;
    case VOKR_KIND_LOGICAL + 3: return 4;
    case VOKR_KIND_LOGICAL + 2: return 3;
    default: break;
    }
    if (kind >= VOKR_KIND_SHIFT && kind < VOKR_KIND_REGISTERED_COUNTER)
        return 11;
    if (kind >= VOKR_KIND_CONSTANT_UNSIGNED_COMPARISON && kind < VOKR_KIND_BITWISE && !is_constant_comparison(kind))
        return 9;
    if (kind >= VOKR_KIND_REGISTERED_COUNTER && kind < VOKR_KIND_CUSTOM_HDL)
        return 12;
    return LEAF;
}

void VOKR_OBJECT::get_element_display_text(QString* text, bool pass, int outer)
{
    const bool shown = is_selected() == pass;
    auto put = [text, shown](const QString& part) { *text += shown ? part : QString(part.size(), ' '); };
    const int kind = get_draw_kind();
    const int type = is_constant_comparison(kind) ? VOKR_TYPE_BIT_VALUE : get_type();
    const int p = display_precedence(kind);
    const bool parenthesised = p != -1 && p < outer;
    const int ports = vokr_kind_max_inputs(kind);
    auto input = [&](int i) { m_children[i]->get_element_display_text(text, pass, p); };
    auto list = [&](bool reversed) {
        for (int i = 0; i < m_children.size(); ++i) {
            if (i > 0)
                put(",");
            input(reversed ? m_children.size() - 1 - i : i);
        }
    };
    if (parenthesised)
        put("(");
    if (m_children.isEmpty() || ports == 0 || !is_expanded() || type == VOKR_TYPE_BIT_VALUE) {
        put(get_summary_text());
    } else if (type == VOKR_TYPE_ELD || type == VOKR_TYPE_CUSTOM_HDL) {
        put(get_summary_text() + "(");
        if (m_children.size() == 1 && m_children[0]->get_type() == VOKR_TYPE_BUS) {
            input(0);
        } else {
            put("{");
            list(false);
            put("}");
        }
        QString pattern;
        get_string_property_text(VOKR_STRING_PATTERN, &pattern, VOKR_BANK_CURRENT);
        if (!pattern.isEmpty())
            put("," + pattern);
        put(")");
    } else if (kind == VOKR_KIND_BITWISE || kind == VOKR_KIND_LOGICAL || type == VOKR_TYPE_REDUCTION) {
        put(QString::fromLatin1(vokr_kind_symbol(kind)));
        input(0);
    } else if (type == VOKR_TYPE_COUNTER) {
        input(0);
        put("*" + get_counter_value(nullptr, nullptr));
    } else if (type == VOKR_TYPE_SHIFT) {
        input(0);
        put(" " + get_summary_text());
        const QString distance = get_shift_distance();
        if (!distance.isEmpty())
            put(" " + distance);
    } else if (type == VOKR_TYPE_BUS) {
        put("{");
        list(m_property[VOKR_INT_BIT_ORDER] == 1);
        put("}" + append_delays(QString()));
    } else {
        const QString op = get_summary_text();
        const int count = std::min<int>(m_children.size(), ports);
        for (int i = 0; i < count; ++i) {
            input(i);
            if (i + 1 < count || count == 1)
                put(" " + op + (i + 1 < count ? " " : ""));
        }
    }
    if (parenthesised)
        put(")");
}

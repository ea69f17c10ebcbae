#include "vokr_comparison_edit.h"

#include "ksm.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QRegularExpression>

#include <limits>

namespace {

// Appends a digit to a non-negative number; false once it would pass the largest int.
bool append_digit(long long* number, char digit)
{
    *number = *number * 10 + (digit - '0');
    return *number <= std::numeric_limits<int>::max();
}

}  // namespace

VOKR_COMPARISON_EDIT::VOKR_COMPARISON_EDIT(VOKR_VIEW* view, VOKR_TX_MANAGER* manager, int node, int column)
    : VOKR_CELL_EDIT(view, manager, node, column)
{
    std::string expression;
    manager->get_comparison_expression(node, column - VOKR_VIEW::FIRST_LEVEL_COLUMN, &expression, -1);
    set_initial_text(QString::fromStdString(expression));
    QRect cell;
    if (view->get_item_rect(VOKR_VIEW::node_to_row(node), column, &cell))
        open_at(cell.adjusted(2, 2, -3, -3), Qt::AlignHCenter);
}

bool VOKR_COMPARISON_EDIT::parse_comparison(int* operand1, int* operand2, int* value1, int* value2) const
{
    const QByteArray text = this->text().toUtf8();
    QByteArray op;
    long long number = 0;
    bool digits = false;
    for (char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        if (c >= '0' && c <= '9') {
            if (!append_digit(&number, c))
                return false;
            digits = true;
        } else if (c == '<' || c == '=' || c == '>') {
            op += c;
        } else {
            return false;
        }
    }
    *operand1 = KSM_DATA_GLOBAL_ENUM::convert_string_to_enum(op.constData());
    *operand2 = KSM_CTYPE_COMPARE_TRUE;
    *value1 = digits ? int(number) : 0;
    *value2 = 0;
    return true;
}

bool VOKR_COMPARISON_EDIT::parse_interval(int* operand1, int* operand2, int* value1, int* value2) const
{
    const QByteArray text = this->text().toUtf8();
    long long numbers[2] = {0, 0};
    bool digits[2] = {false, false};
    int current = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        if (c >= '0' && c <= '9') {
            if (!append_digit(&numbers[current], c))
                return false;
            digits[current] = true;
        } else if (c == '(' || c == '[') {
            *operand1 = c == '(' ? KSM_CTYPE_COMPARE_GREATER_THAN : KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO;
        } else if (c == ')' || c == ']') {
            *operand2 = c == ')' ? KSM_CTYPE_COMPARE_LESS_THAN : KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO;
        } else if (c == ',') {
            current = 1;
        } else {
            return false;
        }
    }
    *value1 = digits[0] ? int(numbers[0]) : 0;
    *value2 = digits[1] ? int(numbers[1]) : 0;
    return true;
}

void VOKR_COMPARISON_EDIT::commit()
{
    static const QRegularExpression comparison("(>(=)?|==|<(=)?)\\s*\\d+");
    static const QRegularExpression interval("(\\[|\\()\\s*\\d+\\s*,\\s*\\d+\\s*(\\]|\\))");
    KSM_TX_SIGNAL_NODES* list = m_view->current_node_table();
    const int width = list && m_view->is_group(m_node) ? list->get_num_leaf_children(m_node) : 0;
    if (width <= 0)
        return;
    const long long max = width <= 31 ? (1LL << width) - 1 : std::numeric_limits<int>::max();
    int operand1 = KSM_CTYPE_COUNT, operand2 = KSM_CTYPE_COUNT, value1 = -1, value2 = -1;
    bool parsed = false;
    if (comparison.match(text()).hasMatch())
        parsed = parse_comparison(&operand1, &operand2, &value1, &value2);
    else if (interval.match(text()).hasMatch())
        parsed = parse_interval(&operand1, &operand2, &value1, &value2);
    const auto c1 = KSM_DATA_TRIGGER_CONDITION(operand1), c2 = KSM_DATA_TRIGGER_CONDITION(operand2);
    if (!parsed || !m_tx_manager->is_comparison_operand_condition(c1) ||
        !m_tx_manager->is_comparison_operand_condition(c2))
        return;
    if (value1 < 0 || value1 > max || value2 < 0 || value2 > max)
        return;
    if (c2 != KSM_CTYPE_COMPARE_TRUE && value1 >= value2)
        return;
    const int level = m_column - VOKR_VIEW::FIRST_LEVEL_COLUMN;
    m_tx_manager->get_tx_instance()->begin_action();
    m_tx_manager->set_comparison_trigger_enabled(m_node, level, true, -1);
    m_tx_manager->set_comparison_trigger_operand(m_node, level, 1, c1, -1);
    m_tx_manager->set_comparison_trigger_operand(m_node, level, 2, c2, -1);
    m_tx_manager->set_comparison_trigger_value(m_node, level, 1, value1, -1);
    m_tx_manager->set_comparison_trigger_value(m_node, level, 2, value2, -1);
    m_tx_manager->end_action(VOKR_CHECK_IN_POWER_UP_VIEW, -1);
}

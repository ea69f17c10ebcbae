#include "vokr_edit.h"

#include "ksm.h"
#include "vokr_number.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace {

constexpr int NAME_COLUMN = 2;

bool is_bus_type(KSM_DATA_NODE_DISPLAY_TYPE type)
{
    return type == KSM_NTYPE_GROUP_EXPANDED || type == KSM_NTYPE_GROUP_COLLAPSED;
}

}  // namespace

VOKR_EDIT::VOKR_EDIT(VOKR_VIEW* view, VOKR_TX_MANAGER* manager, int node, int column)
    : VOKR_CELL_EDIT(view, manager, node, column)
{
    set_initial_text(initial_text());
    if (m_node >= 0 && m_column >= VOKR_VIEW::FIRST_LEVEL_COLUMN) {
        const QString admitted = trigger_value_characters(m_tx_manager, m_node);
        if (!admitted.isEmpty())
            setValidator(new QRegularExpressionValidator(
                QRegularExpression("[" + QRegularExpression::escape(admitted) + "]*"), this));
    }
    if (place_editor())
        open_at(m_rect, column == NAME_COLUMN ? Qt::AlignLeft : Qt::AlignHCenter);
}

QString VOKR_EDIT::initial_text() const
{
    QString text;
    if (m_column == 1) {
        m_tx_manager->get_node_alias(m_node, &text);
    } else if (m_column == NAME_COLUMN) {
        m_tx_manager->get_node(m_node, nullptr, &text, nullptr, nullptr, nullptr, nullptr, nullptr, -4, nullptr);
    } else if (m_node < 0) {
        text = QString::fromUtf8(m_tx_manager->get_trigger_level_name(m_column - VOKR_VIEW::FIRST_LEVEL_COLUMN, -1));
    } else {
        bool radix_ok = false;
        m_view->get_group_trigger_pattern(m_node, m_column - VOKR_VIEW::FIRST_LEVEL_COLUMN, &text, &radix_ok);
        if (text.size() > MAX_BUS_WIDTH)
            return {};
        const QByteArray bits = text.toLatin1();
        VOKR_NUMBER number(bits.constData());
        const char* first = nullptr;
        number.get_string(m_tx_manager, m_node, &first, true, false, nullptr, m_column - VOKR_VIEW::FIRST_LEVEL_COLUMN);
        text = QString::fromLocal8Bit(first);
    }
    return text;
}

// A bus's trigger value takes the digits of its display format and the trigger letters (0/L,
// 1/H, R, F, E, X): any other character would be skipped by the number's parse and set another
// condition than the one typed. Symbols (mnemonics, plug-ins) and ASCII take any text.
QString VOKR_EDIT::trigger_value_characters(VOKR_TX_MANAGER* manager, int node)
{
    KSM_DATA_GROUP_DISPLAY_TYPE type = KSM_GTYPE_INVALID;
    if (!manager->get_node_group_display_type(node, &type, -1) || type == KSM_GTYPE_MNEMONICS ||
        type == KSM_GTYPE_ASCII || type == KSM_GTYPE_PLUGIN)
        return QString();
    QString digits;
    VOKR_NUMBER("0").get_string(manager, node, nullptr, true, false, &digits, -1);
    return digits + QStringLiteral("01XLFRHExlfrhe");
}

bool VOKR_EDIT::place_editor()
{
    const int row = m_node < 0 ? 1 : VOKR_VIEW::node_to_row(m_node);
    QRect cell;
    if (!m_view->get_item_rect(row, m_column, &cell))
        return false;
    QRect r = cell.adjusted(2, 2, -3, -3);
    if (m_column == NAME_COLUMN) {
        KSM_DATA_NODE_DISPLAY_TYPE type = KSM_NTYPE_NODE;
        m_tx_manager->get_node(m_node, &type, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, -4, nullptr);
        if (type != KSM_NTYPE_NODE)
            r.setLeft(r.left() + 30 * m_tx_manager->get_node_depth(m_node) + (is_bus_type(type) ? 21 : 0));
        r.adjust(-1, -1, 1, 1);
        // A column at its least width still leaves room to read and type the name.
        r.setWidth(std::max(r.width(), fontMetrics().horizontalAdvance(m_initial_text + "MMMM")));
    } else if (m_node < 0 && !m_tx_manager->is_sequential_mode(-1)) {
        r.setTop(r.bottom() - (r.bottom() - r.top() + 1) / 2);
    }
    m_rect = r;
    return true;
}

void VOKR_EDIT::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape: m_initial_text = text(); [[fallthrough]];
    case Qt::Key_Return:
    case Qt::Key_Enter: clearFocus(); return;
    default: QLineEdit::keyPressEvent(event);
    }
}

void VOKR_EDIT::commit()
{
    const QString value = text();
    m_tx_manager->get_tx_instance()->begin_action();
    if (m_column == 1) {
        m_tx_manager->set_node_alias(m_node, value);
    } else if (m_column == NAME_COLUMN) {
        KSM_DATA_NODE_DISPLAY_TYPE type = KSM_NTYPE_NODE;
        m_tx_manager->get_node(m_node, &type, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, -4, nullptr);
        if (is_bus_type(type))
            m_tx_manager->rename_group(m_node, value);
        else
            m_tx_manager->rename_node(m_node, value);
    } else if (m_node < 0) {
        m_tx_manager->set_trigger_level_name(value, m_column - VOKR_VIEW::FIRST_LEVEL_COLUMN, -1);
    } else {
        // A value wider than any bus is refused: the stored value stays.
        if (value.size() <= MAX_BUS_WIDTH) {
            const QByteArray bytes = value.toLatin1();
            VOKR_NUMBER(bytes.constData())
                .set_string(m_tx_manager, m_node, m_column - VOKR_VIEW::FIRST_LEVEL_COLUMN, -1);
        }
        m_tx_manager->end_action(VOKR_CHECK_IN_POWER_UP_VIEW, -1);
        m_tx_manager->update_all_views(nullptr, VOKR_HINT_REFRESH_VIEW);
        return;
    }
    m_tx_manager->end_action(m_node < 0 ? VOKR_CHECK_IN_POWER_UP_VIEW : VOKR_CHECK_NOTHING, -1);
}

// Tooltips of the node list view: every cell answers from the node's state, the captured data and
// the mouse position, computed when the request arrives.
#include "vokr_view.h"

#include "ksm.h"
#include "vokr_assert.h"
#include "vokr_node.h"
#include "vokr_number.h"
#include "vokr_tx_manager.h"

#include <QHelpEvent>
#include <QToolTip>

namespace {

QString enable_text(const char* what, bool enabled, bool partial)
{
    return QString(what) + (!enabled ? " Disabled" : partial ? " Partially Enabled" : " Enabled");
}

QString type_text(unsigned int type)
{
    switch (type) {
    case KSM_STYPE_INPUT_PIN: return "Input Pin";
    case KSM_STYPE_OUTPUT_PIN: return "Output Pin";
    case KSM_STYPE_BIDIR_PIN: return "Bidir Pin";
    case KSM_STYPE_MEMORY: return "Memory";
    case KSM_STYPE_REGISTERED: return "Registered";
    case KSM_STYPE_COMBINATORIAL: return "Combinatorial";
    case KSM_STYPE_MACHINE: return "State Machine";
    default: return {};
    }
}

QString condition_name(KSM_DATA_TRIGGER_CONDITION c)
{
    static const char* const names[] = {"High", "Low", "Rising Edge", "Falling Edge", "Either Edge", "Don't Care"};
    return c >= 3 && c <= 8 ? names[c - 3] : QString();
}

}  // namespace

bool VOKR_VIEW::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    QString text;
    if (!tooltip_text(help->pos(), &text)) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), text, this);
    return true;
}

bool VOKR_VIEW::tooltip_text(const QPoint& point, QString* text) const
{
    text->clear();
    int row = -1, column = -1;
    QRect cell;
    if (!find_item(point, &row, &column, &cell))
        return false;
    if (row >= FIRST_NODE_ROW && row_to_node(row) < get_node_count())
        *text = node_tooltip(row_to_node(row), column, point);
    else if (column == WAVEFORM_COLUMN)
        *text = ruler_tooltip(row, point);
    else if (row == 1 || row == 2)
        *text = header_tooltip(row, column, point, cell);
    return true;
}

QString VOKR_VIEW::node_tooltip(int node, int column, const QPoint& point) const
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    VOKR_NODE handle(m_tx_manager, list, node);
    bool partial = false;
    switch (column) {
    case 0: {
        const QString type = type_text(list->get_signal_type(node));
        return type.isEmpty() || !list->has_children(node) ? type : type + " Bus";
    }
    case 1: {
        QString alias;
        m_tx_manager->get_node_alias(node, &alias);
        return alias.isEmpty() ? QString("click to set alias") : alias;
    }
    case 2: {
        QString name;
        m_tx_manager->get_node(node, nullptr, &name, nullptr, nullptr, nullptr, nullptr, nullptr, -4, nullptr);
        return name;
    }
    // Each flag is asked before its partial state is read: that is an out-parameter of the query.
    case 5: {
        const bool on = handle.is_data_enabled(&partial);
        return enable_text("Data Capture", on, partial);
    }
    case 6: {
        const bool on = handle.is_trigger_enabled(&partial);
        return enable_text("Trigger", on, partial);
    }
    case 7: {
        const bool on = handle.is_storage_enabled(&partial);
        return enable_text("Storage Qualifier", on, partial);
    }
    case 8:
        if (handle.is_transition_enabled(&partial))
            return enable_text("Transition Storage Qualifier", true, partial);
        return handle.is_storage_enabled() ? QString("Transition Storage Qualifier Disabled")
                                           : QString("Storage Qualifier Not Enabled");
    case VALUE_COLUMN: return master_value_tooltip(node);
    case WAVEFORM_COLUMN: return mouse_value_tooltip(node, point);
    default: return column >= 9 && column <= LAST_LEVEL_COLUMN ? condition_tooltip(node, column - 12) : QString();
    }
}

QString VOKR_VIEW::condition_tooltip(int node, int level) const
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    if (VOKR_NODE(m_tx_manager, list, node).is_trigger_enabled(nullptr, level)) {
        if (!list->has_children(node))
            return condition_name(level < 0 ? list->get_pattern_condition(node, level + 3)
                                            : list->get_trigger_condition(node, level));
        QString pattern;
        bool radix_ok = false;
        get_group_trigger_pattern(node, level, &pattern, &radix_ok);
        if (pattern.isEmpty() || pattern.size() > MAX_BUS_WIDTH)
            return {};
        const QByteArray bits = pattern.toLatin1();
        VOKR_NUMBER number(bits.constData());
        const char* first = nullptr;
        number.get_string(m_tx_manager, node, &first, radix_ok, true, nullptr, level);
        return QString::fromLocal8Bit(first);
    }
    if (m_tx_manager->is_advanced_trigger(level, -1))
        return "Advanced Trigger";
    return level >= 0 ? "Trigger Not Enabled" : "Storage Qualifier Not Enabled";
}

// The value of a node, or of a group's member rows, at one sample, straight from the log: a bit
// as "0" or "1", a group's bits in hexadecimal in its bit order; `missing` when any channel is
// missing or not connected.
static QString bits_at(VOKR_TX_MANAGER* m, KSM_TX_SIGNAL_NODES* list, int node, int members, int sample,
                       const QString& missing)
{
    const KSM_DATA_LOG* log = m->get_data_log();
    KSM_TX_SIGNAL_SET* set = m->get_signal_nodes(-1);
    std::string bits;
    const int first = members > 0 ? node + 1 : node;
    for (int row = first; row <= node + members; ++row) {
        const int channel = set ? set->get_channel(row) : -1;
        if (channel < 0 || !log->get_connection_status(channel))
            return missing;
        bits += (log->get_bit(channel, sample) != list->is_signal_inverted(row)) ? '1' : '0';
    }
    if (members == 0)
        return QString(QChar(bits[0]));
    VOKR_NUMBER number(bits.c_str());
    return QString::fromLatin1(number.get_hex_string(m, node));
}

QString VOKR_VIEW::master_value_tooltip(int node) const
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const int depth = get_sample_depth();
    if (depth == 0 || !log || !log->is_data_available(false))
        return "No Samples";
    VOKR_ASSERT_TEXT(m_timebar_count > 0, "this->m_timebar_count > 0");
    const int sample = m_time_bars[0];
    if (sample < 0 || sample >= depth || !log->is_bit_valid(sample))
        return "No Data";
    const int members = is_group(node) ? get_group_member_count(node) : 0;
    return bits_at(m_tx_manager, current_node_table(), node, members, sample, QString());
}

QString VOKR_VIEW::mouse_value_tooltip(int node, const QPoint& point) const
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const int depth = get_sample_depth();
    if (!m_tx_manager->get_tx_instance() || depth == 0 || !log || !log->is_data_available(false))
        return "No Samples";
    const int sample = std::min(depth - 1, get_sample_at(point, false));
    if (sample < 0 || !log->is_bit_valid(sample))
        return "No Data";
    const int members = is_group(node) ? get_group_member_count(node) : 0;
    return bits_at(m_tx_manager, current_node_table(), node, members, sample, "Unknown");
}

QString VOKR_VIEW::header_tooltip(int row, int column, const QPoint& point, const QRect& cell) const
{
    static const char* const fixed[] = {"Node Type",
                                        "Node Alias",
                                        "Node Name",
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        "Transitional Storage Qualifier",
                                        "Conditional Storage Qualifier",
                                        "Start Storage Qualifier",
                                        "Stop Storage Qualifier"};
    const auto used = [](const char* what, int count) {
        return count > 0 ? QString("%1: %2 nodes used").arg(what).arg(count) : QString(what);
    };
    const bool instance = m_tx_manager->get_tx_instance() != nullptr;
    switch (column) {
    case 5: return used("Data Capture Enable", instance ? m_tx_manager->get_data_nodes_used(-1) : 0);
    case 6: return used("Trigger Enable", instance ? m_tx_manager->get_trigger_nodes_used(-1) : 0);
    case 7: return used("Storage Qualifier Enable", instance ? m_tx_manager->get_storage_qualifier_nodes_used(-1) : 0);
    case VALUE_COLUMN: return row == 2 ? "Master Time Bar Current Value" : "Master Time Bar Segment Number";
    default: break;
    }
    if (column < FIRST_LEVEL_COLUMN)
        return column >= 0 && fixed[column] ? QString(fixed[column]) : QString();
    const int level = column - FIRST_LEVEL_COLUMN;
    if (m_tx_manager->is_sequential_mode(-1))
        return m_tx_manager->is_segmented_acquisition_trigger(level) ? QString("Segmented Acquisition Trigger")
                                                                     : QString("Trigger Condition %1").arg(level + 1);
    if (row == 2 && hit_test_box(row, column, point, cell))
        return "All triggers are enabled because the state-based flow control feature is being used";
    return QString("Trigger Condition %1").arg(level + 1);
}

QString VOKR_VIEW::ruler_tooltip(int row, const QPoint& point) const
{
    if (m_tx_manager->is_setup_mode())
        return {};
    if (!m_tx_manager->get_tx_instance() || get_sample_depth() == 0)
        return "No Samples";
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const int s = get_sample_at(point, false);
    const int t = log ? std::max(0, log->get_data_trigger_position()) : 0;
    QString text;
    if (row == 1) {
        if (m_tx_manager->get_data_segment_size() == 0 && log)
            return "Segment " + QString::number(get_segment_count(s));
        format_sample_value(&text, s - t, false, true);
        return "Segment " + text;
    }
    if (row == 2) {
        format_sample_value(&text, s - t, false, false);
        return "Sample " + text;
    }
    if (m_cursor_kind == CURSOR_INSERT)
        return "click to insert time bar";
    const int bar = find_time_bar_at(point);
    QString segment;
    if (bar != -1)
        get_time_bar_texts(bar, &text, &segment);
    if (get_row_height(1) > 0 && get_row_height(2) > 0)
        return "Segment " + segment + ", Sample " + text;
    return get_row_height(1) > 0 ? "Segment " + segment : "Sample " + text;
}

#include "vokr_tree_widget.h"

#include "vokr_item_delegate.h"
#include "vokr_tx_manager.h"

#include <QMouseEvent>

#include <algorithm>

VOKR_TREE_WIDGET::VOKR_TREE_WIDGET(int column1_min, int column1_max, bool flag_table, int instance,
                                   VOKR_TX_MANAGER* manager, unsigned int column2_max)
    : m_delegate(new VOKR_ITEM_DELEGATE(this)), m_tx_manager(manager), m_flag_table(flag_table), m_instance(instance),
      m_column1_min(column1_min), m_column1_max(column1_max), m_column2_max(column2_max)
{
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    setRootIsDecorated(false);
    setMouseTracking(true);
    connect(this, &QTreeWidget::itemChanged, this, &VOKR_TREE_WIDGET::on_item_changed);
}

VOKR_TREE_WIDGET::~VOKR_TREE_WIDGET() { delete m_delegate; }

// The current-value column is never offered for editing.
void VOKR_TREE_WIDGET::mouseMoveEvent(QMouseEvent* event)
{
    QTreeWidget::mouseMoveEvent(event);
    const bool editable =
        itemAt(event->pos()) && columnAt(event->pos().x()) >= 0 && columnAt(event->pos().x()) < columnCount() - 1;
    setCursor(editable ? Qt::IBeamCursor : Qt::ArrowCursor);
}

void VOKR_TREE_WIDGET::mousePressEvent(QMouseEvent* event)
{
    QTreeWidget::mousePressEvent(event);
    QTreeWidgetItem* item = itemAt(event->pos());
    if (item && cursor().shape() == Qt::IBeamCursor)
        editItem(item, columnAt(event->pos().x()));
}

bool VOKR_TREE_WIDGET::is_edit_refused() const
{
    const VOKR_TX_MANAGER* m = m_tx_manager;
    const bool present = !m->is_empty();
    const KSM_TX_SESSION* session = m->get_session();
    const bool power_up = present && session && session->is_power_up_view(m->get_current_instance_index());
    const bool read_only = !m->is_wizard_mode() && (power_up || m->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES);
    return read_only || (present && m->is_instance_acquiring(m_instance));
}

// The data log's value of the row's flag or counter; "0" without a log or such an entry.
QString VOKR_TREE_WIDGET::current_value(int row) const
{
    const KSM_TX_SESSION* session = m_tx_manager->get_session();
    const int entry = m_instance < 0 ? m_tx_manager->get_current_instance_index() : m_instance;
    const KSM_DATA_LOG* log = session && entry >= 0 ? session->get_log_at(entry) : nullptr;
    if (m_flag_table)
        return QString::number(log && row < log->get_number_flags() ? log->get_flag_value(row) : 0);
    return QString::number(log && row < log->get_number_counters() ? log->get_counter_value(row) : 0u);
}

void VOKR_TREE_WIDGET::on_item_changed(QTreeWidgetItem* item, int column)
{
    const int row = indexOfTopLevelItem(item);
    if (column == current_value_column())
        item->setText(column, current_value(row));
    else if (is_edit_refused())
        refuse(item, row, column);
    else
        accept(item, row, column);
}

void VOKR_TREE_WIDGET::accept(QTreeWidgetItem* item, int row, int column)
{
    const QString text = item->text(column);
    if (column == 0) {
        emit column_zero_changed(row, &text);
        refuse(item, row, column);  // a name the session did not take (none, or taken) shows its own again
    } else if (column == 1) {
        bool number = false;
        const int read = text.toInt(&number, 10);
        const int value = !number || read < m_column1_min ? m_column1_min : std::min(read, m_column1_max);
        item->setText(column, QString::number(value));
        emit column_one_changed(row, value);
        refuse(item, row, column);
    } else if (column == 2) {
        bool number = false;
        const qulonglong read = text.toULongLong(&number, 10);
        const unsigned int value = number ? static_cast<unsigned int>(std::min<qulonglong>(read, m_column2_max)) : 0;
        item->setText(column, QString::number(value));
        emit column_two_changed(row, value);
    }
}

// A refused edit shows the session's value again at once, so that it never looks accepted; after
// an accepted one it shows what was taken. Setting a cell to the text it holds changes nothing.
void VOKR_TREE_WIDGET::refuse(QTreeWidgetItem* item, int row, int column)
{
    int width = 0;
    int flag_initial = 0;
    unsigned int counter_initial = 0;
    const char* name = m_flag_table ? m_tx_manager->get_flag_name(row, m_instance, &flag_initial)
                                    : m_tx_manager->get_counter_name(row, m_instance, &width, &counter_initial);
    if (column == 0)
        item->setText(0, QString::fromLocal8Bit(name ? name : ""));
    else if (column == 1)
        item->setText(1, QString::number(m_flag_table ? flag_initial : width));
    else if (column == 2)
        item->setText(2, QString::number(counter_initial));
}

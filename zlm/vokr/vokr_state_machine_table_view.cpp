#include "vokr_state_machine_table_view.h"

#include "vokr_database_manager.h"
#include "vokr_state_machine_dlg.h"
#include "vokr_table_fit.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardItemModel>

#include <algorithm>

namespace {

constexpr int COLUMN_WIDTH = 300;
// The rows the dialog opens with room for.
constexpr int MIN_ROWS = 6;
constexpr int MAX_ROWS = 20;

}  // namespace

VOKR_STATE_MACHINE_TABLE_VIEW::VOKR_STATE_MACHINE_TABLE_VIEW(VOKR_STATE_MACHINE_DLG* dialog)
    : m_model(new QStandardItemModel(0, 2, this)), m_dialog(dialog)
{
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    verticalHeader()->hide();
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setShowGrid(false);
    setMouseTracking(true);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    reset_columns();
}

void VOKR_STATE_MACHINE_TABLE_VIEW::reset_columns()
{
    m_model->clear();
    m_model->setColumnCount(2);
    m_model->setHorizontalHeaderLabels({"State Machine Name", "Mnemonic Table Name"});
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setColumnWidth(0, COLUMN_WIDTH);
    setColumnWidth(1, COLUMN_WIDTH);
}

void VOKR_STATE_MACHINE_TABLE_VIEW::fit_columns()
{
    vokr_fit_columns(this, {COLUMN_WIDTH, COLUMN_WIDTH});
    updateGeometry();
}

QSize VOKR_STATE_MACHINE_TABLE_VIEW::sizeHint() const
{
    return vokr_table_size_hint(this, std::clamp(m_model->rowCount(), MIN_ROWS, MAX_ROWS));
}

void VOKR_STATE_MACHINE_TABLE_VIEW::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (m_dialog && m_dialog->get_ok_button())
        m_dialog->get_ok_button()->setEnabled(!selected.isEmpty());
    QTableView::selectionChanged(selected, deselected);
}

QString VOKR_STATE_MACHINE_TABLE_VIEW::tool_tip_at(const QModelIndex& index) const
{
    if (!index.isValid())
        return QString();
    const QString text = index.data().toString();
    const QString machine = m_model->index(index.row(), 0).data().toString();
    VOKR_DATABASE_MANAGER database(m_dialog);
    QString tip;
    if (index.column() == 0 && !VOKR_STATE_MACHINE_DLG::is_empty_list_text(text)) {
        QStringList nodes;
        database.get_node_list(machine, &nodes);
        tip = nodes.join('\n');
    } else if (index.column() == 1 && !text.isEmpty() && !VOKR_STATE_MACHINE_DLG::is_status_text(text)) {
        QStringList names, encodings;
        database.get_mnemonic_list(machine, &names, &encodings);
        for (int i = 0; i < names.size(); ++i)
            tip += encodings.value(i) + "     " + names[i] + "\n";
    }
    return tip.trimmed();
}

void VOKR_STATE_MACHINE_TABLE_VIEW::mouseMoveEvent(QMouseEvent* event)
{
    setToolTip(tool_tip_at(indexAt(event->pos())));
    QTableView::mouseMoveEvent(event);
}

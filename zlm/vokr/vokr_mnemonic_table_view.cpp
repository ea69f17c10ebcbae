#include "vokr_mnemonic_table_view.h"

#include "vokr_mnemonic_dlg.h"

#include <QHeaderView>
#include <QStandardItemModel>

VOKR_MNEMONIC_TABLE_VIEW::VOKR_MNEMONIC_TABLE_VIEW(VOKR_MNEMONIC_DLG* dialog)
    : QTableView(dialog), m_dialog(dialog), m_model(new QStandardItemModel(this))
{
    setModel(m_model);
    setShowGrid(true);
    verticalHeader()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    reset_columns();
}

void VOKR_MNEMONIC_TABLE_VIEW::reset_columns()
{
    m_model->clear();
    m_model->setColumnCount(2);
    m_model->setHorizontalHeaderLabels({"Pattern", "Mnemonic"});
    setColumnWidth(0, 140);
    setColumnWidth(1, 140);
}

void VOKR_MNEMONIC_TABLE_VIEW::append_row(const QString& pattern, const QString& symbol)
{
    m_model->appendRow({new QStandardItem(pattern), new QStandardItem(symbol)});
    resizeRowToContents(m_model->rowCount() - 1);
}

// Normalises what was typed and stores it in the pending table: an existing entry takes the
// new pattern or symbol; the "<<new>>" row becomes a new entry.
void VOKR_MNEMONIC_TABLE_VIEW::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    const QModelIndex index = currentIndex();
    QTableView::closeEditor(editor, hint);
    if (index.isValid())
        commit_cell(index.row(), index.column(), m_model->data(index).toString());
}

void VOKR_MNEMONIC_TABLE_VIEW::commit_cell(int row, int column, const QString& text)
{
    VOKR_MNEMONIC_DLG::TABLE* table = m_dialog->current_table();
    if (!table || text == VOKR_MNEMONIC_DLG::NEW_ROW)
        return;
    const int width = table->width;
    QString pattern = VOKR_MNEMONIC_DLG::normalize_pattern(column == 0 ? text : QString(width, 'X'), width);
    QString symbol = column == 1 && !text.isEmpty() ? text : QString(VOKR_MNEMONIC_DLG::NO_SYMBOL);
    const int count = static_cast<int>(table->entries.size());
    if (row < count) {
        VOKR_MNEMONIC_DLG::ENTRY& entry = table->entries[row];
        (column == 0 ? entry.pattern : entry.symbol) = column == 0 ? pattern : symbol;
        m_model->item(row, column)->setText(column == 0 ? pattern : symbol);
        m_dialog->note_edit();
        return;
    }
    if (row != count || !m_dialog->add_entry(table, pattern, symbol, width))
        return;
    m_dialog->note_edit();
    // Shown at once in its sorted place, so that every row stays the entry of the same index.
    m_dialog->refresh_mnemonic_view(table);
}

void VOKR_MNEMONIC_TABLE_VIEW::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    const QModelIndex current = currentIndex();
    m_dialog->enable_delete_entry(!selected.isEmpty() && current.isValid() &&
                                  m_model->data(current).toString() != VOKR_MNEMONIC_DLG::NEW_ROW);
    QTableView::selectionChanged(selected, deselected);
}

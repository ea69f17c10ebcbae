// The entries of the mnemonic table shown in the setup dialog: pattern and symbol columns,
// edited in place, with a "<<new>>" row that adds an entry.
#pragma once

#include <QTableView>

class QStandardItemModel;
class VOKR_MNEMONIC_DLG;

class VOKR_MNEMONIC_TABLE_VIEW : public QTableView {
    Q_OBJECT
public:
    explicit VOKR_MNEMONIC_TABLE_VIEW(VOKR_MNEMONIC_DLG* dialog);
    QStandardItemModel* entries_model() const { return m_model; }
    // Empties the model and sets up its two columns.
    void reset_columns();
    void append_row(const QString& pattern, const QString& symbol);

protected slots:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void commit_cell(int row, int column, const QString& text);

    VOKR_MNEMONIC_DLG* m_dialog;
    QStandardItemModel* m_model;
};

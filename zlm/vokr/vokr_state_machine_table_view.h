// The table of the state machine nodes dialog: one row per state machine of the chosen netlist,
// its name and the mnemonic table proposed for it (or why it cannot be chosen).
#pragma once

#include <QTableView>

class QStandardItemModel;
class VOKR_STATE_MACHINE_DLG;

class VOKR_STATE_MACHINE_TABLE_VIEW : public QTableView {
    Q_OBJECT
public:
    explicit VOKR_STATE_MACHINE_TABLE_VIEW(VOKR_STATE_MACHINE_DLG* dialog);
    QStandardItemModel* get_model() const { return m_model; }
    // Clears the rows and sets the headers and column widths again.
    void reset_columns();
    // Widens the columns to their headers and cells once the rows are in.
    void fit_columns();
    // Every column whole and the rows, at least a few and at most a screenful.
    QSize sizeHint() const override;
    // The tool tip of a cell: a machine's nodes, or a proposed table's entries.
    QString tool_tip_at(const QModelIndex& index) const;

protected slots:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QStandardItemModel* m_model;
    VOKR_STATE_MACHINE_DLG* m_dialog;
};

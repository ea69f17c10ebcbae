// The editable table of a state-based trigger's flags or counters: one row per flag or counter,
// the values the user may set, and the value the last acquisition left in the data log. A
// single click opens a cell for editing; every edit is kept within its column's bounds and
// refused while the design is locked, the power-up view is shown or the instance acquires.
#pragma once

#include <QTreeWidget>

class VOKR_ITEM_DELEGATE;
class VOKR_TX_MANAGER;

class VOKR_TREE_WIDGET : public QTreeWidget {
    Q_OBJECT
public:
    // Flags: name, initial value (0..1), current value. Counters: name, width (1..32), initial
    // value (up to column2_max), current value. `instance` -1 follows the current instance.
    VOKR_TREE_WIDGET(int column1_min, int column1_max, bool flag_table, int instance, VOKR_TX_MANAGER* manager,
                     unsigned int column2_max);
    ~VOKR_TREE_WIDGET() override;
    // The table's rule: read-only in a locked design or the power-up view, and while the
    // instance acquires.
    bool is_edit_refused() const;

signals:
    void column_zero_changed(int index, const QString* name);  // the name lives during the emission only
    void column_one_changed(int index, int value);
    void column_two_changed(int index, unsigned int value);

public slots:
    void on_item_changed(QTreeWidgetItem* item, int column);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int current_value_column() const { return m_flag_table ? 2 : 3; }
    QString current_value(int row) const;
    void accept(QTreeWidgetItem* item, int row, int column);
    void refuse(QTreeWidgetItem* item, int row, int column);

    VOKR_ITEM_DELEGATE* m_delegate;
    VOKR_TX_MANAGER* m_tx_manager;
    bool m_flag_table;
    int m_instance;
    int m_column1_min;
    int m_column1_max;
    unsigned int m_column2_max;
};

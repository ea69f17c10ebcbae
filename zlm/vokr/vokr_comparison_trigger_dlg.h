// The "Compare" dialog of a bus node's basic trigger condition: a single-value comparison (one
// operand, one value) or an interval check (a lower and an upper bound, each exclusive or
// inclusive). The caller sets the fields, builds the dialog, runs it and on OK reads them back.
#pragma once

#include "pirq.h"

#include <QString>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class VOKR_VALUE_COMPARISON_WIDGET : public QWidget {
    Q_OBJECT
public:
    VOKR_VALUE_COMPARISON_WIDGET(int operand, int value, QWidget* parent = nullptr);
    QComboBox* operand_combo() const { return m_operand_combo; }
    QLineEdit* value_edit() const { return m_value_edit; }

private:
    QComboBox* m_operand_combo;
    QLineEdit* m_value_edit;
};

class VOKR_INTERVAL_COMPARISON_WIDGET : public QWidget {
    Q_OBJECT
public:
    VOKR_INTERVAL_COMPARISON_WIDGET(int lower_operand, int upper_operand, int lower_value, int upper_value,
                                    QWidget* parent = nullptr);
    QLineEdit* lower_edit() const { return m_lower_edit; }
    QLineEdit* upper_edit() const { return m_upper_edit; }
    QRadioButton* lower_inclusive() const { return m_lower_inclusive; }
    QRadioButton* upper_inclusive() const { return m_upper_inclusive; }
    QRadioButton* lower_exclusive() const { return m_lower_exclusive; }
    QRadioButton* upper_exclusive() const { return m_upper_exclusive; }

private:
    QLineEdit* m_lower_edit;
    QLineEdit* m_upper_edit;
    QRadioButton* m_lower_exclusive;
    QRadioButton* m_lower_inclusive;
    QRadioButton* m_upper_exclusive;
    QRadioButton* m_upper_inclusive;
};

class VOKR_TRIGGER_COMPARE_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    // Operand codes of the comparison.
    enum : int {
        LOWER_EXCLUSIVE = 18,
        LOWER_INCLUSIVE = 19,
        DEFAULT_OPERAND = 20,
        UPPER_INCLUSIVE = 21,
        UPPER_EXCLUSIVE = 22,
        NO_OPERAND = 23
    };

    explicit VOKR_TRIGGER_COMPARE_DLG(QWidget* parent);
    // Builds the controls from the fields; call once after setting them.
    void build();

    QString m_node_name;
    int m_operand_a = DEFAULT_OPERAND;
    int m_operand_b = NO_OPERAND;
    int m_value_a = 0;
    int m_value_b = 0;
    int m_bus_width = 1;

    int get_maximum() const { return m_maximum; }
    QComboBox* type_combo() const { return m_type_combo; }
    VOKR_VALUE_COMPARISON_WIDGET* value_page() const { return m_value_page; }
    VOKR_INTERVAL_COMPARISON_WIDGET* interval_page() const { return m_interval_page; }

public slots:
    void on_selection_changed(int index);
    void on_ok_button();
    void on_cancel_button() { reject(); }

private:
    // Strict decimal: anything else is out of range.
    bool read_value(const QLineEdit* edit, int* value) const;
    bool in_range(int value) const { return value >= 0 && value <= m_maximum; }
    void refuse(const char* text);

    int m_maximum = 1;
    QComboBox* m_type_combo = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    VOKR_VALUE_COMPARISON_WIDGET* m_value_page = nullptr;
    VOKR_INTERVAL_COMPARISON_WIDGET* m_interval_page = nullptr;
};

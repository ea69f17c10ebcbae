#include "vokr_comparison_trigger_dlg.h"

#include "ksm.h"
#include "vokr_msg.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <climits>

// ---- single value -------------------------------------------------------------------------------

VOKR_VALUE_COMPARISON_WIDGET::VOKR_VALUE_COMPARISON_WIDGET(int operand, int value, QWidget* parent)
    : QWidget(parent), m_operand_combo(new QComboBox(this)), m_value_edit(new QLineEdit(QString::number(value), this))
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Operand:", this), 0, 0, 1, 2);
    grid->addWidget(new QLabel("Value:", this), 1, 0, 1, 2);
    grid->addWidget(m_operand_combo, 0, 2);
    grid->addWidget(m_value_edit, 1, 2, 1, 2);
    for (int code = VOKR_TRIGGER_COMPARE_DLG::LOWER_EXCLUSIVE; code <= VOKR_TRIGGER_COMPARE_DLG::UPPER_EXCLUSIVE;
         ++code)
        m_operand_combo->addItem(
            KSM_DATA_GLOBAL_ENUM::convert_enum_to_string(static_cast<KSM_DATA_TRIGGER_CONDITION>(code)), code);
    m_operand_combo->setCurrentIndex(m_operand_combo->findData(operand));
}

// ---- interval -----------------------------------------------------------------------------------

namespace {

QGroupBox* bound_box(QWidget* parent, const char* label, QLineEdit* edit, QRadioButton* exclusive,
                     QRadioButton* inclusive)
{
    auto* box = new QGroupBox(parent);
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(label, box), 0, 0);
    grid->addWidget(edit, 0, 1);
    grid->addWidget(exclusive, 1, 0);
    grid->addWidget(inclusive, 2, 0);
    return box;
}

}  // namespace

VOKR_INTERVAL_COMPARISON_WIDGET::VOKR_INTERVAL_COMPARISON_WIDGET(int lower_operand, int upper_operand, int lower_value,
                                                                 int upper_value, QWidget* parent)
    : QWidget(parent), m_lower_edit(new QLineEdit(QString::number(lower_value))),
      m_upper_edit(new QLineEdit(QString::number(upper_value))), m_lower_exclusive(new QRadioButton("Exclusive")),
      m_lower_inclusive(new QRadioButton("Inclusive")), m_upper_exclusive(new QRadioButton("Exclusive")),
      m_upper_inclusive(new QRadioButton("Inclusive"))
{
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(5);
    layout->addWidget(bound_box(this, "Lower bound value:", m_lower_edit, m_lower_exclusive, m_lower_inclusive));
    layout->addWidget(bound_box(this, "Upper bound value:", m_upper_edit, m_upper_exclusive, m_upper_inclusive));
    (lower_operand == VOKR_TRIGGER_COMPARE_DLG::LOWER_INCLUSIVE ? m_lower_inclusive : m_lower_exclusive)
        ->setChecked(true);
    (upper_operand == VOKR_TRIGGER_COMPARE_DLG::UPPER_INCLUSIVE ? m_upper_inclusive : m_upper_exclusive)
        ->setChecked(true);
}

// ---- dialog -------------------------------------------------------------------------------------

VOKR_TRIGGER_COMPARE_DLG::VOKR_TRIGGER_COMPARE_DLG(QWidget* parent) : PIRQ_DIALOG(parent) {}

void VOKR_TRIGGER_COMPARE_DLG::build()
{
    setWindowTitle("Compare");
    m_maximum = m_bus_width >= 31 ? INT_MAX : (1 << std::max(m_bus_width, 1)) - 1;
    const bool interval = m_operand_b != NO_OPERAND;
    m_type_combo = new QComboBox(this);
    m_type_combo->addItem("Single-value comparison", 0);
    m_type_combo->addItem("Interval check", 1);
    m_type_combo->setCurrentIndex(interval ? 1 : 0);
    if (interval) {
        m_value_page = new VOKR_VALUE_COMPARISON_WIDGET(DEFAULT_OPERAND, 0);
        m_interval_page = new VOKR_INTERVAL_COMPARISON_WIDGET(m_operand_a, m_operand_b, m_value_a, m_value_b);
    } else {
        m_value_page = new VOKR_VALUE_COMPARISON_WIDGET(m_operand_a, m_value_a);
        m_interval_page = new VOKR_INTERVAL_COMPARISON_WIDGET(LOWER_EXCLUSIVE, UPPER_EXCLUSIVE, 0, m_maximum);
    }
    m_value_page->setEnabled(!interval);
    m_interval_page->setEnabled(interval);

    auto* outer = new QVBoxLayout(this);
    outer->setSpacing(30);
    auto* head = new QVBoxLayout;
    head->setSpacing(5);
    auto* node_row = new QHBoxLayout;
    node_row->addWidget(new QLabel("Node:", this));
    node_row->addWidget(new QLabel(m_node_name, this));
    auto* type_row = new QHBoxLayout;
    type_row->addWidget(new QLabel("Comparison type:", this));
    type_row->addWidget(m_type_combo);
    head->addLayout(node_row);
    head->addLayout(type_row);
    outer->addLayout(head);
    const std::pair<const char*, QWidget*> pages[] = {{"Single-value comparison", m_value_page},
                                                      {"Interval check", m_interval_page}};
    for (const auto& [title, page] : pages) {
        auto* box = new QGroupBox(title, this);
        (new QVBoxLayout(box))->addWidget(page);
        outer->addWidget(box);
    }
    m_ok = new QPushButton("Ok", this);
    m_cancel = new QPushButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_ok, m_cancel}) {
        button->setFixedWidth(75);
        buttons->addWidget(button, 2);
    }
    outer->addLayout(buttons);
    connect(m_type_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VOKR_TRIGGER_COMPARE_DLG::on_selection_changed);
    connect(m_ok, &QPushButton::clicked, this, &VOKR_TRIGGER_COMPARE_DLG::on_ok_button);
    connect(m_cancel, &QPushButton::clicked, this, &VOKR_TRIGGER_COMPARE_DLG::on_cancel_button);
}

void VOKR_TRIGGER_COMPARE_DLG::on_selection_changed(int index)
{
    m_value_page->setEnabled(index == 0);
    m_interval_page->setEnabled(index == 1);
}

// Only a plain decimal number is a value; any other text is refused like an out-of-range one.
bool VOKR_TRIGGER_COMPARE_DLG::read_value(const QLineEdit* edit, int* value) const
{
    bool ok = false;
    *value = edit->text().trimmed().toInt(&ok, 10);
    if (!ok)
        *value = 0;
    return ok;
}

void VOKR_TRIGGER_COMPARE_DLG::refuse(const char* text)
{
    QString message(text);
    if (message.contains("%1"))
        message = message.arg(0).arg(m_maximum);
    // A person reads it in a box of its own title; without one it goes to the message journal.
    if (MSG_JOURNAL::is_interactive() && qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox::warning(this, "Value(s) not acceptable", message);
        return;
    }
    auto* msg = new MSG_O;
    const QByteArray literal = (message + "/OVOKR_VALUES_NOT_ACCEPTABLE").toLatin1();
    msg->fill_args(literal.constData());
    vokr_prompt(msg);
}

void VOKR_TRIGGER_COMPARE_DLG::on_ok_button()
{
    if (m_type_combo->currentIndex() == 0) {
        m_operand_a = m_value_page->operand_combo()->currentData().toInt();
        m_operand_b = NO_OPERAND;
        const bool ok = read_value(m_value_page->value_edit(), &m_value_a) && in_range(m_value_a);
        m_value_b = 0;
        if (!ok)
            return refuse("Comparison value must be between %1 and %2 (inclusive)");
        return accept();
    }
    m_operand_a = m_interval_page->lower_inclusive()->isChecked() ? LOWER_INCLUSIVE : LOWER_EXCLUSIVE;
    m_operand_b = m_interval_page->upper_inclusive()->isChecked() ? UPPER_INCLUSIVE : UPPER_EXCLUSIVE;
    const bool lower_read = read_value(m_interval_page->lower_edit(), &m_value_a);
    const bool upper_read = read_value(m_interval_page->upper_edit(), &m_value_b);
    if (lower_read && upper_read && m_value_a > m_value_b)
        return refuse("Lower bound value must be less than upper bound value");
    if (!lower_read || !in_range(m_value_a))
        return refuse("Lower bound value must be between %1 and %2 (inclusive)");
    if (!upper_read || !in_range(m_value_b))
        return refuse("Upper bound value must be between %1 and %2 (inclusive)");
    accept();
}

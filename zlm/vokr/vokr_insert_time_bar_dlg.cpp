#include "vokr_insert_time_bar_dlg.h"

#include "vokr_msg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

VOKR_INSERT_TIME_BAR_DLG::VOKR_INSERT_TIME_BAR_DLG(QWidget* parent, int minimum, int maximum, bool make_master)
    : PIRQ_DIALOG(parent), m_minimum(minimum), m_maximum(maximum), m_time_edit(new QLineEdit(this)),
      m_unit_combo(new QComboBox(this)), m_sample_edit(new QLineEdit("0", this)),
      m_make_master(new QCheckBox("Make master time bar", this))
{
    setWindowTitle("Insert Time Bar");
    for (auto [widget, name] : {std::pair<QWidget*, const char*>{m_time_edit, "time"},
                                {m_unit_combo, "unit"},
                                {m_sample_edit, "sample_number"},
                                {m_make_master, "make_master"}})
        widget->setObjectName(name);
    m_unit_combo->addItems({"s", "ms", "us", "ns", "ps"});
    m_time_edit->setEnabled(false);
    m_unit_combo->setEnabled(false);
    m_sample_edit->setValidator(new QDoubleValidator(minimum, maximum, 10, m_sample_edit));
    m_make_master->setChecked(make_master);
    m_make_master->setEnabled(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help,
                                         Qt::Vertical, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &VOKR_INSERT_TIME_BAR_DLG::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);

    auto* grid = new QGridLayout(this);
    auto* time_label = new QLabel("Time:", this);
    time_label->setEnabled(false);
    grid->addWidget(time_label, 0, 0);
    grid->addWidget(m_time_edit, 0, 1, 1, 2);
    grid->addWidget(m_unit_combo, 0, 3);
    grid->addWidget(new QLabel("Sample number:", this), 1, 0, 1, 2);
    grid->addWidget(m_sample_edit, 1, 2, 1, 2);
    grid->addWidget(m_make_master, 2, 0, 1, 4);
    grid->addWidget(buttons, 0, 4, 3, 1);
}

int VOKR_INSERT_TIME_BAR_DLG::get_sample() const { return int(m_sample_edit->text().trimmed().toDouble()); }

bool VOKR_INSERT_TIME_BAR_DLG::is_make_master() const { return m_make_master->isChecked(); }

// A time bar stands on a sample: a fraction such as 12.5, or a text that is no number, is refused
// with that rule rather than read as sample 0, the trigger sample.
void VOKR_INSERT_TIME_BAR_DLG::accept()
{
    bool number = false;
    const double value = m_sample_edit->text().trimmed().toDouble(&number);
    const bool whole = number && value == std::floor(value);
    if (whole && value >= m_minimum && value <= m_maximum) {
        PIRQ_DIALOG::accept();
        return;
    }
    const QByteArray low = QByteArray::number(m_minimum), high = QByteArray::number(m_maximum);
    if (whole)
        vokr_prompt(vokr_msg_value_out_of_range(low.constData(), high.constData()));
    else
        vokr_prompt(vokr_msg_sample_number_not_whole(low.constData(), high.constData()));
}

#include "vokr_time_units_dlg.h"

#include "vokr_msg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const char* const UNITS[] = {"s", "ms", "us", "ns", "ps", "MHz"};
constexpr int US = 2, PS = 4, MHZ = 5;

int unit_index(const QString& unit)
{
    for (int i = 0; i <= MHZ; ++i)
        if (unit == UNITS[i])
            return i;
    return -1;
}

// A period in picoseconds; a frequency in MHz is first turned into its period in us.
double to_picoseconds(double period, int unit)
{
    if (unit == MHZ)
        period = 1.0 / period, unit = US;
    return period * std::pow(1000.0, PS - unit);
}

double from_picoseconds(double ps, int unit)
{
    if (unit == MHZ)
        return 1.0 / (ps / std::pow(1000.0, PS - US));
    return ps / std::pow(1000.0, PS - unit);
}

}  // namespace

VOKR_TIME_UNITS_DLG::VOKR_TIME_UNITS_DLG(QWidget* parent)
    : PIRQ_DIALOG(parent), m_maximum(std::numeric_limits<double>::max())
{
    build();
}

VOKR_TIME_UNITS_DLG::VOKR_TIME_UNITS_DLG(QWidget* parent, int minimum_samples, int maximum_samples, double period,
                                         bool make_master)
    : PIRQ_DIALOG(parent), m_minimum(minimum_samples * period), m_maximum(maximum_samples * period), m_period(period),
      m_insert(true), m_make_master(make_master)
{
    build();
}

void VOKR_TIME_UNITS_DLG::build()
{
    setWindowTitle("Time Units");
    auto* grid = new QGridLayout(this);
    m_value_edit = new QLineEdit(this);
    m_validator = new QDoubleValidator(m_minimum, m_maximum, 10, m_value_edit);
    m_validator->setNotation(QDoubleValidator::StandardNotation);
    m_value_edit->setValidator(m_validator);
    m_value_edit->setMaxLength(10);
    m_unit_combo = new QComboBox(this);
    for (const char* unit : UNITS)
        m_unit_combo->addItem(unit);
    m_sample_label = new QLabel("Sample number:", this);
    m_sample_edit = new QLineEdit(this);
    m_make_master_box = new QCheckBox("Make master time bar", this);
    m_make_master_box->setChecked(m_make_master);
    for (auto [widget, name] : {std::pair<QWidget*, const char*>{m_value_edit, "time"},
                                {m_unit_combo, "unit"},
                                {m_sample_edit, "sample_number"},
                                {m_make_master_box, "make_master"}})
        widget->setObjectName(name);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help,
                                         Qt::Vertical, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    grid->addWidget(new QLabel("Time:", this), 0, 0);
    grid->addWidget(m_value_edit, 0, 1);
    grid->addWidget(m_unit_combo, 0, 2);
    grid->addWidget(m_sample_label, 1, 0);
    grid->addWidget(m_sample_edit, 1, 1, 1, 2);
    grid->addWidget(m_make_master_box, 2, 0, 1, 3);
    grid->addWidget(buttons, 0, 3, 3, 1);
    connect(buttons, &QDialogButtonBox::accepted, this, &VOKR_TIME_UNITS_DLG::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);
    connect(m_value_edit, &QLineEdit::textEdited, this, &VOKR_TIME_UNITS_DLG::on_update_time_units_edit);
    connect(m_unit_combo, &QComboBox::textActivated, this, &VOKR_TIME_UNITS_DLG::on_sel_change_time_units_combo);
}

void VOKR_TIME_UNITS_DLG::on_init_dialog()
{
    const int index = unit_index(m_unit);
    if (index >= 0)
        m_unit_combo->setCurrentIndex(index);
    m_ok->setEnabled(m_value_edit->text().isEmpty());
    if (m_insert) {
        setWindowTitle("Insert Time Bar");
        m_make_master_box->setEnabled(!m_make_master_box->isChecked());
        m_sample_edit->setReadOnly(true);
        show_sample();
    } else {
        m_sample_label->hide();
        m_sample_edit->hide();
        m_make_master_box->hide();
    }
}

bool VOKR_TIME_UNITS_DLG::is_make_master() const { return m_make_master_box->isChecked(); }

// value / period rounded up; a quotient a rounding error above a whole number (0.3 / 0.1) counts
// as that number, so a time typed as a multiple of the period lands on that sample.
int VOKR_TIME_UNITS_DLG::get_sample() const
{
    if (!(m_period > 0.0))
        return 0;
    const double q = m_value / m_period;
    return int(std::ceil(q - 1e-9 * std::max(1.0, std::fabs(q))));
}

// The sample-number field follows the time and the unit: it shows where the bar will go.
void VOKR_TIME_UNITS_DLG::show_sample()
{
    if (m_insert)
        m_sample_edit->setText(m_period > 0.0 ? QString::number(get_sample()) : QString());
}

void VOKR_TIME_UNITS_DLG::on_update_time_units_edit(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    m_value = ok ? value : 0.0;
    m_ok->setEnabled(!text.isEmpty());
    show_sample();
}

// In insert mode the bounds follow the unit: the same samples, in the new unit's period. The
// number typed is not converted.
void VOKR_TIME_UNITS_DLG::on_sel_change_time_units_combo(const QString& unit)
{
    const int from = unit_index(m_unit), to = unit_index(unit);
    if (to < 0)
        return;
    if (m_insert && from >= 0 && m_period > 0.0) {
        const double low = m_minimum / m_period, high = m_maximum / m_period;
        m_period = from_picoseconds(to_picoseconds(m_period, from), to);
        m_minimum = low * m_period;
        m_maximum = high * m_period;
        // The typed text is checked against the bounds in the new unit.
        m_validator->setRange(m_minimum, m_maximum, 10);
    }
    m_unit = unit;
    show_sample();
}

// A time per sample (or a frequency) of 0 would divide by zero wherever times are printed or
// bars placed by time, so the time-units mode refuses 0 and the insert mode a period of 0.
void VOKR_TIME_UNITS_DLG::accept()
{
    const bool positive = m_insert ? m_period > 0.0 : m_value > 0.0;
    if (positive && m_value >= m_minimum && m_value <= m_maximum) {
        QDialog::accept();
        return;
    }
    const QByteArray low = QString::number(m_minimum, 'g', 6).toLatin1();
    const QByteArray high = QString::number(m_maximum, 'g', 6).toLatin1();
    vokr_prompt(vokr_msg_value_out_of_range(low.constData(), high.constData()));
}

#include "vokr_trigger_value_dlg.h"

#include "vokr_msg.h"
#include "vokr_number.h"
#include "vokr_table_fit.h"
#include "vokr_view.h"

#include "ksm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegExpValidator>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace {

struct RADIX {
    const char* item;
    int display_type;
    const char* admitted;  // ASCII is every printable character
    bool x_in_search;
};

const RADIX RADIXES[] = {
    {"Hexadecimal", 5, "0123456789ABCDEFabcdef", true},
    {"Unsigned Decimal", 4, "0123456789", false},
    {"Signed Decimal in Two's Complement", 2, "-0123456789", false},
    {"Signed Decimal in Sign Magnitude", 3, "-0123456789", false},
    {"IEEE754 Single (32-bit)", 13, "-0123456789.eE", false},
    {"IEEE754 Double (64-bit)", 14, "-0123456789.eE", false},
    {"Octal", 6, "01234567", true},
    {"Binary", 1, "01XLFRHExlfrhe", false},
    {"8-bit ASCII", 7, nullptr, false},
};
constexpr int RADIX_COUNT = int(sizeof(RADIXES) / sizeof(RADIXES[0]));

QString printable_ascii()
{
    QString text;
    for (char c = ' '; c <= '~'; ++c)
        text += QLatin1Char(c);
    return text;
}

// A character class of the admitted characters, each escaped when it means something inside one.
QString character_class(const QString& admitted)
{
    QString pattern = "[";
    for (QChar c : admitted) {
        if (QString("\\]^-[").contains(c))
            pattern += '\\';
        pattern += c;
    }
    return pattern + "]*";
}

}  // namespace

VOKR_TRIGGER_VALUE_DLG::VOKR_TRIGGER_VALUE_DLG(QWidget* parent, VOKR_VIEW* view, int width, int display_type)
    : PIRQ_DIALOG(parent), m_value_label(new QLabel("Value:", this)), m_value_edit(new QLineEdit(this)),
      m_radix_label(new QLabel("Radix:", this)), m_radix_combo(new QComboBox(this)),
      m_mnemonic_label(new QLabel("Mnemonic:", this)), m_mnemonic_edit(new QLineEdit(this)),
      m_ok_button(new QPushButton(view ? "Find &Next" : "OK", this)),
      m_find_previous_button(new QPushButton("Find &Previous", this)),
      m_button_box(new QDialogButtonBox(QDialogButtonBox::Cancel | QDialogButtonBox::Help, this)), m_width(width),
      m_display_type(display_type), m_view(view), m_mnemonic_entry(!view && display_type == MNEMONIC_ENTRY)
{
    setWindowTitle(view ? "Find Bus Value" : m_mnemonic_entry ? "Add Entry" : "Insert Value");
    build_layout();
    for (auto [widget, name] : {std::pair<QWidget*, const char*>{m_value_edit, "value"},
                                {m_radix_combo, "radix"},
                                {m_mnemonic_edit, "mnemonic"}})
        widget->setObjectName(name);
    m_mnemonic_label->setVisible(m_mnemonic_entry);
    m_mnemonic_edit->setVisible(m_mnemonic_entry);
    m_find_previous_button->setVisible(view != nullptr);
    // The conversions hold MAX_BUS_WIDTH digits; a longer text could never be a value.
    m_value_edit->setMaxLength(MAX_BUS_WIDTH);
    const int index = radix_index(display_type);
    m_radix_combo->setCurrentIndex(index);
    install_validator(index);
    connect(m_radix_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VOKR_TRIGGER_VALUE_DLG::radix_combo_changed);
    fit_value_edit();
}

VOKR_TRIGGER_VALUE_DLG::VOKR_TRIGGER_VALUE_DLG(VOKR_VIEW* view, int width, int display_type)
    : VOKR_TRIGGER_VALUE_DLG(view, view, width, display_type)
{
}

VOKR_TRIGGER_VALUE_DLG::VOKR_TRIGGER_VALUE_DLG(const QString& value, int width, QWidget* parent, int display_type)
    : VOKR_TRIGGER_VALUE_DLG(parent, nullptr, width, display_type)
{
    const QByteArray bits = value.toLatin1();
    m_value_edit->setText(VOKR_NUMBER(bits.constData()).get_display_string(m_display_type, m_width, false));
}

void VOKR_TRIGGER_VALUE_DLG::build_layout()
{
    for (const RADIX& r : RADIXES)
        m_radix_combo->addItem(r.item);
    for (QPushButton* button : {m_ok_button, m_find_previous_button}) {
        button->setFixedWidth(75);
        button->setAutoDefault(false);
    }
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_value_label, 0, 0, 1, 2);
    grid->addWidget(m_value_edit, 0, 2, 1, 3);
    grid->addWidget(m_radix_label, 0, 5, 1, 2, Qt::AlignRight);
    grid->addWidget(m_radix_combo, 0, 7, 1, 5);
    grid->addWidget(m_mnemonic_label, 1, 0, 1, 2);
    grid->addWidget(m_mnemonic_edit, 1, 2, 1, 3);
    auto* row = new QHBoxLayout;
    row->addWidget(m_find_previous_button, 2);
    row->addWidget(m_ok_button, 2);
    row->addWidget(m_button_box, 0);
    grid->addLayout(row, 2, 4, 1, 8);
    grid->setColumnStretch(3, 1);
    connect(m_ok_button, &QPushButton::clicked, this, &VOKR_TRIGGER_VALUE_DLG::on_ok_button);
    connect(m_find_previous_button, &QPushButton::clicked, this,
            &VOKR_TRIGGER_VALUE_DLG::on_find_previous_bus_value_button);
    connect(m_button_box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_button_box, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);
}

int VOKR_TRIGGER_VALUE_DLG::radix_index(int display_type)
{
    switch (display_type) {
    case 1: return 7;
    case 2: return 2;
    case 3: return 3;
    case 4:
    case 15: return 1;
    case 6: return 6;
    case 7: return 8;
    case 13: return 4;
    case 14: return 5;
    default: return 0;
    }
}

int VOKR_TRIGGER_VALUE_DLG::radix_display_type(int index)
{
    return index >= 0 && index < RADIX_COUNT ? RADIXES[index].display_type : RADIXES[0].display_type;
}

void VOKR_TRIGGER_VALUE_DLG::install_validator(int index)
{
    const RADIX& r = RADIXES[index >= 0 && index < RADIX_COUNT ? index : 0];
    QString admitted = r.admitted ? QString(r.admitted) : printable_ascii();
    if (m_view && r.x_in_search)
        admitted += "Xx";
    m_display_type = r.display_type;
    m_value_edit->setValidator(new QRegExpValidator(QRegExp(character_class(admitted)), m_value_edit));
}

// The shown value is converted to the new radix, never cleared.
void VOKR_TRIGGER_VALUE_DLG::radix_combo_changed(int index)
{
    const QByteArray typed = m_value_edit->text().toLatin1();
    QByteArray bits = VOKR_NUMBER(typed.constData()).get_trigger_value(m_display_type, m_width, false);
    install_validator(index);
    m_value_edit->setText(VOKR_NUMBER(bits.constData()).get_display_string(m_display_type, m_width, false));
    fit_value_edit();
}

// The longest texts of a width are those of all ones and of a lone top bit (the most negative
// signed value); ASCII characters are measured as the widest letter.
void VOKR_TRIGGER_VALUE_DLG::fit_value_edit()
{
    const int width = std::clamp(m_width, 1, MAX_BUS_WIDTH);
    const QFontMetrics metrics = m_value_edit->fontMetrics();
    int text_width = 0;
    for (const QByteArray& bits : {QByteArray(width, '1'), QByteArray(1, '1') + QByteArray(width - 1, '0')}) {
        const QString text = VOKR_NUMBER(bits.constData()).get_display_string(m_display_type, width, false);
        text_width = std::max(text_width, m_display_type == KSM_GTYPE_ASCII
                                              ? metrics.horizontalAdvance(QString(text.size(), QLatin1Char('W')))
                                              : metrics.horizontalAdvance(text));
    }
    QStyleOptionFrame option;
    option.initFrom(m_value_edit);
    option.lineWidth = m_value_edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, m_value_edit);
    // The line edit's own margins (two pixels either side) and room for the cursor after the text.
    const QSize needed = m_value_edit->style()->sizeFromContents(
        QStyle::CT_LineEdit, &option, QSize(text_width + 4 + metrics.averageCharWidth(), metrics.height()),
        m_value_edit);
    const QScreen* screen = this->screen();
    const int most = screen ? screen->availableGeometry().width() * 2 / 3 : needed.width();
    m_value_edit->setMinimumWidth(std::min(needed.width(), most));
    vokr_fit_window(this);
}

void VOKR_TRIGGER_VALUE_DLG::search(bool forward)
{
    m_last_searched_text = m_value_edit->text();
    m_last_searched_type = m_display_type;
    const QByteArray typed = m_last_searched_text.toLatin1();
    const QString bits = VOKR_NUMBER(typed.constData()).get_trigger_value(m_display_type, m_width, false);
    m_view->find_bus_value(bits, forward);
}

// The three checks of a new mnemonic entry, each refusal leaving the dialog open as typed. An
// empty value is refused like a value of no digits.
bool VOKR_TRIGGER_VALUE_DLG::check_mnemonic_entry()
{
    const QString text = m_value_edit->text();
    const QByteArray typed = text.toLatin1();
    // Zeros alone need no digits.
    const bool zeros = !text.contains(QRegExp("[^0]"));
    const int length = zeros ? 0 : VOKR_NUMBER(typed.constData()).get_trigger_value_length(m_display_type);
    if (length > m_width) {
        vokr_prompt(vokr_msg_conversion_over_bounds(m_width));
        return false;
    }
    if (length != 0 && m_mnemonic_edit->text().isEmpty()) {
        vokr_prompt(vokr_msg_no_mnemonic_name());
        return false;
    }
    if (length == 0 && (text.isEmpty() || !zeros)) {
        vokr_prompt(vokr_msg_no_value());
        return false;
    }
    return true;
}

void VOKR_TRIGGER_VALUE_DLG::on_ok_button()
{
    if (m_view)
        return search(true);
    if (m_mnemonic_entry && !check_mnemonic_entry())
        return;
    accept();
    const QByteArray typed = m_value_edit->text().toLatin1();
    m_value_edit->setText(VOKR_NUMBER(typed.constData()).get_trigger_value(m_display_type, m_width, false));
}

void VOKR_TRIGGER_VALUE_DLG::on_find_previous_bus_value_button()
{
    if (m_view)
        search(false);
}

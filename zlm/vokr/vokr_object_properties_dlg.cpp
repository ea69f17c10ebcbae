#include "vokr_object_properties_dlg.h"

#include "vokr_object.h"
#include "vokr_parameter_widget.h"
#include "vokr_table_fit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Types the combo never offers: unknown, the two fixed boxes, Node and Counter Operator.
constexpr uint32_t HIDDEN_TYPES = 0x2017;

}  // namespace

// ---- general page -------------------------------------------------------------------------------

VOKR_GENERAL_WIDGET::VOKR_GENERAL_WIDGET(QWidget* parent, VOKR_OBJECT_PROPERTIES_DLG* dialog,
                                         QList<VOKR_OBJECT*>* objects, VOKR_PROPERTY* working, int initial_type,
                                         bool new_object, int lock_mode, bool power_up_view)
    : QWidget(parent), m_type_combo(new QComboBox(this)), m_alias_edit(new QLineEdit(this)),
      m_name_edit(new QLineEdit(this)), m_objects(objects), m_working(working), m_initial_type(initial_type),
      m_new_object(new_object), m_dialog(dialog)
{
    auto* grid = new QGridLayout(this);
    const char* labels[] = {"Object type:", "Object alias:", "Object name:"};
    QWidget* fields[] = {m_type_combo, m_alias_edit, m_name_edit};
    for (int row = 0; row < 3; ++row) {
        grid->addWidget(new QLabel(labels[row], this), row, 0);
        grid->addWidget(fields[row], row, 1, 1, 3);
    }
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(3, 1);
    for (int row = 0; row < 3; ++row)
        fields[row]->setObjectName(QStringList{"object_type", "object_alias", "object_name"}[row]);
    connect(m_type_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VOKR_GENERAL_WIDGET::object_type_combo_changed);
    connect(m_alias_edit, &QLineEdit::textChanged, this, &VOKR_GENERAL_WIDGET::object_alias_edit_changed);
    connect(m_name_edit, &QLineEdit::textChanged, this, &VOKR_GENERAL_WIDGET::object_name_edit_changed);
    const VOKR_WORD_TABLE* types = vokr_int_property_words(VOKR_INT_TYPE);
    for (int type = 0; type < types->count; ++type)
        if (!(HIDDEN_TYPES & (1u << type)))
            m_type_combo->addItem(types->words[type], type);
    merge_selection();
    if (lock_mode != 0 || power_up_view)
        m_type_combo->setEnabled(false);
    m_initialised = true;
}

// Merges the selected boxes into the working property and shows what they share.
void VOKR_GENERAL_WIDGET::merge_selection()
{
    int count = 0;
    bool fixed = false;
    for (VOKR_OBJECT* box : std::as_const(*m_objects)) {
        if (!box->is_selected())
            continue;
        if (count++ == 0)
            m_working->set_parent(box);
        m_working->unify(box->get_property());
        fixed = fixed || box->get_type() == VOKR_TYPE_CIRN || box->get_type() == VOKR_TYPE_RESULT;
    }
    if (fixed) {
        m_type_combo->setEnabled(false);
        m_initial_type = 0;
        m_type_combo->setCurrentIndex(-1);
    } else if (m_initial_type != 0 && m_initial_type != (*m_working)[VOKR_INT_TYPE]) {
        m_working->set(VOKR_INT_TYPE, m_initial_type, VOKR_BANK_CURRENT);
        m_working->set_setting_string(VOKR_STRING_NAME, QString(), VOKR_BANK_CURRENT);
    } else {
        const char* word = vokr_int_property_words(VOKR_INT_TYPE)->word((*m_working)[VOKR_INT_TYPE]);
        m_type_combo->setCurrentIndex(word ? m_type_combo->findText(word, Qt::MatchExactly | Qt::MatchCaseSensitive)
                                           : -1);
    }
    m_alias_edit->setText(m_working->get_string_value(VOKR_STRING_ALIAS, VOKR_BANK_CURRENT).text);
    m_name_edit->setText(count > 1 ? QStringLiteral("Multiple Objects")
                                   : m_working->get_string_value(VOKR_STRING_NAME, VOKR_BANK_CURRENT).text);
    m_name_edit->setReadOnly(true);
    QPalette palette = m_name_edit->palette();
    palette.setBrush(QPalette::Base, Qt::NoBrush);
    m_name_edit->setPalette(palette);
}

void VOKR_GENERAL_WIDGET::object_type_combo_changed(int index)
{
    const int type = index < 0 ? 0 : m_type_combo->itemData(index).toInt();
    if (m_initialised) {
        m_working->set(VOKR_INT_TYPE, type, VOKR_BANK_CURRENT);
        m_name_edit->clear();
        m_working->set_setting_string(VOKR_STRING_NAME, QString(), VOKR_BANK_CURRENT);
    }
    if (m_new_object)
        m_dialog->set_ok_enabled(type != 0);
}

void VOKR_GENERAL_WIDGET::object_alias_edit_changed(const QString& text)
{
    if (m_initialised)
        m_working->set_setting_string(VOKR_STRING_ALIAS, text, VOKR_BANK_CURRENT);
}

void VOKR_GENERAL_WIDGET::object_name_edit_changed(const QString& text)
{
    if (m_initialised)
        m_working->set_setting_string(VOKR_STRING_NAME, text, VOKR_BANK_CURRENT);
}

void VOKR_GENERAL_WIDGET::apply()
{
    for (VOKR_OBJECT* box : std::as_const(*m_objects))
        if (box->is_selected())
            box->get_property() = *m_working;
}

// ---- dialog -------------------------------------------------------------------------------------

VOKR_OBJECT_PROPERTIES_DLG::VOKR_OBJECT_PROPERTIES_DLG(QWidget* parent, QList<VOKR_OBJECT*>* objects,
                                                       KSM_DATA_MNEMONICS* mnemonics, int initial_type, bool new_object,
                                                       int lock_mode, bool power_up_view)
    : PIRQ_DIALOG(parent),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help,
                                     Qt::Horizontal, this)),
      m_tabs(new QTabWidget(this))
{
    setWindowTitle("Object Properties");
    m_tabs->setTabShape(QTabWidget::Triangular);
    m_tabs->setObjectName("object_properties_tabs");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_buttons);
    layout->addLayout(row);
    m_general =
        new VOKR_GENERAL_WIDGET(this, this, objects, &m_working, initial_type, new_object, lock_mode, power_up_view);
    m_parameters = new VOKR_PARAMETER_WIDGET(this, this, objects, &m_working, mnemonics, lock_mode, power_up_view);
    m_tabs->addTab(m_general, "General");
    m_tabs->addTab(m_parameters, "Parameters");
    m_tabs->setCurrentIndex(0);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &VOKR_OBJECT_PROPERTIES_DLG::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_buttons, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);
    connect(m_tabs, &QTabWidget::currentChanged, this, &VOKR_OBJECT_PROPERTIES_DLG::on_tab_change);
    if (new_object)
        set_ok_enabled(false);
    else
        m_tabs->setCurrentIndex(1);
    vokr_fit_window(this);
}

QPushButton* VOKR_OBJECT_PROPERTIES_DLG::ok_button() const { return m_buttons->button(QDialogButtonBox::Ok); }

void VOKR_OBJECT_PROPERTIES_DLG::set_ok_enabled(bool enabled)
{
    if (QPushButton* ok = ok_button())
        ok->setEnabled(enabled);
}

void VOKR_OBJECT_PROPERTIES_DLG::accept()
{
    m_general->apply();
    QDialog::accept();
}

void VOKR_OBJECT_PROPERTIES_DLG::on_tab_change(int index)
{
    if (index == 1)
        m_parameters->refresh();
}

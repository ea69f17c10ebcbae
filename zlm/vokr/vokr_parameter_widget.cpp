#include "vokr_parameter_widget.h"

#include "ksm.h"
#include "vokr_choice_validator.h"
#include "vokr_object.h"
#include "vokr_property.h"
#include "vokr_status_texts.h"
#include "vokr_table_fit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStandardItemModel>
#include <QTextEdit>

#include <algorithm>

namespace {

enum COLUMN { NAME_COLUMN = 0, SETTING_COLUMN = 1, CONFIGURABLE_COLUMN = 2 };
constexpr int RADIX_BINARY = 3;

bool is_string(int id) { return id >= VOKR_PARAMETER_WIDGET::STRING_ID; }
int index_of(int id) { return id & 0xFFFF; }

const QString* description_of(int id)
{
    if (is_string(id)) {
        switch (index_of(id)) {
        case VOKR_STRING_PATTERN: return &VOKR_PARAMETER_PATTERN;
        case VOKR_STRING_BUS_NAME: return &VOKR_PARAMETER_BUS_NAME;
        case VOKR_STRING_BUS_VALUE: return &VOKR_PARAMETER_BUS_VALUE;
        case VOKR_STRING_MODULE_NAME: return &VOKR_PARAMETER_MODULE_NAME;
        case VOKR_STRING_CONFIG_BITSTREAM: return &VOKR_PARAMETER_BITSTREAM;
        default: return nullptr;
        }
    }
    static const QString* const INT_TEXTS[VOKR_INT_PROPERTY_COUNT] = {nullptr,
                                                                      nullptr,
                                                                      nullptr,
                                                                      nullptr,
                                                                      nullptr,
                                                                      nullptr,
                                                                      nullptr,
                                                                      &VOKR_PARAMETER_BUS_DISPLAY_FORMAT,
                                                                      &VOKR_PARAMETER_BIT_ORDER,
                                                                      &VOKR_PARAMETER_BIT_VALUE,
                                                                      &VOKR_PARAMETER_COMPARISON_TYPE,
                                                                      &VOKR_PARAMETER_SIGNED_COMPARISON_TYPE,
                                                                      &VOKR_PARAMETER_BITWISE_OPERATOR_TYPE,
                                                                      &VOKR_PARAMETER_LOGICAL_OPERATOR_TYPE,
                                                                      &VOKR_PARAMETER_REDUCTION_OPERATOR_TYPE,
                                                                      &VOKR_PARAMETER_SHIFT_DISTANCE,
                                                                      &VOKR_PARAMETER_SHIFT_DIRECTION,
                                                                      &VOKR_PARAMETER_SHIFT_TYPE,
                                                                      &VOKR_PARAMETER_PIPELINE,
                                                                      &VOKR_PARAMETER_DATA_DELAY,
                                                                      &VOKR_PARAMETER_COUNTER_VALUE,
                                                                      &VOKR_PARAMETER_COUNTER_WIDTH,
                                                                      &VOKR_PARAMETER_COUNTER_TYPE,
                                                                      &VOKR_PARAMETER_COUNTER_HOLD};
    return INT_TEXTS[id];
}

bool descriptor_runtime(int id)
{
    return is_string(id) ? vokr_string_property_table[index_of(id)].is_runtime : vokr_int_property_table[id].is_runtime;
}

bool descriptor_per_object(int id)
{
    return is_string(id) ? vokr_string_property_table[index_of(id)].is_object_dependent
                         : vokr_int_property_table[id].is_object_dependent;
}

// The shown text of an integer slot: its word or its digits; empty when unset or blank.
QString int_text(const VOKR_PROPERTY& property, int id, int bank)
{
    const VOKR_INT_SLOT& slot = property.get_int_value(id, bank);
    if (!slot.set || slot.blank)
        return QString();
    const VOKR_WORD_TABLE* words = vokr_int_property_words(id);
    if (!words)
        return QString::number(slot.value);
    const char* word = words->word(slot.value);
    return word ? QString(word) : QString();
}

bool is_radix_word(const QString& text)
{
    const VOKR_WORD_TABLE* words = vokr_int_property_words(VOKR_INT_DISPLAY_FORMAT);
    for (int i = 0; i < words->count; ++i)
        if (text == words->words[i])
            return true;
    return false;
}

QString entry_text(const KSM_DATA_MNEMONICS_TABLE* table, int i)
{
    return QString("%1 : %2").arg(table->get_entry_value_at(i), table->get_entry_symbol_at(i));
}

}  // namespace

// ---- grid ---------------------------------------------------------------------------------------

VOKR_PARAMETER_SETTING_VIEW::VOKR_PARAMETER_SETTING_VIEW(VOKR_PARAMETER_WIDGET* widget)
    : QTableView(widget), m_model(new QStandardItemModel(this)), m_widget(widget)
{
    setModel(m_model);
    set_headers();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    verticalHeader()->hide();
    setShowGrid(false);
}

void VOKR_PARAMETER_SETTING_VIEW::set_headers()
{
    m_model->setHorizontalHeaderLabels({"Name", "Setting", "Configurable at Runtime"});
    for (int c = 0; c < 3; ++c)
        m_model->horizontalHeaderItem(c)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fit_columns();
}

void VOKR_PARAMETER_SETTING_VIEW::fit_columns()
{
    vokr_fit_columns(this, {161, 139, 146});
    updateGeometry();
}

QSize VOKR_PARAMETER_SETTING_VIEW::sizeHint() const
{
    // The largest number of parameters a type of box shows, counted once.
    static const int most = [] {
        int rows = 0;
        for (int type = VOKR_TYPE_UNKNOWN + 1; type <= VOKR_TYPE_CUSTOM_HDL; ++type) {
            VOKR_PROPERTY property;
            property.set(VOKR_INT_TYPE, type, VOKR_BANK_NORMAL);
            int count = 0;
            for (int k = 0; k < VOKR_STRING_PROPERTY_COUNT; ++k)
                count += property.is_used_string(k) && *vokr_string_property_table[k].label ? 1 : 0;
            for (int k = 0; k < VOKR_INT_PROPERTY_COUNT; ++k)
                count += property.is_used_int(k) && *vokr_int_property_table[k].label ? 1 : 0;
            rows = std::max(rows, count);
        }
        return rows;
    }();
    return vokr_table_size_hint(this, std::max(most, m_model->rowCount()));
}

void VOKR_PARAMETER_SETTING_VIEW::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    // Without rows (also while the page is being built) the editor stays as the page set it.
    if (m_model->rowCount() > 0)
        m_widget->fill_editor(selected);
    QTableView::selectionChanged(selected, deselected);
}

// ---- page ---------------------------------------------------------------------------------------

VOKR_PARAMETER_WIDGET::VOKR_PARAMETER_WIDGET(QWidget* parent, VOKR_OBJECT_PROPERTIES_DLG* dialog,
                                             QList<VOKR_OBJECT*>* objects, VOKR_PROPERTY* working,
                                             KSM_DATA_MNEMONICS* mnemonics, int lock_mode, bool power_up_view)
    : QWidget(parent), m_name(new QLabel("Bus Name", this)), m_combo(new QComboBox(this)),
      m_check(new QCheckBox("&Allow this setting to be configurable at runtime", this)),
      m_description(new QTextEdit(this)), m_reset(new QPushButton("&Reset", this)),
      m_reset_all(new QPushButton("Reset &All", this)), m_grid(new VOKR_PARAMETER_SETTING_VIEW(this)),
      m_power_up_view(power_up_view), m_lock_mode(lock_mode), m_objects(objects), m_working(working),
      m_mnemonics(mnemonics), m_dialog(dialog)
{
    auto* box = new QGroupBox("Parameter", this);
    auto* editor = new QGridLayout(box);
    editor->addWidget(new QLabel("Name:", box), 0, 0);
    editor->addWidget(m_name, 0, 1, 1, 4);
    editor->addWidget(new QLabel("Setting:", box), 1, 0);
    editor->addWidget(m_combo, 1, 1, 1, 4);
    editor->addWidget(m_check, 2, 1, 1, 4);
    editor->addWidget(new QLabel("Description:", box), 3, 0);
    editor->addWidget(m_description, 3, 1, 3, 4);
    m_combo->setEditable(true);
    // What is typed is taken as typed: an inline completion would turn "Greater Than" into the
    // first item it begins, "Greater Than or Equal To". The list still offers every item.
    m_combo->setCompleter(nullptr);
    const std::pair<QWidget*, const char*> names[] = {
        {this, "object_parameters"},    {m_name, "parameter_name"},   {m_combo, "parameter_setting"},
        {m_check, "parameter_runtime"}, {m_reset, "parameter_reset"}, {m_reset_all, "parameter_reset_all"},
        {m_grid, "parameter_settings"}};
    for (const auto& [widget, name] : names)
        widget->setObjectName(name);
    if (power_up_view) {
        QPalette palette = m_combo->palette();
        palette.setColor(QPalette::Active, QPalette::Base, QColor(153, 204, 255));
        m_combo->setPalette(palette);
    }
    m_description->setReadOnly(true);
    m_description->setFixedHeight(60);
    QPalette palette = m_description->palette();
    palette.setBrush(QPalette::Base, palette.brush(QPalette::Window));
    m_description->setPalette(palette);
    m_reset->setFixedWidth(75);
    m_reset_all->setFixedWidth(75);
    auto* grid = new QGridLayout(this);
    grid->addWidget(box, 0, 0, 6, 5);
    grid->addWidget(m_reset, 0, 6);
    grid->addWidget(m_reset_all, 1, 6);
    grid->addWidget(new QLabel(" Existing parameter settings:", this), 6, 0, 1, 7);
    grid->addWidget(m_grid, 7, 0, 5, 7);
    connect(m_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VOKR_PARAMETER_WIDGET::on_setting_combo_changed);
    connect(m_combo, &QComboBox::editTextChanged, this, &VOKR_PARAMETER_WIDGET::on_setting_combo_edit_text_changed);
    connect(m_reset, &QPushButton::clicked, this, &VOKR_PARAMETER_WIDGET::on_reset_button);
    connect(m_reset_all, &QPushButton::clicked, this, &VOKR_PARAMETER_WIDGET::on_reset_all_button);
    connect(m_check, &QCheckBox::stateChanged, this, &VOKR_PARAMETER_WIDGET::on_parameter_configurable_check);
    m_initialised = true;
}

int VOKR_PARAMETER_WIDGET::row_id(int row) const
{
    return static_cast<int>(m_grid->get_model()->item(row, NAME_COLUMN)->data(ID_ROLE).toDouble());
}

// Run-time parameters live in the power-up bank while the power-up view is shown.
int VOKR_PARAMETER_WIDGET::bank(int id) const
{
    return m_power_up_view && descriptor_runtime(id) ? VOKR_BANK_POWER_UP : VOKR_BANK_NORMAL;
}

bool VOKR_PARAMETER_WIDGET::is_configurable_now(int id) const
{
    const bool now = descriptor_per_object(id) ? (*m_working)[VOKR_INT_CONFIGURABLE] == 0 : descriptor_runtime(id);
    return now && (!m_power_up_view || m_lock_mode == 0);
}

QString VOKR_PARAMETER_WIDGET::configurable_text(int id) const
{
    if (m_power_up_view)
        return "Never";
    if (descriptor_per_object(id))
        return (*m_working)[VOKR_INT_CONFIGURABLE] == 0 ? "Yes" : "No";
    return descriptor_runtime(id) ? "Always" : "Never";
}

void VOKR_PARAMETER_WIDGET::refresh()
{
    QStandardItemModel* model = m_grid->get_model();
    model->clear();
    m_grid->set_headers();
    auto add_row = [&](const char* label, int id) {
        auto* name = new QStandardItem(label);
        name->setData(double(id), ID_ROLE);
        model->appendRow({name, new QStandardItem, new QStandardItem});
    };
    for (int k = 0; k < VOKR_STRING_PROPERTY_COUNT; ++k)
        if (m_working->is_used_string(k) && *vokr_string_property_table[k].label)
            add_row(vokr_string_property_table[k].label, STRING_ID + k);
    for (int k = 0; k < VOKR_INT_PROPERTY_COUNT; ++k)
        if (m_working->is_used_int(k) && *vokr_int_property_table[k].label)
            add_row(vokr_int_property_table[k].label, k);
    m_grid->resizeRowsToContents();
    fill_settings(*m_working, false, false);
    m_grid->fit_columns();
    vokr_fit_window(this);
    const bool rows = model->rowCount() > 0;
    if (!rows) {
        disable_editor("No Parameters");
        m_reset->setEnabled(false);
    } else {
        m_check->setEnabled(m_lock_mode == 0 && !m_power_up_view);
        m_grid->selectRow(0);
        m_reset->setEnabled(true);
    }
    m_reset_all->setEnabled(rows);
}

// The row's value in `source` as text. Reading the working property itself writes nothing;
// reading another one (the defaults of a reset) stores what it reads.
QString VOKR_PARAMETER_WIDGET::get_setting(int row, const VOKR_PROPERTY& source)
{
    const int id = row_id(row);
    const int read_bank = m_power_up_view ? VOKR_BANK_POWER_UP : VOKR_BANK_NORMAL;
    QString text;
    if (is_string(id))
        text = source.get_string_value(index_of(id), read_bank).text;
    else if (id == VOKR_INT_DISPLAY_FORMAT &&
             !source.get_string_value(VOKR_STRING_MNEMONIC_TABLE, read_bank).text.isEmpty())
        text = source.get_string_value(VOKR_STRING_MNEMONIC_TABLE, read_bank).text;
    else
        text = int_text(source, id, read_bank);
    if (&source != m_working)
        apply_setting(row, text);
    return text;
}

void VOKR_PARAMETER_WIDGET::apply_setting(int row, const QString& text)
{
    const int id = row_id(row);
    if (is_string(id)) {
        m_working->set_setting_string(index_of(id), text, bank(id));
    } else if (id == VOKR_INT_DISPLAY_FORMAT && !text.isEmpty() && !is_radix_word(text)) {
        m_working->set_setting_string(VOKR_STRING_MNEMONIC_TABLE, text, bank(id));
        m_working->set(VOKR_INT_DISPLAY_FORMAT, RADIX_BINARY, bank(id));
    } else {
        m_working->set_setting(id, text, bank(id));
        if (id == VOKR_INT_DISPLAY_FORMAT)
            m_working->set_setting_string(VOKR_STRING_MNEMONIC_TABLE, QString(), bank(id));
    }
}

void VOKR_PARAMETER_WIDGET::set_row_texts(int row, const QString& setting)
{
    QStandardItemModel* model = m_grid->get_model();
    model->item(row, SETTING_COLUMN)->setText(setting);
    model->item(row, CONFIGURABLE_COLUMN)->setText(configurable_text(row_id(row)));
}

void VOKR_PARAMETER_WIDGET::fill_settings(const VOKR_PROPERTY& source, bool selected_only, bool configurable_only)
{
    for (int row = 0; row < m_grid->get_model()->rowCount(); ++row) {
        if (selected_only && !m_grid->selectionModel()->isRowSelected(row, QModelIndex()))
            continue;
        if (configurable_only && !is_configurable_now(row_id(row)))
            continue;
        set_row_texts(row, get_setting(row, source));
    }
}

void VOKR_PARAMETER_WIDGET::disable_editor(const QString& label)
{
    m_enumerated = false;
    const QSignalBlocker block(m_combo);
    m_name->setText(label);
    m_combo->clear();
    m_combo->setEnabled(false);
    const QSignalBlocker block_check(m_check);
    m_check->setChecked(false);
    m_check->setEnabled(false);
    m_description->clear();
}

int VOKR_PARAMETER_WIDGET::first_selected_row() const
{
    const QModelIndexList rows =
        m_grid->selectionModel() ? m_grid->selectionModel()->selectedRows() : QModelIndexList();
    int first = -1;
    for (const QModelIndex& index : rows)
        if (first < 0 || index.row() < first)
            first = index.row();
    return first;
}

KSM_DATA_MNEMONICS_TABLE* VOKR_PARAMETER_WIDGET::bus_value_table() const
{
    const int read_bank = m_power_up_view ? VOKR_BANK_POWER_UP : VOKR_BANK_NORMAL;
    const QString name = m_working->get_string_value(VOKR_STRING_MNEMONIC_TABLE, read_bank).text;
    return m_mnemonics && !name.isEmpty() ? m_mnemonics->find_table(name.toLocal8Bit().constData()) : nullptr;
}

// The choices of a parameter; a Bus Value symbol found in the table shows as its entry.
void VOKR_PARAMETER_WIDGET::fill_choices(int id, QString* setting)
{
    if (id == STRING_ID + VOKR_STRING_BUS_VALUE) {
        if (const KSM_DATA_MNEMONICS_TABLE* table = bus_value_table())
            for (int i = 0; i < table->get_num_entries(); ++i) {
                m_combo->addItem(entry_text(table, i));
                if (*setting == table->get_entry_symbol_at(i))
                    *setting = entry_text(table, i);
            }
        return;
    }
    const VOKR_WORD_TABLE* words = is_string(id) ? nullptr : vokr_int_property_words(id);
    if (!words)
        return;
    // A comparison box compares; "True" and "False" are not offered.
    const int count = id == VOKR_INT_COMPARISON ? 6 : words->count;
    for (int i = 0; i < count; ++i)
        m_combo->addItem(words->words[i]);
    if (id == VOKR_INT_DISPLAY_FORMAT && m_mnemonics)
        for (int t = 0; t < m_mnemonics->get_num_tables(); ++t)
            m_combo->addItem(m_mnemonics->get_table(t)->get_name());
}

// Filling the editor writes nothing: the combo's signals stay blocked until the user acts.
void VOKR_PARAMETER_WIDGET::fill_editor(const QItemSelection& added)
{
    // The row the edits go to: the first of the whole selection, not of the range just added. A
    // change that only took rows away (a click on one of several selected rows) keeps it.
    const int first = first_selected_row();
    if (added.isEmpty() && first < 0) {
        disable_editor("No Selection");
        m_reset->setEnabled(false);
        return;
    }
    m_reset->setEnabled(true);
    if (added.size() > 1) {
        disable_editor("Multiple Items");
        return;
    }
    const int row = std::max(first, 0);
    const int id = row_id(row);
    QStandardItemModel* model = m_grid->get_model();
    QString setting = model->item(row, SETTING_COLUMN)->text();
    const QSignalBlocker block(m_combo);
    m_name->setText(model->item(row, NAME_COLUMN)->text());
    m_combo->setEnabled(true);
    m_combo->clear();
    fill_choices(id, &setting);
    const QString* description = description_of(id);
    m_description->setPlainText(description ? *description : QString());
    if (m_combo->count() == 0)
        m_combo->addItem(setting);
    limit_to_choices(!is_string(id) && vokr_int_property_words(id), !is_string(id));
    m_combo->setCurrentIndex(m_combo->findText(setting, Qt::MatchExactly | Qt::MatchCaseSensitive));
    m_combo->setEditText(setting);
    const QSignalBlocker block_check(m_check);
    m_check->setEnabled(descriptor_per_object(id) && m_lock_mode == 0 && !m_power_up_view);
    m_check->setChecked(is_configurable_now(id));
    if ((m_lock_mode != 0 || m_power_up_view) && !is_configurable_now(id))
        m_combo->setEnabled(false);
}

// A parameter of named settings takes only those: other text is refused as it is typed, and
// a beginning left unfinished gives way to the row's setting when the editing ends. A number
// takes only a decimal integer's characters: a letter would be read as 0 without a word.
void VOKR_PARAMETER_WIDGET::limit_to_choices(bool enumerated, bool number)
{
    if (!m_choices) {
        m_choices = new VOKR_CHOICE_VALIDATOR(m_combo);
        m_integer = new QRegularExpressionValidator(QRegularExpression("-?[0-9]*"), m_combo);
        connect(m_combo->lineEdit(), &QLineEdit::editingFinished, this, &VOKR_PARAMETER_WIDGET::show_row_setting);
    }
    m_enumerated = enumerated;
    m_combo->setValidator(enumerated ? m_choices : number ? m_integer : nullptr);
}

void VOKR_PARAMETER_WIDGET::show_row_setting()
{
    const int row = first_selected_row();
    if (!m_enumerated || row < 0 || !m_choices->item_named(m_combo->currentText()).isEmpty())
        return;
    const QSignalBlocker block(m_combo);
    m_combo->setEditText(m_grid->get_model()->item(row, SETTING_COLUMN)->text());
}

void VOKR_PARAMETER_WIDGET::on_setting_combo_changed(int index)
{
    const int row = first_selected_row();
    if (!m_initialised || row < 0)
        return;
    QString text = index < 0 ? QString() : m_combo->itemText(index);
    if (row_id(row) == STRING_ID + VOKR_STRING_BUS_VALUE)
        if (const KSM_DATA_MNEMONICS_TABLE* table = bus_value_table())
            for (int i = 0; i < table->get_num_entries(); ++i)
                if (text == entry_text(table, i))
                    text = table->get_entry_symbol_at(i);
    m_grid->get_model()->item(row, SETTING_COLUMN)->setText(text);
    apply_setting(row, text);
}

void VOKR_PARAMETER_WIDGET::on_setting_combo_edit_text_changed(const QString& text)
{
    const int row = first_selected_row();
    if (!m_initialised || row < 0)
        return;
    // Choosing a row also changes the edit text; the row's own handler has stored it.
    if (m_combo->currentIndex() >= 0 && m_combo->itemText(m_combo->currentIndex()) == text)
        return;
    const QString setting = m_enumerated ? m_choices->item_named(text) : text;
    if (setting.isEmpty() && m_enumerated)
        return;  // the beginning of a setting: nothing is chosen yet
    m_grid->get_model()->item(row, SETTING_COLUMN)->setText(setting);
    apply_setting(row, setting);
}

void VOKR_PARAMETER_WIDGET::on_parameter_configurable_check(int state)
{
    const int row = first_selected_row();
    if (row < 0)
        return;
    m_working->set_configurable(state == Qt::Checked);
    m_grid->get_model()->item(row, CONFIGURABLE_COLUMN)->setText(configurable_text(row_id(row)));
}

void VOKR_PARAMETER_WIDGET::reset(bool all)
{
    QList<int> rows;
    for (const QModelIndex& index : m_grid->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    const VOKR_PROPERTY defaults;
    fill_settings(defaults, !all, m_lock_mode != 0);
    for (int row : std::as_const(rows))
        m_grid->selectRow(row);
}

void VOKR_PARAMETER_WIDGET::on_reset_button() { reset(false); }

void VOKR_PARAMETER_WIDGET::on_reset_all_button() { reset(true); }

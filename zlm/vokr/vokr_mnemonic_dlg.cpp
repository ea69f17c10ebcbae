#include "vokr_mnemonic_dlg.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_frame_wnd.h"
#include "vokr_mnemonic_import_dlg.h"
#include "vokr_mnemonic_new_table_dlg.h"
#include "vokr_mnemonic_table_view.h"
#include "vokr_msg.h"
#include "vokr_trigger_value_dlg.h"
#include "vokr_tx_manager.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Shows a notice that has no number of its own.
bool ask(MSG_PROMPT* prompt, const QString& text)
{
    prompt->fill_args("%1!s!", text.toUtf8().constData());
    return vokr_prompt(prompt) == MSG_PROMPT::MSG_VALUE_OK;
}

}  // namespace

VOKR_MNEMONIC_DLG::VOKR_MNEMONIC_DLG(VOKR_FRAME_WND* frame, QWidget* parent) : PIRQ_DIALOG(parent), m_frame_wnd(frame)
{
    on_init_dialog();
    insert_mnemonic_tables();
}

VOKR_MNEMONIC_DLG::~VOKR_MNEMONIC_DLG() = default;

KSM_DATA_SESSION* VOKR_MNEMONIC_DLG::data_session() const
{
    VOKR_TX_MANAGER* manager = m_frame_wnd ? m_frame_wnd->get_tx_manager() : nullptr;
    KSM_TX_SESSION* session = manager ? manager->get_session() : nullptr;
    return session ? session->get_data_session() : nullptr;
}

void VOKR_MNEMONIC_DLG::on_init_dialog()
{
    setWindowTitle("Mnemonic Table Setup");
    m_selector = new QComboBox(this);
    m_view = new VOKR_MNEMONIC_TABLE_VIEW(this);
    auto* add_table = new QPushButton("Add &Table...", this);
    auto* import = new QPushButton("&Import Table...", this);
    m_delete_table = new QPushButton("De&lete Table", this);
    m_add_entry = new QPushButton("Add &Entry...", this);
    m_delete_entry = new QPushButton("&Delete Entry", this);
    auto* legend = new QGroupBox("Pattern Legend", this);
    auto* legend_layout = new QVBoxLayout(legend);
    for (const char* text : {"1 - High", "0 - Low", "H - High", "L - Low", "R - Rising Edge", "F - Falling Edge",
                             "E - Either Edge", "X - Don't Care"})
        legend_layout->addWidget(new QLabel(text, legend));
    auto* entries = new QVBoxLayout;
    entries->setSpacing(0);
    entries->addWidget(new QLabel("Entries:", this));
    entries->addWidget(m_view);
    auto* buttons = new QVBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{add_table, import, m_delete_table, m_add_entry, m_delete_entry, legend})
        buttons->addWidget(w);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Table:", this), 0, 0);
    grid->addWidget(m_selector, 0, 1, 1, 5);
    grid->addLayout(entries, 1, 0, 9, 6);
    grid->addLayout(buttons, 0, 6, 10, 1);
    grid->addWidget(box, 10, 0, 1, 7);
    enable_table_buttons(false);
    connect(add_table, &QPushButton::clicked, this, &VOKR_MNEMONIC_DLG::on_new);
    connect(import, &QPushButton::clicked, this, &VOKR_MNEMONIC_DLG::on_import);
    connect(m_delete_table, &QPushButton::clicked, this, &VOKR_MNEMONIC_DLG::on_delete);
    connect(m_add_entry, &QPushButton::clicked, this, &VOKR_MNEMONIC_DLG::on_add_entry);
    connect(m_delete_entry, &QPushButton::clicked, this, &VOKR_MNEMONIC_DLG::on_delete_entry);
    connect(m_selector, &QComboBox::currentTextChanged, this, &VOKR_MNEMONIC_DLG::on_table_selection_changed);
    connect(m_view, &QAbstractItemView::doubleClicked, this, &VOKR_MNEMONIC_DLG::on_view_double_click);
    connect(box, &QDialogButtonBox::accepted, this, &VOKR_MNEMONIC_DLG::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(box, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);
}

void VOKR_MNEMONIC_DLG::enable_table_buttons(bool enable)
{
    m_delete_table->setEnabled(enable);
    m_add_entry->setEnabled(enable);
    if (!enable)
        m_delete_entry->setEnabled(false);
}

// The entries view reports selection changes from its construction on, before the button exists.
void VOKR_MNEMONIC_DLG::enable_delete_entry(bool enable)
{
    if (m_delete_entry)
        m_delete_entry->setEnabled(enable);
}

// ---- the pending copy ----------------------------------------------------------------------------------

void VOKR_MNEMONIC_DLG::insert_mnemonic_tables()
{
    m_selector->blockSignals(true);
    m_selector->clear();
    m_selector->blockSignals(false);
    KSM_DATA_SESSION* session = data_session();
    KSM_DATA_MNEMONICS* mnemonics = session ? session->get_mnemonics() : nullptr;
    for (int t = 0, count = mnemonics ? mnemonics->get_num_tables() : 0; t < count; ++t) {
        const KSM_DATA_MNEMONICS_TABLE* table = mnemonics->get_table(t);
        const int width = table->get_width();
        if (!add_table(QString::fromLocal8Bit(table->get_name()), width))
            continue;
        for (int i = 0; i < table->get_num_entries(); ++i)
            add_entry(m_tables.back().get(), table->get_entry_value_at(i), table->get_entry_symbol_at(i), width);
    }
    m_modified = !m_tables.empty();
    m_edited = false;
    m_selector->setCurrentIndex(0);
    m_current_table = find_pending(m_selector->currentText());
    enable_table_buttons(m_current_table != nullptr);
    refresh_mnemonic_view(m_current_table);
}

void VOKR_MNEMONIC_DLG::clear_entries()
{
    m_tables.clear();
    m_current_table = nullptr;
}

VOKR_MNEMONIC_DLG::TABLE* VOKR_MNEMONIC_DLG::find_pending(const QString& name) const
{
    for (const auto& table : m_tables)
        if (table->name == name)
            return table.get();
    return nullptr;
}

bool VOKR_MNEMONIC_DLG::add_table(const QString& name, int width)
{
    if (find_pending(name))
        return false;
    m_tables.push_back(std::make_unique<TABLE>(TABLE{name, width, {}}));
    m_current_table = m_tables.back().get();
    m_selector->blockSignals(true);
    m_selector->addItem(name);
    m_selector->blockSignals(false);
    m_modified = true;
    enable_table_buttons(true);
    return true;
}

bool VOKR_MNEMONIC_DLG::add_entry(TABLE* table, const QString& pattern, const QString& symbol, int width)
{
    if (!table || pattern.isEmpty() || symbol.isEmpty() || table->width != width)
        return false;
    auto place = std::lower_bound(table->entries.begin(), table->entries.end(), pattern,
                                  [](const ENTRY& e, const QString& p) { return e.pattern < p; });
    table->entries.insert(place, ENTRY{pattern, symbol});
    m_modified = true;
    return true;
}

bool VOKR_MNEMONIC_DLG::delete_entry(TABLE* table, int index)
{
    if (!table || index < 0 || index >= static_cast<int>(table->entries.size()))
        return false;
    table->entries.erase(table->entries.begin() + index);
    if (table->entries.empty())
        m_delete_entry->setEnabled(false);
    m_modified = true;
    return true;
}

bool VOKR_MNEMONIC_DLG::delete_table(const QString& name)
{
    auto it = std::find_if(m_tables.begin(), m_tables.end(), [&](const auto& t) { return t->name == name; });
    if (it == m_tables.end())
        return false;
    m_tables.erase(it);
    m_current_table = m_tables.empty() ? nullptr : m_tables.front().get();
    if (m_tables.empty())
        enable_table_buttons(false);
    m_modified = true;
    return true;
}

QString VOKR_MNEMONIC_DLG::normalize_pattern(const QString& text, int width)
{
    QString pattern;
    for (QChar c : text.toUpper())
        if (QStringLiteral("01HFRXE").contains(c))
            pattern += c;
    if (pattern.size() > width)
        return QString(width, 'X');
    return pattern.rightJustified(width, '0');
}

void VOKR_MNEMONIC_DLG::refresh_mnemonic_view(TABLE* table)
{
    m_view->reset_columns();
    if (table) {
        for (const ENTRY& entry : table->entries)
            m_view->append_row(entry.pattern, entry.symbol);
        m_view->append_row(NEW_ROW, NEW_ROW);
    }
    if (!table || table->entries.empty())
        m_delete_entry->setEnabled(false);
}

// ---- commands -----------------------------------------------------------------------------------------

void VOKR_MNEMONIC_DLG::on_new()
{
    VOKR_MNEMONIC_NEW_TABLE_DLG dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        add_new_table(dialog.name_edit()->text(), dialog.width_edit()->text());
}

void VOKR_MNEMONIC_DLG::add_new_table(const QString& name, const QString& width_text)
{
    const int width = width_text.toInt();
    if (name.isEmpty() || width < 1 || width > 1024)
        return;
    const QString full_name = name + " : width = " + QString::number(width);
    if (!add_table(full_name, width))
        return;
    m_edited = true;
    m_selector->setCurrentIndex(m_selector->findText(full_name));
    m_current_table = find_pending(full_name);
    refresh_mnemonic_view(m_current_table);
}

void VOKR_MNEMONIC_DLG::on_delete()
{
    if (m_tables.empty()) {
        vokr_prompt(vokr_msg_nothing_to_delete());
        return;
    }
    if (m_selector->currentIndex() < 0)
        return;
    const QString name = m_selector->currentText();
    m_selector->blockSignals(true);
    m_selector->removeItem(m_selector->currentIndex());
    m_selector->blockSignals(false);
    delete_table(name);
    m_edited = true;
    m_current_table = find_pending(m_selector->currentText());
    refresh_mnemonic_view(m_current_table);
}

void VOKR_MNEMONIC_DLG::on_import()
{
    PIRQ_FILE_DLG dialog(this);
    dialog.setNameFilter("Lumetra File (*.lmx)");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        import_from(dialog.selectedFiles().first());
}

void VOKR_MNEMONIC_DLG::import_from(const QString& path)
{
    // The import goes straight into the session and the copy is then reloaded from it.
    if (m_edited && !ask(new MSG_OC,
                         "Importing reloads the tables from the session and drops the changes made "
                         "in this dialog. Do you want to continue?"))
        return;
    bool accepted = false;
    {
        PIRQ_WAIT_CURSOR wait;
        VOKR_MNEMONIC_IMPORT_DLG dialog(data_session(), path, this);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted)
        return;
    // The imported tables are in the session from now on, whatever this dialog's answer: the
    // session is marked modified, so that closing asks before they are dropped.
    VOKR_TX_MANAGER* manager = m_frame_wnd ? m_frame_wnd->get_tx_manager() : nullptr;
    if (manager && manager->get_session()) {
        manager->get_session()->set_undoable_modified_flag();
        manager->update_modified_flag();
    }
    clear_entries();
    insert_mnemonic_tables();
}

// The value dialog asks for the entry's pattern and symbol at the table's width.
void VOKR_MNEMONIC_DLG::on_add_entry()
{
    if (!m_current_table)
        return;
    VOKR_TRIGGER_VALUE_DLG dialog(QString(), m_current_table->width, this, VOKR_TRIGGER_VALUE_DLG::MNEMONIC_ENTRY);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (add_entry(m_current_table, dialog.get_value_edit()->text(), dialog.get_mnemonic_edit()->text(),
                  m_current_table->width))
        m_edited = true;
    refresh_mnemonic_view(m_current_table);
}

void VOKR_MNEMONIC_DLG::on_view_double_click() { on_add_entry(); }

void VOKR_MNEMONIC_DLG::on_delete_entry()
{
    const QModelIndex current = m_view->currentIndex();
    if (current.isValid() && delete_entry(m_current_table, current.row())) {
        m_edited = true;
        refresh_mnemonic_view(m_current_table);
    }
}

void VOKR_MNEMONIC_DLG::on_table_selection_changed(const QString& name)
{
    m_current_table = find_pending(name);
    refresh_mnemonic_view(m_current_table);
}

// ---- write-back ---------------------------------------------------------------------------------------

// Tries the pending copy on a scratch session, so that a table or entry the repository refuses
// is found before any table of the session is touched.
QString VOKR_MNEMONIC_DLG::first_refused() const
{
    KSM_DATA_SESSION scratch("");
    KSM_DATA_MNEMONICS* mnemonics = scratch.get_mnemonics();
    for (const auto& pending : m_tables) {
        KSM_DATA_MNEMONICS_TABLE* table =
            mnemonics->create_table(pending->name.toLocal8Bit().constData(), pending->width);
        if (!table)
            return QString("Mnemonic table \"%1\" cannot be created.").arg(pending->name);
        for (const ENTRY& entry : pending->entries)
            if (!table->add_entry(entry.symbol.toLocal8Bit().constData(), entry.pattern.toLocal8Bit().constData()))
                return QString(
                           "Mnemonic table \"%1\" cannot take the entry %2 : %3. Each symbol must be unique "
                           "in its table and each pattern must consist of 0 and 1 only.")
                    .arg(pending->name, entry.pattern, entry.symbol);
    }
    return QString();
}

void VOKR_MNEMONIC_DLG::accept()
{
    if (m_modified) {
        const QString refused = first_refused();
        if (!refused.isEmpty()) {
            ask(new MSG_O, refused);
            return;
        }
    }
    QDialog::accept();
    if (m_modified)
        write_back();
}

void VOKR_MNEMONIC_DLG::write_back()
{
    KSM_DATA_SESSION* session = data_session();
    if (!session)
        return;
    VOKR_TX_MANAGER* manager = m_frame_wnd->get_tx_manager();
    VOKR_ACTION_GUARD action(manager);
    KSM_DATA_MNEMONICS* mnemonics = session->get_mnemonics();
    while (mnemonics->get_num_tables() > 0)
        mnemonics->delete_table(mnemonics->get_table(0));
    for (const auto& pending : m_tables) {
        KSM_DATA_MNEMONICS_TABLE* table =
            mnemonics->create_table(pending->name.toLocal8Bit().constData(), pending->width);
        for (const ENTRY& entry : pending->entries)
            table->add_entry(entry.symbol.toLocal8Bit().constData(), entry.pattern.toLocal8Bit().constData());
    }
    manager->get_session()->set_undoable_modified_flag();
    manager->update_modified_flag();
}

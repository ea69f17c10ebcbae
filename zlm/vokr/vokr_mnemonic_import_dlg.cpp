#include "vokr_mnemonic_import_dlg.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_msg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

QString short_name(const QString& path) { return QFileInfo(path).fileName(); }

QPushButton* move_button(const char* text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setFixedSize(30, 25);
    return button;
}

}  // namespace

VOKR_MNEMONIC_IMPORT_DLG::VOKR_MNEMONIC_IMPORT_DLG(KSM_DATA_SESSION* target, const QString& file_name, QWidget* parent)
    : PIRQ_DIALOG(parent), m_target_session(target), m_file_edit(new QLineEdit(this)),
      m_available(new QListWidget(this)), m_selected(new QListWidget(this))
{
    setWindowTitle("Import Table");
    auto* browse = new QPushButton("...", this);
    QPushButton* select = move_button("&>", this);
    QPushButton* select_all = move_button(">>", this);
    QPushButton* unselect = move_button("&<", this);
    QPushButton* unselect_all = move_button("<<", this);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    m_available->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_selected->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Table from: ", this), 0, 0);
    grid->addWidget(m_file_edit, 0, 1, 1, 3);
    grid->addWidget(browse, 0, 4);
    grid->addWidget(new QLabel("Available tables: ", this), 1, 0, 1, 5);
    grid->addWidget(new QLabel("Selected tables: ", this), 1, 6, 1, 5);
    grid->addWidget(m_available, 2, 0, 10, 5);
    grid->addWidget(m_selected, 2, 6, 10, 5);
    int row = 6;
    for (QPushButton* button : {select, select_all, unselect, unselect_all})
        grid->addWidget(button, row++, 5);
    grid->addWidget(box, 12, 6, 1, 5);
    connect(box, &QDialogButtonBox::accepted, this, &VOKR_MNEMONIC_IMPORT_DLG::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(box, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);
    connect(m_file_edit, &QLineEdit::editingFinished, this, &VOKR_MNEMONIC_IMPORT_DLG::selected_file_change);
    connect(browse, &QPushButton::clicked, this, &VOKR_MNEMONIC_IMPORT_DLG::on_browse);
    connect(select, &QPushButton::clicked, this, &VOKR_MNEMONIC_IMPORT_DLG::on_select);
    connect(select_all, &QPushButton::clicked, this, &VOKR_MNEMONIC_IMPORT_DLG::on_select_all);
    connect(unselect, &QPushButton::clicked, this, &VOKR_MNEMONIC_IMPORT_DLG::on_unselect);
    connect(unselect_all, &QPushButton::clicked, this, &VOKR_MNEMONIC_IMPORT_DLG::on_unselect_all);
    connect(m_available, &QListWidget::itemDoubleClicked, this, &VOKR_MNEMONIC_IMPORT_DLG::on_select);
    connect(m_selected, &QListWidget::itemDoubleClicked, this, &VOKR_MNEMONIC_IMPORT_DLG::on_unselect);
    open_source(file_name);
    if (m_source_session)
        refresh_available_tables();
    else
        vokr_prompt(vokr_msg_invalid_lmx_file_structure(short_name(file_name).toLocal8Bit().constData()));
}

VOKR_MNEMONIC_IMPORT_DLG::~VOKR_MNEMONIC_IMPORT_DLG() { close_source(); }

// Opens the source by its full path; the current session's own file is used as it is.
void VOKR_MNEMONIC_IMPORT_DLG::open_source(const QString& path)
{
    KSM_DATA_MANAGER* manager = KSM_DATA_MANAGER::get_data_repository_manager();
    const QByteArray name = path.toLocal8Bit();
    KSM_DATA_SESSION* open = manager->get_session_opened(name.constData());
    m_owns_source = !open;
    m_source_session = open ? open : manager->open_session(name.constData());
    m_path = m_source_session ? path : QString();
    m_file_edit->setText(m_source_session ? short_name(path) : QString());
}

void VOKR_MNEMONIC_IMPORT_DLG::close_source()
{
    if (m_source_session && m_owns_source)
        KSM_DATA_MANAGER::get_data_repository_manager()->close_session(m_source_session->get_name());
    m_source_session = nullptr;
    m_owns_source = false;
}

void VOKR_MNEMONIC_IMPORT_DLG::refresh_available_tables()
{
    m_available->clear();
    m_selected->clear();
    KSM_DATA_MNEMONICS* tables = m_source_session ? m_source_session->get_mnemonics() : nullptr;
    for (int i = 0, count = tables ? tables->get_num_tables() : 0; i < count; ++i)
        m_available->addItem(QString::fromLocal8Bit(tables->get_table(i)->get_name()));
}

void VOKR_MNEMONIC_IMPORT_DLG::on_browse()
{
    PIRQ_FILE_DLG dialog(this);
    dialog.setNameFilter("Lumetra File (*.lmx)");
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    m_file_edit->setText(dialog.selectedFiles().first());
    selected_file_change();
}

// The text is a path, absolute or relative to the directory of the file shown before.
void VOKR_MNEMONIC_IMPORT_DLG::selected_file_change()
{
    const QString text = m_file_edit->text();
    if (!m_path.isEmpty() && text == short_name(m_path))
        return;
    QFileInfo file(text);
    if (file.isRelative() && !m_path.isEmpty())
        file = QFileInfo(QFileInfo(m_path).dir(), text);
    if (!file.isFile()) {
        m_file_edit->setText(short_name(m_path));
        vokr_prompt(vokr_msg_file_not_found(text.toLocal8Bit().constData()));
        return;
    }
    close_source();
    open_source(file.absoluteFilePath());
    refresh_available_tables();
    if (!m_source_session)
        vokr_prompt(vokr_msg_invalid_lmx_file_structure(file.fileName().toLocal8Bit().constData()));
}

void VOKR_MNEMONIC_IMPORT_DLG::on_select()
{
    for (QListWidgetItem* item : m_available->selectedItems())
        if (m_selected->findItems(item->text(), Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
            m_selected->addItem(item->text());
}

void VOKR_MNEMONIC_IMPORT_DLG::on_select_all()
{
    m_available->selectAll();
    on_select();
}

void VOKR_MNEMONIC_IMPORT_DLG::on_unselect() { qDeleteAll(m_selected->selectedItems()); }

void VOKR_MNEMONIC_IMPORT_DLG::on_unselect_all() { m_selected->clear(); }

void VOKR_MNEMONIC_IMPORT_DLG::accept()
{
    if (m_selected->count() == 0) {
        reject();
        return;
    }
    KSM_DATA_MNEMONICS* target = m_target_session ? m_target_session->get_mnemonics() : nullptr;
    KSM_DATA_MNEMONICS* source = m_source_session ? m_source_session->get_mnemonics() : nullptr;
    for (int i = 0; target && source && i < m_selected->count(); ++i) {
        const QByteArray name = m_selected->item(i)->text().toLocal8Bit();
        KSM_DATA_MNEMONICS_TABLE* from = source->find_table(name.constData());
        if (KSM_DATA_MNEMONICS_TABLE* existing = target->find_table(name.constData())) {
            if (vokr_prompt(vokr_msg_overwrite_or_not(name.constData())) != MSG_PROMPT::MSG_VALUE_OK ||
                target == source || !from)
                continue;
            target->delete_table(existing);
        } else if (!from) {
            continue;
        }
        if (KSM_DATA_MNEMONICS_TABLE* copy = target->create_table(name.constData(), 0))
            copy->clone(from);
    }
    QDialog::accept();
}

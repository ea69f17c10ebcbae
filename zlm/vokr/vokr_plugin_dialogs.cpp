#include "vokr_plugin_dialogs.h"

#include "msg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <deque>
#include <optional>

namespace {

bool with_person()
{
    return MSG_JOURNAL::is_interactive() && qobject_cast<QApplication*>(QCoreApplication::instance());
}

std::deque<QString>& hierarchy_answers()
{
    static std::deque<QString> answers;
    return answers;
}

QStringList& offered_candidates()
{
    static QStringList candidates;
    return candidates;
}

// A scripted option dialog: the settings to take, or none for Cancel.
std::deque<std::optional<QStringList>>& option_answers()
{
    static std::deque<std::optional<QStringList>> answers;
    return answers;
}

int g_option_dialogs = 0;

QDialogButtonBox* ok_cancel_help(PIRQ_DIALOG* dialog)
{
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::helpRequested, dialog, &PIRQ_DIALOG::help_button_clicked);
    return buttons;
}

}  // namespace

void vokr_show_plugin_box(const QString& text)
{
    if (with_person()) {
        QMessageBox box(QMessageBox::Critical, "Korvane", text);
        box.setFixedSize(box.sizeHint());
        box.exec();
        return;
    }
    MSG_O notice;
    notice.fill_args("%1!s!", text.toUtf8().constData());
    notice.prompt();
}

// ---- choosing the design instance ---------------------------------------------------------------------

VOKR_PLUGIN_HIERARCHY_DLG::VOKR_PLUGIN_HIERARCHY_DLG(const QStringList& candidates, QString* hierarchy, QWidget* parent)
    : PIRQ_DIALOG(parent), m_list(new QListWidget(this)), m_hierarchy(hierarchy)
{
    setWindowTitle("Select Hierarchy");
    m_list->addItems(candidates);
    QDialogButtonBox* buttons = ok_cancel_help(this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);  // until a hierarchy is chosen
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this, ok] {
        const QList<QListWidgetItem*> chosen = m_list->selectedItems();
        ok->setEnabled(!chosen.isEmpty());
        if (!chosen.isEmpty())
            *m_hierarchy = chosen.first()->text();
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

bool VOKR_PLUGIN_HIERARCHY_DLG::choose(const QStringList& candidates, QString* hierarchy)
{
    offered_candidates() = candidates;
    if (with_person()) {
        VOKR_PLUGIN_HIERARCHY_DLG dialog(candidates, hierarchy, QApplication::activeWindow());
        return dialog.exec() == QDialog::Accepted && !hierarchy->isNull();
    }
    QString answer = candidates.value(0);
    if (!hierarchy_answers().empty()) {
        answer = hierarchy_answers().front();
        hierarchy_answers().pop_front();
    }
    if (!candidates.contains(answer))
        return false;
    *hierarchy = answer;
    return true;
}

void VOKR_PLUGIN_HIERARCHY_DLG::push_scripted_choice(const QString& path) { hierarchy_answers().push_back(path); }
void VOKR_PLUGIN_HIERARCHY_DLG::clear_scripted_choices() { hierarchy_answers().clear(); }
QStringList VOKR_PLUGIN_HIERARCHY_DLG::last_candidates() { return offered_candidates(); }

// ---- plug-in options ----------------------------------------------------------------------------------

VOKR_PLUGIN_OPTION_DLG::VOKR_PLUGIN_OPTION_DLG(VOKR_TX_MANAGER* manager, const TABLES& tables, QWidget* parent)
    : PIRQ_DIALOG(parent), m_manager(manager), m_tables(tables), m_list(new QTreeWidget(this)),
      m_name(new QLabel(this)), m_setting(new QLineEdit(this)), m_browse(new QPushButton("...", this)),
      m_description(new QLabel(this))
{
    setWindowTitle("Plug-In Options");
    // A table without a group has no record to keep its options: it is left out.
    for (VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT* table : tables)
        for (int i = 0; table->record() && i < static_cast<int>(table->options.size()); ++i) {
            m_options.append({table, i});
            m_settings[table->options[i].name] = QString::fromLocal8Bit(table->options[i].setting);
        }
    m_list->setHeaderLabels({"Name", "Setting"});
    m_list->setRootIsDecorated(false);
    for (auto it = m_settings.cbegin(); it != m_settings.cend(); ++it)
        m_list->addTopLevelItem(new QTreeWidgetItem({it.key(), it.value()}));
    m_description->setWordWrap(true);
    m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance(m_browse->text()) + 12);
    auto* setting_row = new QHBoxLayout;
    setting_row->setSpacing(0);
    setting_row->addWidget(m_setting);
    setting_row->addWidget(m_browse);
    auto* parameter = new QGroupBox("Parameter", this);
    auto* grid = new QGridLayout(parameter);
    grid->addWidget(new QLabel("Name:", parameter), 0, 0);
    grid->addWidget(m_name, 0, 1);
    grid->addWidget(new QLabel("Setting:", parameter), 1, 0);
    grid->addLayout(setting_row, 1, 1);
    grid->addWidget(new QLabel("Description:", parameter), 2, 0);
    grid->addWidget(m_description, 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(parameter);
    layout->addWidget(new QLabel("Existing parameter settings:", this));
    layout->addWidget(m_list);
    layout->addWidget(ok_cancel_help(this));
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &VOKR_PLUGIN_OPTION_DLG::on_selection_changed);
    connect(m_setting, &QLineEdit::textEdited, this,
            [this](const QString& text) { set_option_text(m_name->text(), text); });
    connect(m_browse, &QPushButton::clicked, this, &VOKR_PLUGIN_OPTION_DLG::browse);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    else
        on_selection_changed();
}

const VOKR_TX_MANAGER::VOKR_PLUGIN_OPTION& VOKR_PLUGIN_OPTION_DLG::option(int index) const
{
    return m_options[index].first->options[m_options[index].second];
}

QString VOKR_PLUGIN_OPTION_DLG::get_option_description(const QString& name) const
{
    QString description;
    for (int i = 0; i < m_options.size(); ++i)
        description = option(i).name == name ? option(i).description : description;
    return description;
}

QString VOKR_PLUGIN_OPTION_DLG::get_option_type(const QString& name) const
{
    QString type;
    for (int i = 0; i < m_options.size(); ++i)
        type = option(i).name == name ? option(i).type : type;
    return type;
}

QTreeWidgetItem* VOKR_PLUGIN_OPTION_DLG::row_of(const QString& name) const
{
    const QList<QTreeWidgetItem*> rows = m_list->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive, 0);
    return rows.isEmpty() ? nullptr : rows.first();
}

void VOKR_PLUGIN_OPTION_DLG::set_option_text(const QString& name, const QString& text)
{
    m_settings[name] = text;
    if (QTreeWidgetItem* row = row_of(name))
        row->setText(1, text);
}

void VOKR_PLUGIN_OPTION_DLG::on_selection_changed()
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    const bool shown = !selected.isEmpty();
    const QString name = shown ? selected.first()->text(0) : QString();
    m_name->setText(shown ? name : QString("No Selection"));
    m_description->setText(shown ? get_option_description(name) : QString());
    m_setting->setText(shown ? get_option_value(name) : QString());
    m_setting->setEnabled(shown);
    m_browse->setEnabled(shown && get_option_type(name) == "file");
}

QStringList VOKR_PLUGIN_OPTION_DLG::file_filters(const QString& option_name)
{
    QString kind = option_name;
    if (kind.endsWith(" file", Qt::CaseInsensitive))
        kind.chop(5);
    QStringList filters;
    if (!kind.isEmpty() && !kind.contains(' '))
        filters << kind + " Files (*." + kind.toLower() + ")";
    return filters << "All Files (*.*)";
}

void VOKR_PLUGIN_OPTION_DLG::browse()
{
    PIRQ_FILE_DLG dialog(this, "Select File");
    dialog.setNameFilters(file_filters(m_name->text()));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.selectFile(m_setting->text());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    m_setting->setText(dialog.selectedFiles().first());
    set_option_text(m_name->text(), m_setting->text());
}

// The plug-ins check the settings; every option they refuse is shown with its reason, and the
// dialog stays open for the correction.
void VOKR_PLUGIN_OPTION_DLG::accept()
{
    for (const auto& [table, index] : m_options) {
        VOKR_TX_MANAGER::VOKR_PLUGIN_OPTION& o = table->options[index];
        o.setting = m_settings.value(o.name).toLocal8Bit();
        o.result.clear();
    }
    m_manager->set_plugin_user_options(m_tables);
    bool refused = false;
    for (int i = 0; i < m_options.size(); ++i) {
        if (option(i).result.isEmpty())
            continue;
        refused = true;
        m_list->setCurrentItem(row_of(option(i).name));
        vokr_show_plugin_box(QString::fromLocal8Bit(option(i).result));
    }
    if (!refused)
        QDialog::accept();
}

bool VOKR_PLUGIN_OPTION_DLG::edit(VOKR_TX_MANAGER* manager, const TABLES& tables)
{
    ++g_option_dialogs;
    VOKR_PLUGIN_OPTION_DLG dialog(manager, tables, QApplication::activeWindow());
    if (with_person())
        return dialog.exec() == QDialog::Accepted;
    std::optional<QStringList> answer = QStringList();
    if (!option_answers().empty()) {
        answer = option_answers().front();
        option_answers().pop_front();
    }
    if (!answer)
        return false;
    for (int i = 0; i < answer->size() && i < dialog.m_options.size(); ++i)
        dialog.set_option_text(dialog.option(i).name, answer->at(i));
    dialog.accept();
    return dialog.result() == QDialog::Accepted;
}

void VOKR_PLUGIN_OPTION_DLG::push_scripted_settings(const QStringList& settings)
{
    option_answers().push_back(settings);
}
void VOKR_PLUGIN_OPTION_DLG::push_scripted_cancel() { option_answers().push_back(std::nullopt); }
void VOKR_PLUGIN_OPTION_DLG::clear_scripted_answers() { option_answers().clear(); }
int VOKR_PLUGIN_OPTION_DLG::shown_count() { return g_option_dialogs; }

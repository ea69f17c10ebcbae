#include "vokr_plugin_dialogs.h"

#include "msg.h"
#include "pirq.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
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

QDialogButtonBox* ok_cancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
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
    : QDialog(parent), m_list(new QListWidget(this)), m_hierarchy(hierarchy)
{
    setWindowTitle("Select Hierarchy");
    m_list->addItems(candidates);
    QDialogButtonBox* buttons = ok_cancel(this);
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
    : QDialog(parent), m_manager(manager), m_tables(tables), m_list(new QTreeWidget(this)), m_name(new QLabel(this)),
      m_setting(new QLineEdit(this)), m_browse(new QPushButton("...", this)), m_description(new QLabel(this))
{
    setWindowTitle("Plug-In Options");
    // A table without a group has no record to keep its options: it is left out.
    for (VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT* table : tables)
        for (int i = 0; table->record() && i < static_cast<int>(table->options.size()); ++i) {
            m_options.append({table, i});
            m_settings << QString::fromLocal8Bit(table->options[i].setting);
        }
    m_list->setHeaderLabels({"Name", "Setting"});
    m_list->setRootIsDecorated(false);
    for (int i = 0; i < m_options.size(); ++i)
        m_list->addTopLevelItem(
            new QTreeWidgetItem({m_options[i].first->options[m_options[i].second].name, m_settings[i]}));
    m_description->setWordWrap(true);
    auto* setting_row = new QHBoxLayout;
    setting_row->addWidget(m_setting);
    setting_row->addWidget(m_browse);
    auto* form = new QFormLayout;
    form->addRow("Name:", m_name);
    form->addRow("Setting:", setting_row);
    form->addRow("Description:", m_description);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel("Existing parameter settings:", this));
    layout->addWidget(m_list);
    layout->addWidget(ok_cancel(this));
    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { show_option(item ? m_list->indexOfTopLevelItem(item) : -1); });
    connect(m_setting, &QLineEdit::textEdited, this, &VOKR_PLUGIN_OPTION_DLG::store_setting);
    connect(m_browse, &QPushButton::clicked, this, &VOKR_PLUGIN_OPTION_DLG::browse);
    if (!m_options.isEmpty())
        m_list->setCurrentItem(m_list->topLevelItem(0));
    else
        show_option(-1);
}

void VOKR_PLUGIN_OPTION_DLG::show_option(int index)
{
    m_current = index;
    const bool shown = index >= 0;
    const VOKR_TX_MANAGER::VOKR_PLUGIN_OPTION* option =
        shown ? &m_options[index].first->options[m_options[index].second] : nullptr;
    m_name->setText(shown ? option->name : QString("No Selection"));
    m_description->setText(shown ? option->description : QString());
    m_setting->setText(shown ? m_settings[index] : QString());
    m_setting->setEnabled(shown);
    m_browse->setEnabled(shown && option->type == "file");
}

void VOKR_PLUGIN_OPTION_DLG::store_setting(const QString& text)
{
    if (m_current < 0)
        return;
    m_settings[m_current] = text;
    m_list->topLevelItem(m_current)->setText(1, text);
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
    store_setting(m_setting->text());
}

// The plug-ins check the settings; every option they refuse is shown with its reason, and the
// dialog stays open for the correction.
void VOKR_PLUGIN_OPTION_DLG::accept()
{
    for (int i = 0; i < m_options.size(); ++i) {
        VOKR_TX_MANAGER::VOKR_PLUGIN_OPTION& option = m_options[i].first->options[m_options[i].second];
        option.setting = m_settings[i].toLocal8Bit();
        option.result.clear();
    }
    m_manager->set_plugin_user_options(m_tables);
    bool refused = false;
    for (int i = 0; i < m_options.size(); ++i) {
        const QByteArray& error = m_options[i].first->options[m_options[i].second].result;
        if (error.isEmpty())
            continue;
        refused = true;
        m_list->setCurrentItem(m_list->topLevelItem(i));
        vokr_show_plugin_box(QString::fromLocal8Bit(error));
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
    for (int i = 0; i < answer->size() && i < dialog.m_settings.size(); ++i)
        dialog.m_settings[i] = answer->at(i);
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

#include "tevq.h"

#include "msg.h"
#include "toz.h"
#include "wolpa.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include <tcl.h>

#include <algorithm>
#include <deque>
#include <vector>

namespace {

// The filter title by which the editor asks for the pre-synthesis names (the node finder's own
// name for that filter).
const char* const PRE_SYNTHESIS_TITLE = "Lumetra: pre-synthesis";

std::deque<QStringList>& scripted_choices()
{
    static std::deque<QStringList> choices;
    return choices;
}

std::vector<TEVQ_DIALOG*>& live_dialogs()
{
    static std::vector<TEVQ_DIALOG*> dialogs;
    return dialogs;
}

int kind_of(const QString& title)
{
    return title == PRE_SYNTHESIS_TITLE ? TOZ_KIND_PRE_SYNTHESIS : TOZ_KIND_POST_FITTING;
}

// Runs `use` on the database the title chooses, borrowed for the call.
template <class USE> void with_database(const QString& title, USE use)
{
    WOLPA_MANAGER* wolpa = WOLPA_MANAGER::get_wolpa_manager();
    const int kind = kind_of(title);
    TOZ_NAMESPACE* db = wolpa->get_toz_cmp_action_pt_instance("tevq_dialog", kind);
    if (!db)
        return;
    use(db);
    wolpa->unget_toz_cmp_action_pt_instance("tevq_dialog", kind);
}

// The design names of the database the title chooses; each name it does not hold is posted as a
// warning and added to `missing`.
PIRQ_INSTANCE_NAME_LIST names_of(const QStringList& full_names, const QString& title, QStringList* missing = nullptr)
{
    PIRQ_INSTANCE_NAME_LIST list;
    for (const QString& full : full_names) {
        PIRQ_INSTANCE_NAME name;
        if (tevq_make_instance_name(full, title, &name)) {
            list << name;
            continue;
        }
        MSG_W warning;
        warning.fill_args("Node Finder cannot find node \"%1!s!\" in the %2!s! netlist/WTEVQ_NODE_NOT_FOUND",
                          full.toLocal8Bit().constData(),
                          kind_of(title) == TOZ_KIND_PRE_SYNTHESIS ? "pre-synthesis" : "post-fitting");
        warning.post();
        if (missing)
            *missing << full;
    }
    return list;
}

}  // namespace

bool tevq_make_instance_name(const QString& full_name, const QString& filter_title, PIRQ_INSTANCE_NAME* out)
{
    bool found = false;
    with_database(filter_title, [&](TOZ_NAMESPACE* db) {
        const TOZ_INSTANCE_NAME* name = db->get_instance_name(full_name.toStdString());
        if (!name)
            return;
        int first1 = 0, last1 = 0, first2 = 0, last2 = 0;
        name->get_range(0, &first1, &last1);
        name->get_range(1, &first2, &last2);
        const QString full = QString::fromStdString(db->get_hpath_to_root() + "|" + name->get_short_hpath());
        *out = PIRQ_INSTANCE_NAME(full, name->size_dimension(), name->get_flags(), first1, last1, first2, last2);
        found = true;
    });
    return found;
}

TEVQ_DIALOG::TEVQ_DIALOG(QWidget* parent, bool modeless) : QDialog(parent)
{
    setModal(!modeless);
    setWindowTitle("Node Finder");
    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText("Named: *");
    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    setObjectName("node_finder");
    m_filter->setObjectName("node_finder_filter");
    m_list->setObjectName("node_finder_list");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { refill(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept_selection(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { accept_selection(); });
    live_dialogs().push_back(this);
}

TEVQ_DIALOG::~TEVQ_DIALOG()
{
    auto& dialogs = live_dialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
}

void TEVQ_DIALOG::set_filter_title(const QString& title)
{
    m_filter_title = title;
    setWindowTitle("Node Finder - " + title);
    refill();
}

void TEVQ_DIALOG::set_text_filter(const QString& text) { m_filter->setText(text); }

void TEVQ_DIALOG::clear_selection() { m_list->clearSelection(); }

QStringList TEVQ_DIALOG::get_listed_names() const
{
    QStringList names;
    for (int i = 0; i < m_list->count(); ++i)
        names << m_list->item(i)->text();
    return names;
}

void TEVQ_DIALOG::refill()
{
    m_list->clear();
    const QRegExp pattern(m_filter->text().isEmpty() ? QString("*") : "*" + m_filter->text() + "*", Qt::CaseInsensitive,
                          QRegExp::Wildcard);
    with_database(m_filter_title, [&](TOZ_NAMESPACE* db) {
        for (const TOZ_INSTANCE_NAME* name : db->get_all_names()) {
            const QString full = QString::fromStdString(db->get_hpath_to_root() + "|" + name->get_short_hpath());
            if (pattern.exactMatch(full))
                m_list->addItem(full);
        }
    });
}

void TEVQ_DIALOG::accept_selection()
{
    QStringList chosen;
    for (QListWidgetItem* item : m_list->selectedItems())
        chosen << item->text();
    choose(chosen);
    accept();
}

QStringList TEVQ_DIALOG::choose(const QStringList& full_names)
{
    QStringList missing;
    emit on_selected_list(names_of(full_names, m_filter_title, &missing));
    return missing;
}

void tevq_push_scripted_choice(const QStringList& full_names) { scripted_choices().push_back(full_names); }

void tevq_clear_scripted_choices() { scripted_choices().clear(); }

extern "C" void tevq_dyn_node_finder_dialog_instance_name_widget(QWidget* parent, PIRQ_INSTANCE_NAME_LIST* names,
                                                                 const char* title)
{
    names->clear();
    const QString filter_title = QString::fromLatin1(title ? title : "");
    if (!scripted_choices().empty()) {
        *names = names_of(scripted_choices().front(), filter_title);
        scripted_choices().pop_front();
        return;
    }
    if (!MSG_JOURNAL::is_interactive())
        return;
    TEVQ_DIALOG dialog(parent, false);
    dialog.setModal(true);
    dialog.set_filter_title(filter_title);
    QObject::connect(&dialog, &TEVQ_DIALOG::on_selected_list,
                     [names](const PIRQ_INSTANCE_NAME_LIST& chosen) { *names = chosen; });
    dialog.exec();
}

namespace {

// ::korvane::finder::choose {full names} ?-modal?: the next modal chooser returns them, or
// (without -modal) the open node finder hands them out at once and the result lists the names
// it did not find.
int choose_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    const bool modal = objc == 3 && std::string(Tcl_GetString(objv[2])) == "-modal";
    if (objc < 2 || objc > 3 || (objc == 3 && !modal)) {
        Tcl_WrongNumArgs(interp, 1, objv, "names ?-modal?");
        return TCL_ERROR;
    }
    int count = 0;
    Tcl_Obj** words = nullptr;
    if (Tcl_ListObjGetElements(interp, objv[1], &count, &words) != TCL_OK)
        return TCL_ERROR;
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QString::fromUtf8(Tcl_GetString(words[i]));
    if (modal) {
        tevq_push_scripted_choice(names);
        return TCL_OK;
    }
    if (live_dialogs().empty()) {
        Tcl_SetObjResult(interp, Tcl_NewStringObj("no node finder is open", -1));
        return TCL_ERROR;
    }
    Tcl_Obj* missing = Tcl_NewListObj(0, nullptr);
    for (const QString& name : live_dialogs().back()->choose(names))
        Tcl_ListObjAppendElement(interp, missing, Tcl_NewStringObj(name.toUtf8().constData(), -1));
    Tcl_SetObjResult(interp, missing);
    // Inserting the names may have met a prompt that a scripted answer did not fit.
    return msg_tcl_script_code(interp, TCL_OK);
}

}  // namespace

void tevq_register_tcl_commands(Tcl_Interp* interp)
{
    Tcl_Eval(interp, "namespace eval ::korvane::finder {}");
    Tcl_CreateObjCommand(interp, "::korvane::finder::choose", choose_cmd, nullptr, nullptr);
}

#include "pirq.h"

#include "nixq.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <map>

namespace {

struct ACTION_ROW {
    const char* text;
    const char* shortcut;
    bool checkable;
};

// The suite's action table: texts with their menu mnemonics, default shortcuts, checkability. The
// texts are the suite's own, shared by every module that shows the action, so they are fixed here.
const std::map<PIRQ_ACTION_ENUM, ACTION_ROW>& action_table()
{
    static const std::map<PIRQ_ACTION_ENUM, ACTION_ROW> table = {
        {PIRQ_ACTION_APPEND, {"&Append", "", false}},
        {PIRQ_ACTION_ARRANGE_ALL_OBJECTS, {"Arrange All &Objects", "", false}},
        {PIRQ_ACTION_COLLAPSE, {"C&ollapse", "", false}},
        {PIRQ_ACTION_DETACH, {"De&tach", "", false}},
        {PIRQ_ACTION_EXPAND, {"E&xpand", "", false}},
        {PIRQ_ACTION_INSERT, {"&Insert", "", false}},
        {PIRQ_ACTION_MOVE_DOWN, {"Move &Down", "", false}},
        {PIRQ_ACTION_MOVE_UP, {"Move &Up", "", false}},
        {PIRQ_ACTION_OBJECT_PROPERTIES, {"&Properties...", "", false}},
        {PIRQ_ACTION_REMOVE, {"&Remove", "", false}},
        {PIRQ_ACTION_RENAME_OBJECT, {"Re&name", "", false}},
        {PIRQ_ACTION_AUTORUN, {"Autorun Anal&ysis", "F6", false}},
        {PIRQ_ACTION_READ_DATA, {"&Read Data", "", false}},
        {PIRQ_ACTION_RUN, {"Run &Analysis", "F5", false}},
        {PIRQ_ACTION_STOP, {"S&top Analysis", "Ctrl+E", false}},
        {PIRQ_ACTION_COPY, {"&Copy", "Ctrl+C", false}},
        {PIRQ_ACTION_CUT, {"Cu&t", "Ctrl+X", false}},
        {PIRQ_ACTION_LOGGING, {"Enable Data &Log", "", true}},
        {PIRQ_ACTION_SAVE_TO_LOG, {"Create Data Lo&g", "", false}},
        {PIRQ_ACTION_DATA_LOG_DELETE, {"&Delete", "", false}},
        {PIRQ_ACTION_DATA_LOG_RENAME, {"Re&name", "", false}},
        {PIRQ_ACTION_DATA_LOG_SELECT_ALL, {"Select &All", "", false}},
        {PIRQ_ACTION_DELETE, {"&Delete", "Del", false}},
        {PIRQ_ACTION_EXPORT, {"E&xport...", "", false}},
        {PIRQ_ACTION_FIND, {"&Find...", "Ctrl+F", false}},
        {PIRQ_ACTION_FIND_NEXT, {"Find &Next", "F3", false}},
        {PIRQ_ACTION_DUPLICATE, {"&Duplicate", "", false}},
        {PIRQ_ACTION_ADD_INSTANCE, {"&Add Instance", "", false}},
        {PIRQ_ACTION_DELETE_INSTANCE, {"&Delete Instance", "", false}},
        {PIRQ_ACTION_DISABLE_POWER_UP_TRIGGER, {"Disable &Power-Up Trigger", "", false}},
        {PIRQ_ACTION_DUPLICATE_TRIGGER, {"D&uplicate Trigger", "", false}},
        {PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER, {"Enable Po&wer-Up Trigger", "", false}},
        {PIRQ_ACTION_RENAME_INSTANCE, {"Re&name Instance", "", false}},
        {PIRQ_ACTION_COMPARISON, {"&Comparison...", "", true}},
        {PIRQ_ACTION_GROUP_AND, {"&AND", "", true}},
        {PIRQ_ACTION_GROUP_EQUAL, {"&Equal", "", true}},
        {PIRQ_ACTION_GROUP_NAND, {"&NAND", "", true}},
        {PIRQ_ACTION_GROUP_NOR, {"N&OR", "", true}},
        {PIRQ_ACTION_GROUP_OR, {"&OR", "", true}},
        {PIRQ_ACTION_GROUP_XNOR, {"XNO&R", "", true}},
        {PIRQ_ACTION_GROUP_XOR, {"&XOR", "", true}},
        {PIRQ_ACTION_GROUP_ANY_BIT, {"Any &Bit", "", true}},
        {PIRQ_ACTION_GROUP_NOT_EQUAL, {"No&t Equal", "", true}},
        {PIRQ_ACTION_INSTANCE_STATUS_HELP, {"Status &Help", "", false}},
        {PIRQ_ACTION_LOCK_MODE_ALL, {"Allow &All Changes", "", true}},
        {PIRQ_ACTION_LOCK_MODE_INCREMENTAL, {"Allow &Incremental Route Changes Only", "", true}},
        {PIRQ_ACTION_LOCK_MODE_TRIGGER, {"Allow &Trigger Condition Changes Only", "", true}},
        {PIRQ_ACTION_INSERT_NODES, {"Add &Nodes...", "Ctrl+Shift+N", false}},
        {PIRQ_ACTION_INSERT_STATE_MACHINE_NODES, {"Add &State Machine Nodes...", "", false}},
        {PIRQ_ACTION_ALIGN_LEFT, {"Align &Left", "", true}},
        {PIRQ_ACTION_ALIGN_RIGHT, {"Align &Right", "", true}},
        {PIRQ_ACTION_DISPLAY_ASCII, {"&ASCII", "", true}},
        {PIRQ_ACTION_DISPLAY_UNSIGNED_BAR, {"Unsigned Ba&r Chart", "", true}},
        {PIRQ_ACTION_DISPLAY_BINARY, {"&Binary", "", true}},
        {PIRQ_ACTION_DISPLAY_DOUBLE, {"&Double Precision", "", true}},
        {PIRQ_ACTION_DISPLAY_FLOAT, {"&Single Precision", "", true}},
        {PIRQ_ACTION_DISPLAY_HEX, {"&Hexadecimal", "", true}},
        {PIRQ_ACTION_DISPLAY_UNSIGNED_LINE, {"Unsigned &Line Chart", "", true}},
        {PIRQ_ACTION_DISPLAY_SYMBOLIC, {"&Symbolic", "", true}},
        {PIRQ_ACTION_DISPLAY_OCTAL, {"&Octal", "", true}},
        {PIRQ_ACTION_DISPLAY_SIGNED_BAR, {"Signed Bar C&hart", "", true}},
        {PIRQ_ACTION_DISPLAY_SIGNED_LINE, {"Signed Line Cha&rt", "", true}},
        {PIRQ_ACTION_DISPLAY_SIGNED_MAGNITUDE, {"Signed &Magnitude", "", true}},
        {PIRQ_ACTION_DISPLAY_SIGNED_2S, {"Signed &2's Complement", "", true}},
        {PIRQ_ACTION_DISPLAY_UNSIGNED, {"&Unsigned Decimal", "", true}},
        {PIRQ_ACTION_CREATE_LIST_FILE, {"Create &List File...", "", false}},
        {PIRQ_ACTION_DISABLE_DATA, {"Disable &Data", "", false}},
        {PIRQ_ACTION_ENABLE_DATA, {"Enable D&ata", "", false}},
        {PIRQ_ACTION_REMOVE_ALIAS, {"Remo&ve Alias", "", false}},
        {PIRQ_ACTION_FIND_BUS_VALUE, {"Find &Bus Value...", "", false}},
        {PIRQ_ACTION_FIND_NEXT_BUS_VALUE, {"Find Next Bus Value", "", false}},
        {PIRQ_ACTION_FIND_PREVIOUS_BUS_VALUE, {"Find Previous Bus Value", "", false}},
        {PIRQ_ACTION_GROUP, {"&Group...", "Ctrl+G", false}},
        {PIRQ_ACTION_INVERT_SIGNAL, {"In&vert", "", false}},
        {PIRQ_ACTION_LSB_ON_TOP, {"&LSB on Top", "", true}},
        {PIRQ_ACTION_MNEMONIC_TABLE_SETUP, {"&Mnemonic Table Setup...", "", false}},
        {PIRQ_ACTION_MSB_ON_TOP, {"&MSB on Top", "", true}},
        {PIRQ_ACTION_PASTE_ALIAS, {"&Paste Alias", "", false}},
        {PIRQ_ACTION_PLUGIN_OPTIONS, {"Plug-&In Options...", "", false}},
        {PIRQ_ACTION_POST_FITTING, {"Post-&fitting", "", true}},
        {PIRQ_ACTION_PRE_SYNTHESIS, {"&Pre-synthesis", "", true}},
        {PIRQ_ACTION_RECREATE_STATE_MACHINE_MNEMONICS, {"Recreate State Machine Mnemonics", "", false}},
        {PIRQ_ACTION_RENAME, {"Rena&me", "F2", false}},
        {PIRQ_ACTION_SET_ALIAS, {"Set &Alias...", "", false}},
        {PIRQ_ACTION_DISABLE_STORAGE_QUALIFIER, {"Disable Storage &Qualifier", "", false}},
        {PIRQ_ACTION_ENABLE_STORAGE_QUALIFIER, {"Enable Storage Q&ualifier", "", false}},
        {PIRQ_ACTION_DISABLE_TRANSITIONAL, {"Disable &Transitional", "", false}},
        {PIRQ_ACTION_ENABLE_TRANSITIONAL, {"Enable Tra&nsitional", "", false}},
        {PIRQ_ACTION_CONDITION_DONT_CARE, {"&Don't Care", "", true}},
        {PIRQ_ACTION_CONDITION_EITHER_EDGE, {"&Either Edge", "", true}},
        {PIRQ_ACTION_CONDITION_FALLING_EDGE, {"&Falling Edge", "", true}},
        {PIRQ_ACTION_CONDITION_HIGH, {"&High", "", true}},
        {PIRQ_ACTION_INSERT_TRIGGER_VALUE, {"&Insert Trigger Value...", "", false}},
        {PIRQ_ACTION_CONDITION_LOW, {"&Low", "", true}},
        {PIRQ_ACTION_CONDITION_RISING_EDGE, {"&Rising Edge", "", true}},
        {PIRQ_ACTION_DISABLE_TRIGGER_ENABLE, {"Disable Tr&igger Enable", "", false}},
        {PIRQ_ACTION_ENABLE_TRIGGER_ENABLE, {"Enable Trigger Ena&ble", "", false}},
        {PIRQ_ACTION_UNGROUP, {"&Ungroup", "Ctrl+U", false}},
        {PIRQ_ACTION_UNGROUP_NESTED_GROUPS, {"Ungroup &Nested Groups", "", false}},
        {PIRQ_ACTION_SIF_ATTACH, {"&Attach Files...", "", false}},
        {PIRQ_ACTION_SIF_DELETE, {"&Delete Files", "", false}},
        {PIRQ_ACTION_SIF_EXTRACT, {"E&xtract File...", "", false}},
        {PIRQ_ACTION_SIF_PROGRAM, {"&Program Device with File", "", false}},
        {PIRQ_ACTION_SIF_RENAME, {"&Rename File", "", false}},
        {PIRQ_ACTION_PASTE, {"&Paste", "Ctrl+V", false}},
        {PIRQ_ACTION_REDO, {"&Redo", "Ctrl+Y", false}},
        {PIRQ_ACTION_PROPERTIES, {"&Properties", "", false}},
        {PIRQ_ACTION_TOOLBAR_FIND, {"Find", "", false}},
        {PIRQ_ACTION_TOOLBAR_COMPILE, {"Start Compilation", "Ctrl+L", false}},
        {PIRQ_ACTION_TOOLBAR_RECOMPILE, {"Start Recompilation", "", false}},
        {PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER, {"Center on Trigger", "", false}},
        {PIRQ_ACTION_SELECT_ALL, {"Select &All", "Ctrl+A", false}},
        {PIRQ_ACTION_UNDO, {"&Undo", "Ctrl+Z", false}},
        {PIRQ_ACTION_DATA_LOG_PANE, {"&Data Log", "", true}},
        {PIRQ_ACTION_HIERARCHY_PANE, {"&Hierarchy Display", "", true}},
        {PIRQ_ACTION_INSTANCE_PANE, {"&Instance Manager", "", true}},
        {PIRQ_ACTION_TOOLBAR_PANE, {"Editor &Toolbar", "", true}},
        {PIRQ_ACTION_CONFIG_PANE, {"&Signal Configuration", "", true}},
        {PIRQ_ACTION_CENTER_ON_TRIGGER, {"Center on &Trigger", "", false}},
        {PIRQ_ACTION_DELETE_TIME_BAR, {"&Delete Time Bar", "", false}},
        {PIRQ_ACTION_DELETE_ALL_TIME_BARS, {"Delete &All Time Bars", "", false}},
        {PIRQ_ACTION_INSERT_TIME_BAR, {"&Insert Time Bar...", "", false}},
        {PIRQ_ACTION_INSERT_MASTER_TIME_BAR, {"Insert &Master Time Bar", "", false}},
        {PIRQ_ACTION_MOVE_MASTER_TIME_BAR, {"Mo&ve Master Time Bar", "", false}},
        {PIRQ_ACTION_NEXT_TRANSITION, {"&Next Transition", "", false}},
        {PIRQ_ACTION_PREVIOUS_TRANSITION, {"&Previous Transition", "", false}},
        {PIRQ_ACTION_SET_MASTER_TIME_BAR, {"&Set as Master Time Bar", "", false}},
        {PIRQ_ACTION_SAMPLE_NUMBERS, {"Sample &Numbers", "", true}},
        {PIRQ_ACTION_TIME_UNITS, {"&Time Units", "", true}},
        {PIRQ_ACTION_FIT_IN_WINDOW, {"&Fit in Window", "Ctrl+W", false}},
        {PIRQ_ACTION_ZOOM_IN, {"Zoom &In", "Ctrl+Space", false}},
        {PIRQ_ACTION_ZOOM_OUT, {"Zoom &Out", "Ctrl+Shift+Space", false}},
    };
    return table;
}

}  // namespace

// An action the table does not know is still shown, under a text that names its identifier.
QString pirq_get_action_text(PIRQ_ACTION_ENUM id)
{
    auto it = action_table().find(id);
    return it == action_table().end() ? QString("Action %1").arg(static_cast<int>(id)) : QString(it->second.text);
}

// Toolbar names of the actions that toolbars list by name.
QString pirq_get_action_name(PIRQ_ACTION_ENUM id)
{
    static const std::map<PIRQ_ACTION_ENUM, const char*> names = {
        {PIRQ_ACTION_TOOLBAR_FIND, "PIRQ_VOKR_TOOLBAR_FIND_ACTION"},
        {PIRQ_ACTION_TOOLBAR_COMPILE, "PIRQ_VOKR_TOOLBAR_START_COMPILE_ACTION"},
        {PIRQ_ACTION_TOOLBAR_RECOMPILE, "PIRQ_VOKR_TOOLBAR_START_RECOMPILE_ACTION"},
        {PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER, "PIRQ_VOKR_TOOLBAR_WAVEFORM_CENTER_ON_TRIGGER_ACTION"},
    };
    auto it = names.find(id);
    return it == names.end() ? QString("pirq_action_%1").arg(static_cast<int>(id)) : QString(it->second);
}

// A user's own shortcut is the value "shortcut_<id>" of the registry's shortcut sub-key.
QString pirq_get_custom_shortcut(PIRQ_ACTION_ENUM id)
{
    QVariant custom;
    const QByteArray name = QString("shortcut_%1").arg(static_cast<int>(id)).toLatin1();
    if (NIXQ_REGISTRY_KEY(NIXQ_SHORTCUT_SUB_KEY).get_value(name.constData(), &custom))
        return custom.toString();
    auto it = action_table().find(id);
    return it == action_table().end() ? QString() : QString(it->second.shortcut);
}

QList<QKeySequence> pirq_get_standard_shortcuts(const QString& name)
{
    static const std::map<QString, QKeySequence::StandardKey> keys = {
        {"PIRQ_NEW_ACTION", QKeySequence::New},       {"PIRQ_SAVE_ACTION", QKeySequence::Save},
        {"PIRQ_PRINT_ACTION", QKeySequence::Print},   {"PIRQ_UNDO_ACTION", QKeySequence::Undo},
        {"PIRQ_REDO_ACTION", QKeySequence::Redo},     {"PIRQ_CUT_ACTION", QKeySequence::Cut},
        {"PIRQ_COPY_ACTION", QKeySequence::Copy},     {"PIRQ_PASTE_ACTION", QKeySequence::Paste},
        {"PIRQ_DELETE_ACTION", QKeySequence::Delete}, {"PIRQ_SELECT_ALL_ACTION", QKeySequence::SelectAll},
        {"PIRQ_FIND_ACTION", QKeySequence::Find},
    };
    if (name == "PIRQ_FIND_NEXT_ACTION")
        return {QKeySequence(pirq_get_custom_shortcut(PIRQ_ACTION_FIND_NEXT))};
    auto it = keys.find(name);
    if (it == keys.end())
        return {};
    QList<QKeySequence> bindings = QKeySequence::keyBindings(it->second);
    // Redo answers Ctrl+Y everywhere, as the detached window's entry does, whatever the desktop's
    // own binding (Ctrl+Shift+Z on X11) is.
    const QKeySequence ctrl_y(Qt::CTRL | Qt::Key_Y);
    if (it->second == QKeySequence::Redo && !bindings.contains(ctrl_y))
        bindings.prepend(ctrl_y);
    return bindings;
}

QAction* pirq_create_action(PIRQ_ACTION_ENUM id, QObject* parent)
{
    auto* action = new QAction(pirq_get_action_text(id), parent);
    action->setObjectName(pirq_get_action_name(id));
    action->setIcon(pirq_get_action_icon(id));
    auto it = action_table().find(id);
    if (it != action_table().end()) {
        action->setCheckable(it->second.checkable);
        if (*it->second.shortcut)
            action->setShortcut(QKeySequence(QString(it->second.shortcut)));
        action->setToolTip(QString(it->second.text).remove('&'));
    }
    return action;
}

QString pirq_create_filter(int file_type)
{
    if (file_type == PIRQ_FILE_TYPE_LMX)
        return "Lumetra Logic Analyzer Files (*.lmx)";
    return "All Files (*)";
}

PIRQ_FILE_DLG::PIRQ_FILE_DLG(QWidget* parent, const QString& caption) : QFileDialog(parent, caption)
{
    setOption(QFileDialog::DontUseNativeDialog, true);
}

void PIRQ_FILE_DLG::select_line_edit_text()
{
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->selectAll();
}

PIRQ_WAIT_CURSOR::PIRQ_WAIT_CURSOR() : m_shown(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr)
{
    if (m_shown)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

PIRQ_WAIT_CURSOR::~PIRQ_WAIT_CURSOR()
{
    if (m_shown)
        QApplication::restoreOverrideCursor();
}

PIRQ_INSTANCE_NAME::PIRQ_INSTANCE_NAME(const QString& name, int kind, unsigned int flags, int first1, int last1,
                                       int first2, int last2)
    : m_name(name), m_kind(kind), m_flags(flags), m_first1(first1), m_last1(last1), m_first2(first2), m_last2(last2)
{
}

void PIRQ_INSTANCE_NAME::get_first_dimension(int* first, int* last) const
{
    *first = m_first1;
    *last = m_last1;
}

void PIRQ_INSTANCE_NAME::get_second_dimension(int* first, int* last) const
{
    *first = m_first2;
    *last = m_last2;
}

bool PIRQ_INSTANCE_NAME::operator==(const PIRQ_INSTANCE_NAME& o) const
{
    return m_name == o.m_name && m_kind == o.m_kind && m_flags == o.m_flags && m_first1 == o.m_first1 &&
           m_last1 == o.m_last1 && m_first2 == o.m_first2 && m_last2 == o.m_last2;
}

// ---- dialogs --------------------------------------------------------------------------------------

namespace {
int g_help_requests = 0;
}

PIRQ_DIALOG::PIRQ_DIALOG(QWidget* parent) : QDialog(parent) { setModal(true); }

namespace {
QString g_last_message_box_text;
}

int pirq_message_box(const QString& text, int)
{
    g_last_message_box_text = text;
    if (QGuiApplication::platformName() == "offscreen")
        return QMessageBox::Ok;
    return QMessageBox::information(nullptr, "Information", text);
}

QString pirq_last_message_box_text() { return g_last_message_box_text; }

int PIRQ_DIALOG::help_request_count() { return g_help_requests; }

void PIRQ_DIALOG::help_button_clicked()
{
    ++g_help_requests;
    if (QGuiApplication::platformName() != "offscreen")
        QMessageBox::information(this, "Help", QString("Help topic: %1").arg(windowTitle()));
}

PIRQ_LINE_EDIT_BROWSE_BUTTON::PIRQ_LINE_EDIT_BROWSE_BUTTON(QWidget* parent, const QStringList& filters)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_filters(filters)
{
    auto* button = new QPushButton("...", this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit, 1);
    layout->addWidget(button);
    connect(button, &QPushButton::clicked, this, &PIRQ_LINE_EDIT_BROWSE_BUTTON::browse);
}

QString PIRQ_LINE_EDIT_BROWSE_BUTTON::text() const { return m_edit->text(); }
void PIRQ_LINE_EDIT_BROWSE_BUTTON::setText(const QString& text) { m_edit->setText(text); }

void PIRQ_LINE_EDIT_BROWSE_BUTTON::browse()
{
    // Only fills the field: the dialog that writes the file asks before it replaces one.
    const QString name = QFileDialog::getSaveFileName(this, QString(), m_edit->text(), m_filters.join(";;"), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!name.isEmpty())
        m_edit->setText(name);
}

// ---- locate sub-menu ----------------------------------------------------------------------------------------

namespace {

const std::pair<const char*, const char*> LOCATE_TARGETS[] = {
    {"assignment_table", "Locate in Assignment Table"},
    {"pin_map", "Locate in Pin Map"},
    {"floor_plan", "Locate in Floor Plan"},
    {"netlist_viewer", "Locate in Netlist Viewer"},
    {"mapped_netlist", "Locate in Mapped Netlist"},
    {"property_browser", "Locate in Property Browser"},
};

}  // namespace

PIRQ_LOCATE_MENU::PIRQ_LOCATE_MENU(QWidget* parent) : QMenu("&Locate", parent)
{
    setObjectName("PIRQ_LOCATE_MENU");
    for (const auto& [target, text] : LOCATE_TARGETS) {
        QAction* entry = addAction(text);
        entry->setObjectName(target);
        connect(entry, &QAction::triggered, this, [this, target = QString(target)] { emit locate_triggered(target); });
    }
    addSeparator();
    m_design_file = addAction("Locate in Design File");
    m_design_file->setObjectName("design file");
}

QStringList PIRQ_LOCATE_MENU::get_targets()
{
    QStringList targets;
    for (const auto& entry : LOCATE_TARGETS)
        targets << entry.first;
    return targets;
}

QAction* PIRQ_LOCATE_MENU::get_target_action(const QString& target) const { return findChild<QAction*>(target); }

void PIRQ_LOCATE_MENU::set_entries_enabled(bool enabled)
{
    for (QAction* entry : actions())
        if (!entry->isSeparator())
            entry->setEnabled(enabled);
}

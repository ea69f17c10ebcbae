#include "pirq.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>

#include <map>

namespace {

struct ACTION_ROW {
    const char* text;
    const char* shortcut;
    bool checkable;
};

// The suite's action table: texts with their menu mnemonics, default shortcuts, checkability.
const std::map<int, ACTION_ROW>& action_table()
{
    static const std::map<int, ACTION_ROW> table = {
        {19, {"Autorun Anal&ysis", "F6", false}},
        {21, {"&Read Data", "", false}},
        {22, {"Run &Analysis", "F5", false}},
        {23, {"S&top Analysis", "Ctrl+E", false}},
        {75, {"&Copy", "Ctrl+C", false}},
        {112, {"Cu&t", "Ctrl+X", false}},
        {114, {"Enable Data &Log", "", true}},
        {117, {"Create Data Lo&g", "", false}},
        {120, {"&Delete", "Del", false}},
        {154, {"E&xport...", "", false}},
        {178, {"&Find...", "Ctrl+F", false}},
        {179, {"Find &Next", "F3", false}},
        {218, {"&Duplicate", "", false}},
        {257, {"&Add Instance", "", false}},
        {258, {"&Delete Instance", "", false}},
        {259, {"Disable &Power-Up Trigger", "", false}},
        {260, {"D&uplicate Trigger", "", false}},
        {261, {"Enable Po&wer-Up Trigger", "", false}},
        {262, {"Re&name Instance", "", false}},
        {290, {"Allow &All Changes", "", true}},
        {291, {"Allow &Incremental Route Changes Only", "", true}},
        {292, {"Allow &Trigger Condition Changes Only", "", true}},
        {326, {"Add &Nodes...", "Ctrl+Shift+N", false}},
        {327, {"Add &State Machine Nodes...", "", false}},
        {330, {"&Symbolic", "", true}},
        {331, {"&Binary", "", true}},
        {332, {"Signed &2's Complement", "", true}},
        {333, {"Signed &Magnitude", "", true}},
        {334, {"&Unsigned Decimal", "", true}},
        {335, {"&Hexadecimal", "", true}},
        {336, {"&Octal", "", true}},
        {337, {"&ASCII", "", true}},
        {338, {"Unsigned Ba&r Chart", "", true}},
        {339, {"Unsigned &Line Chart", "", true}},
        {340, {"Signed Bar C&hart", "", true}},
        {341, {"Signed Line Cha&rt", "", true}},
        {342, {"Single &Precision Floating Point", "", true}},
        {343, {"&Double Precision Floating Point", "", true}},
        {344, {"Create &List File...", "", false}},
        {345, {"Disable &Data", "", false}},
        {346, {"Enable D&ata", "", false}},
        {347, {"Remo&ve Alias", "", false}},
        {349, {"Find &Bus Value...", "", false}},
        {350, {"Find Next Bus Value", "", false}},
        {351, {"Find Previous Bus Value", "", false}},
        {352, {"&Group...", "Ctrl+G", false}},
        {354, {"&LSB on Top", "", true}},
        {355, {"&Mnemonic Table Setup...", "", false}},
        {356, {"&MSB on Top", "", true}},
        {357, {"&Paste Alias", "", false}},
        {358, {"Plug-&In Options...", "", false}},
        {361, {"Recreate State Machine Mnemonics", "", false}},
        {362, {"Rena&me", "F2", false}},
        {363, {"Set &Alias...", "", false}},
        {364, {"Disable Storage &Qualifier", "", false}},
        {365, {"Enable Storage Q&ualifier", "", false}},
        {366, {"Disable &Transitional", "", false}},
        {367, {"Enable Tra&nsitional", "", false}},
        {375, {"Disable Tr&igger Enable", "", false}},
        {376, {"Enable Trigger Ena&ble", "", false}},
        {377, {"&Ungroup", "Ctrl+U", false}},
        {408, {"&Paste", "Ctrl+V", false}},
        {459, {"&Redo", "Ctrl+Y", false}},
        {474, {"&Properties", "", false}},
        {506, {"Find", "", false}},
        {507, {"Start Compilation", "Ctrl+L", false}},
        {508, {"Start Recompilation", "", false}},
        {509, {"Center on Trigger", "", false}},
        {513, {"Select &All", "Ctrl+A", false}},
        {694, {"&Undo", "Ctrl+Z", false}},
        {698, {"&Data Log", "", true}},
        {700, {"&Hierarchy Display", "", true}},
        {701, {"&Instance Manager", "", true}},
        {702, {"Editor &Toolbar", "", true}},
        {705, {"&Signal Configuration", "", true}},
        {708, {"Center on &Trigger", "", false}},
        {728, {"&Fit in Window", "Ctrl+W", false}},
        {729, {"Zoom &In", "Ctrl+Space", false}},
        {730, {"Zoom &Out", "Ctrl+Shift+Space", false}},
    };
    return table;
}

}  // namespace

QString pirq_get_action_text(PIRQ_ACTION_ENUM id)
{
    auto it = action_table().find(id);
    return it == action_table().end() ? QString("Action %1").arg(static_cast<int>(id)) : QString(it->second.text);
}

QAction* pirq_create_action(PIRQ_ACTION_ENUM id, QObject* parent)
{
    auto* action = new QAction(pirq_get_action_text(id), parent);
    action->setObjectName(QString("pirq_action_%1").arg(static_cast<int>(id)));
    auto it = action_table().find(id);
    if (it != action_table().end()) {
        action->setCheckable(it->second.checkable);
        if (*it->second.shortcut)
            action->setShortcut(QKeySequence(QString(it->second.shortcut)));
        action->setToolTip(QString(it->second.text).remove('&'));
    }
    return action;
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

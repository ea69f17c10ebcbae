#include "vokr_operator_widget.h"

#include "pirq.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStandardItemModel>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The framework icon every row shows.
constexpr int LIBRARY_ICON = 258;

// Top-level rows and their members; the counters are not offered.
struct GROUP {
    const char* text;
    std::initializer_list<const char*> members;
};
const GROUP GROUPS[] = {
    {"Edge & Level Detector", {}},
    {"Input Objects", {"Bit Value", "Bus Value", "Bus"}},
    {"Comparison Operators",
     {"Less Than", "Less Than or Equal To", "Equality", "Inequality", "Greater Than or Equal To", "Greater Than"}},
    {"Bitwise Operators", {"Bitwise Complement", "Bitwise And", "Bitwise Or", "Bitwise Xor"}},
    {"Logical Operators", {"Logical Not", "Logical And", "Logical Or", "Logical Xor"}},
    {"Reduction Operators", {"Reduction And", "Reduction Or", "Reduction Xor"}},
    {"Shift Operators", {"Left Shift", "Right Shift"}},
    {"Custom Trigger HDL", {}},
};

}  // namespace

VOKR_OPERATOR_WIDGET::VOKR_OPERATOR_WIDGET(QWidget* parent)
    : QFrame(parent), m_model(new QStandardItemModel), m_tree(new QTreeView(this))
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(7, 0, 0, 0);
    header->addWidget(new QLabel(QStringLiteral("Object Library:"), this));
    header->addStretch();
    auto* button = new QToolButton(this);
    button->setAutoRaise(true);
    button->setEnabled(false);
    header->addWidget(button, 0, Qt::AlignRight);
    layout->addLayout(header);

    auto* line = new QFrame(this);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setLineWidth(0);
    line->setMidLineWidth(1);
    line->setMaximumHeight(1);
    layout->addWidget(line);

    m_tree->setObjectName("object_library");
    m_tree->setFrameStyle(QFrame::NoFrame);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setHeaderHidden(true);
    m_tree->setModel(m_model);
    m_tree->setDragEnabled(true);
    layout->addWidget(m_tree, 1);

    update_operator_tree();
}

VOKR_OPERATOR_WIDGET::~VOKR_OPERATOR_WIDGET()
{
    m_tree->setModel(nullptr);
    delete m_model;
}

void VOKR_OPERATOR_WIDGET::update_operator_tree()
{
    m_model->clear();
    const QIcon icon(pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(LIBRARY_ICON)));
    for (const GROUP& group : GROUPS) {
        auto* row = new QStandardItem(icon, QString::fromLatin1(group.text));
        for (const char* member : group.members)
            row->appendRow(new QStandardItem(icon, QString::fromLatin1(member)));
        m_model->appendRow(row);
    }
    m_tree->collapseAll();
}

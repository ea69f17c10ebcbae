#include "vokr_wheel_guard.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>

// The box no longer takes the focus from the wheel, only from a click or Tab; the guard is its
// child and goes with it.
VOKR_WHEEL_GUARD::VOKR_WHEEL_GUARD(QWidget* box) : QObject(box)
{
    box->setFocusPolicy(Qt::StrongFocus);
    box->installEventFilter(this);
}

void VOKR_WHEEL_GUARD::guard_boxes(QWidget* root)
{
    QList<QWidget*> boxes;
    for (QComboBox* combo : root->findChildren<QComboBox*>())
        boxes.append(combo);
    for (QAbstractSpinBox* spin : root->findChildren<QAbstractSpinBox*>())
        boxes.append(spin);
    for (QWidget* box : boxes)
        if (!box->findChild<VOKR_WHEEL_GUARD*>(QString(), Qt::FindDirectChildrenOnly))
            new VOKR_WHEEL_GUARD(box);
}

// An ignored event that a filter took goes on to the parents: the scroll area, or the view, scrolls.
bool VOKR_WHEEL_GUARD::eventFilter(QObject* object, QEvent* event)
{
    if (event->type() != QEvent::Wheel || static_cast<QWidget*>(object)->hasFocus())
        return false;
    event->ignore();
    return true;
}

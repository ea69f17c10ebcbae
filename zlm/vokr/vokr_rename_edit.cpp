#include "vokr_rename_edit.h"

#include "vokr_object.h"
#include "vokr_object_widget.h"

#include <QKeyEvent>

VOKR_RENAME_EDIT::VOKR_RENAME_EDIT(VOKR_OBJECT* box, VOKR_OBJECT_WIDGET* canvas, const QString& text)
    : QLineEdit(text, canvas), m_box(box), m_canvas(canvas)
{
    setFrame(false);
}

void VOKR_RENAME_EDIT::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        m_canvas->setFocus();
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (m_box)
            m_box->end_rename();
        m_canvas->setFocus();
    } else {
        QLineEdit::keyPressEvent(event);
    }
}

// The editor goes away after this handler returns: the box lets go of it and it is deleted later.
void VOKR_RENAME_EDIT::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (m_box)
        m_box->close_rename_edit();
}

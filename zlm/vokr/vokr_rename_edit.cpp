#include "vokr_rename_edit.h"

#include "vokr_object.h"
#include "vokr_object_widget.h"

VOKR_RENAME_EDIT::VOKR_RENAME_EDIT(VOKR_OBJECT* box, VOKR_OBJECT_WIDGET* canvas, const QString& text)
    : QLineEdit(text, canvas), m_box(box), m_canvas(canvas)
{
    connect(this, &QLineEdit::editingFinished, this, &VOKR_RENAME_EDIT::on_editing_finished);
}

void VOKR_RENAME_EDIT::on_editing_finished()
{
    if (m_box)
        m_box->end_rename();
}

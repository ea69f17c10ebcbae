#include "vokr_line_edit.h"

VOKR_LINE_EDIT::VOKR_LINE_EDIT()
{
    connect(this, &QLineEdit::editingFinished, this, &VOKR_LINE_EDIT::on_editing_finished);
}

void VOKR_LINE_EDIT::on_editing_finished() { emit editing_finished(text()); }

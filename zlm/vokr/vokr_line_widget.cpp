#include "vokr_line_widget.h"

VOKR_LINE_WIDGET::VOKR_LINE_WIDGET(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::HLine | QFrame::Sunken);
    setMaximumHeight(1);
}

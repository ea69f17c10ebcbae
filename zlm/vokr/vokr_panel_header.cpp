#include "vokr_panel_header.h"

#include "pirq.h"
#include "vokr_wheel_guard.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

QFrame* vokr_new_panel_line()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setLineWidth(0);
    line->setMidLineWidth(1);
    line->setMaximumHeight(1);
    return line;
}

namespace {

QVBoxLayout* build_column(QFrame* panel, int frame_style, QHBoxLayout** header)
{
    panel->setFrameStyle(frame_style);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    *header = new QHBoxLayout;
    (*header)->setContentsMargins(7, 0, 0, 0);
    column->addLayout(*header);
    column->addWidget(vokr_new_panel_line());
    return column;
}

}  // namespace

QVBoxLayout* vokr_build_panel_column(QFrame* panel, QHBoxLayout** header)
{
    return build_column(panel, QFrame::StyledPanel | QFrame::Sunken, header);
}

QVBoxLayout* vokr_build_pane_column(QFrame* pane, QHBoxLayout** header)
{
    return build_column(pane, QFrame::Panel | QFrame::Sunken, header);
}

QToolButton* vokr_new_pane_close_button(QFrame* pane, QAction* view_action)
{
    auto* button = new QToolButton(pane);
    button->setAutoRaise(true);
    button->setIcon(QIcon(pirq_get_icon(PIRQ_ICON_CLOSE_PANE)));
    QObject::connect(view_action, &QAction::toggled, pane, &QWidget::setVisible);
    QObject::connect(button, &QToolButton::pressed, pane, &QWidget::hide);
    QObject::connect(button, &QToolButton::pressed, view_action, &QAction::toggle);
    return button;
}

QHBoxLayout* vokr_build_panel(QFrame* panel, QWidget* content, QScrollArea** scroll_area)
{
    QHBoxLayout* header = nullptr;
    QVBoxLayout* column = vokr_build_panel_column(panel, &header);
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    VOKR_WHEEL_GUARD::guard_boxes(content);
    column->addWidget(scroll, 1);
    if (scroll_area)
        *scroll_area = scroll;
    return header;
}

void vokr_add_hide_button(QHBoxLayout* header, QFrame* panel, QAction* view_action)
{
    header->addStretch();
    auto* button = new QToolButton;
    button->setAutoRaise(true);
    button->setIcon(QIcon(pirq_get_icon(PIRQ_ICON_CLOSE_PANE)));
    header->addWidget(button);
    QObject::connect(button, &QToolButton::clicked, panel, [panel, view_action] {
        panel->hide();
        view_action->toggle();
    });
    QObject::connect(view_action, &QAction::toggled, panel, &QWidget::setVisible);
}

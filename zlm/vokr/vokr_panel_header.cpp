#include "vokr_panel_header.h"

#include "pirq.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

QHBoxLayout* vokr_build_panel(QFrame* panel, QWidget* content)
{
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(7, 0, 0, 0);
    column->addLayout(header);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setLineWidth(0);
    line->setMidLineWidth(1);
    line->setMaximumHeight(1);
    column->addWidget(line);

    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    column->addWidget(scroll, 1);
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

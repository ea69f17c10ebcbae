// A sunken horizontal line of one pixel between panes.
#pragma once

#include <QFrame>

class VOKR_LINE_WIDGET : public QFrame {
    Q_OBJECT
public:
    explicit VOKR_LINE_WIDGET(QWidget* parent);
};

// The diagram canvas of the advanced trigger editor, as far as the boxes it shows rely on it: a
// box whose view context is a canvas reads the canvas's manager to choose its property bank.
#pragma once

#include <QWidget>

class VOKR_TX_MANAGER;

class VOKR_OBJECT_WIDGET : public QWidget {
    Q_OBJECT

public:
    VOKR_OBJECT_WIDGET(QWidget* parent, VOKR_TX_MANAGER* manager);
    VOKR_TX_MANAGER* get_manager() const { return m_manager; }

private:
    VOKR_TX_MANAGER* m_manager;
};

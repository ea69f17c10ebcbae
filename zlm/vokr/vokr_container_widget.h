// A frame that shows one shared widget (the node list view or the advanced trigger editor)
// while the frame itself is shown: one widget can so appear in the pages of many tabs. The
// shared widget is never owned: destroying the frame leaves it alive and parentless.
#pragma once

#include <QFrame>

class VOKR_CONTAINER_WIDGET : public QFrame {
    Q_OBJECT
public:
    VOKR_CONTAINER_WIDGET(QWidget* widget, QWidget* parent);
    ~VOKR_CONTAINER_WIDGET() override;
    QWidget* get_widget() const { return m_widget; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* m_widget;
};

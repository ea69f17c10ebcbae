// The wheel over a combo or spin box of a pane: the box takes it only while it has the keyboard
// focus (a click or Tab gave it). A wheel turned while the pointer merely rests on the box goes
// on to the pane around it, which scrolls, instead of changing a setting the person passes over.
#pragma once

#include <QObject>

class QWidget;

class VOKR_WHEEL_GUARD : public QObject {
    Q_OBJECT
public:
    // Guards every combo and spin box inside `root` that is not guarded yet; boxes made later
    // are guarded by their own call.
    static void guard_boxes(QWidget* root);

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    explicit VOKR_WHEEL_GUARD(QWidget* box);
};

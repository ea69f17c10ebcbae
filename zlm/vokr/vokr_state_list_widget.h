// The drawing of a state-based trigger flow: "Start" and one box per state in a column, an arc
// for every transition (downward on the right, upward on the left, a loop below a box that goes
// to itself), states that the first cannot reach in a second colour, and a dark-yellow frame
// around the state the target is in.
#pragma once

#include <QListWidget>
#include <QMetaType>

// One state of the drawing; its item owns it.
struct VOKR_STATE {
    bool reached = false;
    bool current = false;
    QList<VOKR_STATE*> successors;  // one per goto, in text order
    QListWidgetItem* item = nullptr;

    // Marks this state and everything it leads to as reached.
    void enable();
};
Q_DECLARE_METATYPE(VOKR_STATE*)

class VOKR_STATE_LIST_WIDGET : public QListWidget {
public:
    VOKR_STATE_LIST_WIDGET();
    // Appends "Start" to an empty list, else an unnamed state; the first state follows "Start".
    void add_item();
    static VOKR_STATE* state_of(const QListWidgetItem* item);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void draw_state(QPainter* painter, int row);
};

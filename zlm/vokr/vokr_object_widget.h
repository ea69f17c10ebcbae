// The diagram canvas of the advanced trigger editor, as far as the boxes it shows rely on it: a
// box whose view context is a canvas reads the canvas's manager to choose its property bank, its
// zoom to place the rename editor and its cursor to choose a tooltip; the canvas's interaction
// mode tells a box whether a drag is under way, and its connection fix-up puts an adapter box
// between a newly attached child and a parent whose inputs carry another kind of signal.
#pragma once

#include <QWidget>

class VOKR_OBJECT;
class VOKR_TX_MANAGER;

// What the canvas's mouse handling is doing; the two drag values hide boxes differently.
enum VOKR_INTERACTION_MODE : int {
    VOKR_INTERACTION_IDLE = 0,
    VOKR_INTERACTION_DRAGGING = 9,        // boxes follow the mouse
    VOKR_INTERACTION_DRAG_STARTING = 17,  // a press has just started a drag
};

class VOKR_OBJECT_WIDGET : public QWidget {
    Q_OBJECT

public:
    static constexpr int ZOOM_ONE_TO_ONE = 10;

    VOKR_OBJECT_WIDGET(QWidget* parent, VOKR_TX_MANAGER* manager);
    VOKR_TX_MANAGER* get_manager() const { return m_manager; }

    // Shared by every canvas of the process: only one mouse drags at a time.
    static int get_interaction_mode();
    static void set_interaction_mode(int mode);
    static bool is_drag_mode(int mode)
    {
        return mode == VOKR_INTERACTION_DRAGGING || mode == VOKR_INTERACTION_DRAG_STARTING;
    }

    // The zoom in tenths: 10 draws one diagram unit per pixel, 20 one unit per half pixel.
    int get_zoom() const { return m_zoom; }
    // Values below 1 are taken as 1.
    void set_zoom(int tenths);

    // Called after `child` was attached to `parent`. A bus output into single-bit inputs gets a
    // new Reduction Or between them; a bit output into a bounded number of bus inputs goes into
    // `adapter`, a Bus box under `parent`, made here when null. Adapters are placed where the
    // child was (the child moves one column left) and join the parent's trigger, which owns
    // them; without a trigger nothing is made. Returns the bus adapter in use: the given one
    // unless one was made.
    VOKR_OBJECT* fix_connection(VOKR_OBJECT* parent, VOKR_OBJECT* child, VOKR_OBJECT* adapter);

private:
    VOKR_OBJECT* make_adapter(VOKR_OBJECT* parent, VOKR_OBJECT* child, int type);

    VOKR_TX_MANAGER* m_manager;
    int m_zoom = ZOOM_ONE_TO_ONE;
};

// The diagram canvas of the advanced trigger editor. It shows and edits, in place, the boxes of
// the advanced level (or storage-qualifier pattern) that the manager's editor shows: painting
// with the level's expression text and its first problem, mouse gestures that select, move,
// pan and wire boxes, keys, zoom and scrolling, and the editing commands with a snapshot undo
// kept in the manager per level.
//
// A box whose view context is a canvas reads the canvas's manager to choose its property bank,
// its zoom to place the rename editor and its cursor to choose a tooltip; the canvas's
// interaction mode tells a box whether a drag is under way.
//
// Sources: vokr_object_widget.cpp (state, construction, geometry, scrolling),
// vokr_object_widget_paint.cpp, vokr_object_widget_input.cpp (mouse, keys, wheel, zoom, focus)
// and vokr_object_widget_edit.cpp (refresh, undo and the editing commands).
#pragma once

#include "pirq.h"

#include <QList>
#include <QPair>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

class QMenu;
class QScrollBar;
class VOKR_OBJECT;
class VOKR_TRIGGER_OBJECT;
class VOKR_TX_MANAGER;
class VOKR_VIEW;
class QTreeView;
class QDropEvent;
class PIRQ_LOCATE_MENU;

// What the canvas's mouse handling is doing; the two drag values hide boxes differently.
enum VOKR_INTERACTION_MODE : int {
    VOKR_INTERACTION_IDLE = 0,
    VOKR_INTERACTION_DRAGGING = 9,        // boxes follow the mouse
    VOKR_INTERACTION_DRAG_STARTING = 17,  // a press has just started a drag
};

class VOKR_OBJECT_WIDGET : public QWidget {
    Q_OBJECT
    friend class VOKR_FIND_DLG;  // reads and stores the find settings

public:
    static constexpr int ZOOM_ONE_TO_ONE = 10;
    static constexpr int ZOOM_MIN = 1;
    static constexpr int ZOOM_MAX = 40;
    // Height of the title band; the diagram starts below it.
    static constexpr int TITLE_BAND = 22;

    VOKR_OBJECT_WIDGET(QWidget* parent, VOKR_TX_MANAGER* manager);
    explicit VOKR_OBJECT_WIDGET(VOKR_TX_MANAGER* manager) : VOKR_OBJECT_WIDGET(nullptr, manager) {}
    ~VOKR_OBJECT_WIDGET() override;
    // Every canvas showing these boxes lets go of them: their trigger object is being deleted.
    static void forget_boxes(const QList<VOKR_OBJECT*>* boxes);
    VOKR_TX_MANAGER* get_manager() const { return m_tx_manager; }

    // Shared by every canvas of the process: only one mouse drags at a time.
    static int get_interaction_mode();
    static void set_interaction_mode(int mode);
    // The cursor shape of the gesture a press starts, shared like the interaction mode.
    static Qt::CursorShape get_drag_cursor_shape() { return s_drag_cursor_shape; }
    static bool is_drag_mode(int mode)
    {
        return mode == VOKR_INTERACTION_DRAGGING || mode == VOKR_INTERACTION_DRAG_STARTING;
    }

    // ---- state and geometry (vokr_object_widget.cpp) ----
public:
    // The boxes shown; null until a refresh hands them over.
    QList<VOKR_OBJECT*>* get_objects() const { return m_objects; }
    // The zoom in tenths: 10 draws one diagram unit per pixel, 20 one unit per half pixel.
    int get_zoom() const { return m_zoom; }
    // A widget point in diagram units.
    QPoint to_canvas(const QPoint& pixels) const;
    // The box under a diagram point in `list` (the shown boxes for null), last painted first.
    VOKR_OBJECT* hit_test(const QPoint& point, QList<VOKR_OBJECT*>* list = nullptr);
    // Whether the dragged box's output port lies on a free input port of the target.
    bool accepts_connection(const VOKR_OBJECT* dragged, const VOKR_OBJECT* target) const;
    // Lays out every top box's tree again and repaints; the trees that hold the selection are
    // moved into the placement area as far as they fit.
    void arrange_objects();
    // Where new and edited trees are placed, in diagram units: the visible area below the
    // expression lines, inside a small margin.
    QRect placement_area() const;
    // Moves the trees of `roots` together, as little as needed, into the placement area; a tree
    // larger than the area keeps its top left corner in it.
    void keep_in_view(const QList<VOKR_OBJECT*>& roots);
    // Called after `child` was attached to `parent`. A bus output into single-bit inputs gets a
    // new Reduction Or between them; a bit output into a bounded number of bus inputs goes into
    // `adapter`, a Bus box under `parent`, made here when null. Adapters are placed where the
    // child was (the child moves one column left) and join the parent's trigger, which owns
    // them; without a trigger nothing is made. Returns the bus adapter in use: the given one
    // unless one was made.
    VOKR_OBJECT* fix_connection(VOKR_OBJECT* parent, VOKR_OBJECT* child, VOKR_OBJECT* adapter);
    // Editing guards of the moment.
    bool is_disabled() const;
    bool is_locked() const;
    bool is_power_up_view() const;

    // ---- painting (vokr_object_widget_paint.cpp) ----
public:
    // The validation found by the last paint: the code (0 when valid) and the blamed box.
    int get_error_code() const { return m_error_code; }
    VOKR_OBJECT* get_error_object() const { return m_error_object; }
    // The expression text of the result box printed by the last paint.
    const QString& get_equation() const { return m_equation; }
    // The title over the diagram for a level (-3 to -1: storage-qualifier patterns).
    static QString title_text(int level);
    // The label of the expression line: the result box's name, else "Result", with ": ".
    QString result_label() const;
    // `text` cut to `width` pixels of `metrics` with "...", at its end or, with a shift, at its
    // head; always ends, even when nothing but "..." fits.
    static QString fit_expression(const QString& text, const QFontMetrics& metrics, int width, int shift);
    // The bottom of the expression lines (the result's and one per other top box), in diagram units.
    int expression_lines_bottom() const;

    // ---- input and zoom (vokr_object_widget_input.cpp) ----
public:
    // Steps the zoom one tenth at a time to `tenths` (1 to 40), keeping each scroll bar at its
    // relative position, and stores it with the current instance.
    void set_zoom(int tenths);
    // Fills the clipboard with copies of the selection, each remembering its offset from
    // `point` (diagram units; the mouse position when null).
    void copy(const QPoint* point = nullptr);

    // ---- drag and drop, clipboard (vokr_object_widget_drag.cpp) ----
public:
    // The drag format of node rows from the node list.
    static const char* const NODE_FORMAT;
    // Copies the clipboard into the diagram with its reference point at `point` (diagram
    // units), wired into the box there when it takes inputs; records an undo step.
    void paste(const QPoint& point);
    void delete_duplicate_names(QList<VOKR_OBJECT*>* list);
    void clipboard_add_nodes(QList<VOKR_OBJECT*>* list, VOKR_VIEW* source);
    VOKR_VIEW* node_drag_view(QObject* source) const;
    void clipboard_add_operators(QList<VOKR_OBJECT*>* list, QTreeView* source);
    // Whether a box has a free input port.
    static bool accepts_inputs(const VOKR_OBJECT* box);

    // ---- command enabling and find (vokr_object_widget_commands.cpp) ----
public:
    bool is_selected() const;
    bool is_child_selected() const;
    bool is_parent_selected() const;
    // Nothing but fixed boxes selected, or the editor disabled.
    bool is_protected_selection() const;
    // Runs every enabler of the context menu.
    void update_all_actions();
    // Connects a shared action to `slot` (a signature) of the canvas, else of the manager; a
    // slot taking a QAction* connects the action's group instead. A connected action (or every
    // action of the group) is disabled until its enabler runs. False when neither has the slot.
    bool connect_action(int id, const char* slot);
    void disconnect_action(int id, const char* slot);
    // Expands the box's ancestors, selects it and scrolls it to the middle.
    void ensure_visible(VOKR_OBJECT* box);
    const QString& get_find_text() const { return m_find_text; }
    void set_find_text(const QString& text) { m_find_text = text; }
    // A scripted find request: the search options off, every place to search on.
    void set_find_request(const QString& text, const QString& direction);
    const QString& get_find_direction() const { return m_find_direction; }

    // ---- editing (vokr_object_widget_edit.cpp) ----
public:
    // Records a snapshot of the diagram; `changed` marks the level modified (unless it is the
    // level's first snapshot).
    void save_undo(bool changed);
    // Makes `box` the only selected box (painted last, found first); null clears the selection.
    void select(VOKR_OBJECT* box);
    VOKR_OBJECT* get_selected_object() const;
    int get_selection_count() const;
    // The parent shared by the selected boxes whose parent is not selected; null when none or
    // when they differ.
    VOKR_OBJECT* get_selected_object_parent() const;
    static void free_objects(QList<VOKR_OBJECT*>* list);
    // Deletes the selected boxes of `list` (the shown boxes for null); a collapsed box takes its
    // hidden boxes along; the level's fixed boxes stay.
    void delete_selected_objects(QList<VOKR_OBJECT*>* list);
    // Keeps of a list of copies what a copy takes: selected or hidden boxes, never fixed ones.
    static void delete_unselected_objects(QList<VOKR_OBJECT*>* list);
    void generate_default_names();
    bool is_unique_name(const QString& name) const;
    // Runs the properties dialog on the selection; true when it was closed with OK, after which
    // the diagram is named, laid out and recorded.
    bool on_properties(int initial_type, bool new_object);
    const QList<VOKR_OBJECT*>& get_clipboard() const { return m_clipboard; }
    int get_undo_position() const { return m_undo_position; }

public slots:
    void on_update(QObject* sender, int hint);
    void on_hscroll(int value);
    void on_vscroll(int value);
    void on_scroll();
    void on_edit_undo();
    void on_edit_redo();
    void on_edit_cut();
    void on_edit_copy();
    void on_edit_paste();
    void on_edit_delete();
    void on_edit_select_all();
    void on_edit_arrange_all_objects();
    void on_rename();
    void on_detach();
    void on_insert();
    void on_remove();
    void on_append();
    void on_move_up();
    void on_move_down();
    void on_collapse();
    void on_expand();
    void on_properties() { on_properties(0, false); }
    void on_fit_in_window();
    void on_zoom_in();
    void on_zoom_out();
    void on_update_zoom_in();
    void on_update_zoom_out();
    void on_update_fit_in_window();
    void on_update_insert();
    void on_update_edit_undo();
    void on_update_edit_redo();
    void on_update_edit_cut();
    void on_update_edit_copy();
    void on_update_edit_paste();
    void on_update_edit_delete();
    void on_update_edit_select_all();
    void on_update_rename();
    void on_update_properties();
    void on_update_find_next();
    void context_menu(const QPoint& point);
    void on_edit_find();
    void on_edit_find_next();
    // vokr_object_widget_locate.cpp: the frame's locate sub-menu, for the first selected box
    void on_update_locate();
    void on_locate_design_file();
    void on_locate_triggered(const QString& locate_target);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    // The modal properties dialog on the selection; true on OK.
    virtual bool exec_properties_dialog(int initial_type, bool new_object);
    // Drags the selected boxes out of the canvas; returns when the drag ends.
    virtual void exec_drag();
    // Where a drag comes from: the event's source (the one seam tests replace, since only a
    // running drag has one).
    virtual QObject* drag_source(const QDropEvent* event) const;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // vokr_object_widget.cpp
    void build_context_menu();
    QAction* action(int id) const;
    QRect visible_area() const;
    QRect diagram_extent() const;
    void move_visible_boxes(int dx, int dy);
    void update_scroll_bars() { resizeEvent(nullptr); }
    VOKR_TRIGGER_OBJECT* trigger() const;
    VOKR_OBJECT* new_box(const QPoint& position, int type);
    VOKR_OBJECT* make_adapter(VOKR_OBJECT* parent, VOKR_OBJECT* child, int type);
    // vokr_object_widget_drag.cpp
    static bool is_palette(const QObject* source);
    bool is_known_drag(const QDropEvent* event) const;
    Qt::DropAction drag_decision(const QDropEvent* event);
    int add_bus_box(QList<VOKR_OBJECT*>* list, VOKR_TX_MANAGER* manager, int r, bool expanded, const QString& name,
                    int y);
    // vokr_object_widget_commands.cpp
    void enable(int id, bool enabled, bool show = false);
    void on_update_structure(int id, bool test);
    QObject* action_receiver(const QByteArray& signature) const;
    // vokr_object_widget_locate.cpp
    QString locate_name() const;
    PIRQ_LOCATE_MENU* locate_menu() const;
    void add_locate_menu();
    // vokr_object_widget_paint.cpp
    void paint_background(QPainter* painter, const QRect& logical);
    void paint_title(QPainter* painter);
    void validate();
    void paint_expression_lines(QPainter* painter);
    void paint_validation(QPainter* painter);
    void uncover_blamed_box();
    // vokr_object_widget_input.cpp
    void press_left(QMouseEvent* event, const QPoint& p);
    void press_on_box(QMouseEvent* event, VOKR_OBJECT* hit, const QPoint& p);
    void rubber_band_step(QMouseEvent* event, const QPoint& p);
    void move_step(const QPoint& p);
    void follow_connections();
    bool is_near_parent(const VOKR_OBJECT* box) const;
    void link_step(const QPoint& p);
    void auto_scroll(const QPoint& p);
    void release_gesture();
    void update_cursor(const QPoint& p, Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
    void set_cursor_shape(Qt::CursorShape shape);
    bool structural_key_allowed() const;
    bool any_selected(bool with_parent, bool with_inputs) const;
    void connect_shared_actions(bool on);
    void refresh_zoom_actions();
    // Every shared entry the canvas answers for: find, find next, the zoom entries and the
    // context menu's.
    void refresh_shared_actions();
    // The entries that follow the selection: cut, copy, paste and delete.
    void refresh_selection_actions();
    // vokr_object_widget_edit.cpp
    // Expands or collapses the selected boxes but those `held_back` says wait for the next command.
    void expand_selected(bool expanded, bool (VOKR_OBJECT::*held_back)() const);
    void load_snapshot(int position);
    void restore_after_cancel(int position, bool modified);
    QList<VOKR_OBJECT*> selected_boxes() const;
    bool is_level_modified() const;

    static Qt::CursorShape s_drag_cursor_shape;
    QScrollBar* m_vscroll = nullptr;
    QScrollBar* m_hscroll = nullptr;
    QList<VOKR_OBJECT*>* m_objects = nullptr;
    QList<VOKR_OBJECT*> m_clipboard;
    QList<VOKR_OBJECT*> m_drag_remainder;
    QRect m_rubber_band;
    bool m_moving = false;
    int m_zoom = ZOOM_ONE_TO_ONE;
    QList<QList<VOKR_OBJECT*>*>* m_undo_list = nullptr;
    int m_undo_position = -1;
    bool m_gesture_changed = false;
    int m_error_code = 0;
    VOKR_OBJECT* m_error_object = nullptr;
    QMenu* m_context_menu = nullptr;
    QPoint m_press_point;
    QPoint m_mouse_point;  // device pixels: where the mouse was last seen
    VOKR_TX_MANAGER* m_tx_manager;
    QList<QPair<int, const char*>> m_shared_actions;  // action and slot signature
    bool m_shared_actions_connected = false;
    QString m_equation;
    // Find settings kept between searches.
    bool m_find_options[3] = {false, false, false};
    QString m_find_direction = QStringLiteral("All");
    bool m_find_in[5] = {true, true, true, true, true};
    QString m_find_text;
    // Blamed boxes that a paint found hidden and queued for uncovering outside the painter.
    bool m_uncover_queued = false;
};

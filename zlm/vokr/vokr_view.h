// The node list and waveform view of the current instance: one hand-painted grid that lists the
// instance's nodes with their enables and trigger conditions (Setup tab) or their captured
// samples (Data tab). A frame window has exactly one; a view without a frame (the wizard's) has
// no menus, no action table and no lock-mode combo box.
//
// Construction and menus: vokr_view.cpp; action routing and commands: vokr_view_actions.cpp;
// grid model and geometry: vokr_view_geometry.cpp; position data: vokr_view_position.cpp;
// updates and relayout: vokr_view_update.cpp.
#pragma once

#include "ksm.h"
#include "pirq.h"
#include "vokr_number.h"
#include "vokr_view_molq_handler.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QPen>
#include <QRect>
#include <QString>
#include <QVector>
#include <QWidget>

#include <array>
#include <functional>
#include <string>
#include <vector>

class VOKR_PIXEL_FILL;
class KSM_TX_SIGNAL_NODES;
class VOKR_HIERARCHY_WIDGET;
class QAction;
class QImage;
class QActionGroup;
class QComboBox;
class QMenu;
class QMimeData;
class QPainter;
class QPrinter;
class QRubberBand;
class QScrollBar;
class QToolButton;
class VOKR_FRAME_WND;
class VOKR_NODE;
class VOKR_TX_MANAGER;

class VOKR_VIEW : public QWidget {
    Q_OBJECT

    // ---- construction and actions (vokr_view.cpp, vokr_view_actions.cpp) ----
public:
    // One routed action: its identifier and the normalised signature of the slot it reaches.
    using ACTION_ENTRY = QPair<PIRQ_ACTION_ENUM, QByteArray>;

    VOKR_VIEW(QWidget* parent, VOKR_TX_MANAGER* manager);
    ~VOKR_VIEW() override;

    virtual std::string get_help_prefix() const { return "VOKR"; }
    // Routes one shared action to the view's slot (the manager's when the view has none), or
    // removes that routing again.
    void connect_action(PIRQ_ACTION_ENUM id, const char* slot);
    void disconnect_action(PIRQ_ACTION_ENUM id, const char* slot);
    // The menu action of a group trigger condition (codes 9 to 17).
    QAction* get_group_condition_action(int condition);
    // Deselects every node of the current node table, or selects them all.
    void select_items(bool selected);
    // Clears the selection of the rows the hierarchy pane hides, so that commands on the
    // selection act only on rows in sight.
    void deselect_hidden_rows();

    VOKR_TX_MANAGER* get_tx_manager() const { return m_tx_manager; }
    QComboBox* get_lock_mode_combo() const { return m_lock_mode_combo; }
    QComboBox* get_level_combo(int index) const { return m_level_combos[index]; }
    QScrollBar* get_vertical_bar() const { return m_vertical_bar; }
    QScrollBar* get_horizontal_bar() const { return m_horizontal_bar; }
    QToolButton* get_previous_transition_button() const { return m_previous_transition_button; }
    QToolButton* get_next_transition_button() const { return m_next_transition_button; }
    QMenu* get_context_menu(int column) const { return m_context_menus.value(column); }
    const QList<ACTION_ENTRY>& get_action_table() const { return m_action_table; }
    bool are_actions_connected() const { return m_actions_connected; }
    const VOKR_DOUBLE& get_zoom_level() const { return m_zoom_level; }
    const VOKR_DOUBLE& get_zoom_offset() const { return m_zoom_offset; }
    int get_timebar_count() const { return m_timebar_count; }
    const int* get_time_bars() const { return m_time_bars; }
    bool is_incremental_route_off() const { return m_incremental_route_off; }
    bool is_column_scroll() const { return m_column_scroll; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void create_scroll_bars();
    void create_combo_boxes();
    void create_context_menus();
    void create_action_table();
    void connect_frame_menus(QMenu* name_menu);
    QMenu* new_context_menu(std::initializer_list<int> columns, const char* state_slot);
    // Adds the actions to the menu; -1 is a separator. With `exclusive` the actions are made one
    // exclusive group unless they already belong to one.
    void add_actions(QMenu* menu, std::initializer_list<int> ids, bool exclusive = false);
    QAction* action(int id) const;
    // The receiver that a table entry reaches: the view when it has the slot, else the manager.
    QObject* action_receiver(const char* slot) const;

public slots:
    // Commands of the frame's shared actions while the view has the focus.
    void on_edit_select_all();
    void on_edit_find();
    void on_edit_find_next();
    void on_edit_delete();
    void on_find_bus_value();
    void on_find_next_bus_value();
    void on_find_previous_bus_value();
    void on_plugin_options();
    void on_node_add_state_machine();
    void on_node_recreate_state_machine_mnemonics();
    void on_node_group();
    void on_node_ungroup();
    void on_node_ungroup_nested_groups();
    void on_node_rename();
    void on_mnemonic_table_setup();
    void show_list_view();
    void on_invert_signal();
    void on_view_align_left();
    void on_view_align_right();
    void on_change_node_pre_syn();
    void on_change_node_post_fit();
    void on_bus_order(QAction* action);
    void on_bus_display_format(QAction* action);
    void on_node_set_alias();
    void on_node_paste_alias();
    void on_node_remove_alias();
    void on_data_enable();
    void on_data_disable();
    void on_trigger_enable();
    void on_trigger_disable();
    void on_storage_enable();
    void on_storage_disable();
    void on_transition_enable();
    void on_transition_disable();
    void on_trigger_condition(QAction* action);
    void on_group_trigger_condition(QAction* action);
    void on_insert_trigger_value();
    void on_comparison_trigger();
    void on_mnemonic(QAction* action);
    void on_insert_time_bar();
    void on_delete_time_bar();
    void on_delete_all_time_bars();
    void on_insert_master_time_bar();
    void on_move_master_time_bar();
    void on_sample_numbers();
    void on_time_units();
    void on_fit_in_window();
    void on_zoom_in();
    void on_zoom_out();
    void on_center_on_trigger();
    void center_on_sample(int sample);
    void on_next_transition();
    void on_previous_transition();
    void on_export();
    void on_print();
    void on_plugin(QAction* action);
    void on_locate(const QString& tool);
    void on_locate_design_file();
    void on_select_lock_mode_all();
    void on_select_lock_mode_incremental();
    void on_select_lock_mode_trigger();
    void on_sel_change_advanced_trigger_combo(const QString& text);
    void update_advanced_trigger_combo_positions();
    void on_drag_scroll();

    // Menu state slots, run when a menu is about to show.
    void on_update_edit_menu();
    void on_update_name_menu();
    void on_update_data_menu();
    void on_update_trigger_menu();
    void on_update_storage_menu();
    void on_update_transition_menu();
    void on_update_trigger_condition_menu();
    void on_update_waveform_menu();
    void on_update_plugin_menu();
    void on_update_locate();
    void on_update_bus_display_format_menu();

    // Enable rules, one per command.
    bool on_update_edit_delete();
    bool on_update_edit_select_all();
    bool on_update_node_group();
    bool on_update_node_ungroup();
    bool on_update_node_ungroup_nested_groups();
    bool on_update_node_rename();
    bool on_update_node_set_alias();
    bool on_update_node_remove_alias();
    bool on_update_plugin_options();
    bool on_update_invert_signal();
    bool on_update_bus_order(int id);
    bool on_update_data_enable();
    bool on_update_data_disable();
    bool on_update_trigger_enable();
    bool on_update_trigger_disable();
    bool on_update_storage_enable();
    bool on_update_storage_disable();
    bool on_update_transition_enable();
    bool on_update_transition_disable();
    bool on_update_insert_trigger_value();
    int insert_value_reference_bus() const;
    bool on_update_insert_time_bar();
    bool on_update_delete_time_bar();
    bool on_update_delete_all_time_bars();
    bool on_update_insert_master_time_bar();
    bool on_update_set_as_master_time_bar();
    bool on_update_sample_numbers();
    bool on_update_time_units();
    bool on_update_fit_in_window();
    bool on_update_zoom_in();
    bool on_update_zoom_out();
    bool on_update_center_on_trigger();

    // ---- grid model and geometry (vokr_view_geometry.cpp) ----
public:
    static constexpr int COLUMN_COUNT = 24;
    static constexpr int STORED_COLUMN_COUNT = 23;
    static constexpr int WAVEFORM_COLUMN = 23;
    static constexpr int VALUE_COLUMN = 22;
    static constexpr int FIRST_LEVEL_COLUMN = 12;
    static constexpr int LAST_LEVEL_COLUMN = 21;
    static constexpr int FIRST_NODE_ROW = 3;
    static constexpr int LEVEL_COMBO_COUNT = 13;
    static constexpr int MAX_TIME_BARS = 100;
    // Samples across the waveform column at zoom level 1.
    static constexpr int SAMPLE_SPAN = 131072;
    static int row_to_node(int row) { return row - FIRST_NODE_ROW; }
    static int node_to_row(int node) { return node + FIRST_NODE_ROW; }
    static const std::array<int, STORED_COLUMN_COUNT>& default_column_widths();

    // The node list the grid shows; null without an instance.
    KSM_TX_SIGNAL_NODES* current_node_table() const;
    int get_node_count() const;
    bool is_group(int node) const;
    bool is_group_member(int node) const;

    // Reads the session's stored widths: a list of exactly 23 widths, each within the bounds a
    // user can drag to, replaces the defaults; a list with any other width is damage and leaves
    // the defaults. False (and the defaults) while the session keeps no list of 23 widths, so
    // that a later update can read it.
    bool load_column_widths();
    void store_column_widths();
    const std::array<int, STORED_COLUMN_COUNT>& column_widths() const { return m_column_width; }

    int get_column_width(int column) const;
    // The widths of the columns left of the waveform, with the closing edge line.
    int get_fixed_columns_width() const;
    // The same on the Setup tab, whichever tab shows now.
    int get_setup_columns_width() const;
    // The width the Setup tab's list needs: its columns, and the title row's lock-mode selector whole.
    int get_setup_width() const;
    int get_row_height(int row) const;
    bool get_item_rect(int row, int column, QRect* rect) const;
    bool get_column_rect(int column, QRect* rect) const;
    bool find_item(const QPoint& point, int* row, int* column, QRect* rect) const;
    bool hit_test_box(int row, int column, const QPoint& point, const QRect& cell) const;
    // The check box beside a level number in header row 2; null where there is none.
    QRect get_level_box_rect(int level, const QRect& cell) const;
    // Node rows that are shown (height above 0), in all and before `node`.
    int get_shown_node_count() const;
    int get_shown_rows_before(int node) const;
    int get_total_width() const;
    int get_total_height() const;
    // The sample depth the view shows: the captured depth of a log with data, else the
    // instance's configured depth; 0 without an instance.
    int get_sample_depth() const;

    double get_pixels_per_sample() const;
    int get_visible_end_sample() const;
    int get_ruler_step() const;
    int get_print_ruler_step(QPainter* painter, const QRect& rect, int first, int last) const;
    int get_sample_in_segment(int sample, int* segment = nullptr) const;
    int get_segment_count(int sample) const;

    int get_group_member_count(int node) const;
    int get_enabled_member_count(int node) const;
    int get_selected_node_count() const;
    int get_single_selected_node() const;
    int get_single_selected_leaf() const;
    bool can_group_selected_nodes() const;
    bool get_group_trigger_pattern(int node, int level, QString* text, bool* radix_ok) const;

    int set_column_width(int column, const QPoint& point, bool ignore);
    void ensure_visible(int node);
    bool validate_time_bar(int index);
    void start_zoom_band(const QPoint& point) { m_zoom_band_rect = QRect(point, QSize(0, 0)); }
    // Drops the cached row geometry; the next query measures the rows again.
    void invalidate_geometry() { m_rows.valid = false; }

private:
    bool is_setup_column(int column) const;
    // Heights of the node rows and where each shown one starts, measured once per change.
    struct ROW_CACHE {
        bool valid = false;
        const KSM_TX_SIGNAL_NODES* list = nullptr;
        int count = -1, spacing = -1, level = 0;
        bool data_tab = false, advanced = false;
        QVector<int> height;        // per node
        QVector<int> shown;         // node indices of the shown rows, in order
        QVector<int> shown_top;     // per shown row: sum of the heights of the shown rows before it
        QVector<int> shown_before;  // per node: shown rows before it
    };
    const ROW_CACHE& rows() const;
    // What every row's measuring needs: the list, the hierarchy pane where it hides any level,
    // the tab, the advanced mode and a row's height.
    struct ROW_MEASURE {
        const KSM_TX_SIGNAL_NODES* list;
        const VOKR_HIERARCHY_WIDGET* hiding;
        bool data_tab, advanced;
        int level, base;
    };
    int measure_node_row(const ROW_MEASURE& how, int node, KSM_DATA_NODE_DISPLAY_TYPE type, bool below_collapsed) const;
    bool is_hidden_in_hierarchy(int node) const;
    void column_lefts(std::array<int, COLUMN_COUNT + 1>* left) const;
    int header_height() const;
    int vertical_value() const;
    int horizontal_value() const;
    bool is_data_tab() const;
    double span_of_zoom() const;
    int ruler_step_for(int width, double pixels_per_sample) const;
    // The least power of two at or above `n`, at most 2^30 (vokr_view_zoom.cpp).
    static int next_power_of_two(int n);
    int single_selected(bool leaves_only) const;
    QString first_selected_signal_name() const;  // vokr_view_locate.cpp
    void remove_time_bar(int index);
    void place_buttons_after_last_bar();

    // ---- position data (vokr_view_position.cpp) ----
public:
    // Stores the scroll positions of the shown tab and, on the Data tab, the zoom.
    int save_position_data();
    void save_timebars();
    // Reads the zoom (Data tab only) and prepares both scroll bars for the next relayout.
    bool load_position_data();
    // Reads the time bars, dropping positions outside the data.
    bool load_timebars();

private:
    VOKR_DOUBLE read_fraction(const char* numerator, const char* denominator, const VOKR_DOUBLE& fallback) const;
    void prepare_scroll_bar(QScrollBar* bar, int stored) const;

    // ---- updates and relayout (vokr_view_update.cpp) ----
public:
    // Qt's resize, and the relayout after every change of column widths, rows or mode (null event).
    void resizeEvent(QResizeEvent* event) override;
    void place_transition_buttons();
    bool is_resized() const { return m_resized_by_undo; }
    void set_resized(bool resized) { m_resized_by_undo = resized; }
    void set_rebuilding_tabs(bool rebuilding) { m_rebuilding_tabs = rebuilding; }
    // Reacts to a change of the project's assignments (the view's notification target calls it).
    virtual void on_settings_changed();
    // Clamps the zoom against the sample depth (with `reset_offset` from offset 0); the first
    // sample that can start the window.
    int reset_zoom(bool reset_offset);

public slots:
    void on_update(QObject* sender, int hint);
    void on_update_alias_menu();
    void on_update_alignment();

private:
    void clear_time_bars();
    bool is_busy() const;
    void refresh_controls();
    void refresh_lock_mode_combo(bool busy);
    void refresh_level_combos(bool busy);
    void update_horizontal_range(int width, int total);
    void update_vertical_range(int available);
    void update_margins(int total);
    void place_lock_mode_combo();

    // ---- painting (vokr_view_paint.cpp, vokr_view_paint_rows.cpp) ----
public:
    // Paints every cell inside `area`; the image export calls it with an image painter. The
    // int and the bool are unused (both callers pass 0 and true); `view` is the view itself.
    virtual void paint(QPainter* painter, int, VOKR_VIEW* view, QRect* area, bool);
    // The row's node list state every cell of one paint shares.
    struct PAINT_FLAGS {
        bool first_node_row = false;
        bool editable_here = false;
        bool editable = false;
        bool selected = false;
        bool power_up_view = false;
        bool incremental_view = false;
        bool sequential = false;
        bool invalid_nodes = true;  // some node may be invalid; where none is, rows do not ask
        bool focused = false;       // the view has the keyboard focus
        bool grid = false;          // waveform cells are outlined
        // What every cell of one paint draws with, looked up once per paint: the frames' colours,
        // the four fills of a raised and of a sunken cell (frame, lower-right shade, upper-left
        // shade, face) and whether the painter takes them as fills (whole pixels, opaque shades)
        // and as one blit of their pixels; the pens of a bit's levels and of texts.
        QColor outline_color, grid_color, selection_color, face_color;
        std::array<std::array<QRgb, 4>, 2> shades;
        bool shade_fills = false, shade_blits = false;
        QPen text_pen, selected_text_pen, high_pen, low_pen, selected_pen;
        QColor bus_color;
        bool split_bus_values = false;                         // a bus's number texts in groups of eight digits
        QBrush background_brush, selection_brush, face_brush;  // behind a name
        // A name's font and pen by what it names.
        enum NAME_STYLE { NODE_NAME, POST_FITTING_GROUP_NAME, GROUP_NAME, DATA_TAB_ONLY_NAME, NAME_STYLES };
        std::array<QFont, NAME_STYLES> name_fonts;
        std::array<QPen, NAME_STYLES> name_pens;
        // The painter's pixels as taken before the cells, for the frames drawn between them; null
        // where the painter does not take direct fills.
        const VOKR_PIXEL_FILL* pixels = nullptr;
    };
    // The cell's frame and selection fill, painted before its contents.
    void draw_cell_background(int row, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    // The contents of one cell (already shrunk inside its frame); false for an unknown column.
    bool draw_item(int row, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    int get_visible_node_rows() const { return visible_node_rows; }
    // Whether the rows and their cells take edits: not while the instance captures, nor in a
    // locked power-up view.
    bool is_editable() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    int current_node = -1;
    int visible_node_rows = 0;
    int m_drop_row = -1;         // node row of the drop indicator; the node count: after the last
    bool m_drop_before = false;  // the indicator stands above m_drop_row

private:
    PAINT_FLAGS paint_flags(QPainter* painter) const;
    QRect power_up_band(const QRect& area) const;
    void paint_empty_grid_text(QPainter* painter, const QRect& rect);
    QRect header_rect(int row, int first_column, int last_column) const;
    void draw_header_background(int row, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_title(int column, const QRect& rect, QPainter* painter);
    void draw_header(int row, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_header_text(QPainter* painter, const QRect& rect, const QString& text, int flags = 132);
    void draw_level_name(int level, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_level_number(int level, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_node_cell(int node, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_type_icon(int node, const QRect& rect, QPainter* painter, const VOKR_PIXEL_FILL* pixels);
    void draw_name_tree(int node, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_tree_connectors(int node, const QRect& rect, QPainter* painter);
    void draw_drop_marker(int node, const QRect& rect, QPainter* painter);
    void draw_enable_cell(int node, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    // Whether the node's enable box in column 5 to 8 takes a click: it is drawn greyed exactly
    // when it does not.
    bool is_enable_box_enabled(int node, int column) const;
    void draw_condition_cell(int node, int level, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_check_box(QPainter* painter, const QRect& rect, bool checked, bool enabled, bool power_up, bool selected);
    bool has_invalid_member(int node) const;

    // ---- zoom, time bars, transitions and bus values (vokr_view_zoom.cpp, vokr_view_time_bars.cpp,
    //      vokr_view_transitions.cpp) ----
public:
    // Samples across the waveform column at zoom level 1: SAMPLE_SPAN, or for a deeper capture the
    // next power of two at or above its depth, which keeps the zoom fractions within 32 bits.
    int get_zoom_base() const;
    // Halve or double the visible span; a point keeps the sample under it in place, else the
    // trigger or the master time bar in view, else the middle. False at the stops (one sample,
    // the whole depth) and, for zoom out, over the header rows.
    bool zoom_in(const QPoint* point);
    bool zoom_out(const QPoint* point);
    int zoom_anchor() const;
    void keep_anchor(int anchor, int first, double span);
    // Scrolls so that the sample is in the middle; with `apply` false only tells whether it would.
    bool center_on_sample(int sample, bool apply);
    // The sample under a point of the waveform column; -1 elsewhere.
    int get_sample_at(const QPoint& point) const;
    // The node index a drag dropped at the point would land on, and whether before that node.
    int find_drop_position(const QPoint& point, bool* before) const;
    // The sample the time ruler's context menu was opened at; -1 for none.
    void set_context_sample(int sample) { m_selected_time_bar = sample; }
    int get_context_sample() const { return m_selected_time_bar; }
    // Whether the master time bar can step to the next (previous) transition: the rule of the
    // two transition buttons and of the frame's actions.
    bool can_step_transition(bool forward) const;
    void update_transition_buttons();
    // Moves the master time bar to the next (previous) sample whose bus value is `bits`, binary
    // digits most significant first; an 'X' digit matches either level.
    bool find_bus_value(const QString& bits, bool forward);
    bool on_update_find_bus_value();
    bool on_update_find_next_bus_value();
    int get_find_bus_radix() const { return m_find_bus_radix; }
    const QString& get_find_bus_text() const { return m_bus_value_text; }

private:
    int trigger_sample() const;
    void store_zoom();
    int find_time_bar(int sample) const;
    void place_master(int sample);
    void store_time_bars(int center);
    void store_time_bars();
    bool ask_time_bar_position(int* relative, bool* make_master);
    void set_master_and_store(int sample);
    template <class VISIT> void visit_examined_channels(VISIT visit) const;
    int first_selected_bus() const;
    bool has_bus() const;
    void select_search_bus();
    void find_bus_value_again(bool forward);

    int m_find_bus_radix = 15;  // a bus display type; 15: none chosen yet
    bool m_find_bus_continue = false;

    // ---- waveforms, time ruler and time units (vokr_view_wave_paint.cpp, vokr_view_ruler_paint.cpp,
    //      vokr_view_time_units.cpp) ----
public:
    // The first sample the waveform column shows, and the x of a sample's left edge.
    int get_first_visible_sample() const;
    int get_sample_x(int sample) const;
    // A sample position as a sample number or a time; `relative` marks a distance (signed).
    void format_sample_value(QString* text, int value, bool relative, bool as_sample_number) const;
    // The labels of time bar `index`: its position (the master's from the trigger, any other's
    // from the master) and its segment.
    void get_time_bar_texts(int index, QString* text, QString* segment_text) const;
    bool is_using_time_units() const { return m_use_time_units; }
    double get_time_period() const { return m_time_period; }
    const QString& get_time_unit() const { return m_time_unit; }
    void set_time_units(bool use, double period, const QString& unit)
    {
        m_use_time_units = use, m_time_period = period, m_time_unit = unit;
    }

    // The samples one waveform cell draws and where.
    struct WAVE_SPAN;

private:
    // The visible samples and their scale: the same for every row of a paint, so measured once at
    // its start and kept until its end (`known`).
    struct SAMPLE_SCALE {
        bool known = false;
        int first = 0, end = 0, depth = 0;
        double pixels = 0.0;
        int all_valid = -1;  // whether every sample shown and the one before it is valid; -1 unknown
        uint64_t stamp = 0;  // the version of the log's samples; 0 without samples
    };
    SAMPLE_SCALE sample_scale() const;
    SAMPLE_SCALE m_paint_scale;
    WAVE_SPAN wave_span(const QRect& rect) const;
    void draw_wave_cell(int node, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_value_cell(int node, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    bool gather_members(int node, bool chart, QVector<int>* members) const;
    void draw_leaf_condition(int condition, const QRect& rect, QPainter* painter, bool enabled, bool selected,
                             bool power_up);
    void draw_group_condition(int node, int level, const QRect& rect, QPainter* painter, bool enabled, bool selected,
                              bool power_up);
    bool has_fixed_segments() const;
    bool has_logged_segments() const;
    bool is_one_segment_data() const;
    void draw_node_list_title(const QRect& rect, QPainter* painter);
    void draw_time_ruler(const QRect& rect, QPainter* painter);
    void draw_time_bar(int index, const QRect& ruler, int label_y, QPainter* painter);
    // The header cells of the value and waveform columns: tick strips, markers, boundary lines.
    // Each returns the part of its strip left between the labels (null without labels).
    QRect draw_time_header(int row, int column, const QRect& rect, QPainter* painter);
    QRect draw_tick_strip(const QRect& rect, QPainter* painter, int column, int header_row);
    QRect draw_logged_segment_ticks(const QRect& strip, QPainter* painter, int column, int first, int last,
                                    double pixels);
    // The Value column's title ("Segment" or "Value") between the labels, cut short where it does
    // not fit.
    void draw_value_title(int row, const QRect& between, QPainter* painter);
    void draw_markers(const QRect& area, QPainter* painter, int first, int last, double pixels);
    void draw_data_boundaries(const QRect& area, QPainter* painter, int first, int last, int depth);
    void draw_status_text(const QRect& rect, QPainter* painter);
    // ---- node commands, menu state and condition menus (vokr_view_commands.cpp, vokr_view_menus.cpp,
    //      vokr_view_conditions.cpp) ----
public:
    // Edit permission that also demands lock mode "Allow all changes".
    bool is_editable_unlocked(bool check_power_up) const;
    // Whether a click may toggle the node's data enable (`data_column`) or its trigger/storage
    // enable, given that it is now `enabled`.
    bool can_change_enable(int node, bool data_column, bool enabled) const;
    bool is_selected_signal(int node) const;
    bool is_selected_bus(int node) const;
    // The node, or every descendant of a bus row, is pre-synthesis / post-fitting.
    bool is_pre_synthesis_node(int node) const;
    bool is_post_fitting_node(int node) const;
    // Level types as the level selectors show them.
    bool is_basic_and_level(int level) const;
    bool is_basic_or_level(int level) const;
    bool is_comparison_level(int level) const;
    // The first Comparison level in [from, to) where the node is a comparison group member.
    bool find_comparison_level(int node, int* level, int from, int to) const;
    void update_trigger_condition_checks(bool all_groups);
    int get_current_level() const { return m_current_level; }
    void set_current_level(int level) { m_current_level = level; }
    int get_edit_node() const { return m_edit_node; }

public slots:
    bool on_update_node_tap_mode();

protected:
    // The comparison of a bus at the current level, as the dialog edits it.
    struct COMPARISON {
        KSM_DATA_TRIGGER_CONDITION operand1, operand2;
        int value1, value2;
    };
    // Asks the user for the comparison of `node` (a bus of `width` bits) in the modal "Compare"
    // dialog; false when cancelled.
    virtual bool ask_comparison(int node, int width, COMPARISON* comparison);
    // Shows why the selection cannot be grouped; the tests replace it.
    virtual void show_group_refusal(const QString& text);

private:
    bool is_bus_row(int node) const;
    bool is_bit_row(int node) const;
    bool data_tab_shown() const;
    bool selection_exists() const;
    void begin_repository_action();
    void end_repository_action();
    void begin_mixed_action();
    void for_each_selected(const std::function<void(int)>& visit);
    void set_selected_flag(void (VOKR_NODE::*enable)(bool), bool value);
    void set_selected_transitions(bool value);
    void finish_ungroup(bool changed);
    bool is_valid_comparison(const COMPARISON& c) const;
    bool can_edit_enables() const;
    bool any_selected_node(const std::function<bool(VOKR_NODE&)>& test) const;
    bool can_change_trigger_enable(bool enabled_makes_true) const;
    bool can_change_transition(bool enabled_makes_true) const;
    bool can_change_storage(bool enable) const;
    bool ungroup_allowed() const;
    bool tap_mode_selection(bool pre) const;
    void update_node_insertion_actions();
    QString common_bus_table(int* type) const;
    void add_format_table_entries(QMenu* menu, const QString& common);
    void check_common_format(int type);
    int level_type_of(const QString& text) const;
    bool level_text_ends_with(int level, const char* suffix) const;
    void disable_condition_actions();
    void add_mnemonic_entries(QMenu* menu);
    QString common_condition_table() const;
    void select_after_delete(int old);

    int m_current_level = 0;
    int m_edit_node = -1;
    QActionGroup* m_mnemonic_group = nullptr;  // the condition menu's mnemonic entries
    // ---- finding nodes (vokr_view_find.cpp, vokr_find_dlg.cpp) ----
public:
    // The find settings kept between openings of the find dialog, and where the last repeat
    // without the dialog stopped.
    struct FIND_SETTINGS {
        bool match_case = false;
        bool whole_word = false;
        bool regex = false;
        QString direction = "All";
        bool node_names = true;
        bool bus_names = true;
        QString text;
        size_t index = 0;
        size_t position = 0;
        bool found = false;
    };
    FIND_SETTINGS& find_settings() { return m_find; }
    // Whether the node's hierarchy is hidden, so that finding skips it.
    bool is_hidden_for_find(int node) const { return is_hidden_in_hierarchy(node); }

private:
    FIND_SETTINGS m_find;

    // ---- input: tooltips, mouse, keys, selection, drag and drop, time bars and zoom band
    //      (vokr_view_tooltips.cpp, vokr_view_mouse.cpp, vokr_view_keys.cpp, vokr_view_drag.cpp,
    //      vokr_view_band.cpp) ----
public:
    // What a press does where the mouse last moved; the cursor shown follows it.
    enum CURSOR_KIND {
        CURSOR_ARROW,
        CURSOR_IBEAM,
        CURSOR_SPLIT,
        CURSOR_SIZE,
        CURSOR_INSERT,
        CURSOR_FORBIDDEN,
        CURSOR_ZOOM_IN,
        CURSOR_ZOOM_OUT
    };
    CURSOR_KIND get_cursor_kind() const { return m_cursor_kind; }
    // The tooltip of the cell under a point; false when the point hits no cell.
    bool tooltip_text(const QPoint& point, QString* text) const;
    bool event(QEvent* event) override;

    void select_node(int node, bool value);
    int select_group(int node, bool value);
    int select_mouse_press(const QPoint& point);
    void exclude_plugin_bus_members();
    bool selected_buses_have_width(int width) const;
    bool toggle_node_expansion(int node, bool do_toggle);
    void change_selected_tap_mode(bool pre_synthesis);
    int get_selection_anchor() const { return m_selection_anchor; }

    // The sample under an x position (`rounding`: the nearer sample edge); -1 without samples.
    int get_sample_at(const QPoint& point, bool rounding) const;
    int find_time_bar_at(const QPoint& point) const;
    bool add_time_bar(int sample);
    void drag_time_bar(const QPoint& point, bool scrolling);
    bool drop_time_bar(const QPoint& point);
    void set_zoom_band_corner(const QPoint& point);
    void track_zoom_band(const QPoint& point);
    void finish_zoom_band(bool exact_only);

    QWidget* get_editor() const { return m_editor; }
    QWidget* get_comparison_editor() const { return m_comparison_editor; }
    // An in-place editor closes: the view forgets it.
    void editor_closed(QWidget* editor);
    int get_drop_row() const { return m_drop_row; }
    bool get_drop_before() const { return m_drop_before; }
    static constexpr const char* NODE_DRAG_FORMAT = "VOKR_NODE_CLIPBOARD_FORMAT";
    // What a drag of the selected rows carries: the node format only; a receiver reads the rows
    // through the drag's source view and its manager (vokr_view_node_drag.cpp).
    QMimeData* make_node_drag_data() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Whether a drag event carries this view's own node drag; the tests mark synthetic events.
    virtual bool is_own_drag(const QDropEvent* event) const;
    // Runs a node drag of the selection and returns the action that ended it.
    virtual Qt::DropAction exec_node_drag(Qt::DropActions actions);
    // Opens the menu of a column at a global position.
    virtual void exec_context_menu(QMenu* menu, const QPoint& global);

private:
    void set_cursor_kind(CURSOR_KIND kind);
    CURSOR_KIND hover_cursor(const QPoint& point, Qt::KeyboardModifiers modifiers);
    bool can_edit_value(int node, int level, bool check_grandparent) const;
    bool can_edit_level_title(int level) const;
    bool press_waveform(QMouseEvent* event, int row);
    bool press_node_cell(int node, int column, const QRect& cell, const QPoint& point);
    bool toggle_enable(int node, int column);
    bool press_level(QMouseEvent* event, int row, int column, const QRect& cell);
    void press_select(QMouseEvent* event, int row, int column);
    void after_empty_drag(const QPoint& point, int column, bool ctrl);
    void deselect_and_repaint();
    bool refuse_drop_at(int row, bool before) const;
    bool accepts_external_drag() const;
    QString node_tooltip(int node, int column, const QPoint& point) const;
    QString header_tooltip(int row, int column, const QPoint& point, const QRect& cell) const;
    QString ruler_tooltip(int row, const QPoint& point) const;
    QString condition_tooltip(int node, int level) const;
    QString master_value_tooltip(int node) const;
    QString mouse_value_tooltip(int node, const QPoint& point) const;
    void zoom_to_band(const QRect& band);

    CURSOR_KIND m_cursor_kind = CURSOR_ARROW;
    int m_selection_anchor = 0;
    int m_pressed_node = -1;
    QPoint m_press_point;
    int m_resize_column = -1;
    bool m_drag_all_time_bars = false;
    bool m_drag_started = false;
    int m_drag_start_node = -1;
    bool m_drag_moved = false;
    bool m_drop_shown = false;
    bool m_left_at_start = false;
    bool m_node_drag_running = false;
    bool m_band_active = false;
    // The tab an outside drag switched away from on entering; -1 when it switched none.
    int m_tab_before_drag = -1;
    // ---- export, list file and printing (vokr_view_export.cpp, vokr_view_list_file.cpp,
    //      vokr_view_print.cpp) ----
public:
    static constexpr int IMAGE_WIDTH_LIMIT = 32765;
    // Writes the grid as an image (format by suffix); false when cancelled or not written, with
    // the reason in `failure` when it was not written (left empty when the person cancelled).
    bool export_image(const QString& path, QString* failure = nullptr);
    // Writes the list file and, when it chose the name itself, opens it, or says where it was
    // written when nothing opens it; an empty path chooses the default name. False when it was
    // not written, with the reason in `failure`.
    bool show_list_view(const QString& path, QString* failure = nullptr);
    // Writes the list file of the current data log; false (with a notice, and the file and the
    // reason in the Messages window and in `failure`) when nothing was written.
    bool create_list_file(const QString& path, QString* failure = nullptr);
    // The list file's default name: the data session's name without ".lmx", "_", the instance.
    QString default_list_file_name() const;
    // The viewer that opens a list file when the suite has no editor; empty opens nothing.
    static void set_list_file_viewer(const QString& program);
    static QString list_file_viewer();

public slots:
    void on_print(QPrinter* printer);

protected:
    // Asks fit all (true) or maintain spacing; false when the dialog was closed.
    virtual bool ask_image_fit_all(bool* fit_all);

private:
    QImage render_image(int width, int height, bool fit);
    QString print_to_file(QPrinter* printer, const QString& target);
    int print_pages(QPrinter* printer);
    bool open_list_file(const QString& path);
    void delete_on_focused_canvas();
    // The samples of a printed page, first to end (exclusive) of the `per_page` each page holds,
    // `unit` page units apart on every page.
    struct PRINT_SAMPLES {
        int first, end, per_page, unit;
    };
    // The printed Name and Alias columns' widths in page units, each capped.
    std::pair<int, int> print_name_widths(int last_node) const;
    int print_sample_unit(int last_node, int per_page) const;
    void print_page(QPainter* painter, const std::vector<int>& nodes, int rows_per_page, int first_row,
                    const PRINT_SAMPLES& samples);
    // The header's waveform cell: the time ruler, or for a segmented capture the segment ruler,
    // above the time ruler where the view shows segment marks.
    void print_rulers(QPainter* painter, const QRect& cell, const PRINT_SAMPLES& samples);
    void print_ruler(QPainter* painter, const QRect& rect, const PRINT_SAMPLES& samples, bool segments);
    void print_wave(QPainter* painter, int node, const QRect& rect, const PRINT_SAMPLES& samples);

    // ---- fields ----
protected:
    // The scroll bars, zoom and time bars, open to the view's test fixtures.
    QScrollBar* m_vertical_bar = nullptr;
    QScrollBar* m_horizontal_bar = nullptr;
    VOKR_DOUBLE m_zoom_offset{0, 1};
    VOKR_DOUBLE m_zoom_level{1, 1};
    int m_time_bars[MAX_TIME_BARS] = {};
    int m_timebar_count = 0;
    // The bars this view last stored for each instance: read back unchanged, they are kept
    // whatever the depth of the data shown since (a capture of a smaller depth keeps them).
    QHash<const void*, QVector<int>> m_stored_time_bars;
    // The sample a step of the master from `master` lands on, found without moving anything, in
    // the active log once it holds samples and is no longer acquiring.
    int find_transition(int master, bool forward) const;
    // The sample find_bus_value() moves the master to, found without moving anything: the nearest
    // captured one after (before) the master whose bus value is `bits`, or the master itself when
    // the search starts afresh; NOT_FOUND when there is none, NO_BUS_DATA when the bus has no
    // samples to search.
    enum { NOT_FOUND = -1, NO_BUS_DATA = -2 };
    int search_bus_value(const QString& bits, bool forward) const;

private:
    QWidget* m_editor = nullptr;
    QWidget* m_comparison_editor = nullptr;
    QRect m_zoom_band_rect;
    int m_dragged_time_bar = -1;
    int m_selected_time_bar = -1;
    bool m_use_time_units = false;
    double m_time_period = 100.0;
    QString m_time_unit = "ns";
    bool m_incremental_route_off = false;
    std::array<int, STORED_COLUMN_COUNT> m_column_width;
    mutable ROW_CACHE m_rows;
    // The planes a transition step examines, the log's valid plane and depth (null and 0 without
    // samples), worked out once for the versions of the node list, the signal set and the log's
    // samples they were read from (their stamps).
    struct EXAMINED_PLANES {
        uint64_t list_stamp = 0, set_stamp = 0, samples_stamp = 0;
        QVector<const uint64_t*> planes;
        const uint64_t* valid = nullptr;
        int depth = 0;
    };
    const EXAMINED_PLANES& examined_planes() const;
    mutable EXAMINED_PLANES m_examined;
    // The bus Find Bus Value searches: each member's plane, most significant first, and whether
    // the member is inverted (none when a member has no samples), worked out once for the bus row
    // and the stamps of the node list, the signal set and the log's samples they were read from.
    struct BUS_PLANES {
        uint64_t list_stamp = 0, set_stamp = 0, samples_stamp = 0;
        int bus = -1;
        bool searchable = false;  // the row is a bus and every member has samples
        QVector<const uint64_t*> planes;
        QVector<bool> inverted;
    };
    const BUS_PLANES& bus_planes() const;
    mutable BUS_PLANES m_bus_planes;
    bool m_column_scroll = false;
    VOKR_VIEW_MOLQ_HANDLER m_notify_target{nullptr};
    QComboBox* m_lock_mode_combo = nullptr;
    QToolButton* m_previous_transition_button = nullptr;
    QToolButton* m_next_transition_button = nullptr;
    QComboBox* m_level_combos[LEVEL_COMBO_COUNT] = {};
    QRubberBand* m_rubber_band = nullptr;
    // The last bus-value search: node and member count.
    int m_bus_value_node = -1;
    int m_bus_value_members = -1;
    QString m_bus_value_text;
    int m_bus_value_radix = 15;  // the radix m_bus_value_text was typed in
    VOKR_FRAME_WND* m_frame_wnd;
    VOKR_TX_MANAGER* m_tx_manager;  // null once the manager is gone
    QMap<int, QMenu*> m_context_menus;
    QList<ACTION_ENTRY> m_action_table;
    bool m_actions_connected = false;
    bool m_menu_open = false;  // one of the view's context menus is open: it runs the view's actions
    bool m_column_width_pending = true;
    bool m_resized_by_undo = false;
    bool m_rebuilding_tabs = false;
    bool name_focus_pending = false;
    int m_trigger_condition_action_count = 0;
    // The setup-mode state the last update saw; a mode change deselects the nodes. Kept per
    // view, so that one window's tab change never decides another window's selection.
    int m_last_setup_mode = -1;
};

// Inserts `separator` into a value text every `n` digits from the right, past its radix letter.
void vokr_add_separators(QString* text, const QString& separator, int n);
// The text on one line, as the views, prints and list files show a name: each control character (a
// line end above all) written as "\xHH".
QString vokr_one_line(const QString& text);
// Whether the text's bounding rectangle in the painter is no wider than the rectangle.
bool vokr_text_fits(QPainter* painter, const QRect& rect, int flags, const QString& text);
// The text's bounding rectangle in the painter's font, as QFontMetrics::boundingRect gives it.
QRect vokr_text_bounds(QPainter* painter, const QString& text);
// The text elided to `width` in the painter's font, as QFontMetrics::elidedText gives it.
QString vokr_elided_text(QPainter* painter, const QString& text, Qt::TextElideMode mode, int width);
// Draws the text as QPainter::drawText(rect, flags, text) does, where it stands on one line
// inside the rectangle from the baseline it found there before; with `background`, as it does in
// opaque mode over that background, leaving the painter's own background and mode as they were.
void vokr_draw_line_text(QPainter* painter, const QRect& rect, int flags, const QString& text,
                         const QBrush* background = nullptr);
// Draws the text only when it fits the rectangle's width; whether it did.
bool vokr_draw_text_if_fits(QPainter* painter, const QRect& rect, int flags, const QString& text);
// Draws the text so that it never runs past the rectangle: whole when it fits, else wrapped at
// its spaces when the lines fit, else each line shortened at its end with an ellipsis.
void vokr_draw_fitted_text(QPainter* painter, const QRect& rect, int flags, const QString& text);
// Sets the painter's font unless it has that font already: a font set anew is resolved anew, and
// the next text looks its engine up again.
void vokr_set_font(QPainter* painter, const QFont& font);

// Connects `signal` of the sender to `slot` of the receiver (both as SIGNAL()/SLOT() make them)
// when both exist; whether a connection was made.
bool vokr_connect_slot(QObject* sender, const char* signal, QObject* receiver, const char* slot);

// The process-wide grow-only scratch buffers of fetched samples and their validity flags: at
// least `size` entries, zero-filled only when they grew, so a reader must use only the entries
// it filled itself. GUI thread only.
bool* VOKR_WAVE(int size);
bool* VOKR_WAVE_MASK(int size);

// The node list and waveform view of the current instance.
#pragma once

#include "vokr_number.h"
#include "vokr_view_molq_handler.h"

#include <QRect>
#include <QString>
#include <QVector>
#include <QWidget>

#include <array>

class KSM_TX_SIGNAL_NODES;
class QPainter;
class QScrollBar;
class VOKR_TX_MANAGER;

class VOKR_VIEW : public QWidget {
    Q_OBJECT
public:
    VOKR_VIEW(QWidget* parent, VOKR_TX_MANAGER* manager);

    void resizeEvent(QResizeEvent* event) override;
    bool is_resized() const { return m_resized; }
    void set_resized(bool resized) { m_resized = resized; }
    // Reacts to a change of the project's assignments (the view's notification target calls it).
    virtual void on_settings_changed();

private:
    VOKR_TX_MANAGER* m_tx_manager;
    bool m_resized = false;
    VOKR_VIEW_MOLQ_HANDLER m_molq_handler{this};

    // ---- scroll bars and zoom, made by the constructor ----
protected:
    QScrollBar* m_vertical_bar = nullptr;
    QScrollBar* m_horizontal_bar = nullptr;
    VOKR_DOUBLE m_zoom_offset{0, 1};
    VOKR_DOUBLE m_zoom_level{1, 1};

    // ---- grid model and geometry (vokr_view_geometry.cpp) ----
public:
    static constexpr int COLUMN_COUNT = 24;
    static constexpr int STORED_COLUMN_COUNT = 23;
    static constexpr int WAVEFORM_COLUMN = 23;
    static constexpr int VALUE_COLUMN = 22;
    static constexpr int FIRST_LEVEL_COLUMN = 12;
    static constexpr int LAST_LEVEL_COLUMN = 21;
    static constexpr int FIRST_NODE_ROW = 3;
    static constexpr int MAX_TIME_BARS = 100;
    static constexpr int SAMPLE_SPAN = 131072;
    static int row_to_node(int row) { return row - FIRST_NODE_ROW; }
    static int node_to_row(int node) { return node + FIRST_NODE_ROW; }
    static const std::array<int, STORED_COLUMN_COUNT>& default_column_widths();

    // The node list the grid shows; null without an instance.
    KSM_TX_SIGNAL_NODES* current_node_table() const;
    int get_node_count() const;
    bool is_group(int node) const;
    bool is_group_member(int node) const;

    // Reads the stored widths from the session, falling back to the defaults when they are
    // absent or damaged; writes them back whole.
    void load_column_widths();
    void store_column_widths();
    const std::array<int, STORED_COLUMN_COUNT>& column_widths() const { return m_column_width; }

    int get_column_width(int column) const;
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

protected:
    bool name_focus_pending = false;
    bool m_column_scroll = false;
    int m_time_bars[MAX_TIME_BARS] = {};
    int m_timebar_count = 0;
    QRect m_zoom_band_rect;

private:
    // Heights of the node rows and where each shown one starts, measured once per change.
    struct ROW_CACHE {
        bool valid = false;
        const KSM_TX_SIGNAL_NODES* list = nullptr;
        int count = -1, spacing = -1, level = 0;
        bool data_tab = false, advanced = false;
        QVector<int> height;       // per node
        QVector<int> shown;        // node indices of the shown rows, in order
        QVector<int> shown_top;    // per shown row: sum of the heights of the shown rows before it
        QVector<int> shown_before; // per node: shown rows before it
    };
    const ROW_CACHE& rows() const;
    int measure_node_row(int node, bool data_tab, bool advanced, int level) const;
    bool is_hidden_in_hierarchy(int node) const;
    void column_lefts(std::array<int, COLUMN_COUNT + 1>* left) const;
    int header_height() const;
    int vertical_value() const;
    int horizontal_value() const;
    bool is_data_tab() const;
    double span_of_zoom() const;
    int ruler_step_for(int width, double pixels_per_sample) const;
    void remove_time_bar(int index);
    void place_buttons_after_last_bar();

    std::array<int, STORED_COLUMN_COUNT> m_column_width;
    mutable ROW_CACHE m_rows;

    // ---- position data (vokr_view_position.cpp) ----
public:
    // Stores the scroll positions of the shown tab and, on the Data tab, the zoom.
    int save_position_data();
    void save_timebars();
    // Reads the zoom (Data tab only) and prepares both scroll bars for the next relayout.
    bool load_position_data();
    // Reads the time bars, dropping positions outside the data.
    bool load_timebars();
    const int* time_bars() const { return m_time_bars; }
    int time_bar_count() const { return m_timebar_count; }
    const VOKR_DOUBLE& zoom_level() const { return m_zoom_level; }
    const VOKR_DOUBLE& zoom_offset() const { return m_zoom_offset; }

private:
    VOKR_DOUBLE read_fraction(const char* numerator, const char* denominator, const VOKR_DOUBLE& fallback) const;
    void prepare_scroll_bar(QScrollBar* bar, int stored) const;

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
    };
    // The cell's frame and selection fill, painted before its contents.
    void draw_cell_background(int row, int column, bool selected, bool sequential, const QRect& rect,
                              QPainter* painter);
    // The contents of one cell (already shrunk inside its frame); false for an unknown column.
    bool draw_item(int row, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    int get_visible_node_rows() const { return visible_node_rows; }

protected:
    void paintEvent(QPaintEvent* event) override;
    int current_node = -1;
    int visible_node_rows = 0;
    int m_drop_row = -1;       // node row of the drop indicator; the node count: after the last
    bool m_drop_before = false;  // the indicator stands above m_drop_row

private:
    PAINT_FLAGS paint_flags() const;
    bool is_editable() const;
    void paint_power_up_band(QPainter* painter, const QRect& area, const QBrush& brush);
    void paint_empty_grid_text(QPainter* painter, const QRect& rect);
    QRect header_rect(int row, int first_column, int last_column) const;
    void draw_header_background(int row, int column, bool sequential, const QRect& rect, QPainter* painter);
    void draw_title(int column, const QRect& rect, QPainter* painter);
    void draw_header(int row, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_header_text(QPainter* painter, const QRect& rect, const QString& text, int flags = 132);
    void draw_level_name(int level, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_level_number(int level, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_node_cell(int node, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_type_icon(int node, const QRect& rect, QPainter* painter);
    void draw_name_tree(int node, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_tree_connectors(int node, const QRect& rect, QPainter* painter);
    void draw_drop_marker(int node, const QRect& rect, QPainter* painter);
    void draw_enable_cell(int node, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_condition_cell(int node, int level, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags);
    void draw_check_box(QPainter* painter, const QRect& rect, bool checked, bool enabled, bool power_up,
                        bool selected);
    bool has_invalid_member(int node) const;
};

// Inserts `separator` into a value text every `n` digits from the right, past its radix letter.
void vokr_add_separators(QString* text, const QString& separator, int n);
// Draws the text only when it fits the rectangle's width.
void vokr_draw_text_if_fits(QPainter* painter, const QRect& rect, int flags, const QString& text);

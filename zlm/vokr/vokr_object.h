// A box of an advanced-trigger diagram: a design node, a bus, a constant or variable value, an
// operator, a counter, an edge-and-level detector, a custom HDL block or the level's result.
// The boxes of one trigger form trees: a box's children are the boxes wired into its input
// ports, top port first, and its parent is the box its output feeds. A box never owns its
// children; the trigger object's flat list owns every box. Each box keeps its parameters in a
// property block with a power-up and a normal bank, prints its sub-tree as the expression text
// the suite compiles (checking the diagram on the way), and persists through the repository's
// tree-object operations. Each section names the source file that implements it.
#pragma once

#include "vokr_property.h"
#include "vokr_tree_object.h"

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

enum PIRQ_ICON_ENUM : int;

class KSM_TX_SIGNAL_NODES;
class QColor;
class QFontMetrics;
class QPainter;
class VOKR_OBJECT_WIDGET;
class VOKR_RENAME_EDIT;
class VOKR_TRIGGER_OBJECT;

// The `type` property.
enum VOKR_OBJECT_TYPE : int {
    VOKR_TYPE_UNKNOWN = 0,
    VOKR_TYPE_CIRN = 1,  // condition for incrementally routed nodes
    VOKR_TYPE_RESULT = 2,
    VOKR_TYPE_ELD = 3,  // edge and level detector
    VOKR_TYPE_NODE = 4,
    VOKR_TYPE_BUS = 5,
    VOKR_TYPE_BIT_VALUE = 6,
    VOKR_TYPE_BUS_VALUE = 7,
    VOKR_TYPE_COMPARISON = 8,
    VOKR_TYPE_BITWISE = 9,
    VOKR_TYPE_LOGICAL = 10,
    VOKR_TYPE_REDUCTION = 11,
    VOKR_TYPE_SHIFT = 12,
    VOKR_TYPE_COUNTER = 13,
    VOKR_TYPE_CUSTOM_HDL = 14
};

// The draw kind, 0 to 67, a finer kind computed from the type and the operator properties. A
// group's first kind is named; the others follow by the deciding property's value.
enum VOKR_DRAW_KIND : int {
    VOKR_KIND_UNKNOWN = 0,
    VOKR_KIND_CIRN = 1,
    VOKR_KIND_RESULT = 2,
    VOKR_KIND_ELD = 3,
    VOKR_KIND_NODE = 4,
    VOKR_KIND_BUS = 5,
    VOKR_KIND_CONSTANT_HIGH = 6,  // 6, 7 constant bits; 8, 9 variable bits (high, low)
    VOKR_KIND_VARIABLE_HIGH = 8,
    VOKR_KIND_CONSTANT_BUS_VALUE = 10,
    VOKR_KIND_VARIABLE_BUS_VALUE = 11,
    VOKR_KIND_CONSTANT_UNSIGNED_COMPARISON = 12,  // + comparison, in four groups of eight
    VOKR_KIND_VARIABLE_UNSIGNED_COMPARISON = 20,
    VOKR_KIND_CONSTANT_SIGNED_COMPARISON = 28,
    VOKR_KIND_VARIABLE_SIGNED_COMPARISON = 36,
    VOKR_KIND_BITWISE = 44,             // + bitwise; 44 is the complement
    VOKR_KIND_LOGICAL = 48,             // + logical; 48 is the not
    VOKR_KIND_REDUCTION = 52,           // + reduction
    VOKR_KIND_SHIFT = 55,               // + 2 * shift_type, + 1 for a right shift
    VOKR_KIND_REGISTERED_COUNTER = 61,  // + counter_type
    VOKR_KIND_DYNAMIC_COUNTER = 64,     // + counter_type
    VOKR_KIND_CUSTOM_HDL = 67,
    VOKR_DRAW_KIND_COUNT = 68
};

// What a port carries.
enum VOKR_SIGNAL_KIND : int { VOKR_SIGNAL_BIT = 0, VOKR_SIGNAL_BUS = 1, VOKR_SIGNAL_NONE = 2 };

// The maximum number of inputs of a box that takes any number.
constexpr int VOKR_UNBOUNDED_INPUTS = 2147483647;

// Widths that cannot be worked out: results, not failures.
constexpr int VOKR_WIDTH_UNKNOWN = -1;
constexpr int VOKR_WIDTH_MIXED = -2;  // inputs of different widths

// One row of the draw-kind tables.
struct VOKR_KIND_ROW {
    const char* symbol;   // drawn inside the box
    const char* name;     // the long name of tooltips and properties
    const char* keyword;  // the expression keyword
    int max_inputs;       // VOKR_UNBOUNDED_INPUTS for any number
    VOKR_SIGNAL_KIND input;
    VOKR_SIGNAL_KIND output;
};
extern const VOKR_KIND_ROW vokr_kind_table[VOKR_DRAW_KIND_COUNT];
inline const char* vokr_kind_symbol(int kind) { return vokr_kind_table[kind].symbol; }
inline const char* vokr_kind_name(int kind) { return vokr_kind_table[kind].name; }
inline const char* vokr_kind_keyword(int kind) { return vokr_kind_table[kind].keyword; }
inline int vokr_kind_max_inputs(int kind) { return vokr_kind_table[kind].max_inputs; }
inline VOKR_SIGNAL_KIND vokr_kind_input(int kind) { return vokr_kind_table[kind].input; }
inline VOKR_SIGNAL_KIND vokr_kind_output(int kind) { return vokr_kind_table[kind].output; }
// The icon a box of each draw kind is painted with (vokr_object_paint.cpp).
extern const PIRQ_ICON_ENUM vokr_kind_icon[VOKR_DRAW_KIND_COUNT];

// The editor palette's entries, in palette order.
constexpr int VOKR_LIBRARY_ITEM_COUNT = 27;
extern const char* const vokr_library_item_names[VOKR_LIBRARY_ITEM_COUNT];

// Validation codes of the expression printer; 0 means no problem. Code 1 is the canvas's own
// (the whole expression must be one bit) and code 14 has no check.
enum VOKR_ELEMENT_ERROR : uint32_t {
    VOKR_ELEMENT_OK = 0,
    VOKR_ELEMENT_NOT_SINGLE_BIT = 1,
    VOKR_ELEMENT_WIDTH_UNKNOWN = 2,
    VOKR_ELEMENT_WIDTHS_DIFFER = 3,
    VOKR_ELEMENT_TOO_FEW_INPUTS = 4,
    VOKR_ELEMENT_WRONG_INPUT_COUNT = 5,
    VOKR_ELEMENT_NODE_NAME_MISSING = 6,
    VOKR_ELEMENT_VALUE_OVER_64_BITS = 7,
    VOKR_ELEMENT_VALUE_TOO_WIDE = 8,
    VOKR_ELEMENT_NODE_NAME_INVALID = 9,
    VOKR_ELEMENT_PATTERN_CHARACTERS = 10,
    VOKR_ELEMENT_PATTERN_TOO_SHORT = 11,
    VOKR_ELEMENT_PATTERN_TOO_LONG = 12,
    VOKR_ELEMENT_COUNTER_NOT_FIRST = 13,
    VOKR_ELEMENT_VALUE_NEGATIVE = 14,
    VOKR_ELEMENT_MNEMONIC_TABLE = 15,
    VOKR_ELEMENT_MNEMONIC_SYMBOL = 16,
    VOKR_ELEMENT_BUS_VALUE = 17,
    VOKR_ELEMENT_SHIFT_WIDTH = 18,
    VOKR_ELEMENT_BUS_DELAY = 19,
    VOKR_ELEMENT_COUNTER_VALUE = 20,
    VOKR_ELEMENT_MAX_COUNTER_VALUE = 21,
    VOKR_ELEMENT_COUNTER_OVER_MAX = 22,
    VOKR_ELEMENT_BITSTREAM = 23,
    VOKR_ELEMENT_MODULE_NAME = 24,
    VOKR_ELEMENT_ERROR_COUNT = 25
};
// The text the canvas shows for a code; empty for 0 and unknown codes.
const char* vokr_element_error_text(uint32_t code);

// The vertical extent of a sub-tree by depth: entry 0 is the box itself, entry d the smallest
// top and the largest bottom of the boxes d levels below it that expanded boxes show.
struct VOKR_CONTOUR {
    std::vector<int32_t> m_top_array;
    std::vector<int32_t> m_bottom_array;

    // Per depth the smaller top and the larger bottom; depths only `other` has are appended.
    void merge(const VOKR_CONTOUR& other);
    void shift(int dy);
};

class VOKR_OBJECT : public VOKR_TREE_OBJECT {
    // ---- construction and links (vokr_object.cpp) ----
public:
    // A box shown by `context` (a canvas, a bank marker or null) at `position`, held in the
    // flat list of `trigger` (null for a box of no trigger, such as a clipboard copy).
    VOKR_OBJECT(VOKR_OBJECT_WIDGET* context, const QPoint& position, VOKR_TRIGGER_OBJECT* trigger);
    // Detaches the box from its parent and leaves its children alive and parentless.
    ~VOKR_OBJECT() override;

    VOKR_OBJECT* get_parent() const { return m_parent; }
    const QList<VOKR_OBJECT*>& get_children() const { return m_children; }
    VOKR_OBJECT* get_root();
    VOKR_TRIGGER_OBJECT* get_trigger() const { return m_trigger; }
    void set_trigger(VOKR_TRIGGER_OBJECT* trigger) { m_trigger = trigger; }
    VOKR_PROPERTY& get_property() { return m_property; }
    const VOKR_PROPERTY& get_property() const { return m_property; }

    // Makes `child` the last child. With `place`, first_port_empty tells whether a lone child
    // sits below the box's centre, and the children are re-sorted top to bottom.
    void attach(VOKR_OBJECT* child, bool place);
    // Removes `child`; the remaining second of two children keeps the second port. With null,
    // detaches this box from its own parent.
    void detach(VOKR_OBJECT* child);
    void set_first_port_empty(bool empty);

    // ---- view context and banks (vokr_object.cpp) ----
public:
    // View contexts that force a bank while boxes are handled outside a canvas.
    static VOKR_OBJECT_WIDGET* power_up_view_marker();
    static VOKR_OBJECT_WIDGET* normal_view_marker();
    VOKR_OBJECT_WIDGET* get_context() const { return m_context; }
    void set_context(VOKR_OBJECT_WIDGET* context) { m_context = context; }
    // The canvas that shows the box; null for no context or a marker.
    VOKR_OBJECT_WIDGET* get_canvas() const;
    // Whether reads and writes through the current bank reach the power-up bank: by the marker,
    // or by the canvas manager's current instance.
    bool is_power_up_view() const;

    // ---- kinds and properties (vokr_object.cpp, vokr_object_tables.cpp) ----
public:
    int get_type() const { return m_property[VOKR_INT_TYPE]; }
    int get_draw_kind() const;
    void set_type(int type);
    void set_name(const QString& name);
    // Palette entry `index` (0 to 26) or name: the type and the entry's operator properties,
    // in the current bank; anything else changes nothing.
    void set_library_item(int index);
    void set_type_by_name(const QString& name);
    bool is_used_int(int id) const { return m_property.is_used_int(id); }
    bool is_used_string(int id) const { return m_property.is_used_string(id); }
    // The display and persisted text of integer property `id`: empty and false when unset,
    // empty and true when blank, else the word or the decimal value.
    bool get_int_property_text(int id, QString* text, int bank) const;

    // ---- ports and widths (vokr_object.cpp) ----
public:
    // A box's input width: the sum of its children's output widths for a bus or detector, the
    // common width of its operands otherwise, or VOKR_WIDTH_UNKNOWN / VOKR_WIDTH_MIXED.
    int get_input_width() const;
    // A box's output width; a value box takes the width its surroundings give it only with
    // `follow_parent`.
    int get_output_width(bool follow_parent) const;
    // Whether `child` may sit in this box's inputs; with null, whether this box may sit in its
    // parent's (a top box may).
    bool can_connect(const VOKR_OBJECT* child) const;
    bool are_inputs_connectable() const;

    // ---- geometry (vokr_object_geometry.cpp) ----
    // Integer diagram units; the canvas scales them by its zoom. Rectangles hold both corners.
public:
    static constexpr int WIDTH = 100;
    int get_top() const { return m_property[VOKR_INT_TOP]; }
    int get_left() const { return m_property[VOKR_INT_LEFT]; }
    // 20 for a result, value, or a node or bus without a delay text; 33 for a node or bus with
    // one; 100 for every other box.
    int get_height() const;
    int get_bottom() const { return get_top() + get_height(); }
    QPoint get_top_left() const { return QPoint(get_left(), get_top()); }
    QRect get_rect() const;
    // Whether the box's kind takes exactly two inputs, at ports 1 and 3.
    bool has_two_inputs() const;
    // Input port `port` (1 top, 2 middle, 3 bottom) on the left edge.
    QPoint get_tail_point(int port) const;
    // Where the output wire starts: the middle of the right edge.
    QPoint get_output_point() const;
    // The area over the output stub that starts a connection drag.
    QRect get_output_rect() const;
    // The expand/collapse box; empty for a box without children.
    QRect get_expand_rect() const;
    // Where the label goes.
    QRect get_text_rect() const;
    // A label as it fits `width` pixels: whole, else with its index range cut short and its
    // start elided.
    static QString fitted_label(const QFontMetrics& metrics, const QString& text, int width);
    // The bus name of a bus box, the name of any other, cut after the last hierarchy separator;
    // with `elide`, the cut name follows "...".
    QString get_display_name(bool elide) const;
    void set_position(int x, int y);
    // Orders the children by their tops, keeping the order of equal tops.
    void sort_children();

    // ---- editor state ----
public:
    int get_drag_offset_x() const { return m_drag_offset_x; }
    int get_drag_offset_y() const { return m_drag_offset_y; }
    void set_drag_offset(int x, int y)
    {
        m_drag_offset_x = x;
        m_drag_offset_y = y;
    }
    bool is_dragging() const { return m_dragging; }
    void set_dragging(bool dragging) { m_dragging = dragging; }
    bool get_saved_selection() const { return m_saved_selection; }
    void set_saved_selection(bool selected) { m_saved_selection = selected; }

    // The three texts of a condition for incrementally routed nodes: the power-up and the
    // normal node pattern, and the list of routed nodes written between braces.
    const QString& get_power_up_pattern() const { return m_power_up_pattern; }
    const QString& get_pattern() const { return m_pattern; }
    const QString& get_node_list() const { return m_node_list; }
    void set_power_up_pattern(const QString& pattern) { m_power_up_pattern = pattern; }
    void set_pattern(const QString& pattern) { m_pattern = pattern; }
    void set_node_list(const QString& list) { m_node_list = list; }

    // ---- hit tests and visibility (vokr_object_geometry.cpp) ----
public:
    // Whether `point` falls on the box, its output port or, for a box that shows its inputs,
    // the areas left of its input ports; never for a hidden box.
    bool hit_test(const QPoint& point) const;
    // Whether a collapsed ancestor hides the box. While the canvas drags, boxes that move
    // with the dragged ones and those that stay are judged apart.
    bool is_hidden() const;

    // ---- selection and layout (vokr_object_layout.cpp) ----
public:
    // Fills the empty `contour` with the extent of the box's visible sub-tree.
    void get_contour(VOKR_CONTOUR* contour) const;
    // Orders boxes top to bottom by their vertical centres.
    static bool less_by_vertical_centre(const VOKR_OBJECT* a, const VOKR_OBJECT* b);
    void set_top(int y);
    // Moves the box and its sub-tree by `offset`.
    void move(const QPoint& offset);
    void move_subtree_down(int dy);
    void move_subtree_up(int dy);
    // Moves the children from the last back to `child` down by `dy` with their sub-trees.
    void push_siblings_down(VOKR_OBJECT* child, int dy);
    // Remembers where in the box the drag took it and marks the sub-tree as dragged.
    void start_drag(const QPoint& point);
    void expand(bool expanded);
    bool is_expanded() const { return m_property[VOKR_INT_EXPANDED] == 1; }
    // Expands every ancestor.
    void ensure_visible();
    // Lays the sub-tree out leftwards from the box: the children in one column 130 to the left,
    // centred on the port they feed, the sub-trees pushed apart where they overlap.
    void arrange();
    // Lays the sub-tree out from the leaves: leaves stacked in one column at x = 0 from `y`
    // (which moves past them), each operator one step right of its widest input.
    void arrange_children(int& y);

private:
    void mark_dragging();
    void remove_overlaps();

    // ---- selection and editing (vokr_object_edit.cpp) ----
public:
    bool is_selected() const { return m_property[VOKR_INT_SELECTED] == 1; }
    // Sets `selected` as a rubber band does: with `toggle` it inverts the saved selection over
    // the band (`value`) and restores it elsewhere; with `add_only` it only ever selects.
    void select(bool value, bool add_only, bool toggle);
    // Selects every box below this one.
    void select_all();
    bool has_selected_expanded_child() const;
    // Hands the children to the parent (last first, so they end up reversed at its end); a
    // top box keeps them.
    void promote_children();
    // Each selected child changes places with an unselected one before it (after it).
    void make_selected_earlier();
    void make_selected_later();
    // Copies the top boxes of `source` with their sub-trees, shown by `context` and in no
    // trigger, into `output` (every box made, each before its descendants). With `parent`,
    // each copy is wired into it and the canvas puts adapters where the signals differ.
    static void clone(VOKR_OBJECT_WIDGET* context, QList<VOKR_OBJECT*>* output, const QList<VOKR_OBJECT*>& source,
                      VOKR_OBJECT* parent);
    // Takes the properties and texts of `source`, becomes a child of `parent` (when given) and
    // makes copies of the source's children below itself, appending them to `output`.
    void copy_from(const VOKR_OBJECT* source, QList<VOKR_OBJECT*>* output, VOKR_OBJECT* parent);
    // Opens an editor of the alias over the label on `canvas`; an open one is reused.
    VOKR_RENAME_EDIT* start_rename(VOKR_OBJECT_WIDGET* canvas);
    // Stores the open editor's text as the alias and closes the editor; false when none is open.
    bool end_rename();
    // Closes the open editor without keeping its text.
    void close_rename_edit();
    // The open rename editor; null when none is open.
    VOKR_RENAME_EDIT* get_rename_edit() const;
    // The box's short text in a text form of the diagram: its alias, name or value, or its
    // symbol, with its delays.
    QString get_summary_text();
    // `text` + "@" data delay + "#" pipeline length, each where the box has one.
    QString append_delays(const QString& text) const;
    // What the canvas shows over the box: chosen by the canvas's cursor (null: the box's
    // description).
    QString get_tooltip(const VOKR_OBJECT_WIDGET* canvas);

private:
    QPointer<VOKR_RENAME_EDIT> m_rename_edit;

    // ---- parameter texts (vokr_object_texts.cpp) ----
    // Each but the last returns a text of its own that the next call overwrites.
public:
    // The data delay; with `inherit`, a node in a bus without one takes the bus's. Empty for 0,
    // unset, blank or not applicable.
    const QString& get_data_delay(bool inherit) const;
    const QString& get_pipeline() const;
    // The counter value limited to 1..max; a problem (codes 20 to 22) is stored into `code`
    // and `object` when `code` is given.
    const QString& get_counter_value(uint32_t* code, VOKR_OBJECT** object);
    // The bits that max_counter_value needs.
    const QString& get_counter_width() const;
    const QString& get_counter_type() const;
    const QString& get_counter_hold() const;
    const QString& get_shift_type() const;
    const QString& get_shift_direction() const;
    // The distance, at most the input width; "0" for 0 or less.
    const QString& get_shift_distance() const;
    bool get_string_property_text(int id, QString* text, int bank) const;

    // ---- expression (vokr_object_equation.cpp) ----
public:
    // Appends the expression of the box's sub-tree. With `error` given (full form) it writes
    // names, operators, values and parameters and records the last problem met, with its box,
    // into `error` and `error_object`; without (short form) it writes only the structure, for
    // ordering operands. `mnemonics` resolves symbolic values and `node_set` checks node
    // names (both may be null); `condition` is the advanced condition's number (1 for the
    // first); `power_up` picks the power-up texts of a condition for routed nodes.
    void get_element_equation(QString* text, KSM_DATA_MNEMONICS* mnemonics, KSM_TX_SIGNAL_NODES* node_set,
                              uint32_t* error, VOKR_OBJECT** error_object, int condition, bool power_up);
    // The first min(max, count) children ordered by their short texts, then by their names.
    void get_sorted_children(QList<VOKR_OBJECT*>* list, int max);
    static bool less_by_equation(VOKR_OBJECT* a, VOKR_OBJECT* b);
    // Swaps the less-than and greater-than kinds of a comparison group; others map to themselves.
    static int mirror_comparison_kind(int kind);
    // The name with a backslash before every quote and backslash.
    QString get_quoted_name() const;
    // A text as the expression writes it between quotes: a backslash before every quote and
    // backslash.
    static QString quote(const QString& text);
    // A bus value's text: for display (width below 0) with its radix mark; for the expression,
    // resolved, checked (codes 7, 8, 15 to 17) and written in decimal at `width` bits; empty when
    // it has no value or fails.
    QString get_bus_value(int width, KSM_DATA_MNEMONICS* mnemonics, uint32_t* error, VOKR_OBJECT** error_object);
    // Value `v` shifted as a box of width `w`, shift type `t`, direction `d`, distance `s`.
    static uint64_t shift_value(int64_t v, int w, int t, int d, int s);

private:
    struct PRINT;
    struct OPERAND;
    void print(PRINT& p);
    void print_body(PRINT& p, int type, int kind, VOKR_OBJECT* first, bool opened, const QString& pipeline);
    std::vector<OPERAND> sorted_operands(int max);
    void print_operands(PRINT& p, const std::vector<OPERAND>& operands, const char* separator);
    void print_comparison(PRINT& p, int kind);
    void print_detector(PRINT& p, VOKR_OBJECT* first);
    void print_pattern(PRINT& p);
    void print_bus(PRINT& p);
    void print_node(PRINT& p);
    void print_shift(PRINT& p, VOKR_OBJECT* first);
    void print_counter(PRINT& p, VOKR_OBJECT* first);
    void print_custom_hdl(PRINT& p, VOKR_OBJECT* first, const QString& pipeline);
    bool fold_shifted_value(QString* text, VOKR_OBJECT* first);
    bool feeds_signed_comparison() const;
    bool is_readable_value(const QString& value, int format) const;
    QString write_value(const QString& value, int format, int width, uint32_t* error, VOKR_OBJECT** error_object);
    void report(uint32_t* error, VOKR_OBJECT** error_object, uint32_t code);

    // ---- text form shown over the diagram (vokr_object_display.cpp) ----
public:
    // Appends the readable text of the sub-tree for one pass of the canvas's expression line:
    // pass 1 writes the selected boxes' characters and pass 0 the others', each pass blanks
    // where the other writes, so the two overlay. Operators are parenthesised when their
    // precedence is below `outer` (0: never).
    void get_element_display_text(QString* text, bool pass, int outer);
    // The precedence of a draw kind in that text: high for leaves, -1 for kinds without one.
    static int display_precedence(int kind);

    // ---- painting (vokr_object_paint.cpp) ----
    // On the canvas's painter in diagram units, with the canvas's font; properties are read
    // through the current bank. A box under a collapsed ancestor paints nothing.
public:
    // The box: its selection halo (`has_focus`: the canvas has the keyboard focus), the icon of
    // its kind, its expand box, its label and the bit-width marker of a bus output or bus
    // inputs. With `incremental` (the project uses incremental compilation) node and bus names
    // are blue.
    void draw(QPainter* painter, bool has_focus, bool incremental);
    // The lines around the box, drawn after every box: the wire to its parent's port, the stubs
    // of its free inputs, the junction dot of a box with any number of inputs, and a top box's
    // output stub, or the wire dragged from it to `mouse` under the canvas's cross cursor.
    void draw_connections(QPainter* painter, QPoint mouse) const;
    // The label by type and draw kind, then the parameter line of a detector, shift or custom
    // HDL box.
    void draw_label(QPainter* painter, int type, int kind, bool incremental);
    // The kind's symbol in black, centred on one line.
    void draw_symbol(QPainter* painter, int kind, const QRect& rect) const;
    // `text` elided at its left to the rectangle's width, centred.
    void draw_text(QPainter* painter, const QRect& rect, const QString& text, const QColor& color) const;
    void draw_pattern(QPainter* painter) const;
    void draw_shift_distance(QPainter* painter) const;
    void draw_config_bitstream(QPainter* painter) const;

private:
    PIRQ_ICON_ENUM get_box_icon() const;
    void draw_width_marker(QPainter* painter) const;
    void draw_parameter_line(QPainter* painter, const QString& text, int indent) const;
    void draw_parent_wire(QPainter* painter) const;
    void draw_free_inputs(QPainter* painter) const;
    void draw_top_output(QPainter* painter, QPoint mouse) const;

    // ---- tree-object operations (vokr_object.cpp) ----
public:
    KSM_TX_TREE_OBJECT* get_child_object(int index) override;
    int get_child_count() override { return m_children.size(); }
    // A new box with this box's context and trigger, appended to its children and to the
    // trigger's flat list.
    KSM_TX_TREE_OBJECT* create_child_object(int kind) override;
    bool duplicate_trigger(bool to_power_up) override { return m_property.duplicate_trigger(to_power_up); }
    // Power-up before normal, strings before integers; unset, empty, blank and default values
    // are left out. Keys and values are UTF-8.
    void get_attributes() override;
    // Fills the box's sub-tree from the factory's parsed expression.
    void generate_tree(RUV_ADVANCED_TRIGGER_FACTORY* factory) override;
    void set_attribute(const char* key, const char* value) override;

private:
    VOKR_OBJECT_WIDGET* m_context;
    int m_drag_offset_x = 0;
    int m_drag_offset_y = 0;
    bool m_saved_selection = false;
    bool m_dragging = false;
    VOKR_OBJECT* m_parent = nullptr;
    QList<VOKR_OBJECT*> m_children;
    VOKR_PROPERTY m_property;
    VOKR_TRIGGER_OBJECT* m_trigger;
    QString m_power_up_pattern;
    QString m_pattern;
    QString m_node_list;
};

// ---- box lists (vokr_object_edit.cpp) ----
// The index of the first box of `list` of `type`; -1 for a null or empty list or none.
int vokr_find_child_of_type(const QList<VOKR_OBJECT*>* list, int type);

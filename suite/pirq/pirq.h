// The suite's Qt application framework: actions and icons by identifier, the display palette
// (colours, brushes, pens and fonts by identifier), option-page records, the file dialog and its
// filters, the wait cursor, safe connections, and the design-node names that its node finder
// hands out.
#pragma once

#include <QBrush>
#include <QColor>
#include <QDialog>
#include <QFileDialog>
#include <QFont>
#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPen>
#include <QPixmap>
#include <QString>
#include <QVariant>

class QAction;

// Identifiers of the suite's menu and toolbar actions that its action table describes; other
// identifiers are actions too, with a text of their own.
enum PIRQ_ACTION_ENUM : int {
    PIRQ_ACTION_APPEND = 7,  // 7 to 17: the advanced trigger diagram's commands
    PIRQ_ACTION_ARRANGE_ALL_OBJECTS = 8,
    PIRQ_ACTION_COLLAPSE = 9,
    PIRQ_ACTION_DETACH = 10,
    PIRQ_ACTION_EXPAND = 11,
    PIRQ_ACTION_INSERT = 12,
    PIRQ_ACTION_MOVE_DOWN = 13,
    PIRQ_ACTION_MOVE_UP = 14,
    PIRQ_ACTION_OBJECT_PROPERTIES = 15,
    PIRQ_ACTION_REMOVE = 16,
    PIRQ_ACTION_RENAME_OBJECT = 17,
    PIRQ_ACTION_AUTORUN = 19,
    PIRQ_ACTION_READ_DATA = 21,
    PIRQ_ACTION_RUN = 22,
    PIRQ_ACTION_STOP = 23,
    PIRQ_ACTION_COPY = 75,
    PIRQ_ACTION_CUT = 112,
    PIRQ_ACTION_LOGGING = 114,
    PIRQ_ACTION_SAVE_TO_LOG = 117,
    PIRQ_ACTION_DATA_LOG_DELETE = 113,  // 113 to 118: the data log pane's own commands
    PIRQ_ACTION_DATA_LOG_RENAME = 116,
    PIRQ_ACTION_DATA_LOG_SELECT_ALL = 118,
    PIRQ_ACTION_DELETE = 120,
    PIRQ_ACTION_EXPORT = 154,
    PIRQ_ACTION_FIND = 178,
    PIRQ_ACTION_FIND_NEXT = 179,
    PIRQ_ACTION_DUPLICATE = 218,
    PIRQ_ACTION_COMPARISON = 225,  // 225 to 234: the trigger condition menu's comparison and group conditions
    PIRQ_ACTION_GROUP_AND = 226,
    PIRQ_ACTION_GROUP_EQUAL = 227,
    PIRQ_ACTION_GROUP_NAND = 228,
    PIRQ_ACTION_GROUP_NOR = 229,
    PIRQ_ACTION_GROUP_OR = 230,
    PIRQ_ACTION_GROUP_XNOR = 231,
    PIRQ_ACTION_GROUP_XOR = 232,
    PIRQ_ACTION_GROUP_ANY_BIT = 233,
    PIRQ_ACTION_GROUP_NOT_EQUAL = 234,
    PIRQ_ACTION_ADD_INSTANCE = 257,
    PIRQ_ACTION_DELETE_INSTANCE = 258,
    PIRQ_ACTION_DISABLE_POWER_UP_TRIGGER = 259,
    PIRQ_ACTION_DUPLICATE_TRIGGER = 260,
    PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER = 261,
    PIRQ_ACTION_RENAME_INSTANCE = 262,
    PIRQ_ACTION_INSTANCE_STATUS_HELP = 263,
    PIRQ_ACTION_LOCK_MODE_ALL = 290,
    PIRQ_ACTION_LOCK_MODE_INCREMENTAL = 291,
    PIRQ_ACTION_LOCK_MODE_TRIGGER = 292,
    PIRQ_ACTION_INSERT_NODES = 326,
    PIRQ_ACTION_INSERT_STATE_MACHINE_NODES = 327,
    PIRQ_ACTION_ALIGN_LEFT = 328,
    PIRQ_ACTION_ALIGN_RIGHT = 329,
    PIRQ_ACTION_DISPLAY_ASCII = 330,
    PIRQ_ACTION_DISPLAY_UNSIGNED_BAR = 331,
    PIRQ_ACTION_DISPLAY_BINARY = 332,
    PIRQ_ACTION_DISPLAY_DOUBLE = 333,
    PIRQ_ACTION_DISPLAY_FLOAT = 334,
    PIRQ_ACTION_DISPLAY_HEX = 335,
    PIRQ_ACTION_DISPLAY_UNSIGNED_LINE = 336,
    PIRQ_ACTION_DISPLAY_SYMBOLIC = 337,
    PIRQ_ACTION_DISPLAY_OCTAL = 338,
    PIRQ_ACTION_DISPLAY_SIGNED_BAR = 339,
    PIRQ_ACTION_DISPLAY_SIGNED_LINE = 340,
    PIRQ_ACTION_DISPLAY_SIGNED_MAGNITUDE = 341,
    PIRQ_ACTION_DISPLAY_SIGNED_2S = 342,
    PIRQ_ACTION_DISPLAY_UNSIGNED = 343,
    PIRQ_ACTION_CREATE_LIST_FILE = 344,
    PIRQ_ACTION_DISABLE_DATA = 345,
    PIRQ_ACTION_ENABLE_DATA = 346,
    PIRQ_ACTION_REMOVE_ALIAS = 347,
    PIRQ_ACTION_FIND_BUS_VALUE = 349,
    PIRQ_ACTION_FIND_NEXT_BUS_VALUE = 350,
    PIRQ_ACTION_FIND_PREVIOUS_BUS_VALUE = 351,
    PIRQ_ACTION_GROUP = 352,
    PIRQ_ACTION_INVERT_SIGNAL = 353,
    PIRQ_ACTION_LSB_ON_TOP = 354,
    PIRQ_ACTION_MNEMONIC_TABLE_SETUP = 355,
    PIRQ_ACTION_MSB_ON_TOP = 356,
    PIRQ_ACTION_PASTE_ALIAS = 357,
    PIRQ_ACTION_PLUGIN_OPTIONS = 358,
    PIRQ_ACTION_POST_FITTING = 359,
    PIRQ_ACTION_PRE_SYNTHESIS = 360,
    PIRQ_ACTION_RECREATE_STATE_MACHINE_MNEMONICS = 361,
    PIRQ_ACTION_RENAME = 362,
    PIRQ_ACTION_SET_ALIAS = 363,
    PIRQ_ACTION_DISABLE_STORAGE_QUALIFIER = 364,
    PIRQ_ACTION_ENABLE_STORAGE_QUALIFIER = 365,
    PIRQ_ACTION_DISABLE_TRANSITIONAL = 366,
    PIRQ_ACTION_ENABLE_TRANSITIONAL = 367,
    PIRQ_ACTION_CONDITION_DONT_CARE = 368,
    PIRQ_ACTION_CONDITION_EITHER_EDGE = 369,
    PIRQ_ACTION_CONDITION_FALLING_EDGE = 370,
    PIRQ_ACTION_CONDITION_HIGH = 371,
    PIRQ_ACTION_INSERT_TRIGGER_VALUE = 372,
    PIRQ_ACTION_CONDITION_LOW = 373,
    PIRQ_ACTION_CONDITION_RISING_EDGE = 374,
    PIRQ_ACTION_DISABLE_TRIGGER_ENABLE = 375,
    PIRQ_ACTION_ENABLE_TRIGGER_ENABLE = 376,
    PIRQ_ACTION_UNGROUP = 377,
    PIRQ_ACTION_UNGROUP_NESTED_GROUPS = 378,
    PIRQ_ACTION_PASTE = 408,
    PIRQ_ACTION_REDO = 459,
    PIRQ_ACTION_PROPERTIES = 474,
    PIRQ_ACTION_TOOLBAR_FIND = 506,
    PIRQ_ACTION_TOOLBAR_COMPILE = 507,
    PIRQ_ACTION_TOOLBAR_RECOMPILE = 508,
    PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER = 509,
    PIRQ_ACTION_SELECT_ALL = 513,
    PIRQ_ACTION_SIF_ATTACH = 614,  // 614 to 618: the programming-file manager's commands
    PIRQ_ACTION_SIF_DELETE = 615,
    PIRQ_ACTION_SIF_EXTRACT = 616,
    PIRQ_ACTION_SIF_PROGRAM = 617,
    PIRQ_ACTION_SIF_RENAME = 618,
    PIRQ_ACTION_UNDO = 694,
    PIRQ_ACTION_DATA_LOG_PANE = 698,
    PIRQ_ACTION_HIERARCHY_PANE = 700,
    PIRQ_ACTION_INSTANCE_PANE = 701,
    PIRQ_ACTION_TOOLBAR_PANE = 702,
    PIRQ_ACTION_CONFIG_PANE = 705,
    PIRQ_ACTION_CENTER_ON_TRIGGER = 708,
    PIRQ_ACTION_DELETE_TIME_BAR = 710,  // 710 to 719: the waveform column's time bar commands
    PIRQ_ACTION_DELETE_ALL_TIME_BARS = 711,
    PIRQ_ACTION_INSERT_TIME_BAR = 712,
    PIRQ_ACTION_INSERT_MASTER_TIME_BAR = 713,
    PIRQ_ACTION_MOVE_MASTER_TIME_BAR = 714,
    PIRQ_ACTION_NEXT_TRANSITION = 715,
    PIRQ_ACTION_PREVIOUS_TRANSITION = 716,
    PIRQ_ACTION_SET_MASTER_TIME_BAR = 717,
    PIRQ_ACTION_SAMPLE_NUMBERS = 718,
    PIRQ_ACTION_TIME_UNITS = 719,
    PIRQ_ACTION_FIT_IN_WINDOW = 728,
    PIRQ_ACTION_ZOOM_IN = 729,
    PIRQ_ACTION_ZOOM_OUT = 730,
};

// Identifiers of the suite's icons that the advanced-trigger boxes are painted with. A box icon
// is as large as the box it shows (101 units wide, 21, 34 or 101 high, both edges inside), a
// selection icon frames such a box 3 units out, an expand icon is 10 units square.
enum PIRQ_ICON_ENUM : int {
    PIRQ_ICON_ARITHMETIC_LEFT_SHIFT = 371,
    PIRQ_ICON_ARITHMETIC_RIGHT_SHIFT = 372,
    PIRQ_ICON_BITWISE_AND = 373,
    PIRQ_ICON_BITWISE_COMPLEMENT = 374,
    PIRQ_ICON_BITWISE_OR = 375,
    PIRQ_ICON_BITWISE_XOR = 376,
    PIRQ_ICON_BUS = 378,
    PIRQ_ICON_COLLAPSED = 379,
    PIRQ_ICON_CONSTANT_BUS_VALUE = 380,
    PIRQ_ICON_CONSTANT_HIGH = 381,
    PIRQ_ICON_CONSTANT_LOW = 382,
    PIRQ_ICON_CUSTOM_HDL = 383,
    PIRQ_ICON_DYNAMIC_CONTINUOUS_COUNTER = 384,
    PIRQ_ICON_DYNAMIC_EVENT_COUNTER = 385,
    PIRQ_ICON_DYNAMIC_STATE_COUNTER = 386,
    PIRQ_ICON_CONSTANT_UNSIGNED_EQUALITY = 387,
    PIRQ_ICON_EXPANDED = 388,
    PIRQ_ICON_CONSTANT_UNSIGNED_FALSE = 389,
    PIRQ_ICON_BUS_DELAYED = 390,   // a bus without members, with a data delay
    PIRQ_ICON_NODE_DELAYED = 391,  // a node, or a bus with members, with a data delay
    PIRQ_ICON_CONSTANT_UNSIGNED_GREATER_THAN = 392,
    PIRQ_ICON_CONSTANT_UNSIGNED_GREATER_OR_EQUAL = 393,
    PIRQ_ICON_CONSTANT_UNSIGNED_INEQUALITY = 394,
    PIRQ_ICON_COLLAPSED_UNCONNECTABLE = 395,  // collapsed over an input that does not fit
    PIRQ_ICON_CONSTANT_UNSIGNED_LESS_THAN = 396,
    PIRQ_ICON_CONSTANT_UNSIGNED_LESS_OR_EQUAL = 397,
    PIRQ_ICON_LOGICAL_AND = 398,
    PIRQ_ICON_LOGICAL_LEFT_SHIFT = 399,
    PIRQ_ICON_LOGICAL_NOT = 400,
    PIRQ_ICON_LOGICAL_OR = 401,
    PIRQ_ICON_LOGICAL_RIGHT_SHIFT = 402,
    PIRQ_ICON_LOGICAL_XOR = 403,
    PIRQ_ICON_NODE = 404,
    PIRQ_ICON_SELECTION_DELAYED = 406,
    PIRQ_ICON_SELECTION_SHORT = 407,
    PIRQ_ICON_SELECTION_TALL = 408,
    PIRQ_ICON_REDUCTION_AND = 409,
    PIRQ_ICON_REDUCTION_OR = 410,
    PIRQ_ICON_REDUCTION_XOR = 411,
    PIRQ_ICON_REGISTERED_CONTINUOUS_COUNTER = 412,
    PIRQ_ICON_REGISTERED_EVENT_COUNTER = 413,
    PIRQ_ICON_REGISTERED_STATE_COUNTER = 414,
    PIRQ_ICON_ROTATE_LEFT_SHIFT = 415,
    PIRQ_ICON_ROTATE_RIGHT_SHIFT = 416,
    PIRQ_ICON_FOCUS_SELECTION_DELAYED = 417,
    PIRQ_ICON_FOCUS_SELECTION_SHORT = 418,
    PIRQ_ICON_FOCUS_SELECTION_TALL = 419,
    PIRQ_ICON_CONSTANT_SIGNED_EQUALITY = 420,
    PIRQ_ICON_CONSTANT_SIGNED_FALSE = 421,
    PIRQ_ICON_CONSTANT_SIGNED_GREATER_THAN = 422,
    PIRQ_ICON_CONSTANT_SIGNED_GREATER_OR_EQUAL = 423,
    PIRQ_ICON_CONSTANT_SIGNED_INEQUALITY = 424,
    PIRQ_ICON_CONSTANT_SIGNED_LESS_THAN = 425,
    PIRQ_ICON_CONSTANT_SIGNED_LESS_OR_EQUAL = 426,
    PIRQ_ICON_CONSTANT_SIGNED_TRUE = 427,
    PIRQ_ICON_VARIABLE_SIGNED_EQUALITY = 428,
    PIRQ_ICON_VARIABLE_SIGNED_FALSE = 429,
    PIRQ_ICON_VARIABLE_SIGNED_GREATER_THAN = 430,
    PIRQ_ICON_VARIABLE_SIGNED_GREATER_OR_EQUAL = 431,
    PIRQ_ICON_VARIABLE_SIGNED_INEQUALITY = 432,
    PIRQ_ICON_VARIABLE_SIGNED_LESS_THAN = 433,
    PIRQ_ICON_VARIABLE_SIGNED_LESS_OR_EQUAL = 434,
    PIRQ_ICON_VARIABLE_SIGNED_TRUE = 435,
    PIRQ_ICON_EDGE_AND_LEVEL_DETECTOR = 436,
    PIRQ_ICON_ROUTED_NODES_CONDITION = 437,
    PIRQ_ICON_RESULT = 438,
    PIRQ_ICON_RESULT_WIRED = 439,
    PIRQ_ICON_CONSTANT_UNSIGNED_TRUE = 440,
    PIRQ_ICON_VARIABLE_BUS_VALUE = 442,
    PIRQ_ICON_VARIABLE_UNSIGNED_EQUALITY = 444,
    PIRQ_ICON_VARIABLE_UNSIGNED_FALSE = 445,
    PIRQ_ICON_VARIABLE_UNSIGNED_GREATER_THAN = 446,
    PIRQ_ICON_VARIABLE_UNSIGNED_GREATER_OR_EQUAL = 447,
    PIRQ_ICON_VARIABLE_HIGH = 448,
    PIRQ_ICON_VARIABLE_UNSIGNED_INEQUALITY = 449,
    PIRQ_ICON_VARIABLE_UNSIGNED_LESS_THAN = 450,
    PIRQ_ICON_VARIABLE_UNSIGNED_LESS_OR_EQUAL = 451,
    PIRQ_ICON_VARIABLE_LOW = 452,
    PIRQ_ICON_VARIABLE_UNSIGNED_TRUE = 453,
    PIRQ_ICON_UNKNOWN = 454,

    // The node list's signal-type icons (16 units square), for a node with children and a leaf.
    PIRQ_ICON_BIDIR_PIN_GROUP = 16,
    PIRQ_ICON_BIDIR_PIN = 18,
    PIRQ_ICON_COMBINATORIAL_GROUP = 40,
    PIRQ_ICON_COMBINATORIAL = 42,
    PIRQ_ICON_INPUT_PIN_GROUP = 271,
    PIRQ_ICON_INPUT_PIN = 273,
    PIRQ_ICON_STATE_MACHINE_GROUP = 315,
    PIRQ_ICON_STATE_MACHINE = 317,
    PIRQ_ICON_MEMORY_GROUP = 322,
    PIRQ_ICON_MEMORY = 324,
    PIRQ_ICON_OUTPUT_PIN_GROUP = 459,
    PIRQ_ICON_OUTPUT_PIN = 461,
    PIRQ_ICON_REGISTERED_GROUP = 514,
    PIRQ_ICON_REGISTERED = 516,
    PIRQ_ICON_OTHER_NODE_GROUP = 705,
    PIRQ_ICON_OTHER_NODE = 720,

    // The settings panes' 16-unit glyphs: the hide button, an instance, the signal levels and
    // edges, and where the trigger sits in the sample buffer.
    PIRQ_ICON_CLOSE_PANE = 36,
    PIRQ_ICON_INSTANCE = 274,
    PIRQ_ICON_INSTANCE_CURRENT = 275,

    // The editor's tab glyphs: an advanced trigger level, the Data and Setup tabs and the
    // state-based trigger flow.
    PIRQ_ICON_ADVANCED_TAB = 637,
    PIRQ_ICON_DATA_TAB = 639,
    PIRQ_ICON_SETUP_TAB = 641,
    PIRQ_ICON_STATE_FLOW_TAB = 642,
    PIRQ_ICON_WAVE_DONT_CARE = 691,
    PIRQ_ICON_WAVE_EITHER_EDGE = 692,
    PIRQ_ICON_WAVE_FALLING_EDGE = 693,
    PIRQ_ICON_WAVE_HIGH = 694,
    PIRQ_ICON_WAVE_LOW = 695,
    PIRQ_ICON_WAVE_RISING_EDGE = 696,
    PIRQ_ICON_WAVE_ACTIVE_HIGH = 697,
    PIRQ_ICON_WAVE_ACTIVE_LOW = 698,
    PIRQ_ICON_TRIGGER_CENTER = 699,
    PIRQ_ICON_TRIGGER_START_STOP = 700,
    PIRQ_ICON_TRIGGER_POST = 701,
    PIRQ_ICON_TRIGGER_PRE = 702,
};

// The icon of that identifier, drawn at its natural size at first use and kept for the process
// (GUI thread only); an identifier the suite does not know gets the unknown box's icon.
QPixmap pirq_get_icon(PIRQ_ICON_ENUM id);
// The identifier whose icon `pixmap` is (a copy of), or -1.
int pirq_find_icon(const QPixmap& pixmap);

// A new action of that identifier with the suite's text, tool tip, shortcut and
// checkability; ids the table does not know get a text of their own.
QAction* pirq_create_action(PIRQ_ACTION_ENUM id, QObject* parent);
// The icon of an action, drawn at first use and kept until the application goes; a null icon for
// an identifier without one.
QIcon pirq_get_action_icon(PIRQ_ACTION_ENUM id);
// The icon of a standard entry of the suite's menus by its suite name ("PIRQ_OPEN_ACTION").
QIcon pirq_get_action_icon(const QString& name);
// The text the action table gives an identifier.
QString pirq_get_action_text(PIRQ_ACTION_ENUM id);
// The name under which toolbars list the action ("PIRQ_VOKR_TOOLBAR_FIND_ACTION"); it is also
// the action's object name. Identifiers without a toolbar name answer "pirq_action_<id>".
QString pirq_get_action_name(PIRQ_ACTION_ENUM id);
// The key sequence text the user's customisation gives an action, else its default shortcut.
QString pirq_get_custom_shortcut(PIRQ_ACTION_ENUM id);
// The default keys of a standard entry of the suite's menus by its suite name ("PIRQ_UNDO_ACTION"):
// the platform's standard keys of new, save, print, undo, redo, delete, select all and find, and
// the user's shortcut of find next; none for any other entry.
QList<QKeySequence> pirq_get_standard_shortcuts(const QString& name);

// The display palette: colours, fonts, and the brushes and pens made of the colours, by
// identifier. The table in pirq_palette.cpp documents every identifier; an unknown one gives
// black, a solid black brush, a one-pixel black pen or the application font.
QColor pirq_get_color(int id);
QBrush pirq_get_brush(int id);
QPen pirq_get_pen(int id);
QFont pirq_get_font(int id);

// One page of the suite's options dialog with its sub-pages, which it owns.
class PIRQ_PAGE_INFO {
public:
    explicit PIRQ_PAGE_INFO(quint32 id) : m_id(id) {}
    virtual ~PIRQ_PAGE_INFO() { qDeleteAll(m_children); }
    PIRQ_PAGE_INFO(const PIRQ_PAGE_INFO&) = delete;
    PIRQ_PAGE_INFO& operator=(const PIRQ_PAGE_INFO&) = delete;
    quint32 get_id() const { return m_id; }
    void add_child(PIRQ_PAGE_INFO* page) { m_children.append(page); }
    const QList<PIRQ_PAGE_INFO*>& get_children() const { return m_children; }

private:
    quint32 m_id;
    QList<PIRQ_PAGE_INFO*> m_children;
};

// File types the suite's dialogs filter for.
constexpr int PIRQ_FILE_TYPE_LMX = 512;
// The name filter of a file type ("Lumetra Logic Analyzer Files (*.lmx)"); "All Files (*)" for a
// type the suite does not know.
QString pirq_create_filter(int file_type);

// The suite's application object (the shell's, see wex.h) and the document class of the
// logic analyzer editor's frames.
class WEX_APP;
WEX_APP* pirq_get_app();
constexpr int PIR_CLSID_VOK_DEFAULT_DOC = 0x564f4b;

// The suite's file dialog: Qt's own widgets (never the platform's), so that tests and scripts
// can fill it like a person would.
class PIRQ_FILE_DLG : public QFileDialog {
    Q_OBJECT
public:
    explicit PIRQ_FILE_DLG(QWidget* parent, const QString& caption = QString());
    // The label of the file-type selector.
    void set_file_type_label(const QString& text) { setLabelText(QFileDialog::FileType, text); }
    // Selects the text of the dialog's line edits, so that typing replaces it.
    void select_line_edit_text();
};

// QObject::connect that treats a connection that cannot be made as a broken invariant.
template <class SENDER, class SIGNAL, class RECEIVER, class SLOT>
QMetaObject::Connection pirq_safe_connect(SENDER* sender, SIGNAL signal, RECEIVER* receiver, SLOT slot,
                                          Qt::ConnectionType type = Qt::AutoConnection)
{
    QMetaObject::Connection connection = QObject::connect(sender, signal, receiver, slot, type);
    Q_ASSERT(connection);
    return connection;
}

// Shows the busy cursor for its lifetime (when there is a GUI).
class PIRQ_WAIT_CURSOR {
public:
    PIRQ_WAIT_CURSOR();
    ~PIRQ_WAIT_CURSOR();
    PIRQ_WAIT_CURSOR(const PIRQ_WAIT_CURSOR&) = delete;
    PIRQ_WAIT_CURSOR& operator=(const PIRQ_WAIT_CURSOR&) = delete;

private:
    bool m_shown;
};

// A design-node name as the node finder hands it out: full name, kind (its number of
// dimensions: 0 a single node, 1 a bus, 2 an array), flags (the hierarchy database's TOZ_FLAG_
// bits: signal type, post-fitting) and two dimensions.
class PIRQ_INSTANCE_NAME {
public:
    PIRQ_INSTANCE_NAME() = default;
    PIRQ_INSTANCE_NAME(const QString& name, int kind, unsigned int flags, int first1 = 0, int last1 = 0, int first2 = 0,
                       int last2 = 0);
    const QString& get_name() const { return m_name; }
    int get_kind() const { return m_kind; }
    unsigned int get_flags() const { return m_flags; }
    void get_first_dimension(int* first, int* last) const;
    void get_second_dimension(int* first, int* last) const;
    bool operator==(const PIRQ_INSTANCE_NAME& other) const;

private:
    QString m_name;
    int m_kind = 0;
    unsigned int m_flags = 0;
    int m_first1 = 0, m_last1 = 0, m_first2 = 0, m_last2 = 0;
};

using PIRQ_INSTANCE_NAME_LIST = QList<PIRQ_INSTANCE_NAME>;
Q_DECLARE_METATYPE(PIRQ_INSTANCE_NAME)

// Shows `text` in the suite's information box (`buttons` 1: OK only) and returns the button
// pressed. Without a person (offscreen) the box is not shown; the text is kept for tests.
int pirq_message_box(const QString& text, int buttons);
QString pirq_last_message_box_text();
class QCursor;
class QMimeData;

// The framework's drag-and-drop encoding of instance-name lists, under a MIME type of its own.
class PIRQ_DATA_TRANSFER_MANAGER {
public:
    static constexpr const char* INSTANCE_NAME_LIST_MIME_TYPE = "application/x-korvane_instance_name_list_data";
    // The process's manager; null before a QApplication exists.
    static PIRQ_DATA_TRANSFER_MANAGER* get_instance();
    void set_instance_name_list_transfer_data(QMimeData* data, const PIRQ_INSTANCE_NAME_LIST& names) const;
    // A QVariant holding the PIRQ_INSTANCE_NAME_LIST; invalid when the data holds none or is damaged.
    QVariant get_instance_name_list_transfer_data(const QMimeData* data) const;
};

// The suite's own cursors: 1 zoom in, 2 zoom out; any other identifier the arrow.
QCursor pirq_get_cursor(int id);

// The base of the suite's modal dialogs: a QDialog whose Help button shows the dialog's help
// topic (its window title) in a message box. Without a person (offscreen) the request is only
// counted, so tests can see it without a box waiting for a click.
class PIRQ_DIALOG : public QDialog {
    Q_OBJECT
public:
    explicit PIRQ_DIALOG(QWidget* parent = nullptr);
    static int help_request_count();

public slots:
    void help_button_clicked();
};

class QLineEdit;

// A file-name field with a browse button that opens a save-file chooser with the given filters;
// the chooser does not ask about a file already there: whoever writes the file asks.
class PIRQ_LINE_EDIT_BROWSE_BUTTON : public QWidget {
    Q_OBJECT
public:
    PIRQ_LINE_EDIT_BROWSE_BUTTON(QWidget* parent, const QStringList& filters);
    QLineEdit* line_edit() const { return m_edit; }
    QString text() const;
    void setText(const QString& text);

public slots:
    void browse();

private:
    QLineEdit* m_edit;
    QStringList m_filters;
};

// The frame's "Locate" sub-menu: one entry per suite tool that can show a design instance, each
// emitting locate_triggered with the tool's class identifier, and the design-file entry (object
// name "design file"), whose own triggered signal its users connect.
class PIRQ_LOCATE_MENU : public QMenu {
    Q_OBJECT
public:
    explicit PIRQ_LOCATE_MENU(QWidget* parent);
    // The tools' class identifiers, in menu order.
    static QStringList get_targets();
    QAction* get_target_action(const QString& target) const;
    QAction* get_design_file_action() const { return m_design_file; }
    // Enables or disables every entry together.
    void set_entries_enabled(bool enabled);

signals:
    void locate_triggered(const QString& target);

private:
    QAction* m_design_file;
};

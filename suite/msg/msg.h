// Message library of the suite: message objects built from a literal "text/TYPEIDENT"
// with numbered arguments, posted to the message log or prompted as a dialog, plus the
// suppression index, the identifier registrar and the fatal internal-error report.
//
// Without a person (tests, scripts, offscreen) prompts take their answers from a scripted
// queue, and every built, posted and prompted message is kept in the journal; with a person
// (interactive) the journal keeps nothing.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct Tcl_Interp;

class MSG_REPORT;

enum MSG_POST_TYPE { MSG_POST_TYPE_ERROR = 0, MSG_POST_TYPE_INFO = 1, MSG_POST_TYPE_WARNING = 2 };

class MSG_BASE {
public:
    explicit MSG_BASE(MSG_REPORT* report = nullptr);
    virtual ~MSG_BASE();
    MSG_BASE(const MSG_BASE&) = delete;
    MSG_BASE& operator=(const MSG_BASE&) = delete;

    // Fills the message from "text/TYPEIDENT" and one argument per placeholder in number
    // order: a NUL-terminated string for "%n!s!", an int for "%n!d!".
    void fill_args(const char* literal, ...);
    void set_id(unsigned int id);

    unsigned int get_id() const { return m_id; }
    const std::string& get_msg_text() const { return m_text; }
    const std::string& get_identifier() const { return m_identifier; }
    // The topic of the suite's help that explains this message: its identifier in lower case,
    // empty for a message without an identifier.
    const std::string& get_help_id() const { return m_help_id; }
    virtual const char* get_type_letters() const = 0;
    // A suppressed message: no text, no identifier, posting and prompting do nothing.
    virtual bool is_null() const { return false; }

protected:
    std::string m_text;
    std::string m_identifier;
    std::string m_help_id;
    unsigned int m_id = 0;
};

class MSG_POST : public MSG_BASE {
public:
    using MSG_BASE::MSG_BASE;
    ~MSG_POST() override;
    void post();
    // Takes the item over; it is posted with this message.
    void add_msg(MSG_POST* item);
    const std::vector<std::unique_ptr<MSG_POST>>& get_sub_msgs() const { return m_items; }
    virtual MSG_POST_TYPE get_post_type() const = 0;

private:
    std::vector<std::unique_ptr<MSG_POST>> m_items;
};

class MSG_I : public MSG_POST {
public:
    using MSG_POST::MSG_POST;
    const char* get_type_letters() const override { return "I"; }
    MSG_POST_TYPE get_post_type() const override { return MSG_POST_TYPE_INFO; }
};

class MSG_W : public MSG_POST {
public:
    using MSG_POST::MSG_POST;
    const char* get_type_letters() const override { return "W"; }
    MSG_POST_TYPE get_post_type() const override { return MSG_POST_TYPE_WARNING; }
};

class MSG_E : public MSG_POST {
public:
    using MSG_POST::MSG_POST;
    const char* get_type_letters() const override { return "E"; }
    MSG_POST_TYPE get_post_type() const override { return MSG_POST_TYPE_ERROR; }
};

class MSG_I_NULL : public MSG_I {
public:
    using MSG_I::MSG_I;
    bool is_null() const override { return true; }
};

class MSG_W_NULL : public MSG_W {
public:
    using MSG_W::MSG_W;
    bool is_null() const override { return true; }
};

class MSG_PROMPT : public MSG_BASE {
public:
    enum MSG_VALUE { MSG_VALUE_NONE = 0, MSG_VALUE_OK = 1, MSG_VALUE_CANCEL = 2, MSG_VALUE_YES = 6, MSG_VALUE_NO = 7 };
    using MSG_BASE::MSG_BASE;
    MSG_VALUE prompt(MSG_REPORT* report = nullptr);
    // The answers this kind of prompt offers, the first being its default button.
    virtual std::vector<MSG_VALUE> get_answers() const = 0;
};

class MSG_O : public MSG_PROMPT {
public:
    using MSG_PROMPT::MSG_PROMPT;
    const char* get_type_letters() const override { return "O"; }
    std::vector<MSG_VALUE> get_answers() const override { return {MSG_VALUE_OK}; }
};

class MSG_OC : public MSG_PROMPT {
public:
    using MSG_PROMPT::MSG_PROMPT;
    const char* get_type_letters() const override { return "OC"; }
    std::vector<MSG_VALUE> get_answers() const override { return {MSG_VALUE_OK, MSG_VALUE_CANCEL}; }
};

class MSG_YN : public MSG_PROMPT {
public:
    using MSG_PROMPT::MSG_PROMPT;
    const char* get_type_letters() const override { return "YN"; }
    std::vector<MSG_VALUE> get_answers() const override { return {MSG_VALUE_YES, MSG_VALUE_NO}; }
};

class MSG_YNC : public MSG_PROMPT {
public:
    using MSG_PROMPT::MSG_PROMPT;
    const char* get_type_letters() const override { return "YNC"; }
    std::vector<MSG_VALUE> get_answers() const override { return {MSG_VALUE_YES, MSG_VALUE_NO, MSG_VALUE_CANCEL}; }
};

// Which message numbers the user has chosen not to see again.
class MSG_INDEX {
public:
    static MSG_INDEX* get_default_index();
    bool is_suppressed(unsigned int id) const;
    void set_suppressed(unsigned int id, bool suppressed);
    void clear();

private:
    std::vector<unsigned int> m_suppressed;
};

// Registers a module's posted message numbers with their post types for as long as it lives.
class MSG_ID_REGISTRAR {
public:
    MSG_ID_REGISTRAR(const unsigned int* ids, const MSG_POST_TYPE* types, size_t count);
    ~MSG_ID_REGISTRAR();
    MSG_ID_REGISTRAR(const MSG_ID_REGISTRAR&) = delete;
    MSG_ID_REGISTRAR& operator=(const MSG_ID_REGISTRAR&) = delete;
    // The post type registered for a number, or -1 when no living registrar holds it.
    static int get_registered_type(unsigned int id);

private:
    std::vector<unsigned int> m_ids;
};

class MSG_INTERNAL_ERROR {
public:
    // Prints the failed condition, the module tag, the source and the line, and ends the process.
    [[noreturn]] static void report(const char* condition, const char* module, const char* source, int line);
};

// One message as the journal keeps it.
struct MSG_RECORD {
    std::string event;       // "built", "posted" or "prompted"
    std::string type;        // type letters
    std::string identifier;  // "VOKR_..."
    unsigned int id = 0;
    std::string text;
    int answer = 0;                 // prompted only
    std::vector<MSG_RECORD> items;  // posted only: the sub-messages
};

// How messages reach a person or a script.
class MSG_JOURNAL {
public:
    // Interactive: prompts show a message box (needs a QApplication) and no record is kept;
    // otherwise prompts are answered from the queue, then by the default, which is the
    // prompt's first button. A queued answer that is not a button of the prompt is the
    // script's mistake: the prompt gets the button that changes least (Cancel, else No, else
    // its first) and the mistake waits in take_script_error for the script's command to report.
    static void set_interactive(bool interactive);
    static bool is_interactive();
    // Echo: posted and prompted messages are also printed to standard error.
    static void set_echo(bool echo);
    static bool is_echo();
    static void push_answer(int answer);
    static void set_default_answer(int answer);  // 0: the prompt's own first button
    static void clear_answers();                 // also forgets a mistake not yet reported
    // The mistake of a scripted answer that was not a button of its prompt, naming the prompt
    // and its buttons; empty when there was none since the last call.
    static std::string take_script_error();

    static const std::vector<MSG_RECORD>& records();
    static std::vector<MSG_RECORD> records_of(const std::string& event);
    static void clear();

    // Internal to the library.
    static void add(MSG_RECORD record);
    // The answer to a prompt with that text and those buttons (the first its default).
    static int take_answer(const std::vector<int>& allowed, const std::string& prompt_text);
};

// Registers ::korvane::msg::answer, ::korvane::msg::log, ::korvane::msg::clear and
// ::korvane::msg::suppress so that scripts can answer prompts and read the journal.
void msg_register_tcl_commands(Tcl_Interp* interp);
// A command's completion code, or TCL_ERROR with the mistake as the result when a scripted answer
// the command met was not a button of its prompt.
int msg_tcl_script_code(Tcl_Interp* interp, int code);

// Debug lines of a module: formatted like printf and kept, with the module and level, for
// scripts and tests to read (echoed to standard error when the journal echoes).
void msg_local_vdebug(const char* module, int level, const char* format, va_list arguments);
struct MSG_DEBUG_LINE {
    std::string module;
    int level = 0;
    std::string text;
};
const std::vector<MSG_DEBUG_LINE>& msg_get_debug_lines();
void msg_clear_debug_lines();

// ---- location schemas: what the suite's locate commands are asked to show ----------------------
// Only the generic kind is built here: a source (the tool or file that named the locations), a
// name, the design unit whose source defines it (empty when unknown) and location objects.
enum MSG_LOCATION_SCHEMA_TYPE : int { MSG_GEN_LOCATION_SCHEMA_TYPE = 10 };

class MSG_LOC_OBJ {
public:
    virtual ~MSG_LOC_OBJ() = default;
};

// One located object. Its label names it for the tools that take names; null without one.
class MSG_GEN_LOC_OBJ : public MSG_LOC_OBJ {
public:
    MSG_GEN_LOC_OBJ() = default;
    explicit MSG_GEN_LOC_OBJ(const char* label) : m_label(label ? label : "") {}
    const char* get_label() const { return m_label.empty() ? nullptr : m_label.c_str(); }
    void set_label(std::string label) { m_label = std::move(label); }

private:
    std::string m_label;
};

// A design instance, named by its short hierarchy path or by the name manager's identifier.
class MSG_GEN_LOC_INSTANCE : public MSG_GEN_LOC_OBJ {
public:
    void set_instance_name(const std::string& short_hpath)
    {
        m_instance_name = short_hpath;
        set_label(short_hpath);
    }
    const std::string& get_instance_name() const { return m_instance_name; }
    void set_iname_id(long id) { m_iname_id = id; }
    long get_iname_id() const { return m_iname_id; }  // -1 without one

private:
    std::string m_instance_name;
    long m_iname_id = -1;
};

class MSG_LOCATION_SCHEMA {
public:
    using OBJECTS = std::vector<std::unique_ptr<MSG_LOC_OBJ>>;
    virtual ~MSG_LOCATION_SCHEMA() = default;
    virtual int get_type() const = 0;
    // The source's identifier; null when the schema names none.
    const char* get_source() const { return m_has_source ? m_source.c_str() : nullptr; }
    void set_source(const std::string& source) { m_source = source, m_has_source = true; }
    OBJECTS::const_iterator get_objects_begin() const { return m_objects.begin(); }
    OBJECTS::const_iterator get_objects_end() const { return m_objects.end(); }
    const OBJECTS& get_objects() const { return m_objects; }
    // The schema owns its objects.
    void add_object(std::unique_ptr<MSG_LOC_OBJ> object) { m_objects.push_back(std::move(object)); }
    void add_object(MSG_LOC_OBJ* object) { m_objects.emplace_back(object); }

    // Builds a schema from the words of a Tcl command: the command name, then "-source NAME"
    // at most once and "-object LABEL" (an empty LABEL: no label) any number of times. On
    // TCL_OK the result is the new schema's address, which yuvr_get_ptr turns back into the
    // pointer; the caller owns the schema. Anything else is TCL_ERROR with a message.
    static int from_tcl_string(void* client_data, Tcl_Interp* interp, int argc, const char** argv);

private:
    bool m_has_source = false;
    std::string m_source;
    OBJECTS m_objects;
};

class MSG_GEN_LOCATION_SCHEMA : public MSG_LOCATION_SCHEMA {
public:
    int get_type() const override { return MSG_GEN_LOCATION_SCHEMA_TYPE; }
    void set_name(std::string name) { m_name = std::move(name); }
    const std::string& get_name() const { return m_name; }
    void set_unit(std::string unit) { m_unit = std::move(unit); }
    const std::string& get_unit() const { return m_unit; }

private:
    std::string m_name;
    std::string m_unit;
};

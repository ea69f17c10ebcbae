// Tcl wrapper of the suite: package set-up, registration of command tables, interpreter
// access, and the option parser that every scripted command of a module goes through.
#pragma once

#include <tcl.h>

#include <cstdint>
#include <map>
#include <string>

// One row of a module's zero-terminated command table.
struct YUVR_CALLBACK {
    Tcl_ObjCmdProc* proc;
    const char* name;
    void* client_data;
};

// Kinds of an option's value.
enum YUVR_ARG_KIND : uint32_t { YUVR_ARG_STRING = 1, YUVR_ARG_INT = 3, YUVR_ARG_UINT = 4 };
constexpr uint64_t YUVR_ARG_OPTIONAL = 0x100;

// One option of a command; a row of zeros ends a command's list.
struct YUVR_ARG_SPEC {
    uint32_t id;
    uint32_t kind;
    uint64_t flags;
};

// Option ids 1, 2 and 3 are the wrapper's help options; a lookup answers 0 for a name it does
// not know (or that is ambiguous) and YUVR_EMPTY_OPTION_ID for an empty name.
constexpr uint32_t YUVR_HELP_ID = 1;
constexpr uint32_t YUVR_LONG_HELP_ID = 3;
constexpr uint32_t YUVR_EMPTY_OPTION_ID = 29;

using YUVR_OPTION_NAME_FN = const char* (*)(int id);
using YUVR_OPTION_LOOKUP_FN = uint32_t (*)(const char* name);

// What a module tells the wrapper about one command.
struct YUVR_CMD_DEFINITION {
    const char* package;
    const char* command;
    YUVR_OPTION_NAME_FN option_name;
    YUVR_OPTION_LOOKUP_FN option_lookup;
    const void* reserved_1;
    const void* reserved_2;
    const YUVR_ARG_SPEC* arguments;
    const void* reserved_3;
    const void* reserved_4;
    const void* reserved_5;
};

class YUVR_CMD {
public:
    explicit YUVR_CMD(const YUVR_CMD_DEFINITION& definition);
    const char* get_name() const { return m_definition.command; }
    const YUVR_CMD_DEFINITION& get_definition() const { return m_definition; }
    const YUVR_ARG_SPEC* find_argument(uint32_t id) const;
    std::string get_usage(bool long_form) const;

private:
    YUVR_CMD_DEFINITION m_definition;
};

// The parsed options of one call.
class YUVR_ARGS {
public:
    explicit YUVR_ARGS(Tcl_Interp* interp = nullptr);

    // Splits "-name value" words. Returns TCL_ERROR with a message naming the option for an
    // unknown, ambiguous, repeated, valueless or missing option and for a bad number; answers
    // help requests itself (setting *answered) with TCL_OK.
    int process_tcl_command_arguments(YUVR_CMD* cmd, bool* answered, int objc, Tcl_Obj* const objv[]);

    const char* get_one_arg_option(uint32_t id) const;  // null when absent
    int get_int_arg_option(uint32_t id, bool* present) const;
    unsigned int get_uint_arg_option(uint32_t id, bool* present) const;

private:
    int fail(const std::string& message);
    int store_value(YUVR_CMD* cmd, const YUVR_ARG_SPEC& arg, const char* name, Tcl_Obj* value);
    std::string describe_unknown(YUVR_CMD* cmd, const char* name) const;

    Tcl_Interp* m_interp;
    std::map<uint32_t, std::string> m_strings;
    std::map<uint32_t, long long> m_numbers;
};

// Texts across the Tcl boundary are UTF-8 both ways; Tcl keeps NUL and the characters beyond
// the basic plane in forms of its own, which these convert. A value's text, false (and nothing
// set) when it holds a NUL, which no C string carries:
bool yuvr_get_utf8(Tcl_Obj* value, std::string* text);
// A new Tcl string of UTF-8 text:
Tcl_Obj* yuvr_new_utf8_obj(const std::string& text);

// Package set-up bracket: namespace, version, library name, command-set name and whether the
// bracket unregisters the package.
void yuvr_begin_package_setup(const char* ns, const char* version, const char* library, const char* command_set,
                              bool unregister);
// Creates one Tcl object command per row of a zero-terminated table, for the open package.
void yuvr_register_callbacks(const YUVR_CALLBACK* table);
void yuvr_end_package_setup();
// Deletes the commands of the open package and forgets it.
int yuvr_unregister_package(Tcl_Interp* interp);
// Forgets that a package is present but keeps the scripts that load it ("package ifneeded"),
// so that the next "package require" loads it again.
void yuvr_forget_package(Tcl_Interp* interp, const char* name);
int yuvr_package_require(Tcl_Interp* interp, const char* name, const char* version, int exact, int report_errors);

// The suite's interpreter; null before one is set and once it has been deleted.
Tcl_Interp* yuvr_get_interpreter();
void yuvr_set_interpreter(Tcl_Interp* interp);
// True when modules are loaded from their shared library files (KORVANE_TCL_DYNAMIC=1)
// rather than from the static packages linked into the process.
bool yuvr_is_dynamically_loading();
void* yuvr_get_ptr(const char* text);

// Makes "package require short_name" load a module: from its static package when packages
// load statically, from library_file otherwise.
void yuvr_declare_module_package(Tcl_Interp* interp, const char* short_name, const char* version,
                                 const char* static_name, const std::string& library_file);

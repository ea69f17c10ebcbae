#include "yuvr.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

namespace {

Tcl_Interp* g_interp = nullptr;

struct PACKAGE_SETUP {
    std::string ns;
    std::string version;
    bool open = false;
};

// Modules unregister their packages from exit-time functions, which may run after this
// library's own statics are destroyed; so the wrapper's state is never destroyed.
PACKAGE_SETUP& setup()
{
    static PACKAGE_SETUP* s = new PACKAGE_SETUP;
    return *s;
}

// Commands created per package namespace, so that unregistering removes exactly them.
std::map<std::string, std::vector<std::string>>& package_commands()
{
    static auto* commands = new std::map<std::string, std::vector<std::string>>;
    return *commands;
}

const char* kind_word(uint32_t kind)
{
    switch (kind) {
    case YUVR_ARG_INT: return "integer";
    case YUVR_ARG_UINT: return "unsigned integer";
    default: return "string";
    }
}

bool starts_with(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

Tcl_Obj* list_of(std::initializer_list<std::string> words)
{
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    for (const std::string& w : words)
        Tcl_ListObjAppendElement(nullptr, list, Tcl_NewStringObj(w.c_str(), static_cast<int>(w.size())));
    return list;
}

// Evaluates the words as one command; its result stays in the interpreter.
int eval_words(Tcl_Interp* interp, std::initializer_list<std::string> words)
{
    Tcl_Obj* command = list_of(words);
    Tcl_IncrRefCount(command);
    const int code = Tcl_EvalObjEx(interp, command, TCL_EVAL_GLOBAL);
    Tcl_DecrRefCount(command);
    return code;
}

// A deleted interpreter is no longer the suite's.
void forget_deleted_interpreter(ClientData, Tcl_Interp* interp)
{
    if (g_interp == interp)
        g_interp = nullptr;
}

}  // namespace

// ---- UTF-8 ------------------------------------------------------------------------------------

bool yuvr_get_utf8(Tcl_Obj* value, std::string* text)
{
    int length = 0;
    const char* internal = Tcl_GetStringFromObj(value, &length);
    Tcl_Encoding utf8 = Tcl_GetEncoding(nullptr, "utf-8");
    Tcl_DString external;
    Tcl_UtfToExternalDString(utf8, internal, length, &external);
    Tcl_FreeEncoding(utf8);
    std::string converted(Tcl_DStringValue(&external), static_cast<size_t>(Tcl_DStringLength(&external)));
    Tcl_DStringFree(&external);
    if (converted.find('\0') != std::string::npos)
        return false;
    *text = std::move(converted);
    return true;
}

Tcl_Obj* yuvr_new_utf8_obj(const std::string& text)
{
    Tcl_Encoding utf8 = Tcl_GetEncoding(nullptr, "utf-8");
    Tcl_DString internal;
    Tcl_ExternalToUtfDString(utf8, text.data(), static_cast<int>(text.size()), &internal);
    Tcl_FreeEncoding(utf8);
    Tcl_Obj* object = Tcl_NewStringObj(Tcl_DStringValue(&internal), Tcl_DStringLength(&internal));
    Tcl_DStringFree(&internal);
    return object;
}

// ---- YUVR_CMD -------------------------------------------------------------------------------

YUVR_CMD::YUVR_CMD(const YUVR_CMD_DEFINITION& definition) : m_definition(definition) {}

const YUVR_ARG_SPEC* YUVR_CMD::find_argument(uint32_t id) const
{
    for (const YUVR_ARG_SPEC* a = m_definition.arguments; a && a->id != 0; ++a)
        if (a->id == id)
            return a;
    return nullptr;
}

std::string YUVR_CMD::get_usage(bool long_form) const
{
    std::string text = std::string("Usage: ") + m_definition.command;
    for (const YUVR_ARG_SPEC* a = m_definition.arguments; a && a->id != 0; ++a) {
        const bool optional = a->flags & YUVR_ARG_OPTIONAL;
        const std::string word =
            std::string("-") + m_definition.option_name(static_cast<int>(a->id)) + " <" + kind_word(a->kind) + ">";
        text += optional ? " [" + word + "]" : " " + word;
    }
    if (long_form)
        text += "\nOptions may be abbreviated to any unique prefix. -h, -help and -long_help show this text.";
    return text;
}

// ---- YUVR_ARGS ------------------------------------------------------------------------------

YUVR_ARGS::YUVR_ARGS(Tcl_Interp* interp) : m_interp(interp ? interp : g_interp) {}

int YUVR_ARGS::fail(const std::string& message)
{
    if (m_interp)
        Tcl_SetObjResult(m_interp, yuvr_new_utf8_obj(message));
    return TCL_ERROR;
}

std::string YUVR_ARGS::describe_unknown(YUVR_CMD* cmd, const char* name) const
{
    const YUVR_CMD_DEFINITION& def = cmd->get_definition();
    std::string valid;
    int matches = 0;
    for (const YUVR_ARG_SPEC* a = def.arguments; a && a->id != 0; ++a) {
        const char* option = def.option_name(static_cast<int>(a->id));
        valid += std::string(valid.empty() ? "" : ", ") + "-" + option;
        if (*name && starts_with(option, name))
            ++matches;
    }
    for (uint32_t id = YUVR_HELP_ID; id <= YUVR_LONG_HELP_ID; ++id)
        if (*name && starts_with(def.option_name(static_cast<int>(id)), name))
            ++matches;
    const std::string what = matches > 1 ? "ambiguous option" : "unknown option";
    return std::string(def.command) + ": " + what + " \"-" + name + "\"; valid options are " +
           (valid.empty() ? std::string("none") : valid);
}

int YUVR_ARGS::store_value(YUVR_CMD* cmd, const YUVR_ARG_SPEC& arg, const char* name, Tcl_Obj* value)
{
    const std::string where = std::string(cmd->get_name()) + ": option \"-" + name + "\"";
    if (m_strings.count(arg.id))
        return fail(where + " is given more than once");
    if (!yuvr_get_utf8(value, &m_strings[arg.id]))
        return fail(where + " holds a NUL character");
    if (arg.kind == YUVR_ARG_STRING)
        return TCL_OK;
    Tcl_WideInt number = 0;
    const bool is_number = Tcl_GetWideIntFromObj(nullptr, value, &number) == TCL_OK;
    const bool fits = arg.kind == YUVR_ARG_INT
                          ? number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max()
                          : number >= 0 && number <= std::numeric_limits<unsigned int>::max();
    if (!is_number || !fits)
        return fail(where + " expects " + (arg.kind == YUVR_ARG_INT ? "an integer" : "an unsigned integer") +
                    ", got \"" + m_strings[arg.id] + "\"");
    m_numbers[arg.id] = number;
    return TCL_OK;
}

int YUVR_ARGS::process_tcl_command_arguments(YUVR_CMD* cmd, bool* answered, int objc, Tcl_Obj* const objv[])
{
    if (answered)
        *answered = false;
    const YUVR_CMD_DEFINITION& def = cmd->get_definition();
    for (int i = 1; i < objc; ++i) {
        const char* word = Tcl_GetString(objv[i]);
        if (word[0] != '-')
            return fail(std::string(def.command) + ": expected an option beginning with \"-\", got \"" + word + "\"");
        const char* name = word + 1;
        const uint32_t id = def.option_lookup(name);
        if (id >= YUVR_HELP_ID && id <= YUVR_LONG_HELP_ID) {
            if (answered)
                *answered = true;
            if (m_interp)
                Tcl_SetObjResult(m_interp, Tcl_NewStringObj(cmd->get_usage(id == YUVR_LONG_HELP_ID).c_str(), -1));
            return TCL_OK;
        }
        if (id == YUVR_EMPTY_OPTION_ID)
            return fail(std::string(def.command) + ": empty option name \"-\"");
        const YUVR_ARG_SPEC* arg = cmd->find_argument(id);
        if (!arg)
            return fail(describe_unknown(cmd, name));
        if (i + 1 >= objc)
            return fail(std::string(def.command) + ": option \"-" + def.option_name(static_cast<int>(id)) +
                        "\" needs a value");
        if (store_value(cmd, *arg, def.option_name(static_cast<int>(id)), objv[++i]) != TCL_OK)
            return TCL_ERROR;
    }
    for (const YUVR_ARG_SPEC* a = def.arguments; a && a->id != 0; ++a)
        if (!(a->flags & YUVR_ARG_OPTIONAL) && !m_strings.count(a->id))
            return fail(std::string(def.command) + ": missing required option \"-" +
                        def.option_name(static_cast<int>(a->id)) + "\"");
    return TCL_OK;
}

const char* YUVR_ARGS::get_one_arg_option(uint32_t id) const
{
    auto it = m_strings.find(id);
    return it == m_strings.end() ? nullptr : it->second.c_str();
}

int YUVR_ARGS::get_int_arg_option(uint32_t id, bool* present) const
{
    auto it = m_numbers.find(id);
    if (present)
        *present = it != m_numbers.end();
    return it == m_numbers.end() ? 0 : static_cast<int>(it->second);
}

unsigned int YUVR_ARGS::get_uint_arg_option(uint32_t id, bool* present) const
{
    auto it = m_numbers.find(id);
    if (present)
        *present = it != m_numbers.end();
    return it == m_numbers.end() ? 0u : static_cast<unsigned int>(it->second);
}

// ---- packages -------------------------------------------------------------------------------

void yuvr_begin_package_setup(const char* ns, const char* version, const char*, const char*, bool)
{
    PACKAGE_SETUP& s = setup();
    s.ns = ns ? ns : "";
    s.version = version ? version : "";
    s.open = true;
}

void yuvr_register_callbacks(const YUVR_CALLBACK* table)
{
    PACKAGE_SETUP& s = setup();
    if (!g_interp || !s.open)
        return;
    Tcl_Eval(g_interp, ("namespace eval " + s.ns + " {}").c_str());
    std::vector<std::string>& names = package_commands()[s.ns];
    for (const YUVR_CALLBACK* row = table; row->proc && row->name; ++row) {
        Tcl_CreateObjCommand(g_interp, row->name, row->proc, row->client_data, nullptr);
        names.push_back(row->name);
    }
}

void yuvr_end_package_setup() { setup().open = false; }

int yuvr_unregister_package(Tcl_Interp* interp)
{
    PACKAGE_SETUP& s = setup();
    if (!interp || !s.open)
        return TCL_ERROR;
    auto it = package_commands().find(s.ns);
    if (it != package_commands().end()) {
        for (const std::string& name : it->second)
            Tcl_DeleteCommand(interp, name.c_str());
        package_commands().erase(it);
    }
    Tcl_Eval(interp, ("package forget " + s.ns).c_str());
    return TCL_OK;
}

void yuvr_forget_package(Tcl_Interp* interp, const char* name)
{
    if (!interp || !name)
        return;
    Tcl_InterpState caller = Tcl_SaveInterpState(interp, TCL_OK);
    std::vector<std::pair<std::string, std::string>> loaders;  // version and script
    if (eval_words(interp, {"package", "versions", name}) == TCL_OK) {
        Tcl_Obj* versions = Tcl_GetObjResult(interp);
        Tcl_IncrRefCount(versions);
        int count = 0;
        Tcl_Obj** items = nullptr;
        Tcl_ListObjGetElements(nullptr, versions, &count, &items);
        for (int i = 0; i < count; ++i)
            if (eval_words(interp, {"package", "ifneeded", name, Tcl_GetString(items[i])}) == TCL_OK)
                loaders.emplace_back(Tcl_GetString(items[i]), Tcl_GetStringResult(interp));
        Tcl_DecrRefCount(versions);
    }
    eval_words(interp, {"package", "forget", name});
    for (const auto& loader : loaders)
        eval_words(interp, {"package", "ifneeded", name, loader.first, loader.second});
    Tcl_RestoreInterpState(interp, caller);
}

int yuvr_package_require(Tcl_Interp* interp, const char* name, const char* version, int exact, int report_errors)
{
    if (!interp)
        return TCL_ERROR;
    if (Tcl_PkgRequire(interp, name, version, exact))
        return TCL_OK;
    if (report_errors)
        std::fprintf(stderr, "package require %s: %s\n", name, Tcl_GetStringResult(interp));
    return TCL_ERROR;
}

Tcl_Interp* yuvr_get_interpreter() { return g_interp; }

void yuvr_set_interpreter(Tcl_Interp* interp)
{
    if (interp == g_interp)
        return;
    if (g_interp)
        Tcl_DontCallWhenDeleted(g_interp, forget_deleted_interpreter, nullptr);
    g_interp = interp;
    if (interp)
        Tcl_CallWhenDeleted(interp, forget_deleted_interpreter, nullptr);
}

bool yuvr_is_dynamically_loading()
{
    const char* value = std::getenv("KORVANE_TCL_DYNAMIC");
    return value && std::strcmp(value, "1") == 0;
}

void* yuvr_get_ptr(const char* text)
{
    if (!text || !*text)
        return nullptr;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0')
        return nullptr;
    // The text is a pointer that was written out as a number, so the cast is the point.
    return reinterpret_cast<void*>(static_cast<uintptr_t>(value));  // NOLINT(performance-no-int-to-ptr)
}

void yuvr_declare_module_package(Tcl_Interp* interp, const char* short_name, const char* version,
                                 const char* static_name, const std::string& library_file)
{
    Tcl_Obj* load = list_of({"load", yuvr_is_dynamically_loading() ? library_file : "", static_name});
    Tcl_IncrRefCount(load);
    const std::string script = std::string(Tcl_GetString(load)) + "\npackage provide " + short_name + " " + version;
    Tcl_DecrRefCount(load);
    Tcl_Obj* ifneeded = list_of({"package", "ifneeded", short_name, version, script});
    Tcl_IncrRefCount(ifneeded);
    Tcl_EvalObjEx(interp, ifneeded, TCL_EVAL_GLOBAL);
    Tcl_DecrRefCount(ifneeded);
}

// Debug lines and location schemas of the message library.
#include "msg.h"

#include <tcl.h>

#include <cstdio>
#include <cstring>
#include <iostream>

namespace {

std::vector<MSG_DEBUG_LINE>& debug_lines()
{
    static std::vector<MSG_DEBUG_LINE> lines;
    return lines;
}

int schema_error(Tcl_Interp* interp, const std::string& text)
{
    if (interp)
        Tcl_SetObjResult(interp, Tcl_NewStringObj(text.c_str(), -1));
    return TCL_ERROR;
}

}  // namespace

void msg_local_vdebug(const char* module, int level, const char* format, va_list arguments)
{
    va_list copy;
    va_copy(copy, arguments);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        std::vsnprintf(&text[0], text.size() + 1, format, arguments);
    if (MSG_JOURNAL::is_echo())
        std::cerr << "Debug (" << module << "): " << text << '\n';
    debug_lines().push_back({module ? module : "", level, text});
}

const std::vector<MSG_DEBUG_LINE>& msg_get_debug_lines() { return debug_lines(); }

void msg_clear_debug_lines() { debug_lines().clear(); }

int MSG_LOCATION_SCHEMA::from_tcl_string(void*, Tcl_Interp* interp, int argc, const char** argv)
{
    auto schema = std::make_unique<MSG_GEN_LOCATION_SCHEMA>();
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc)
            return schema_error(interp, std::string("location schema: option \"") + argv[i] + "\" has no value");
        if (std::strcmp(argv[i], "-source") == 0 && !schema->get_source())
            schema->set_source(argv[i + 1]);
        else if (std::strcmp(argv[i], "-object") == 0)
            schema->add_object(std::make_unique<MSG_GEN_LOC_OBJ>(*argv[i + 1] ? argv[i + 1] : nullptr));
        else
            return schema_error(interp, std::string("location schema: unknown or repeated option \"") + argv[i] +
                                            "\": must be -source or -object");
    }
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<void*>(schema.release()));
    if (interp)
        Tcl_SetObjResult(interp, Tcl_NewStringObj(address, -1));
    return TCL_OK;
}

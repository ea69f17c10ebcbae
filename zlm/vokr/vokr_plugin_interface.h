// The plain interface between the module and its decoding plug-ins (version 3): the records a
// plug-in hands over and its eleven entry points. Plug-in libraries include this header alone.
#pragma once

struct PLUGIN_STRING_PAIR {
    const char* first;
    const char* second;
};

struct PLUGIN_NODE {
    const char* name;
    const char* alias;
};

struct PLUGIN_OPTION {
    const char* name;
    const char* description;
    const char* type;  // "number", "file" or anything else for a plain text
};

// One mnemonic table as a plug-in returns it (72 bytes).
struct PLUGIN_MNEMONIC_TABLE {
    const char* table_name;
    const char* group_name;
    const char* group_alias;
    PLUGIN_NODE* nodes;
    int node_count;
    PLUGIN_OPTION* options;
    int option_count;
    PLUGIN_STRING_PAIR* pairs;
    int pair_count;
};
static_assert(sizeof(PLUGIN_MNEMONIC_TABLE) == 72, "the plug-in record is 72 bytes");

extern "C" {
using PLUGIN_GET_VERSION = int (*)(int* version);
using PLUGIN_OPEN = int (*)(char* name, int size, const char*** unit_names, int* unit_count);
using PLUGIN_CLOSE = int (*)();
using PLUGIN_GET_MNEMONIC_TABLES = int (*)(PLUGIN_MNEMONIC_TABLE** setup, int* setup_count,
                                           PLUGIN_MNEMONIC_TABLE** data, int* data_count, const char** nodes,
                                           int node_count);
using PLUGIN_OPEN_MNEMONIC_TABLE = int (*)(void** handle, const char* table, PLUGIN_STRING_PAIR* pairs, int count);
using PLUGIN_CLOSE_MNEMONIC_TABLE = int (*)(void* handle);
using PLUGIN_SET_USER_OPTIONS = int (*)(void* handle, const char** settings, int count, char** results, int size);
using PLUGIN_REFRESH_DISPLAY_MNEMONICS = int (*)(void* handle);
using PLUGIN_GET_DISPLAY_MNEMONIC = int (*)(void* handle, char* text, int size, const char* value);
using PLUGIN_GET_TRIGGER_DATA = int (*)(void* handle, char* data, int size, const char* symbol);
using PLUGIN_GET_ERROR_MSG = const char* (*)();
}

constexpr int VOKR_PLUGIN_INTERFACE_VERSION = 3;
constexpr int VOKR_PLUGIN_BUFFER_SIZE = 1024;

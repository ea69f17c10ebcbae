// Decoding plug-ins: libraries "zlm_vok_*" in the module's directory with eleven plain entry
// points (interface version 3), loaded by the first manager of the process into a registry.
#pragma once

#include <QString>
#include <QStringList>

#include <map>

class QLibrary;

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

// One loaded plug-in library.
struct VOKR_PLUGIN_LIBRARY {
    QLibrary* library = nullptr;
    QStringList unit_names;
    PLUGIN_CLOSE plugin_close = nullptr;
    PLUGIN_GET_MNEMONIC_TABLES plugin_get_mnemonic_tables = nullptr;
    PLUGIN_OPEN_MNEMONIC_TABLE plugin_open_mnemonic_table = nullptr;
    PLUGIN_CLOSE_MNEMONIC_TABLE plugin_close_mnemonic_table = nullptr;
    PLUGIN_SET_USER_OPTIONS plugin_set_user_options = nullptr;
    PLUGIN_REFRESH_DISPLAY_MNEMONICS plugin_refresh_display_mnemonics = nullptr;
    PLUGIN_GET_DISPLAY_MNEMONIC plugin_get_display_mnemonic = nullptr;
    PLUGIN_GET_TRIGGER_DATA plugin_get_trigger_data = nullptr;
    PLUGIN_GET_ERROR_MSG plugin_get_error_msg = nullptr;

    // The process-wide registry, by the name each plug-in reports.
    static std::map<QString, VOKR_PLUGIN_LIBRARY>& registry();
    // Loads every plug-in library of the module's directory that passes the checks.
    static void load_all();
    // Unloads every library and empties the registry.
    static void unload_all();
};

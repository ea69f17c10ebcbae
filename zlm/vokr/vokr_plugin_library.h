// Decoding plug-ins: libraries "zlm_vok_*" in the module's directory with eleven plain entry
// points (interface version 3), loaded by the first manager of the process into a registry.
#pragma once

#include "vokr_plugin_interface.h"

#include <QString>
#include <QStringList>

#include <map>

class QLibrary;

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

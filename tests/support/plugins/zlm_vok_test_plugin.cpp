// A decoding plug-in for the registry and table tests. One source, several libraries: the
// compile definitions choose the name it reports, its interface version, the result and text of
// plugin_open, whether plugin_close is exported, its unit names and its error text. At run time
// VOKR_TEST_PLUGIN_FAULT chooses one misbehaviour of the table functions:
//   tables-fail       plugin_get_mnemonic_tables fails
//   no-setup          only the data table
//   duplicate-node    the setup table names its first node twice
//   open-table-fails  plugin_open_mnemonic_table fails
//   option-message    a message for the second of the three options
//   options-fail      plugin_set_user_options fails
//   unterminated      every text buffer filled to its end without a terminating NUL
//   lookup-fails      display and trigger look-ups fail
// Tables: a setup table over the first four node names given, a data table over the third to
// sixth (two nodes in both).
#include "vokr_plugin_interface.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef TEST_PLUGIN_NAME
#define TEST_PLUGIN_NAME "Good Decoder"
#endif
#ifndef TEST_PLUGIN_VERSION
#define TEST_PLUGIN_VERSION 3
#endif
#ifndef TEST_PLUGIN_OPEN_RESULT
#define TEST_PLUGIN_OPEN_RESULT 0
#endif
#ifndef TEST_PLUGIN_UNIT
#define TEST_PLUGIN_UNIT "uart_rx"
#endif

namespace {

const char* g_units[] = {TEST_PLUGIN_UNIT, "shared_unit"};

bool fault(const char* which)
{
    const char* chosen = std::getenv("VOKR_TEST_PLUGIN_FAULT");
    return chosen && std::strcmp(chosen, which) == 0;
}

// Fills a buffer to its very end, as a careless plug-in may.
void fill_unterminated(char* buffer, int size) { std::memset(buffer, 'x', static_cast<size_t>(size)); }

PLUGIN_OPTION g_options[] = {{"base", "Number base of the values", "number"},
                             {"symbols", "File of extra symbols", "file"},
                             {"style", "Upper or lower case", "string"}};
PLUGIN_STRING_PAIR g_pairs[] = {{"format", "hex"}};

// The tables of the last call; the strings stay valid until the next call.
std::vector<std::string> g_names;
std::vector<std::string> g_aliases;
std::vector<PLUGIN_NODE> g_setup_nodes;
std::vector<PLUGIN_NODE> g_data_nodes;
PLUGIN_MNEMONIC_TABLE g_tables[2];

struct OPENED_TABLE {
    std::string name;
    std::string settings;
};
OPENED_TABLE g_opened[64];
int g_open_count = 0;

}  // namespace

extern "C" {

int plugin_get_version(int* version)
{
    *version = TEST_PLUGIN_VERSION;
    return 0;
}

int plugin_open(char* name, int size, const char*** unit_names, int* unit_count)
{
    // On failure the buffer holds the error text.
#ifdef TEST_PLUGIN_OPEN_ERROR
    std::snprintf(name, static_cast<size_t>(size), "%s", TEST_PLUGIN_OPEN_ERROR);
#else
    std::snprintf(name, static_cast<size_t>(size), "%s", TEST_PLUGIN_NAME);
#endif
    *unit_names = g_units;
    *unit_count = 2;
    return TEST_PLUGIN_OPEN_RESULT;
}

#ifndef TEST_PLUGIN_WITHOUT_CLOSE
int plugin_close() { return 0; }
#endif

int plugin_get_mnemonic_tables(PLUGIN_MNEMONIC_TABLE** setup, int* setup_count, PLUGIN_MNEMONIC_TABLE** data,
                               int* data_count, const char** nodes, int node_count)
{
    if (fault("tables-fail") || node_count < 6)
        return 1;
    g_names.assign(nodes, nodes + 6);
    g_aliases.clear();
    for (int i = 0; i < 6; ++i)
        g_aliases.push_back("n" + std::to_string(i));
    auto node = [](int i) { return PLUGIN_NODE{g_names[i].c_str(), g_aliases[i].c_str()}; };
    g_setup_nodes = {node(0), node(1), node(2), node(3)};
    if (fault("duplicate-node"))
        g_setup_nodes[1] = node(0);
    g_data_nodes = {node(2), node(3), node(4), node(5)};
    g_tables[0] = {"trace", "trace", "TR", g_setup_nodes.data(), 4, g_options, 3, g_pairs, 1};
    g_tables[1] = {"trace_data", "trace_data", "TD", g_data_nodes.data(), 4, nullptr, 0, nullptr, 0};
    const bool with_setup = !fault("no-setup");
    *setup = with_setup ? &g_tables[0] : nullptr;
    *setup_count = with_setup ? 1 : 0;
    *data = &g_tables[1];
    *data_count = 1;
    return 0;
}

int plugin_open_mnemonic_table(void** handle, const char* table, PLUGIN_STRING_PAIR* pairs, int count)
{
    if (fault("open-table-fails") || (count > 0 && !pairs))
        return 1;
    OPENED_TABLE* opened = &g_opened[g_open_count++ % 64];
    opened->name = table;
    opened->settings.clear();
    *handle = opened;
    return 0;
}

int plugin_close_mnemonic_table(void*) { return 0; }

int plugin_set_user_options(void* handle, const char** settings, int count, char** results, int size)
{
    if (fault("options-fail"))
        return 1;
    auto* opened = static_cast<OPENED_TABLE*>(handle);
    opened->settings.clear();
    for (int i = 0; i < count; ++i)
        opened->settings += std::string(i ? "," : "") + settings[i];
    if (fault("option-message") && count >= 2)
        std::snprintf(results[1], static_cast<size_t>(size), "%s is not a symbol file", settings[1]);
    if (fault("unterminated"))
        for (int i = 0; i < count; ++i)
            fill_unterminated(results[i], size);
    return 0;
}

int plugin_refresh_display_mnemonics(void*) { return 0; }

// The display text: the table name, the settings and the value.
int plugin_get_display_mnemonic(void* handle, char* text, int size, const char* value)
{
    if (fault("lookup-fails"))
        return 1;
    if (fault("unterminated")) {
        fill_unterminated(text, size);
        return 0;
    }
    const auto* opened = static_cast<const OPENED_TABLE*>(handle);
    std::snprintf(text, static_cast<size_t>(size), "%s[%s]:%s", opened->name.c_str(), opened->settings.c_str(), value);
    return 0;
}

// The trigger data of a symbol: "IDLE" is 0000, "BUSY" 1x1x.
int plugin_get_trigger_data(void*, char* data, int size, const char* symbol)
{
    if (fault("lookup-fails"))
        return 1;
    if (fault("unterminated")) {
        fill_unterminated(data, size);
        return 0;
    }
    const char* pattern = std::strcmp(symbol, "IDLE") == 0   ? "0000"
                          : std::strcmp(symbol, "BUSY") == 0 ? "1x1x"
                                                             : nullptr;
    if (!pattern)
        return 1;
    std::snprintf(data, static_cast<size_t>(size), "%s", pattern);
    return 0;
}

const char* plugin_get_error_msg()
{
#ifdef TEST_PLUGIN_ERROR_TEXT
    return TEST_PLUGIN_ERROR_TEXT;
#else
    return nullptr;
#endif
}

}  // extern "C"

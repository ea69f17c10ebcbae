// A decoding plug-in for the registry tests. One source, several libraries: the compile
// definitions choose the name it reports, its interface version, the result of plugin_open,
// whether plugin_close is exported, its unit names and its error text.
#include <cstdio>

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

struct PLUGIN_MNEMONIC_TABLE;
struct PLUGIN_STRING_PAIR;

namespace {

const char* g_units[] = {TEST_PLUGIN_UNIT, "shared_unit"};

}  // namespace

extern "C" {

int plugin_get_version(int* version)
{
    *version = TEST_PLUGIN_VERSION;
    return 0;
}

int plugin_open(char* name, int size, const char*** unit_names, int* unit_count)
{
    // On failure the buffer holds the error text; here it is the name either way.
    std::snprintf(name, static_cast<size_t>(size), "%s", TEST_PLUGIN_NAME);
    *unit_names = g_units;
    *unit_count = 2;
    return TEST_PLUGIN_OPEN_RESULT;
}

#ifndef TEST_PLUGIN_WITHOUT_CLOSE
int plugin_close() { return 0; }
#endif

int plugin_get_mnemonic_tables(PLUGIN_MNEMONIC_TABLE** setup, int* setup_count, PLUGIN_MNEMONIC_TABLE** data,
                               int* data_count, const char**, int)
{
    *setup = nullptr;
    *data = nullptr;
    *setup_count = *data_count = 0;
    return 0;
}

int plugin_open_mnemonic_table(void** handle, const char*, PLUGIN_STRING_PAIR*, int)
{
    *handle = nullptr;
    return 1;
}

int plugin_close_mnemonic_table(void*) { return 0; }

int plugin_set_user_options(void*, const char**, int, char**, int) { return 0; }

int plugin_refresh_display_mnemonics(void*) { return 0; }

int plugin_get_display_mnemonic(void*, char* text, int, const char*)
{
    text[0] = '\0';
    return 0;
}

int plugin_get_trigger_data(void*, char* data, int, const char*)
{
    data[0] = '\0';
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

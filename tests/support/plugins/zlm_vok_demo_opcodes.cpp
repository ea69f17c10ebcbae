// An example decoding plug-in for the demo design: it finds the processor core (the instance
// that holds a "decoder" unit), taps the opcode field of its instruction register, ir[31..26],
// as one group in the trigger list and one in the data list, and names the opcodes.
//
// Options: "radix" (number, 2 or 16) the base in which opcodes without a name are shown;
// "symbol file" (file) lines "NAME=bbbbbb" that add or rename opcodes; "case" (string, "upper"
// or "lower") the case of the names. A setting the decoder cannot use leaves the option as it
// was and says why in the option's result.
#include "vokr_plugin_interface.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int OPCODE_BITS = 6;
const char* g_units[] = {"decoder"};

PLUGIN_NODE g_nodes[OPCODE_BITS] = {{"ir[31]", "op5"}, {"ir[30]", "op4"}, {"ir[29]", "op3"},
                                    {"ir[28]", "op2"}, {"ir[27]", "op1"}, {"ir[26]", "op0"}};
PLUGIN_OPTION g_options[] = {{"radix", "Base of opcodes without a name: 2 or 16", "number"},
                             {"symbol file", "Lines NAME=bbbbbb that add or rename opcodes", "file"},
                             {"case", "Case of the names: upper or lower", "string"}};
PLUGIN_STRING_PAIR g_pairs[] = {{"field", "ir[31..26]"}};
PLUGIN_MNEMONIC_TABLE g_tables[2] = {
    {"cpu_opcodes", "opcode", "OPCODE", g_nodes, OPCODE_BITS, g_options, 3, g_pairs, 1},
    {"cpu_opcodes", "opcode", "OPCODE", g_nodes, OPCODE_BITS, g_options, 3, g_pairs, 1}};

const std::map<std::string, std::string> BUILT_IN = {
    {"000000", "NOP"}, {"000001", "ADD"},  {"000010", "SUB"}, {"000011", "AND"}, {"000100", "OR"},  {"000101", "XOR"},
    {"000110", "SHL"}, {"000111", "SHR"},  {"001000", "LD"},  {"001001", "ST"},  {"001010", "JMP"}, {"001011", "BEQ"},
    {"001100", "BNE"}, {"001101", "CALL"}, {"001110", "RET"}, {"111111", "HALT"}};

// One opened table: its names by bit pattern and its display settings.
struct DECODER {
    std::map<std::string, std::string> names = BUILT_IN;
    int radix = 16;
    bool lower = false;
};
DECODER g_decoders[16];
int g_decoder_count = 0;
std::string g_error;

bool is_pattern(const std::string& bits)
{
    if (bits.size() != OPCODE_BITS)
        return false;
    for (char c : bits)
        if (c != '0' && c != '1')
            return false;
    return true;
}

std::string with_case(std::string text, bool lower)
{
    for (char& c : text)
        c = static_cast<char>(lower ? std::tolower(static_cast<unsigned char>(c))
                                    : std::toupper(static_cast<unsigned char>(c)));
    return text;
}

void say(char* result, int size, const std::string& text)
{
    std::snprintf(result, static_cast<size_t>(size), "%s", text.c_str());
}

bool set_radix(DECODER* d, const char* setting, char* result, int size)
{
    const std::string text = setting;
    if (text.empty())
        return true;
    if (text != "2" && text != "16") {
        say(result, size, "radix " + text + " is neither 2 nor 16");
        return false;
    }
    d->radix = std::stoi(text);
    return true;
}

bool read_symbols(DECODER* d, const char* setting, char* result, int size)
{
    const std::string path = setting;
    if (path.empty())
        return true;
    std::ifstream in(path);
    if (!in) {
        say(result, size, "cannot read the symbol file " + path);
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos || !is_pattern(line.substr(equals + 1))) {
            if (!line.empty())
                say(result, size, "ignored the line \"" + line + "\"");
            continue;
        }
        d->names[line.substr(equals + 1)] = line.substr(0, equals);
    }
    return true;
}

bool set_case(DECODER* d, const char* setting, char* result, int size)
{
    const std::string text = setting;
    if (text.empty() || text == "upper" || text == "lower") {
        d->lower = text == "lower";
        return true;
    }
    say(result, size, "case " + text + " is neither upper nor lower");
    return false;
}

std::string unnamed(const std::string& bits, int radix)
{
    if (radix == 2)
        return bits;
    char text[8];
    std::snprintf(text, sizeof(text), "0x%02lX", std::stoul(bits, nullptr, 2));
    return text;
}

}  // namespace

extern "C" {

int plugin_get_version(int* version)
{
    *version = 3;
    return 0;
}

int plugin_open(char* name, int size, const char*** unit_names, int* unit_count)
{
    std::snprintf(name, static_cast<size_t>(size), "Demo Opcode Decoder");
    *unit_names = g_units;
    *unit_count = 1;
    return 0;
}

int plugin_close() { return 0; }

int plugin_get_mnemonic_tables(PLUGIN_MNEMONIC_TABLE** setup, int* setup_count, PLUGIN_MNEMONIC_TABLE** data,
                               int* data_count, const char** nodes, int node_count)
{
    for (const PLUGIN_NODE& bit : g_nodes) {
        bool found = false;
        for (int i = 0; i < node_count && !found; ++i)
            found = std::strcmp(nodes[i], bit.name) == 0;
        if (!found) {
            g_error = std::string("the instance has no tappable ") + bit.name;
            return 1;
        }
    }
    *setup = &g_tables[0];
    *data = &g_tables[1];
    *setup_count = *data_count = 1;
    return 0;
}

int plugin_open_mnemonic_table(void** handle, const char* table, PLUGIN_STRING_PAIR*, int)
{
    if (std::strcmp(table, "cpu_opcodes") != 0) {
        g_error = std::string("no table ") + table;
        return 1;
    }
    DECODER* d = &g_decoders[g_decoder_count++ % 16];
    *d = DECODER();
    *handle = d;
    return 0;
}

int plugin_close_mnemonic_table(void*) { return 0; }

int plugin_set_user_options(void* handle, const char** settings, int count, char** results, int size)
{
    if (count != 3) {
        g_error = "the table takes three options";
        return 1;
    }
    auto* d = static_cast<DECODER*>(handle);
    set_radix(d, settings[0], results[0], size);
    read_symbols(d, settings[1], results[1], size);
    set_case(d, settings[2], results[2], size);
    return 0;
}

int plugin_refresh_display_mnemonics(void*) { return 0; }

int plugin_get_display_mnemonic(void* handle, char* text, int size, const char* value)
{
    const auto* d = static_cast<const DECODER*>(handle);
    if (!is_pattern(value))
        return 1;
    auto it = d->names.find(value);
    say(text, size, it == d->names.end() ? unnamed(value, d->radix) : with_case(it->second, d->lower));
    return 0;
}

int plugin_get_trigger_data(void* handle, char* data, int size, const char* symbol)
{
    const auto* d = static_cast<const DECODER*>(handle);
    const std::string wanted = with_case(symbol, false);
    for (const auto& [bits, name] : d->names)
        if (with_case(name, false) == wanted) {
            say(data, size, bits);
            return 0;
        }
    g_error = std::string("\"") + symbol + "\" is not an opcode";
    return 1;
}

const char* plugin_get_error_msg() { return g_error.empty() ? nullptr : g_error.c_str(); }

}  // extern "C"

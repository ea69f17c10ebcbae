#include "vokr_tcl_args_auto.h"

#include "hux_string_hash.h"
#include "vokr_assert.h"

#include <array>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace {

// Option names by id; index 0 is empty and a null entry follows the last id.
constexpr const char* OPTION_NAMES[] = {
    "",
    "h",
    "help",
    "long_help",
    "action",
    "combobox_type",
    "direction",
    "entry_mnemonic",
    "entry_radix",
    "entry_row",
    "entry_value",
    "filename",
    "find_string",
    "import_filename",
    "keyboard_key",
    "keyboard_modifier",
    "log_name",
    "nodename",
    "sample_number",
    "schema",
    "signal_set_name",
    "table_name",
    "table_width",
    "time",
    "time_unit_index",
    "trigger_name",
    "type",
    "x_coord",
    "y_coord",
    nullptr,
};
constexpr int LAST_OPTION_ID = VOKR_AUTO_ARG_Y_COORD;

constexpr uint32_t STR = YUVR_ARG_STRING;
constexpr uint32_t INT = YUVR_ARG_INT;
constexpr uint32_t UINT = YUVR_ARG_UINT;
constexpr uint64_t REQ = 0;
constexpr uint64_t OPT = YUVR_ARG_OPTIONAL;

// Argument tables; commands with the same options share one.
constexpr YUVR_ARG_SPEC ARGS_NONE[] = {{0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_DO_LOCATE[] = {{VOKR_AUTO_ARG_SCHEMA, STR, REQ}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_SHOW_LIST_VIEW[] = {{VOKR_AUTO_ARG_FILENAME, STR, OPT}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_OPEN_FILE[] = {{VOKR_AUTO_ARG_FILENAME, STR, REQ}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_ADD_NODE[] = {
    {VOKR_AUTO_ARG_FILENAME, STR, REQ}, {VOKR_AUTO_ARG_NODENAME, STR, REQ}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_MNEMONIC_DIALOG[] = {{VOKR_AUTO_ARG_ACTION, STR, REQ},
                                                  {VOKR_AUTO_ARG_ENTRY_MNEMONIC, STR, OPT},
                                                  {VOKR_AUTO_ARG_ENTRY_RADIX, STR, OPT},
                                                  {VOKR_AUTO_ARG_ENTRY_ROW, STR, OPT},
                                                  {VOKR_AUTO_ARG_ENTRY_VALUE, STR, OPT},
                                                  {VOKR_AUTO_ARG_IMPORT_FILENAME, STR, OPT},
                                                  {VOKR_AUTO_ARG_TABLE_NAME, STR, OPT},
                                                  {VOKR_AUTO_ARG_TABLE_WIDTH, STR, OPT},
                                                  {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_ADD_TABLE[] = {
    {VOKR_AUTO_ARG_TABLE_NAME, STR, OPT}, {VOKR_AUTO_ARG_TABLE_WIDTH, STR, OPT}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_ADD_ENTRY[] = {{VOKR_AUTO_ARG_ENTRY_MNEMONIC, STR, OPT},
                                            {VOKR_AUTO_ARG_ENTRY_RADIX, STR, OPT},
                                            {VOKR_AUTO_ARG_ENTRY_VALUE, STR, OPT},
                                            {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_FILE_DIALOG[] = {{VOKR_AUTO_ARG_IMPORT_FILENAME, STR, OPT}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_DELETE_ENTRY[] = {{VOKR_AUTO_ARG_ENTRY_ROW, STR, OPT}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_SWITCH_TO_ADVANCED[] = {{VOKR_AUTO_ARG_COMBOBOX_TYPE, INT, REQ}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_COORDS[] = {
    {VOKR_AUTO_ARG_X_COORD, INT, REQ}, {VOKR_AUTO_ARG_Y_COORD, INT, REQ}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_MENU_ACTIONS[] = {
    {VOKR_AUTO_ARG_ACTION, STR, REQ}, {VOKR_AUTO_ARG_X_COORD, INT, REQ}, {VOKR_AUTO_ARG_Y_COORD, INT, REQ}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_TIME_UNITS[] = {
    {VOKR_AUTO_ARG_TIME, STR, REQ}, {VOKR_AUTO_ARG_TIME_UNIT_INDEX, STR, REQ}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_TIME_BAR[] = {{VOKR_AUTO_ARG_SAMPLE_NUMBER, STR, OPT},
                                           {VOKR_AUTO_ARG_TIME, STR, OPT},
                                           {VOKR_AUTO_ARG_TIME_UNIT_INDEX, STR, OPT},
                                           {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_KEY_PRESS[] = {
    {VOKR_AUTO_ARG_KEYBOARD_KEY, STR, REQ}, {VOKR_AUTO_ARG_KEYBOARD_MODIFIER, UINT, REQ}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_FIND[] = {
    {VOKR_AUTO_ARG_DIRECTION, UINT, REQ}, {VOKR_AUTO_ARG_FIND_STRING, STR, REQ}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_STORAGE_QUALIFIER[] = {{VOKR_AUTO_ARG_TYPE, STR, OPT}, {0, 0, 0}};
constexpr YUVR_ARG_SPEC ARGS_SET_ACTIVE[] = {{VOKR_AUTO_ARG_LOG_NAME, STR, OPT},
                                             {VOKR_AUTO_ARG_SIGNAL_SET_NAME, STR, OPT},
                                             {VOKR_AUTO_ARG_TRIGGER_NAME, STR, OPT},
                                             {0, 0, 0}};

struct COMMAND_TABLE_ROW {
    const char* name;
    const YUVR_ARG_SPEC* arguments;
};

constexpr COMMAND_TABLE_ROW COMMANDS[VOKR_TCL_COMMAND_COUNT] = {
    {"vokr_do_locate", ARGS_DO_LOCATE},
    {"vokr_show_list_view", ARGS_SHOW_LIST_VIEW},
    {"vokr_open_file", ARGS_OPEN_FILE},
    {"vokr_on_print_file", ARGS_NONE},
    {"vokr_add_node", ARGS_ADD_NODE},
    {"vokr_on_mnemonic_dialog", ARGS_MNEMONIC_DIALOG},
    {"vokr_dlg_trigger_add_table_dialog", ARGS_ADD_TABLE},
    {"vokr_dlg_trigger_add_table_dialog_accept", ARGS_ADD_TABLE},
    {"vokr_dlg_trigger_add_entry_dialog", ARGS_ADD_ENTRY},
    {"vokr_dlg_trigger_add_entry_dialog_accept", ARGS_ADD_ENTRY},
    {"vokr_dlg_trigger_file_dialog", ARGS_FILE_DIALOG},
    {"vokr_dlg_trigger_file_dialog_accept", ARGS_FILE_DIALOG},
    {"vokr_dlg_trigger_import_dialog_accept", ARGS_NONE},
    {"vokr_dlg_trigger_delete_table", ARGS_NONE},
    {"vokr_dlg_trigger_delete_entry", ARGS_DELETE_ENTRY},
    {"vokr_switch_to_advanced_view", ARGS_SWITCH_TO_ADVANCED},
    {"vokr_on_property_dialog", ARGS_COORDS},
    {"vokr_dlg_trigger_property_dialog", ARGS_NONE},
    {"vokr_dlg_trigger_property_dialog_accept", ARGS_NONE},
    {"vokr_test_advanced_menu_actions", ARGS_MENU_ACTIONS},
    {"vokr_test_advanced_focus_in", ARGS_NONE},
    {"vokr_dlg_trigger_property_dialog_insert", ARGS_NONE},
    {"vokr_on_time_units_dialog", ARGS_TIME_UNITS},
    {"vokr_dlg_trigger_time_units_dialog", ARGS_TIME_UNITS},
    {"vokr_on_insert_time_bar_dialog", ARGS_TIME_BAR},
    {"vokr_dlg_trigger_insert_time_bar_dialog", ARGS_TIME_BAR},
    {"vokr_on_advanced_key_press", ARGS_KEY_PRESS},
    {"vokr_find", ARGS_FIND},
    {"vokr_dlg_trigger_find_dialog", ARGS_NONE},
    {"vokr_check_locate_enable", ARGS_NONE},
    {"vokr_set_storage_qualifier", ARGS_STORAGE_QUALIFIER},
    {"vokr_undo_view", ARGS_NONE},
    {"vokr_redo_view", ARGS_NONE},
    {"vokr_set_active", ARGS_SET_ACTIVE},
    {"vokr_delete_all_node_in_view", ARGS_NONE},
    {"vokr_test_update_waveform_menu", ARGS_NONE},
};

// Every option name mapped to its id.
struct COMMON_TABLE {
    HUX_STRING_HASH hash;
    COMMON_TABLE()
    {
        for (int id = 1; id <= LAST_OPTION_ID; ++id)
            hash.insert_or_get(OPTION_NAMES[id]) = static_cast<uint32_t>(id);
    }
};

const HUX_STRING_HASH& common_table()
{
    static const COMMON_TABLE table;
    return table.hash;
}

// The ids a command accepts: the help options and its own.
std::vector<uint32_t> option_set(int command)
{
    std::vector<uint32_t> ids = {VOKR_AUTO_ARG_H, VOKR_AUTO_ARG_HELP, VOKR_AUTO_ARG_LONG_HELP};
    for (const YUVR_ARG_SPEC* a = COMMANDS[command].arguments; a->id != 0; ++a)
        ids.push_back(a->id);
    return ids;
}

bool accepts(int command, uint32_t id)
{
    if (id >= VOKR_AUTO_ARG_H && id <= VOKR_AUTO_ARG_LONG_HELP)
        return true;
    for (const YUVR_ARG_SPEC* a = COMMANDS[command].arguments; a->id != 0; ++a)
        if (a->id == id)
            return true;
    return false;
}

// Every proper prefix of an option's name that no other option of the command shares.
struct PREFIX_TABLE {
    std::deque<std::string> keys;  // the hash keeps pointers into these
    HUX_STRING_HASH hash;

    explicit PREFIX_TABLE(int command)
    {
        const std::vector<uint32_t> ids = option_set(command);
        std::vector<std::pair<std::string, uint32_t>> entries;
        for (uint32_t id : ids) {
            const std::string name = OPTION_NAMES[id];
            for (size_t length = 1; length < name.size(); ++length) {
                const std::string prefix = name.substr(0, length);
                bool shared = false;
                for (uint32_t other : ids)
                    shared = shared || (other != id && std::strncmp(OPTION_NAMES[other], prefix.c_str(), length) == 0);
                if (!shared)
                    entries.emplace_back(prefix, id);
            }
        }
        hash.reserve(static_cast<uint32_t>(2 * entries.size()));
        for (const auto& [prefix, id] : entries) {
            keys.push_back(prefix);
            hash.insert_or_get(keys.back().c_str()) = id;
        }
    }
};

uint32_t value_in(const HUX_STRING_HASH& table, const char* name)
{
    const HUX_STRING_HASH::NODE* node = table.find(name);
    return node ? node->value : VOKR_AUTO_ARG_NOT_FOUND;
}

// The lookup of one command: its full names first, then its unique prefixes.
template <int COMMAND> uint32_t lookup(const char* name)
{
    const bool empty = !name || !*name;
    const uint32_t exact = empty ? static_cast<uint32_t>(VOKR_AUTO_ARG_EMPTY) : value_in(common_table(), name);
    if (accepts(COMMAND, exact))
        return exact;
    if (empty)
        return VOKR_AUTO_ARG_EMPTY;
    static const PREFIX_TABLE prefixes(COMMAND);
    return value_in(prefixes.hash, name);
}

template <size_t... I>
constexpr std::array<YUVR_CMD_DEFINITION, VOKR_TCL_COMMAND_COUNT> make_definitions(std::index_sequence<I...>)
{
    return {{{"vokr", COMMANDS[I].name, vokr_tcl_option_name, lookup<static_cast<int>(I)>, nullptr, nullptr,
              COMMANDS[I].arguments, nullptr, nullptr, nullptr}...}};
}

constexpr std::array<YUVR_CMD_DEFINITION, VOKR_TCL_COMMAND_COUNT> DEFINITIONS =
    make_definitions(std::make_index_sequence<VOKR_TCL_COMMAND_COUNT>());

}  // namespace

const YUVR_CMD_DEFINITION* const VOKR_TCL_COMMAND_DEFINITIONS = DEFINITIONS.data();

const char* vokr_tcl_option_name(int id)
{
    common_table();
    if (id <= 0 || id > LAST_OPTION_ID)
        VOKR_INTERNAL_ERROR("The calling function has passed an illegal VOKR_AUTO_ARGUMENT_ENUM");
    return OPTION_NAMES[id];
}

uint32_t vokr_tcl_lookup_option(int command, const char* name)
{
    VOKR_ASSERT(command >= 0 && command < VOKR_TCL_COMMAND_COUNT);
    return VOKR_TCL_COMMAND_DEFINITIONS[command].option_lookup(name);
}

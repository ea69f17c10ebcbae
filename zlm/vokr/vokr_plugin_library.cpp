#include "vokr_plugin_library.h"

#include "fio.h"
#include "gen.h"
#include "vokr_plugin_dialogs.h"

#include <QLibrary>

#include <vector>

namespace {

// The file name ending of the platform's dynamic libraries.
#if defined(_WIN32)
constexpr const char* VOKR_PLUGIN_SUFFIX = ".dll";
#elif defined(__APPLE__)
constexpr const char* VOKR_PLUGIN_SUFFIX = ".dylib";
#else
constexpr const char* VOKR_PLUGIN_SUFFIX = ".so";
#endif

// Resolves every entry point the record keeps; false when one is missing.
bool resolve_entry_points(QLibrary* library, VOKR_PLUGIN_LIBRARY* p)
{
    auto resolve = [library](const char* name) { return library->resolve(name); };
    p->plugin_close = reinterpret_cast<PLUGIN_CLOSE>(resolve("plugin_close"));
    p->plugin_get_mnemonic_tables = reinterpret_cast<PLUGIN_GET_MNEMONIC_TABLES>(resolve("plugin_get_mnemonic_tables"));
    p->plugin_open_mnemonic_table = reinterpret_cast<PLUGIN_OPEN_MNEMONIC_TABLE>(resolve("plugin_open_mnemonic_table"));
    p->plugin_close_mnemonic_table =
        reinterpret_cast<PLUGIN_CLOSE_MNEMONIC_TABLE>(resolve("plugin_close_mnemonic_table"));
    p->plugin_set_user_options = reinterpret_cast<PLUGIN_SET_USER_OPTIONS>(resolve("plugin_set_user_options"));
    p->plugin_refresh_display_mnemonics =
        reinterpret_cast<PLUGIN_REFRESH_DISPLAY_MNEMONICS>(resolve("plugin_refresh_display_mnemonics"));
    p->plugin_get_display_mnemonic =
        reinterpret_cast<PLUGIN_GET_DISPLAY_MNEMONIC>(resolve("plugin_get_display_mnemonic"));
    p->plugin_get_trigger_data = reinterpret_cast<PLUGIN_GET_TRIGGER_DATA>(resolve("plugin_get_trigger_data"));
    p->plugin_get_error_msg = reinterpret_cast<PLUGIN_GET_ERROR_MSG>(resolve("plugin_get_error_msg"));
    return p->plugin_close && p->plugin_get_mnemonic_tables && p->plugin_open_mnemonic_table &&
           p->plugin_close_mnemonic_table && p->plugin_set_user_options && p->plugin_refresh_display_mnemonics &&
           p->plugin_get_display_mnemonic && p->plugin_get_trigger_data && p->plugin_get_error_msg;
}

bool has_version_3(QLibrary* library)
{
    auto get_version = reinterpret_cast<PLUGIN_GET_VERSION>(library->resolve("plugin_get_version"));
    int version = 0;
    return get_version && get_version(&version) == 0 && version == VOKR_PLUGIN_INTERFACE_VERSION;
}

void discard(QLibrary* library)
{
    library->unload();
    delete library;
}

// Loads one library; registers it under the name it reports when every check passes.
void load_one(const QString& path)
{
    auto* library = new QLibrary(path);
    if (!library->load()) {
        delete library;
        return;
    }
    VOKR_PLUGIN_LIBRARY record;
    auto open = reinterpret_cast<PLUGIN_OPEN>(library->resolve("plugin_open"));
    if (!has_version_3(library) || !open || !resolve_entry_points(library, &record)) {
        discard(library);
        return;
    }
    char name[VOKR_PLUGIN_BUFFER_SIZE] = {};
    const char** units = nullptr;
    int unit_count = 0;
    const int opened = open(name, sizeof(name), &units, &unit_count);
    name[sizeof(name) - 1] = '\0';
    if (opened != 0) {
        // The plug-in is not registered, so its error text is shown as it stands.
        if (name[0])
            vokr_show_plugin_box(QString::fromLatin1(name));
        discard(library);
        return;
    }
    for (int i = 0; units && i < unit_count; ++i)
        record.unit_names << QString::fromLatin1(units[i] ? units[i] : "");
    record.library = library;
    // A later library of the same name takes the entry; the earlier one is of no more use.
    VOKR_PLUGIN_LIBRARY& entry = VOKR_PLUGIN_LIBRARY::registry()[QString::fromLatin1(name)];
    if (entry.library)
        discard(entry.library);
    entry = record;
}

}  // namespace

std::map<QString, VOKR_PLUGIN_LIBRARY>& VOKR_PLUGIN_LIBRARY::registry()
{
    static std::map<QString, VOKR_PLUGIN_LIBRARY> plugins;
    return plugins;
}

void VOKR_PLUGIN_LIBRARY::load_all()
{
    const std::string directory = gen_get_module_path();
    const std::string pattern = directory + "zlm_vok_*" + VOKR_PLUGIN_SUFFIX;
    std::vector<std::string> files;
    FIO_FIND_DATA found;
    const long search = FIO_FILE_SYSTEM::findfirst(pattern.c_str(), &found);
    if (search == -1)
        return;
    do
        files.push_back(found.name);
    while (FIO_FILE_SYSTEM::findnext(search, &found) != -1);
    FIO_FILE_SYSTEM::findclose(search);
    for (const std::string& file : files)
        load_one(QString::fromLocal8Bit((directory + file).c_str()));
}

void VOKR_PLUGIN_LIBRARY::unload_all()
{
    for (auto& entry : registry())
        if (entry.second.library)
            discard(entry.second.library);
    registry().clear();
}

#include "gen.h"

#include "prj.h"

#include <dlfcn.h>

#include <cstdlib>

namespace {

bool g_is_qt = false;
std::string g_module_path_override;

std::string with_separator(std::string directory)
{
    if (!directory.empty() && directory.back() != '/')
        directory += '/';
    return directory;
}

// The directory of the library that holds this function: every library of the build lands there.
std::string own_directory()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&own_directory), &info) || !info.dli_fname)
        return "./";  // the library cannot be found: the working directory is the best guess
    const std::string file = info.dli_fname;
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? "./" : file.substr(0, slash + 1);
}

}  // namespace

bool gen_get_is_qt() { return g_is_qt; }

void gen_set_is_qt(bool is_qt) { g_is_qt = is_qt; }

std::string gen_get_module_path()
{
    if (!g_module_path_override.empty())
        return g_module_path_override;
    if (const char* env = std::getenv("KORVANE_MODULE_PATH"); env && *env)
        return with_separator(env);
    return own_directory();
}

void gen_set_module_path(const std::string& directory)
{
    g_module_path_override = directory.empty() ? std::string() : with_separator(directory);
}

std::string gen_get_db_dir_path_string()
{
    const PRJ_PROJECT* project = PRJ_PROJECT::get_open();
    if (!project)
        return "db/";
    const std::string& path = project->get_path();
    const size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "db/";
}

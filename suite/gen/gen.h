// General services of the suite: process mode and the module directory.
#pragma once

#include <string>

// True in the suite's alternative hierarchy-database mode; never here, as the stand-in has only
// the one kind of hierarchy database (toz.h).
inline bool gen_is_mav() { return false; }

// True when the suite runs with its Qt user interface (the host says so at start-up).
bool gen_get_is_qt();
void gen_set_is_qt(bool is_qt);

// Directory of the suite's libraries, ending with a separator so that a file name can be
// appended directly. KORVANE_MODULE_PATH or gen_set_module_path overrides it (tests).
std::string gen_get_module_path();
void gen_set_module_path(const std::string& directory);

// The open project's database directory (where the compiler leaves its databases), ending with a
// separator; "db/" in the working directory without a project.
std::string gen_get_db_dir_path_string();

// The suite's run-time library loading.
#pragma once

using THR_DRL_HANDLE = void*;

// Loads a library by path; null on failure, with thr_drl_get_error() telling why. A bare name
// ("sys_rafq") is looked for first beside the suite's own libraries, then where the system looks.
THR_DRL_HANDLE thr_drl_load(const char* path);
void* thr_drl_find_function(THR_DRL_HANDLE handle, const char* name);
const char* thr_drl_get_error();
void thr_drl_unload(THR_DRL_HANDLE handle);

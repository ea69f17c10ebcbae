#include "thr.h"

#include <QLibrary>

#include <string>

namespace {

std::string& last_error()
{
    static std::string error;
    return error;
}

}  // namespace

THR_DRL_HANDLE thr_drl_load(const char* path)
{
    auto* library = new QLibrary(QString::fromLocal8Bit(path ? path : ""));
    if (!library->load()) {
        last_error() = library->errorString().toStdString();
        delete library;
        return nullptr;
    }
    return library;
}

void* thr_drl_find_function(THR_DRL_HANDLE handle, const char* name)
{
    auto* library = static_cast<QLibrary*>(handle);
    void* function = library ? reinterpret_cast<void*>(library->resolve(name)) : nullptr;
    if (!function)
        last_error() = library ? library->errorString().toStdString() : "no library";
    return function;
}

const char* thr_drl_get_error() { return last_error().c_str(); }

void thr_drl_unload(THR_DRL_HANDLE handle)
{
    auto* library = static_cast<QLibrary*>(handle);
    if (library)
        library->unload();
    delete library;
}

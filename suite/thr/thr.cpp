#include "thr.h"

#include <QFileInfo>
#include <QLibrary>

#include <dlfcn.h>

#include <string>

namespace {

std::string& last_error()
{
    static std::string error;
    return error;
}

// The directory that holds this library, the suite's plug-ins beside it.
QString suite_directory()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&thr_drl_get_error), &info) || !info.dli_fname)
        return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
}

}  // namespace

THR_DRL_HANDLE thr_drl_load(const char* path)
{
    const QString name = QString::fromLocal8Bit(path ? path : "");
    if (!name.isEmpty() && !name.contains('/')) {
        const QString dir = suite_directory();
        auto* beside = new QLibrary(dir + '/' + name);
        if (!dir.isEmpty() && beside->load())
            return beside;
        delete beside;
    }
    auto* library = new QLibrary(name);
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

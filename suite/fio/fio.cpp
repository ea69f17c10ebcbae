#include "fio.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <map>

namespace {

struct SEARCH {
    QStringList names;
    int next = 0;
};

std::map<long, SEARCH>& searches()
{
    static std::map<long, SEARCH> open;
    return open;
}

}  // namespace

long FIO_FILE_SYSTEM::findfirst(const char* pattern, FIO_FIND_DATA* data)
{
    const QFileInfo info(QString::fromLocal8Bit(pattern ? pattern : ""));
    QDir dir(info.path());
    const QStringList names = dir.entryList({info.fileName()}, QDir::Files, QDir::Name);
    if (names.isEmpty())
        return -1;
    static long next_handle = 1;
    const long handle = next_handle++;
    searches()[handle] = {names, 0};
    findnext(handle, data);
    return handle;
}

int FIO_FILE_SYSTEM::findnext(long handle, FIO_FIND_DATA* data)
{
    auto it = searches().find(handle);
    if (it == searches().end() || it->second.next >= it->second.names.size())
        return -1;
    data->name = it->second.names[it->second.next++].toLocal8Bit().toStdString();
    return 0;
}

void FIO_FILE_SYSTEM::findclose(long handle) { searches().erase(handle); }

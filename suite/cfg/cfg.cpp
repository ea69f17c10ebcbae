#include "cfg.h"

#include <QFile>
#include <QString>
#include <QTextStream>

#include <cstdlib>

namespace {

// 1 on, 0 off, -1 not a switch value.
int parse_switch(const QString& text)
{
    const QString v = text.trimmed().toLower();
    if (v == "on" || v == "true" || v == "yes" || v == "1")
        return 1;
    if (v == "off" || v == "false" || v == "no" || v == "0")
        return 0;
    return -1;
}

int from_file(const QString& name)
{
    const char* path = std::getenv("KORVANE_CFG_FILE");
    if (!path || !*path)
        return -1;
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    QTextStream in(&file);
    int found = -1;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const int eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed() == name)
            found = parse_switch(line.mid(eq + 1));
    }
    return found;
}

}  // namespace

bool cfg_is_on(const char* name, bool default_value)
{
    const QString key = QString::fromLatin1(name);
    if (const char* env = std::getenv(("KORVANE_CFG_" + key).toLatin1().constData())) {
        const int v = parse_switch(QString::fromLocal8Bit(env));
        if (v >= 0)
            return v == 1;
    }
    const int v = from_file(key);
    return v >= 0 ? v == 1 : default_value;
}

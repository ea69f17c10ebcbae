#include "nixq.h"

#include <QSettings>

#include <cstdlib>
#include <memory>

namespace {

// The user's settings file of the suite: under the organisation and application name it
// registers, or in the directory a test gives.
std::unique_ptr<QSettings> open_settings()
{
    if (const char* dir = std::getenv("KORVANE_SETTINGS_DIR"); dir && *dir)
        return std::make_unique<QSettings>(QString::fromLocal8Bit(dir) + "/korvane.ini", QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Korvane", "korvane");
}

}  // namespace

NIXQ_REGISTRY_KEY::NIXQ_REGISTRY_KEY(int sub_key) : m_sub_key(sub_key) {}

QString NIXQ_REGISTRY_KEY::key_of(const char* name) const
{
    return QString("key%1/%2").arg(m_sub_key).arg(QString::fromLatin1(name));
}

bool NIXQ_REGISTRY_KEY::get_value(const char* name, QVariant* value) const
{
    const QVariant v = open_settings()->value(key_of(name));
    if (!v.isValid())
        return false;
    *value = v;
    return true;
}

bool NIXQ_REGISTRY_KEY::set_value(const char* name, const QVariant& value)
{
    auto settings = open_settings();
    settings->setValue(key_of(name), value);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

void NIXQ_REGISTRY_KEY::remove_value(const char* name) { open_settings()->remove(key_of(name)); }

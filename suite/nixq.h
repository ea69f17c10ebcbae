// Per-user registry of the suite, kept in QSettings.
#pragma once

#include <QString>
#include <QVariant>

// The values of one sub-key of the user's registry. KORVANE_SETTINGS_DIR, when set, holds
// the settings file (tests use a directory of their own).
class NIXQ_REGISTRY_KEY {
public:
    explicit NIXQ_REGISTRY_KEY(int sub_key);
    // False when the value was never stored.
    bool get_value(const char* name, QVariant* value) const;
    bool set_value(const char* name, const QVariant& value);
    void remove_value(const char* name);

private:
    QString key_of(const char* name) const;
    int m_sub_key;
};

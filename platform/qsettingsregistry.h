#pragma once

#include "platform/registry.h"

#include <QString>

class QSettings;

// Registry on QSettings.
//
// The default store is the system's own: on Windows the registry under
// HKEY_LOCAL_MACHINE (key "Software\\Velmp3" is the registry key
// HKEY_LOCAL_MACHINE\Software\Velmp3), elsewhere the INI file Velmp3/Velmp3.ini
// in the user's configuration folder (~/.config on Linux desktops). In an INI
// file the key path becomes the group of the value, so "Software\\Velmp3" with
// value "Lx" is stored as Software/Velmp3/Lx. Values are stored as text
// (UTF-8 in INI files, REG_SZ in the registry).
//
// Every write is flushed at once; writeString returns false when the store
// reports an error (for instance no right to write the key or the file).
class QSettingsRegistry : public Registry
{
public:
    // The system's store as described above.
    QSettingsRegistry();
    // An INI file at the given path, on every system.
    explicit QSettingsRegistry(const QString &iniFilePath);
    ~QSettingsRegistry() override;

    QString readString(const QString &key, const QString &name) override;
    bool writeString(const QString &key, const QString &name, const QString &value) override;

private:
    struct Location;
    Location locate(const QString &key, const QString &name) const;

    QString m_iniFilePath; // empty: the system's store
};

#include "qsettingsregistry.h"

#include <QSettings>

#include <memory>

// One value's place: the settings object that holds it and the name under
// which QSettings knows it.
struct QSettingsRegistry::Location
{
    std::unique_ptr<QSettings> settings;
    QString name;
};

namespace {

// QSettings separates groups with "/"; registry keys use "\".
QString groupPath(const QString &key, const QString &name)
{
    QString path = key;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.isEmpty() ? name : path + QLatin1Char('/') + name;
}

} // namespace

QSettingsRegistry::QSettingsRegistry() = default;

QSettingsRegistry::QSettingsRegistry(const QString &iniFilePath)
    : m_iniFilePath(iniFilePath)
{
}

QSettingsRegistry::~QSettingsRegistry() = default;

QSettingsRegistry::Location QSettingsRegistry::locate(const QString &key, const QString &name) const
{
    if (!m_iniFilePath.isEmpty())
        return {std::make_unique<QSettings>(m_iniFilePath, QSettings::IniFormat), groupPath(key, name)};
#ifdef Q_OS_WIN
    QString registryKey = key;
    registryKey.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return {std::make_unique<QSettings>(QStringLiteral("HKEY_LOCAL_MACHINE\\") + registryKey,
                                        QSettings::NativeFormat),
            name};
#else
    return {std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                        QStringLiteral("Velmp3"), QStringLiteral("Velmp3")),
            groupPath(key, name)};
#endif
}

QString QSettingsRegistry::readString(const QString &key, const QString &name)
{
    const Location at = locate(key, name);
    return at.settings->value(at.name).toString();
}

bool QSettingsRegistry::writeString(const QString &key, const QString &name, const QString &value)
{
    const Location at = locate(key, name);
    at.settings->setValue(at.name, value);
    at.settings->sync();
    return at.settings->status() == QSettings::NoError;
}

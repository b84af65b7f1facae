#include "fakeregistry.h"

QString FakeRegistry::path(const QString &key, const QString &name)
{
    return key + QLatin1Char('\\') + name;
}

QString FakeRegistry::readString(const QString &key, const QString &name)
{
    ++m_reads;
    return m_values.value(path(key, name));
}

bool FakeRegistry::writeString(const QString &key, const QString &name, const QString &value)
{
    m_writes.append(name + QLatin1Char('=') + value);
    if (m_failWrites)
        return false;
    m_values.insert(path(key, name), value);
    return true;
}

void FakeRegistry::setValue(const QString &key, const QString &name, const QString &value)
{
    m_values.insert(path(key, name), value);
}

QString FakeRegistry::value(const QString &key, const QString &name) const
{
    return m_values.value(path(key, name));
}

bool FakeRegistry::contains(const QString &key, const QString &name) const
{
    return m_values.contains(path(key, name));
}

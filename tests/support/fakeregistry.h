#pragma once

#include "platform/registry.h"

#include <QHash>
#include <QString>
#include <QStringList>

// In-memory Registry. Every write attempt is recorded in order as
// "name=value" (e.g. "Lx=真"), also when writes are told to fail; a failed
// write leaves the stored value unchanged and returns false.
class FakeRegistry : public Registry
{
public:
    QString readString(const QString &key, const QString &name) override;
    bool writeString(const QString &key, const QString &name, const QString &value) override;

    // Test helpers.
    void setValue(const QString &key, const QString &name, const QString &value);
    QString value(const QString &key, const QString &name) const;
    bool contains(const QString &key, const QString &name) const;
    QStringList writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }
    void setFailWrites(bool fail) { m_failWrites = fail; }
    int readCount() const { return m_reads; }

private:
    static QString path(const QString &key, const QString &name);

    QHash<QString, QString> m_values;
    QStringList m_writes;
    bool m_failWrites = false;
    int m_reads = 0;
};

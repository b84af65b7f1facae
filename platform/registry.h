#pragma once

#include <QString>

// String values under one key of the settings store (the registry on
// Windows). Key and value names are those of the program, e.g. key
// "Software\\Velmp3" with values "Lx" and "SJ".
class Registry
{
public:
    virtual ~Registry() = default;
    // A missing value reads as empty text.
    virtual QString readString(const QString &key, const QString &name) = 0;
    // Creates the key and value when missing; returns false when the write failed.
    virtual bool writeString(const QString &key, const QString &name, const QString &value) = 0;
};

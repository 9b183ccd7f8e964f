#pragma once

// A home of the test's own: the config, data and cache folders the program
// reads and writes, emptied, under `dir`.

#include <QDir>
#include <QString>

inline void useEmptyHome(const QString& dir)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    qputenv("XDG_CONFIG_HOME", QDir(dir).filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", QDir(dir).filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CACHE_HOME", QDir(dir).filePath(QStringLiteral("cache")).toUtf8());
}

#include "folders.h"

#include <QDir>

namespace miravon::userdata {
namespace {

QString folder(const char* variable, const QString& fallback)
{
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + fallback;
    return base + QStringLiteral("/miravon");
}

} // namespace

QString configDir() { return folder("XDG_CONFIG_HOME", QStringLiteral("/.config")); }
QString dataDir() { return folder("XDG_DATA_HOME", QStringLiteral("/.local/share")); }
QString cacheDir() { return folder("XDG_CACHE_HOME", QStringLiteral("/.cache")); }

} // namespace miravon::userdata

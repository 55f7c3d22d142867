// Paths written with "\" or "/" turned into native paths.
#include "Paths.h"

#include <QDir>

namespace platform {

QString nativePath(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(p);
}

QString joinPath(const QString &dir, const QString &relative)
{
    const QString rel = nativePath(relative);
    if (QDir::isAbsolutePath(rel))
        return rel;
    return QDir::cleanPath(nativePath(dir) + QLatin1Char('/') + rel);
}

} // namespace platform

#pragma once

// Paths written with either separator, turned into the native form.

#include <QString>

namespace platform {

// The program's own texts write paths with "\" ("podaci\korisnici.db") as well as "/"
// ("podaci/promet.db"). Both separate; this turns either form into the native form.
QString nativePath(const QString &path);

// Joins a directory and a relative path written in either form.
QString joinPath(const QString &dir, const QString &relative);

} // namespace platform

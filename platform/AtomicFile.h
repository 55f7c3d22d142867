#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace platform {

// Replaces the file at `path` with `data`: the bytes go to a temporary file in the same
// folder, which is flushed and renamed over the target, so the target is always either the
// old whole file or the new whole file. `permissions`, when given, are set on the new file
// before it becomes visible. Returns an empty string on success, otherwise the system's
// reason.
QString writeFileAtomically(const QString &path, const QByteArray &data,
                            QFileDevice::Permissions permissions = {});

} // namespace platform

#include "AtomicFile.h"

#include <QSaveFile>

namespace platform {

QString writeFileAtomically(const QString &path, const QByteArray &data,
                            QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (permissions && !file.setPermissions(permissions)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace platform

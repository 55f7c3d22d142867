// The backup page's file rules: backup names from date and time text, the list of backup
// candidates in the data directory, and the check of a restore name. Pure functions over
// strings and directory listings; nothing here writes a file or changes the current
// directory.
#include "BackupFiles.h"

#include "platform/Paths.h"

#include <QDir>

namespace backup_files {

QString backupFileName(const QString &dateText, const QString &timeText)
{
    const QString datePart = dateText.mid(0, 2) + u'-' + dateText.mid(3, 2) + u'-' +
                             dateText.mid(8, 2);
    QString timePart;
    if (timeText.size() == 8)
        timePart = timeText.mid(0, 2) + u'-' + timeText.mid(3, 2) + u'-' + timeText.mid(6, 2);
    else if (timeText.size() == 7)
        timePart = u'0' + timeText.mid(0, 1) + u'-' + timeText.mid(2, 2) + u'-' +
                   timeText.mid(5, 2);
    return QStringLiteral("bck-") + datePart + u'-' + timePart + QStringLiteral(".db");
}

QStringList listBackupNames(const QString &dataDir)
{
    // QDir lists without changing the current directory. Without QDir::Hidden and
    // QDir::System, hidden files (among them the temporary files of a backup being
    // written) and sockets, pipes, devices and broken links are not listed.
    const QDir dir(dataDir);
    const QStringList names =
        dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QStringList out;
    for (const QString &name : names)
        if (name.startsWith(u'b') && name != QLatin1String("baza.txt")) // the server's URI
            out.append(name);
    return out;
}

QString dataDirectory(const QString &startDir)
{
    return platform::joinPath(startDir, QStringLiteral("podaci"));
}

QString journalFile(const QString &startDir)
{
    return platform::joinPath(startDir, QStringLiteral("podaci\\promet.db"));
}

QString ftpOptionFile(const QString &startDir)
{
    return platform::joinPath(startDir, QStringLiteral("podaci\\ftpop.txt"));
}

} // namespace backup_files

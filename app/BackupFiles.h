#pragma once

// The file rules of the backup page, kept apart from the window so they can be checked on
// their own: how a backup is named, which files of the data directory are offered as
// backups, which restore names are acceptable, and where the FTP option file lives.

#include <QString>
#include <QStringList>

namespace backup_files {

// "bck-" + DD-MM-YY + "-" + HH-MM-SS + ".db" from date text ("07/12/2026") and time text.
// The time text may have a one-digit hour ("9:05:33") or two ("09:05:33"); a time text of
// any other length gives an empty time part ("bck-07-12-26-.db").
QString backupFileName(const QString &dateText, const QString &timeText);

// Names, without path, of the plain files of `dataDir` whose names begin with a lower-case
// "b", in name order ignoring case. Subdirectories, hidden and special files, and baza.txt
// (the database server's URI), are left out.
// Does not change the current directory.
QStringList listBackupNames(const QString &dataDir);

// The data directory of a start directory, and the files in it the page works with.
QString dataDirectory(const QString &startDir);
QString journalFile(const QString &startDir);
QString ftpOptionFile(const QString &startDir);

} // namespace backup_files

#pragma once

// Off-site copies of the backups: where they go, the key they are encrypted with, the copies
// a target holds and how many it keeps. The administrator sets a target up once (init()); from
// then on every backup (the backup page's, dorvanta-admin backup's, a day close's) is also
// sealed (SealedBackup.h) and written to each target by send(), which never throws: a failed
// copy leaves the local backup as it is, answers false and says why, and the last outcome is
// kept for the backup page.
//
// Kept in the data directory, podaci/:
//   rezerva-kljuc.txt   the backup key as its recovery text, readable by its owner only
//   rezerva.txt         the targets: "FASCIKLA <path>" and/or "FTP" (the upload option's
//                       server, in the folder dorvanta-rezerva/ there), one a line
//   rezerva-stanje.txt  the last copy's outcome: "OK" or "GRESKA", its time (ISO), the copy's
//                       name or the reason
// A folder target keeps its copies in PATH/dorvanta-rezerva/, made by init(): a missing folder
// (a disk that is not mounted) fails the copy rather than filling the mount point's own disk.
// A copy is named by its backup's moment alone: "YYYY-MM-DD-HH-MM-SS.dvr".
//
// A copy carries the whole shop (version 2 of the sealed format): the journal's backup with its
// cash book, the tables korisnici, aktivnost and grupe, and the files ftpop.txt, rezerva.txt,
// rezerva-kljuc.txt, potpis-kljuc.pem and potpis-javni.pem, packed one after another
// (packShop()); what belongs to the computer (baza.txt, local backups, the export) stays out.
// Its sealed label names the backup's moment, the shop's identity, the journal's head, record
// count and last document (sealed::Label). OffsiteRestore.h brings a copy back.
//
// Failures throw engine::EngineError with a text ready to be shown, except send().

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "SealedBackup.h"

#include <functional>
#include <memory>
#include <vector>

namespace desk::offsite {

struct Settings
{
    QString folder; // the folder target's PATH; empty when none
    bool ftp = false;
    bool any() const { return !folder.isEmpty() || ftp; }
};

// One place copies go to: a folder, an FTP server.
class Target
{
public:
    virtual ~Target() = default;
    // "fascikla /media/usb/dorvanta-rezerva", "FTP server/dorvanta-rezerva": for messages.
    virtual QString label() const = 0;
    // The names of the files the target holds (every file; callers pick the copies).
    virtual QStringList names() = 0;
    // Writes the sealed file `localPath` as `name` (whole, or not at all where it can).
    virtual void put(const QString &localPath, const QString &name) = 0;
    virtual void get(const QString &name, const QString &localPath) = 0;
    virtual void remove(const QString &name) = 0;
    // Makes the place the copies go where it is missing (init()); throws when the target
    // cannot be reached.
    virtual void prepare() {}
};

// Makes the FTP target of the data directory `dir` (its upload option's server). Set by the
// FTP component; without one, an FTP target fails saying so.
using FtpTargetFactory = std::function<std::unique_ptr<Target>(const QString &dir)>;
void setFtpTargetFactory(FtpTargetFactory factory);

QString folderOfCopies(const QString &path); // PATH/dorvanta-rezerva

Settings settings(const QString &dir);
std::vector<std::unique_ptr<Target>> targets(const QString &dir, const Settings &settings);

// Sets the targets of `dir` up: their folder made, the settings written and, unless the data
// directory has a key already, a new key (or `givenKey`, on a new computer restoring with the
// recovery text). Returns the recovery text of the key the copies will use.
QString init(const QString &dir, const Settings &settings, const QByteArray &givenKey = {});
// The key of `dir`; throws when none is set up.
QByteArray key(const QString &dir);
bool hasKey(const QString &dir);

// The copy's name for a backup named `backupName` (bck-DD-MM-YY-HH-MM-SS.db; another name
// gives the moment `now`).
QString copyName(const QString &backupName, const QDateTime &now);
bool isCopyName(const QString &name);

// Seals podaci/`backupName` and writes it to every target, then trims each target to what it
// keeps (keep()). Never throws. False when the copy failed on any target. `report` gets the
// lines to show either way: empty when no target is set up (true: nothing to copy); otherwise
// one line per target, "Kopija van lokacije: <target>/<copy>" or "Kopija van lokacije NIJE
// snimljena (<target>): <reason>". The outcome is kept in rezerva-stanje.txt.
bool send(const QString &dir, const QString &backupName, const QDateTime &now,
          QString *report = nullptr);

// Of the copy names `names`, those a target keeps: the 30 newest, and the newest of each
// month for the 120 months up to the newest copy's.
QStringList keep(const QStringList &names);

struct Copy
{
    QString target;
    QString name;
};
// The copies on every target of `settings`, newest first per target; a target that cannot be
// read throws.
QList<Copy> list(const QString &dir, const Settings &settings);

// Fetches the copy `name` from the first target of `settings` that has it, checks and decrypts
// it with `key` into podaci/`localName`, and returns its label. Refused (nothing written) when
// no target has it, or it is not a whole copy of that key.
sealed::Label fetch(const QString &dir, const Settings &settings, const QString &name,
                    const QByteArray &key, const QString &localName);

// The files of a copy of the whole shop, in the order they are packed: the journal's backup
// goes as "promet.db".
const QStringList &shopFiles();
// Packs the files `files` (name in the copy, path) into `packPath`: the magic "DVRSKUP\n", then
// per file its name's length (2 bytes, big-endian), the name, its size (8 bytes, big-endian)
// and its bytes.
void packShop(const QList<std::pair<QString, QString>> &files, const QString &packPath);
// Unpacks `packPath` into the folder `folder`; returns the names unpacked. A name that is not
// one of shopFiles(), given twice, or a pack cut short is refused.
QStringList unpackShop(const QString &packPath, const QString &folder);
// The label of a backup of `dir` made at `moment`: the shop's identity, the backup's journal's
// head, record count and last document.
sealed::Label labelOf(const QString &dir, const QString &backupPath, const QDateTime &moment);

// The last copy's outcome, for the backup page: "Poslednja kopija van lokacije: <name>, <time>"
// or "Poslednja kopija van lokacije NIJE snimljena (<time>): <reason>"; empty when no target is
// set up.
QString statusLine(const QString &dir);

} // namespace desk::offsite

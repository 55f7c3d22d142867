#pragma once

// Restoring a backup over the journal and clearing the journal, as the backup page and
// dorvanta-admin do them: one operation each, so that both ask the same questions and keep the
// same promises.
//
//   preview()  reads what a restore of a backup would do without changing anything: the
//              journal's records the backup lacks and the closed days whose figures the
//              backup's records would no longer give;
//   run()      archives the journal, replaces it by a checked copy of the backup, carries
//              the closes, counters and audit log of the journal it replaces over to it and
//              logs the act, naming the closed days it changed. A backup whose log the
//              journal's does not continue (the shop's copy restored on a new computer) keeps
//              its own log and chain: every entry of it, then the replaced journal's entries
//              logged again, then the restore.
//
// Guarantees: only a plain file name of the data directory naming a journal table that opens
// with the table password and passes SQLite's integrity check replaces the journal, also when
// the journal is missing or damaged; the journal is replaced by renaming a whole copy over it,
// so it is never half written; a closed day stays closed and no number is given twice. Each
// throws engine::EngineError with a text ready to be shown; the caller's own session must not
// hold the journal open during run().

#include "DayCloses.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace engine {
class Table;
}

namespace desk::restore {

struct Preview
{
    QString source;          // the backup's path
    std::optional<int> lost; // records of the journal that the backup lacks (both readable)
    // The closed days (of the journal and of the backup) whose stored figures the backup's
    // records do not give: restoring it changes what those days were closed as.
    QList<cashbook::ClosedDayDrift> closedDays;
};

// Checks the backup `name` of the data directory `dir` and reads what restoring it would do.
Preview preview(const QString &dir, const QString &name);

// A closed day is changed only by the administrator: whether restoring the backup of `preview`
// needs his code.
bool needsAdminCode(const Preview &preview);
// Whether the restore of `preview` into `dir` may go on with the code `code` (any code when it
// needs none); when not, `reason` gets why ("sifra administratora nije tacna").
bool allowed(const QString &dir, const Preview &preview, const QString &code, QString &reason);

struct Outcome
{
    QString archive; // the archive of the replaced journal; empty when it could not be written
    QString archiveReason;
    // Set when the records came back but the closes, numbers or log did not: the restore is
    // done, and this says what is missing.
    QString bookError;
};

// Replaces the journal of `dir` by the backup `name` in the name of `who`. The journal is
// first archived as `archiveName` (a restore goes on when that fails; the log says so).
// `closedDays` are the changed closed days the caller confirmed: the log entry names them.
Outcome run(const QString &dir, const QString &name, const QString &who, const QString &archiveName,
            const QList<cashbook::ClosedDayDrift> &closedDays);

// Saves the journal of `dir` as the archive backup podaci/`archiveName` (written as a backup
// is, with its cash book) before a clear or a restore replaces it; throws the reason it could
// not be written.
void archive(const QString &dir, const QString &archiveName);

// Clears the open journal `journal` of `dir` in the name of `who`: the archive first (without
// an archive nothing is cleared: "Arhiva prometa nije snimljena, tabela NIJE obrisana: ..."),
// then the records, their numbers and links in one transaction, logged with the archive's name
// (chain::clearJournal()).
void clear(engine::Table &journal, const QString &dir, const QString &who,
           const QString &archiveName);

// Whether `name` is a plain file name of the data directory; the reason it is not.
QString checkPlainFileName(const QString &name);

} // namespace desk::restore

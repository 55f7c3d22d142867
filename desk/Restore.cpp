// Restoring a backup over the journal: the checks, the question's figures and the act.
#include "Restore.h"

#include "DeskTables.h"
#include "CashBook.h"
#include "JournalChain.h"

#include "engine/EngineError.h"
#include "engine/FieldType.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableSchema.h"
#include "engine/TableStores.h"
#include "engine/Transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <functional>

namespace desk::restore {

namespace {

using engine::EngineError;

const QString Journal = QStringLiteral("podaci/promet.db");

// Calls `visit` with a 64-bit hash of each record of an open table, over the canonical
// encoding of its stored values.
void scanRecordHashes(const engine::Table &table, const std::function<void(size_t)> &visit)
{
    const int fields = int(table.fieldNames().size());
    QByteArray key;
    table.scan([&](const engine::RecordView &r) {
        key.resize(0);
        chain::encodeStored(key, r, 0, fields);
        visit(qHash(QByteArrayView(key), 0x64a1b7c3));
    });
}

// Each record of the journal that is not matched by an equal one of the backup is lost. A
// hash collision of two different records (odds of about 1 in 10^9 over a million records)
// could only make the count one too small.
int lostRecords(const engine::Table &backup, const engine::Table &journal)
{
    QHash<size_t, int> kept;
    kept.reserve(backup.recordCount());
    scanRecordHashes(backup, [&kept](size_t hash) { ++kept[hash]; });
    int lost = 0;
    scanRecordHashes(journal, [&kept, &lost](size_t hash) {
        const auto match = kept.find(hash);
        if (match == kept.end() || match.value() == 0)
            ++lost;
        else
            --match.value();
    });
    return lost;
}

// The backup's path after the checks every restore makes; throws the reason it is refused.
QString checkedSource(const QString &base, const QString &name)
{
    if (const QString reason = checkPlainFileName(name); !reason.isEmpty())
        throw EngineError(EngineError::Kind::Value, reason);
    const QString source = QDir(base).filePath(QStringLiteral("podaci/") + name);
    if (!QFileInfo(source).isFile())
        throw EngineError(EngineError::Kind::NotFound, QStringLiteral("Table does not exist: %1").arg(name));
    promet().checkTableFile(source, tablePassword());
    engine::checkTableIntegrity(source); // a damaged copy never replaces the journal
    return source;
}

// The closes of an open journal; none when it has no cash book yet.
QList<DayClose> closesOf(engine::Table &table)
{
    try {
        return cashbook::closes(table);
    } catch (const EngineError &) {
        return {};
    }
}

const char LogColumns[] = "RB, VREME, KORISNIK, RADNJA, OPIS, ZAPISA, GLAVA, POCETAK, HES";

QList<QVariantList> logOf(engine::Table &table)
{
    try {
        return table.runBeside(QStringLiteral("SELECT %1 FROM dorvanta_dnevnik ORDER BY RB")
                                   .arg(QLatin1String(LogColumns)));
    } catch (const EngineError &) {
        return {}; // a backup of a journal without its log
    }
}

// Whether the log `kept` continues `copy`: every entry of the copy is there, link for link (a
// backup of this journal: its log is the journal's past).
bool continues(const QList<QVariantList> &kept, const QList<QVariantList> &copy)
{
    if (copy.size() > kept.size())
        return false;
    for (qsizetype i = 0; i < copy.size(); ++i)
        if (copy.at(i).value(8).toString() != kept.at(i).value(8).toString())
            return false;
    return true;
}

// The log after a restore of a copy whose past the journal replaced does not hold (a copy of
// the shop restored on a new computer): every entry of the copy as it stands, then the acts of
// the journal replaced, logged again in order (the empty journal they saw is gone, so they
// name no head), then the restore, whose chaining continues the copy's own segment so that
// every head the copy printed stays the journal's.
void mergeLog(engine::Table &journal, const QList<QVariantList> &copy, const chain::KeptLog &kept,
              const QString &who, const QString &details)
{
    engine::Transaction transaction(journal);
    chain::createTables(journal);
    journal.runBeside(QStringLiteral("DELETE FROM dorvanta_dnevnik"));
    journal.runBeside(QStringLiteral("DELETE FROM dorvanta_lanac"));
    for (const QVariantList &entry : copy)
        journal.runBeside(QStringLiteral("INSERT INTO dorvanta_dnevnik (%1) VALUES (?1, ?2, ?3, "
                                         "?4, ?5, ?6, ?7, ?8, ?9)")
                              .arg(QLatin1String(LogColumns)),
                          entry);
    for (const QVariantList &entry : kept.entries)
        chain::log(journal, entry.value(2).toString(), entry.value(3).toString(),
                   entry.value(4).toString(),
                   QDateTime::fromString(entry.value(1).toString(), QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
    const QString restored =
        details + QStringLiteral("; ucitano %1 zapisa (lanac kopije); pre toga ") +
        QStringLiteral("%1 zapisa, glava %2")
            .arg(kept.head.records)
            .arg(kept.head.head.isEmpty() ? QStringLiteral("bez lanca")
                                          : QString::fromLatin1(kept.head.head));
    if (chain::chainUnlinked(journal, who, QStringLiteral("POVRACAJ"), restored, false) == 0)
        chain::log(journal, who, QStringLiteral("POVRACAJ"),
                   QString(restored).replace(QLatin1String("%1"), QStringLiteral("0")));
    transaction.commit();
}

} // namespace

QString checkPlainFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(u'/') || name.contains(u'\\') || name.contains(QChar(0)))
        return QStringLiteral("'%1' is not a file name of the data directory").arg(name);
    return {};
}

void archive(const QString &dir, const QString &archiveName)
{
    engine::Session own;
    own.setBaseDir(QDir(dir).absolutePath());
    own.setPassword(tablePassword());
    cashbook::backupJournal(own, archiveName);
}

void clear(engine::Table &journal, const QString &dir, const QString &who, const QString &archiveName)
{
    try {
        archive(dir, archiveName);
    } catch (const EngineError &e) {
        throw EngineError(e.kind(), QStringLiteral("Arhiva prometa nije snimljena, tabela NIJE obrisana: ") +
                          e.message());
    }
    chain::clearJournal(journal, who, archiveName);
}

Preview preview(const QString &dir, const QString &name)
{
    const QString base = QDir(dir).absolutePath();
    Preview p;
    p.source = checkedSource(base, name);
    engine::Session session;
    session.setBaseDir(base);
    session.setPassword(tablePassword());
    try {
        engine::Table backup(session, QStringLiteral("podaci/") + name);
        backup.open();
        // The closes the restore keeps: the journal's as they were closed, then any the backup
        // adds.
        QList<DayClose> closed;
        try {
            engine::Table journal(session, Journal);
            journal.open();
            p.lost = lostRecords(backup, journal);
            closed = closesOf(journal);
        } catch (const EngineError &) {
            // a missing or damaged journal loses nothing that can be counted
        }
        for (const DayClose &c : closesOf(backup)) {
            if (std::none_of(closed.cbegin(), closed.cend(),
                             [&](const DayClose &k) { return k.day == c.day; }))
                closed << c;
        }
        p.closedDays = cashbook::closedDayDrift(backup, closed);
    } catch (...) {
        session.close();
        throw;
    }
    session.close();
    return p;
}

bool needsAdminCode(const Preview &preview)
{
    return !preview.closedDays.isEmpty();
}

bool allowed(const QString &dir, const Preview &preview, const QString &code, QString &reason)
{
    if (!needsAdminCode(preview) || checkAdminCode(dir, code))
        return true;
    reason = QStringLiteral("sifra administratora nije tacna");
    return false;
}

Outcome run(const QString &dir, const QString &name, const QString &who, const QString &archiveName,
            const QList<cashbook::ClosedDayDrift> &closedDays)
{
    const QString base = QDir(dir).absolutePath();
    const QString source = checkedSource(base, name);
    engine::Session session;
    session.setBaseDir(base);
    const auto withPassword = [&] { session.setPassword(tablePassword()); };
    Outcome out;

    // The journal replaced is archived first, its closes, counters and log kept, and the backup
    // checked on its own: the log names all three.
    try {
        archive(base, archiveName);
        out.archive = archiveName;
    } catch (const EngineError &e) {
        out.archiveReason = e.message();
    }
    cashbook::KeptBook kept;
    chain::KeptLog keptLog;
    QString backupState;
    withPassword();
    try {
        engine::Table journal(session, Journal);
        journal.open();
        kept = cashbook::keep(journal);
        // The heads the journal's closes kept are of the chain being replaced.
        for (QVariantList &close : kept.closes)
            for (qsizetype i = 12; i < close.size(); ++i)
                close[i] = QVariant();
        keptLog = chain::keepLog(journal);
    } catch (const EngineError &) {
    }
    session.close();
    withPassword();
    try {
        engine::Table backup(session, QStringLiteral("podaci/") + name);
        backup.open();
        const chain::Verdict v = chain::verify(backup);
        backupState = v.ok() ? QStringLiteral("glava %1, proveren").arg(QString::fromLatin1(v.head))
                             : QStringLiteral("NE PROLAZI PROVERU: ") + v.text().section(u'\n', 0, 0);
    } catch (const EngineError &e) {
        backupState = QStringLiteral("nije proveren: ") + e.message();
    }
    session.close();

    // Nothing holds the journal open while it is replaced; it is not opened first, so a
    // missing or damaged one can still be replaced by a sound backup.
    engine::copyTableFile(source, QDir(base).filePath(Journal));

    QString details = QStringLiteral("Ucitan back-up %1 (%2); arhiva %3")
                          .arg(name, backupState,
                               out.archive.isEmpty()
                                   ? QStringLiteral("nije snimljena: ") + out.archiveReason
                                   : out.archive);
    if (!closedDays.isEmpty()) {
        QStringList lines;
        for (const cashbook::ClosedDayDrift &d : closedDays)
            lines += d.lines();
        details += QStringLiteral("; PROMENJENI ZAKLJUCENI DANI: ") + lines.join(QStringLiteral("; "));
    }
    withPassword();
    try {
        // The restored records keep the numbers the backup gave them (on the server they are
        // new records with new ids).
        engine::Table journal(session, Journal);
        engine::Table backup(session, QStringLiteral("podaci/") + name);
        journal.open();
        backup.open();
        QStringList copyDays;
        try {
            for (const QVariantList &row :
                 backup.runBeside(QStringLiteral("SELECT DATUM FROM dorvanta_zakljucak")))
                copyDays << row.value(0).toString();
        } catch (const EngineError &) {
            // a backup without the cash book's tables closed no day
        }
        cashbook::copyBook(backup, journal, kept);
        // A close the backup does not hold anchors no part of the chain restored (on the
        // server its row stays where it was).
        if (chain::hasCloseAnchors(journal))
            for (const QVariantList &row : journal.runBeside(QStringLiteral(
                     "SELECT DATUM FROM dorvanta_zakljucak WHERE GLAVA IS NOT NULL")))
                if (!copyDays.contains(row.value(0).toString()))
                    journal.runBeside(QStringLiteral("UPDATE dorvanta_zakljucak SET GLAVA = NULL, "
                                                     "ZAPISA = NULL WHERE DATUM = ?1"),
                                      {row.value(0)});
        const QList<QVariantList> copyLog = logOf(backup);
        if (continues(keptLog.entries, copyLog))
            chain::carryOverLog(journal, keptLog, who, details);
        else
            mergeLog(journal, copyLog, keptLog, who, details);
    } catch (const EngineError &e) {
        out.bookError = e.message();
    }
    session.close();
    return out;
}

} // namespace desk::restore

// The audit log and the acts that begin a segment of the chain. The statements are in the SQL
// both stores share; on the server an entry's number, link, head, time and user are the
// server's to give.
#include "AuditLog.h"
#include "ChainCodec.h"
#include "DeskTables.h"
#include "StoreSupport.h"

#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/Transaction.h"

namespace desk::chain {

using namespace codec;
using engine::EngineError;

int chainUnlinked(engine::Table &journal, const QString &who, const QString &act,
                  const QString &details, bool beginsSegment)
{
    createTables(journal);
    int chained = 0;
    if (beginsSegment) {
        dropCloseAnchors(journal);
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_lanac"));
        chained = chainFrom(journal, std::nullopt, zeroLink(), 1);
    } else {
        const QList<QVariantList> last = journal.runBeside(
            QStringLiteral("SELECT ID, REDNI, HES FROM dorvanta_lanac ORDER BY ID DESC LIMIT 1"));
        chained = last.isEmpty()
                      ? chainFrom(journal, std::nullopt, segmentStart(journal), 1)
                      : chainFrom(journal, integer(last.front().value(0)),
                                  last.front().value(2).toString().toLatin1(),
                                  integer(last.front().value(1)) + 1);
    }
    if (chained == 0 && !beginsSegment)
        return 0;
    log(journal, who, act, QString(details).replace(QLatin1String("%1"), QString::number(chained)),
        QDateTime::currentDateTime(), beginsSegment ? zeroLink() : QByteArray());
    return chained;
}

bool chainAppended(const QString &dir, const QString &password, const QString &act,
                   const QString &details, QString *error)
{
    return inJournalOf(
        dir,
        [&](engine::Table &journal) {
            inTransaction(journal, [&] { chainUnlinked(journal, {}, act, details, false); });
        },
        error, password);
}

void log(engine::Table &journal, const QString &who, const QString &act, const QString &details,
         const QDateTime &when, const QByteArray &startsFrom)
{
    createTables(journal);
    // On the server the entry's number, link, head, time and user are the server's to give.
    if (startsFrom.isEmpty() &&
        server::appending(journal) == server::Appending::ThroughFunctions) {
        journal.runBeside(QStringLiteral("SELECT dorvanta_upisi(?1, ?2, ?3, ?4)"),
                          {who.isEmpty() ? QVariant() : QVariant(who), act,
                           details.isEmpty() ? QVariant() : QVariant(details),
                           when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))});
        return;
    }
    const QList<QVariantList> last = journal.runBeside(
        QStringLiteral("SELECT RB, HES FROM dorvanta_dnevnik ORDER BY RB DESC LIMIT 1"));
    const qint64 rb = last.isEmpty() ? 1 : integer(last.front().value(0)) + 1;
    const QByteArray previous =
        last.isEmpty() ? zeroLink() : last.front().value(1).toString().toLatin1();
    ChainHead h = head(journal);
    if (h.empty && !startsFrom.isEmpty())
        h.head = startsFrom; // the segment this entry begins is empty yet
    const QVariantList values = {
        rb,
        when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")),
        who.isEmpty() ? QVariant() : QVariant(who),
        act,
        details.isEmpty() ? QVariant() : QVariant(details),
        h.records,
        h.head.isEmpty() ? QVariant() : QVariant(QString::fromLatin1(h.head)),
        startsFrom.isEmpty() ? QVariant() : QVariant(QString::fromLatin1(startsFrom)),
    };
    QByteArray encoding;
    for (const QVariant &v : values)
        encodeVariant(encoding, v);
    Hasher hasher;
    QVariantList params = values;
    params << QString::fromLatin1(hasher.link(raw(previous), encoding).toHex());
    journal.runBeside(QStringLiteral("INSERT INTO dorvanta_dnevnik (%1) VALUES (?1, ?2, ?3, ?4, "
                                     "?5, ?6, ?7, ?8, ?9)")
                          .arg(QLatin1String(LogColumns)),
                      params);
}

void logOwn(engine::Table &journal, const QString &who, const QString &act, const QString &details)
{
    engine::Transaction transaction(journal);
    log(journal, who, act, details);
    transaction.commit();
}

bool logDirectory(const QString &dir, const QString &password, const QString &act,
                  const QString &details, QString *error)
{
    return inJournalOf(
        dir, [&](engine::Table &journal) { logOwn(journal, {}, act, details); }, error, password);
}

namespace {

QString headText(const ChainHead &h)
{
    return h.head.isEmpty() ? QStringLiteral("bez lanca") : QString::fromLatin1(h.head);
}

} // namespace

void clearJournal(engine::Table &journal, const QString &who, const QString &archive)
{
    createTables(journal);
    inTransaction(journal, [&] {
        const ChainHead before = head(journal);
        const QList<QVariantList> count = journal.runBeside(QStringLiteral("SELECT COUNT(*) FROM promet"));
        journal.first();
        journal.emptyTable();
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_lanac"));
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_dokument"));
        dropCloseAnchors(journal);
        log(journal, who, QStringLiteral("BRISANJE"),
            QStringLiteral("Obrisano %1 zapisa; glava pre brisanja %2; arhiva %3")
                .arg(integer(count.value(0).value(0)))
                .arg(headText(before), archive.isEmpty() ? QStringLiteral("nije snimljena") : archive),
            QDateTime::currentDateTime(), before.head.isEmpty() ? zeroLink() : before.head);
    });
}

KeptLog keepLog(engine::Table &journal)
{
    KeptLog kept;
    try {
        kept.head = head(journal);
        kept.entries = journal.runBeside(QStringLiteral("SELECT %1 FROM dorvanta_dnevnik ORDER BY RB")
                                             .arg(QLatin1String(LogColumns)));
    } catch (const EngineError &) {
        return {};
    }
    return kept;
}

void carryOverLog(engine::Table &journal, const KeptLog &kept, const QString &who,
                  const QString &details)
{
    createTables(journal);
    inTransaction(journal, [&] {
        if (!kept.entries.isEmpty()) {
            journal.runBeside(QStringLiteral("DELETE FROM dorvanta_dnevnik"));
            for (const QVariantList &entry : kept.entries)
                journal.runBeside(QStringLiteral("INSERT INTO dorvanta_dnevnik (%1) VALUES (?1, ?2, "
                                                 "?3, ?4, ?5, ?6, ?7, ?8, ?9)")
                                      .arg(QLatin1String(LogColumns)),
                                  entry);
        }
        const QByteArray start = kept.head.head.isEmpty() ? zeroLink() : kept.head.head;
        dropCloseAnchors(journal);
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_lanac"));
        const int chained = chainFrom(journal, std::nullopt, start, 1);
        log(journal, who, QStringLiteral("POVRACAJ"),
            QStringLiteral("%1; ucitano %2 zapisa; pre toga %3 zapisa, glava %4")
                .arg(details)
                .arg(chained)
                .arg(kept.head.records)
                .arg(headText(kept.head)),
            QDateTime::currentDateTime(), start);
    });
}

QDateTime segmentBegan(engine::Table &journal)
{
    if (!hasSideTable(journal, QStringLiteral("dorvanta_dnevnik")))
        return {};
    const QList<QVariantList> rows = journal.runBeside(QStringLiteral(
        "SELECT VREME FROM dorvanta_dnevnik WHERE POCETAK IS NOT NULL ORDER BY RB DESC LIMIT 1"));
    return rows.isEmpty() ? QDateTime()
                          : QDateTime::fromString(rows.front().value(0).toString(), Qt::ISODate);
}

QDateTime segmentBeganIn(const QString &dir, const QString &password)
{
    QDateTime began;
    QString error;
    if (!inJournalOf(
            dir, [&](engine::Table &journal) { began = segmentBegan(journal); }, &error, password))
        throw EngineError(EngineError::Kind::Failed, error);
    return began;
}

} // namespace desk::chain

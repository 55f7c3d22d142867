// Giving and reading document numbers. On the server a desk numbers through the server's
// functions; on a table file the statements below do it, in the SQL both stores share.
#include "DocumentNumbers.h"
#include "CashBookSql.h"
#include "DeskTables.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

#include <QStringList>

namespace desk {

using engine::EngineError;
using namespace cashbook::sql;

QString documentNumber(DocumentKind kind, int year, qint64 sequence)
{
    return numberPrefix(kind, year) + QStringLiteral("%1").arg(sequence, 6, 10, QLatin1Char('0'));
}

namespace cashbook {

GivenNumber giveNumber(engine::Table &journal, qint64 recordId, DocumentKind kind,
                       const QDate &day, const QString &reverses)
{
    const int year = day.year();
    if (server::appending(journal) == server::Appending::ThroughFunctions) {
        // The server gives the number and the link, from what it holds.
        refuseClosed(day, lastClosedOf(journal.runBeside(QString::fromLatin1(LastClosedDay))));
        const QString number =
            journal
                .runBeside(QStringLiteral("SELECT dorvanta_knjizi(?1, ?2, ?3)"),
                           {recordId, letter(kind), reverses.isEmpty() ? QVariant() : QVariant(reverses)})
                .value(0)
                .value(0)
                .toString();
        if (number.isEmpty())
            throw EngineError(EngineError::Kind::Failed,
                              QStringLiteral("Broj dokumenta nije dodeljen"));
        return {number, true};
    }
    // One trip to the server inside the journal's lock, where every wait holds up the other
    // desks: the day's check, the counter, and the record's number made from it.
    const QString insertNumber =
        QStringLiteral("INSERT INTO dorvanta_dokument (ID, BROJ, STORNO) SELECT CAST(?1 AS BIGINT), "
                       "CAST(?2 AS TEXT) || %1, CAST(?3 AS TEXT) FROM %2 WHERE POSLEDNJI IS NOT NULL "
                       "ON CONFLICT (ID) DO NOTHING RETURNING BROJ")
            .arg(QLatin1String(SequenceText), QLatin1String(LastInCounter));
    const QVariantList numberParams{recordId, numberPrefix(kind, year),
                                    reverses.isEmpty() ? QVariant() : QVariant(reverses),
                                    letter(kind), year};
    const QList<QList<QVariantList>> results = journal.runBesideTogether({
        {QString::fromLatin1(LastClosedDay), {}},
        {QString::fromLatin1(NextInCounter), {letter(kind), year}},
        {QStringLiteral("SELECT MAX(ID) FROM dorvanta_dokument"), {}},
        {insertNumber, numberParams},
    });
    refuseClosed(day, lastClosedOf(results.value(0)));
    QString number = results.value(3).value(0).value(0).toString();
    const QVariant highestNumbered = results.value(2).value(0).value(0);
    if (number.isEmpty() && !highestNumbered.isNull() && highestNumbered.toLongLong() >= recordId) {
        // A table file gives a cleared journal's ids again: a number left from before belongs
        // to a record that is gone (ids only grow, so nothing at or after this id is still
        // there). Only then is anything removed, so that the desks' role needs no DELETE.
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_dokument WHERE ID >= ?1"), {recordId});
        number = journal.runBeside(insertNumber, numberParams).value(0).value(0).toString();
    }
    if (number.isEmpty())
        throw EngineError(EngineError::Kind::Failed,
                          QStringLiteral("Broj dokumenta nije dodeljen"));
    return {number, false};
}

QString numberOf(engine::Table &journal, qint64 id)
{
    const QList<QVariantList> rows = journal.runBeside(
        QStringLiteral("SELECT BROJ FROM dorvanta_dokument WHERE ID = ?1"), {id});
    return rows.isEmpty() ? QString() : rows.front().value(0).toString();
}

QHash<qint64, DocumentMark> documentMarks(engine::Table &journal, const QList<qint64> &ids)
{
    QHash<qint64, DocumentMark> marks;
    if (ids.isEmpty())
        return marks;
    QStringList places;
    QVariantList params;
    for (const qint64 id : ids) {
        params << id;
        places << QStringLiteral("?%1").arg(params.size());
    }
    const QList<QVariantList> rows = journal.runBeside(
        // A subquery, not a join: SQLite then finds the reversal through STORNO's index.
        QStringLiteral("SELECT d.ID, d.BROJ, CASE WHEN EXISTS (SELECT 1 FROM dorvanta_dokument r "
                       "WHERE r.STORNO = d.BROJ) THEN 1 ELSE 0 END FROM dorvanta_dokument d "
                       "WHERE d.ID IN (%1)")
            .arg(places.join(QStringLiteral(", "))),
        params);
    for (const QVariantList &row : rows)
        marks.insert(row.value(0).toLongLong(),
                     {row.value(1).toString(), row.value(2).toLongLong() == 1});
    return marks;
}

QString reversalOf(engine::Table &journal, const QString &number)
{
    const QList<QVariantList> rows = journal.runBeside(
        QStringLiteral("SELECT BROJ FROM dorvanta_dokument WHERE STORNO = ?1"), {number});
    return rows.isEmpty() ? QString() : rows.front().value(0).toString();
}

} // namespace cashbook

} // namespace desk

// The chain of the journal's records: every statement is in the SQL that SQLite and PostgreSQL
// share (engine::Table::runBeside), and a value is always encoded from its stored text, so
// both stores give the same links.
#include "Chain.h"
#include "ChainCodec.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

#include <QList>
#include <QVariant>

namespace desk::chain {

using namespace codec;

namespace {

using engine::EngineError;

// The id of the journal's last record (before `before`, when given); none for an empty
// journal. Every id is one a record may have, also -1 and the lowest.
std::optional<qint64> lastRecordId(engine::Table &journal, std::optional<qint64> before = std::nullopt)
{
    const QList<QVariantList> rows =
        before ? journal.runBeside(QStringLiteral("SELECT MAX({id}) FROM promet WHERE {id} < ?1"),
                                   {*before})
               : journal.runBeside(QStringLiteral("SELECT MAX({id}) FROM promet"));
    if (rows.isEmpty() || rows.front().value(0).isNull())
        return std::nullopt;
    return integer(rows.front().value(0));
}

QByteArray encodedRecord(engine::Table &journal, qint64 id)
{
    QByteArray encoding;
    bool found = false;
    journal.scanBeside(QStringLiteral("SELECT %1%2WHERE p.{id} = ?1")
                           .arg(QLatin1String(RecordColumns), QLatin1String(RecordJoin)),
                       {id}, [&](const engine::RecordView &row) {
                           encodeRow(encoding, row, 0, RecordColumnCount);
                           found = true;
                       });
    if (!found)
        throw EngineError(EngineError::Kind::Damaged,
                          QStringLiteral("Zapis %1 prometa ne postoji").arg(id));
    return encoding;
}

void insertLinks(engine::Table &journal, const QList<std::pair<qint64, QByteArray>> &links,
                 qint64 firstPosition)
{
    constexpr int Batch = 300;
    QString sql;
    QVariantList params;
    auto flush = [&] {
        if (params.isEmpty())
            return;
        journal.runBeside(QStringLiteral("INSERT INTO dorvanta_lanac (ID, REDNI, HES) VALUES ") + sql,
                          params);
        sql.clear();
        params.clear();
    };
    qint64 position = firstPosition;
    for (const auto &[id, link] : links) {
        if (!sql.isEmpty())
            sql += QLatin1String(", ");
        const auto n = params.size();
        sql += QStringLiteral("(?%1, ?%2, ?%3)").arg(n + 1).arg(n + 2).arg(n + 3);
        params << id << position++ << QString::fromLatin1(link.toHex());
        if (params.size() >= 3 * Batch)
            flush();
    }
    flush();
}

} // namespace

QByteArray zeroLink()
{
    return QByteArray(2 * LinkBytes, '0');
}

QByteArray segmentStart(engine::Table &journal)
{
    const QList<QVariantList> rows = journal.runBeside(QStringLiteral(
        "SELECT POCETAK FROM dorvanta_dnevnik WHERE POCETAK IS NOT NULL ORDER BY RB DESC LIMIT 1"));
    return rows.isEmpty() ? zeroLink() : rows.front().value(0).toString().toLatin1();
}


int chainFrom(engine::Table &journal, std::optional<qint64> afterId, const QByteArray &base,
              qint64 position)
{
    Hasher hasher;
    QByteArray previous = raw(base);
    QByteArray encoding;
    QList<std::pair<qint64, QByteArray>> links;
    journal.scanBeside(QStringLiteral("SELECT p.{id}, %1%2%3ORDER BY p.{id}")
                           .arg(QLatin1String(RecordColumns), QLatin1String(RecordJoin),
                                afterId ? QStringLiteral("WHERE p.{id} > ?1 ") : QString()),
                       afterId ? QVariantList{*afterId} : QVariantList(),
                       [&](const engine::RecordView &row) {
                           encoding.resize(0);
                           encodeRow(encoding, row, 1, RecordColumnCount);
                           previous = hasher.link(previous, encoding);
                           links.append({row.integer(0), previous});
                       });
    insertLinks(journal, links, position);
    return int(links.size());
}

void encodeStored(QByteArray &out, const engine::RecordView &row, int first, int count)
{
    encodeRow(out, row, first, count);
}

void createTables(engine::Table &journal)
{
    journal.runBeside(QStringLiteral("CREATE TABLE IF NOT EXISTS dorvanta_lanac (ID bigint PRIMARY "
                                     "KEY, REDNI bigint NOT NULL, HES text NOT NULL)"));
    journal.runBeside(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS dorvanta_dnevnik (RB bigint PRIMARY KEY, VREME text NOT NULL, "
        "KORISNIK text, RADNJA text NOT NULL, OPIS text, ZAPISA bigint NOT NULL, GLAVA text, "
        "POCETAK text, HES text NOT NULL)"));
}

// The server's question first, which a table file refuses.
bool hasSideTable(engine::Table &journal, const QString &name)
{
    QList<QVariantList> rows;
    try {
        rows = journal.runBeside(QStringLiteral("SELECT to_regclass(?1) IS NOT NULL"), {name});
        return rows.value(0).value(0).toString() == QLatin1String("t");
    } catch (const EngineError &) {
    }
    rows = journal.runBeside(
        QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?1"), {name});
    return integer(rows.value(0).value(0)) > 0;
}

bool hasChainTable(engine::Table &journal)
{
    return hasSideTable(journal, QStringLiteral("dorvanta_lanac"));
}

bool hasCloseAnchors(engine::Table &journal)
{
    if (!hasSideTable(journal, QStringLiteral("dorvanta_zakljucak")))
        return false;
    // The server's catalogue first, which a table file refuses.
    QList<QVariantList> rows;
    try {
        rows = journal.runBeside(QStringLiteral(
            "SELECT COUNT(*) FROM information_schema.columns WHERE table_name = "
            "'dorvanta_zakljucak' AND column_name IN ('glava', 'zapisa')"));
    } catch (const EngineError &) {
        rows = journal.runBeside(QStringLiteral(
            "SELECT COUNT(*) FROM pragma_table_info('dorvanta_zakljucak') WHERE upper(name) IN "
            "('GLAVA', 'ZAPISA')"));
    }
    return integer(rows.value(0).value(0)) == 2;
}

QList<Anchor> closeAnchors(engine::Table &journal)
{
    QList<Anchor> out;
    if (!hasCloseAnchors(journal))
        return out;
    for (const QVariantList &row : journal.runBeside(QStringLiteral(
             "SELECT DATUM, GLAVA, ZAPISA FROM dorvanta_zakljucak WHERE GLAVA IS NOT NULL AND "
             "ZAPISA IS NOT NULL ORDER BY DATUM")))
        out << Anchor{QStringLiteral("zakljucak dana %1").arg(row.value(0).toString()),
                      row.value(1).toString().toLatin1(), integer(row.value(2))};
    return out;
}

void dropCloseAnchors(engine::Table &journal)
{
    if (hasCloseAnchors(journal))
        journal.runBeside(QStringLiteral(
            "UPDATE dorvanta_zakljucak SET GLAVA = NULL, ZAPISA = NULL WHERE GLAVA IS NOT NULL "
            "OR ZAPISA IS NOT NULL"));
}

ChainHead head(engine::Table &journal)
{
    ChainHead h;
    const std::optional<qint64> last = lastRecordId(journal);
    h.empty = !last;
    h.lastId = last.value_or(-1);
    if (!hasChainTable(journal))
        return h;
    if (h.empty) {
        h.head = segmentStart(journal);
        return h;
    }
    const QList<QVariantList> rows = journal.runBeside(
        QStringLiteral("SELECT REDNI, HES FROM dorvanta_lanac WHERE ID = ?1"), {h.lastId});
    if (!rows.isEmpty()) {
        h.records = integer(rows.front().value(0));
        h.head = rows.front().value(1).toString().toLatin1();
    }
    return h;
}

bool vouchesForLast(engine::Table &journal)
{
    const std::optional<qint64> lastOne = lastRecordId(journal);
    if (!lastOne || !hasChainTable(journal))
        return false;
    const qint64 last = *lastOne;
    const QList<QVariantList> own = journal.runBeside(
        QStringLiteral("SELECT REDNI, HES FROM dorvanta_lanac WHERE ID = ?1"), {last});
    if (own.isEmpty())
        return false;
    const qint64 position = integer(own.front().value(0));
    QByteArray base;
    if (const std::optional<qint64> before = lastRecordId(journal, last)) {
        const QList<QVariantList> prior = journal.runBeside(
            QStringLiteral("SELECT ID, REDNI, HES FROM dorvanta_lanac WHERE ID < ?1 "
                           "ORDER BY ID DESC LIMIT 1"),
            {last});
        if (prior.isEmpty() || integer(prior.front().value(0)) != *before ||
            integer(prior.front().value(1)) != position - 1)
            return false;
        base = prior.front().value(2).toString().toLatin1();
    } else {
        if (position != 1)
            return false;
        base = segmentStart(journal);
    }
    Hasher hasher;
    return hasher.link(raw(base), encodedRecord(journal, last)).toHex() ==
           own.front().value(1).toString().toLatin1();
}

void chainRecord(engine::Table &journal, qint64 recordId)
{
    // The last stored link, also one of a record that is no longer there: a record removed
    // from the end stays visible, since the new record chains from the link it left.
    const QList<QVariantList> last = journal.runBeside(
        QStringLiteral("SELECT REDNI, HES, ID FROM dorvanta_lanac ORDER BY ID DESC LIMIT 1"));
    const QByteArray previous =
        last.isEmpty() ? segmentStart(journal) : last.front().value(1).toString().toLatin1();
    const qint64 position = last.isEmpty() ? 1 : integer(last.front().value(0)) + 1;
    Hasher hasher;
    const QByteArray link = hasher.link(raw(previous), encodedRecord(journal, recordId));
    // Links left at or after this id (a table file gives a cleared journal's ids again) are
    // replaced; only then is anything removed, so that the desks' role needs no DELETE.
    if (!last.isEmpty() && integer(last.front().value(2)) >= recordId)
        journal.runBeside(QStringLiteral("DELETE FROM dorvanta_lanac WHERE ID >= ?1"), {recordId});
    journal.runBeside(QStringLiteral("INSERT INTO dorvanta_lanac (ID, REDNI, HES) VALUES (?1, ?2, ?3)"),
                      {recordId, position, QString::fromLatin1(link.toHex())});
}

QByteArray headOfDay(engine::Table &journal, const QString &isoDay)
{
    if (!hasChainTable(journal))
        return {};
    const QList<QVariantList> rows = journal.runBeside(
        QStringLiteral("SELECT l.HES FROM dorvanta_lanac l WHERE l.ID = "
                       "(SELECT MAX({id}) FROM promet WHERE DATUM <= ?1)"),
        {isoDay});
    if (!rows.isEmpty())
        return rows.front().value(0).toString().toLatin1();
    if (lastRecordId(journal)) {
        const QList<QVariantList> any = journal.runBeside(
            QStringLiteral("SELECT 1 FROM promet WHERE DATUM <= ?1 LIMIT 1"), {isoDay});
        if (!any.isEmpty())
            return {}; // the day's last record has no link
    }
    return segmentStart(journal);
}

} // namespace desk::chain

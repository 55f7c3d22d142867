// Reading the journal's records with their numbers, in stored order.
#include "BookEntries.h"
#include "StoreSupport.h"

#include "engine/Table.h"

#include <limits>

namespace desk {

namespace {

const char EntryColumns[] =
    "SELECT p.{id}, d.BROJ, d.STORNO, p.KORISNIK, p.DATUM, p.VREME, p.OPIS, p.GRUPA, "
    "p.ULAZDIN, p.IZLAZDIN, p.ULAZEUR, p.IZLAZEUR, p.STANJEDIN, p.STANJEEUR "
    "FROM promet p LEFT JOIN dorvanta_dokument d ON d.ID = p.{id} ";

BookEntry entryOf(const QVariantList &row)
{
    BookEntry e;
    e.id = row.at(0).toLongLong();
    e.number = row.at(1).toString();
    e.reverses = row.at(2).toString();
    e.cashier = row.at(3).toString();
    e.date = QDate::fromString(row.at(4).toString(), Qt::ISODate);
    e.time = row.at(5).toString();
    e.description = row.at(6).toString();
    e.group = row.at(7).toString();
    e.dinarsIn = money(row.at(8));
    e.dinarsOut = money(row.at(9));
    e.eurosIn = money(row.at(10));
    e.eurosOut = money(row.at(11));
    e.dinarBalance = money(row.at(12));
    e.euroBalance = money(row.at(13));
    return e;
}

} // namespace

DocumentKind kindOf(const BookEntry &entry)
{
    return entry.dinarsIn.isZero() && entry.eurosIn.isZero() ? DocumentKind::Payment
                                                             : DocumentKind::Receipt;
}

namespace cashbook {

QList<BookEntry> entries(engine::Table &journal, std::optional<QDate> from, std::optional<QDate> to)
{
    QString sql = QString::fromLatin1(EntryColumns);
    QVariantList params;
    if (from || to) {
        sql += QStringLiteral("WHERE p.DATUM BETWEEN ?1 AND ?2 ");
        params << (from ? from->toString(Qt::ISODate) : QStringLiteral("0001-01-01"))
               << (to ? to->toString(Qt::ISODate) : QStringLiteral("9999-12-31"));
    }
    sql += QStringLiteral("ORDER BY p.{id}");
    QList<BookEntry> out;
    for (const QVariantList &row : journal.runBeside(sql, params))
        out << entryOf(row);
    return out;
}

void scanEntries(engine::Table &journal, std::optional<QDate> from, std::optional<QDate> to,
                 const std::function<void(const engine::RecordView &)> &visit)
{
    // Pages of records after the last id seen: each a short walk of the journal's own order,
    // however far into the journal it starts.
    // The whole journal is read without a date condition: the comparison would be made for
    // every record.
    constexpr int Page = 20000;
    const bool everyDay = !from && !to;
    const QString condition =
        everyDay ? QString() : QStringLiteral("AND p.DATUM BETWEEN ?2 AND ?3 ");
    const QString order = QStringLiteral("ORDER BY p.{id} LIMIT %1").arg(Page);
    // The first page starts at the lowest id there is, itself included.
    const QString firstPage =
        QString::fromLatin1(EntryColumns) + QStringLiteral("WHERE p.{id} >= ?1 ") + condition + order;
    const QString nextPage =
        QString::fromLatin1(EntryColumns) + QStringLiteral("WHERE p.{id} > ?1 ") + condition + order;
    const QVariant first = from ? from->toString(Qt::ISODate) : QStringLiteral("0001-01-01");
    const QVariant last = to ? to->toString(Qt::ISODate) : QStringLiteral("9999-12-31");
    std::optional<qint64> after;
    for (;;) {
        int seen = 0;
        const QVariant start = after.value_or(std::numeric_limits<qint64>::min());
        const QVariantList params = everyDay ? QVariantList{start} : QVariantList{start, first, last};
        journal.scanBeside(after ? nextPage : firstPage, params, [&](const engine::RecordView &row) {
            after = row.integer(0);
            ++seen;
            visit(row);
        });
        if (seen < Page)
            return;
    }
}

std::optional<BookEntry> entry(engine::Table &journal, const QString &number)
{
    const QList<QVariantList> rows = journal.runBeside(
        QString::fromLatin1(EntryColumns) + QStringLiteral("WHERE d.BROJ = ?1"), {number});
    if (rows.isEmpty())
        return std::nullopt;
    return entryOf(rows.front());
}

} // namespace cashbook

} // namespace desk

// The closed days: a close, the refusal of a closed day, a day's book and the closes' drift.
// The statements are in the SQL both stores share; on the server its function closes the day.
#include "DayCloses.h"
#include "AuditLog.h"
#include "CashBookSql.h"
#include "Chain.h"
#include "DeskTables.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

#include <algorithm>

namespace desk {

using engine::EngineError;
using engine::Money;
using namespace cashbook::sql;

namespace {

DayClose closeOf(const QVariantList &row)
{
    DayClose c;
    c.day = QDate::fromString(row.at(0).toString(), Qt::ISODate);
    c.number = int(row.at(1).toLongLong());
    c.closedBy = row.at(2).toString();
    c.closedAt = QDateTime::fromString(row.at(3).toString(), Qt::ISODate);
    c.dinars = {money(row.at(4)), money(row.at(5)), money(row.at(6))};
    c.euros = {money(row.at(8)), money(row.at(9)), money(row.at(10))};
    return c;
}


} // namespace

namespace cashbook {

std::optional<QDate> lastClosedDay(engine::Table &journal)
{
    return lastClosedOf(journal.runBeside(QString::fromLatin1(LastClosedDay)));
}

std::optional<DayClose> dayClose(engine::Table &journal, const QDate &day)
{
    const QList<QVariantList> rows = journal.runBeside(
        QStringLiteral("SELECT %1 FROM dorvanta_zakljucak WHERE DATUM = ?1")
            .arg(QLatin1String(CloseColumns)),
        {day.toString(Qt::ISODate)});
    if (rows.isEmpty())
        return std::nullopt;
    return closeOf(rows.front());
}

void requireOpenDay(engine::Table &journal, const QDate &day)
{
    refuseClosed(day, lastClosedDay(journal));
}

DayBook dayBook(engine::Table &journal, const QDate &day)
{
    DayBook book;
    const QString iso = day.toString(Qt::ISODate);
    const QList<QVariantList> opening = journal.runBeside(
        QStringLiteral("SELECT SUM(ULAZDIN), SUM(IZLAZDIN), SUM(ULAZEUR), SUM(IZLAZEUR) "
                       "FROM promet WHERE DATUM < ?1"),
        {iso});
    const QVariantList sums = opening.value(0);
    book.dinars.opening = money(sums.value(0)) - money(sums.value(1));
    book.euros.opening = money(sums.value(2)) - money(sums.value(3));
    book.entries = entries(journal, day, day);
    for (const BookEntry &e : std::as_const(book.entries)) {
        book.dinars.in += e.dinarsIn;
        book.dinars.out += e.dinarsOut;
        book.euros.in += e.eurosIn;
        book.euros.out += e.eurosOut;
    }
    book.close = dayClose(journal, day);
    book.chainHead = chain::headOfDay(journal, iso);
    return book;
}

QList<DayClose> closes(engine::Table &journal)
{
    QList<DayClose> out;
    for (const QVariantList &row :
         journal.runBeside(QStringLiteral("SELECT %1 FROM dorvanta_zakljucak ORDER BY DATUM")
                               .arg(QLatin1String(CloseColumns))))
        out << closeOf(row);
    return out;
}

QList<ClosedDayDrift> closedDayDrift(engine::Table &journal)
{
    return closedDayDrift(journal, closes(journal));
}

QList<ClosedDayDrift> closedDayDrift(engine::Table &journal, const QList<DayClose> &closed)
{
    QList<ClosedDayDrift> drift;
    if (closed.isEmpty())
        return drift;
    QList<DayClose> days = closed;
    std::sort(days.begin(), days.end(),
              [](const DayClose &a, const DayClose &b) { return a.day < b.day; });
    // The journal's sums per day, once; a record without a date belongs to no day and to no
    // opening balance (as dayBook() counts).
    const QList<QVariantList> perDay = journal.runBeside(QStringLiteral(
        "SELECT DATUM, SUM(ULAZDIN), SUM(IZLAZDIN), SUM(ULAZEUR), SUM(IZLAZEUR) FROM promet "
        "WHERE DATUM IS NOT NULL GROUP BY DATUM ORDER BY DATUM"));
    qsizetype row = 0;
    Money dinars, euros; // the balance before the row `row`
    for (const DayClose &close : std::as_const(days)) {
        const QString iso = close.day.toString(Qt::ISODate);
        const auto dateOf = [&](qsizetype k) {
            const QVariant v = perDay.at(k).value(0);
            return v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString();
        };
        while (row < perDay.size() && dateOf(row) < iso) {
            const QVariantList &r = perDay.at(row++);
            dinars += money(r.value(1)) - money(r.value(2));
            euros += money(r.value(3)) - money(r.value(4));
        }
        ClosedDayDrift d{close, {dinars, {}, {}}, {euros, {}, {}}};
        if (row < perDay.size() && dateOf(row) == iso) {
            const QVariantList &r = perDay.at(row);
            d.dinars.in = money(r.value(1));
            d.dinars.out = money(r.value(2));
            d.euros.in = money(r.value(3));
            d.euros.out = money(r.value(4));
        }
        if (!d.lines().isEmpty())
            drift << d;
    }
    return drift;
}

QStringList ClosedDayDrift::lines() const
{
    QStringList out;
    const QString day = close.day.toString(DateShown);
    const auto compare = [&](const CurrencyFigures &was, const CurrencyFigures &now,
                             const QString &currency) {
        if (was.closing() != now.closing())
            out << QStringLiteral("Dan %1 je zakljucen sa stanjem %2 %3, promet sada daje %4 %3")
                       .arg(day, was.closing().toText(), currency, now.closing().toText());
        else if (was.opening != now.opening || was.in != now.in || was.out != now.out)
            out << QStringLiteral("Dan %1 je zakljucen sa prethodnim stanjem %2, ulazom %3 i "
                                  "izlazom %4 %5, promet sada daje %6, %7 i %8 %5")
                       .arg(day, was.opening.toText(), was.in.toText(), was.out.toText(), currency,
                            now.opening.toText(), now.in.toText(), now.out.toText());
    };
    compare(close.dinars, dinars, QStringLiteral("DIN"));
    compare(close.euros, euros, QStringLiteral("EUR"));
    return out;
}

DayClose closeDay(engine::Table &journal, const QDate &day, const QString &closedBy,
                  const QDateTime &now)
{
    if (!day.isValid())
        throw EngineError(EngineError::Kind::Value, QStringLiteral("Nije zadat ispravan dan"));
    if (day > now.date())
        throw EngineError(EngineError::Kind::Refused,
                          QStringLiteral("Dan %1 jos nije prosao: ne moze se zakljuciti")
                              .arg(day.toString(DateShown)));
    return inTransaction(journal, [&] {
        if (dayClose(journal, day))
            throw EngineError(
                EngineError::Kind::Refused,
                QStringLiteral("Dan %1 je vec zakljucen").arg(day.toString(DateShown)));
        if (server::appending(journal) == server::Appending::ThroughFunctions) {
            // The server sums the day, numbers the report and anchors the chain.
            journal.runBeside(QStringLiteral("SELECT dorvanta_zakljuci(CAST(?1 AS date), ?2, ?3)"),
                              {day.toString(Qt::ISODate), closedBy,
                               now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))});
            const std::optional<DayClose> c = dayClose(journal, day);
            if (!c)
                throw EngineError(
                    EngineError::Kind::Refused,
                    QStringLiteral("Dan %1 nije zakljucen").arg(day.toString(DateShown)));
            return *c;
        }
        const DayBook book = dayBook(journal, day);
        DayClose c;
        c.day = day;
        c.number = int(nextSequence(journal, QStringLiteral("Z"), day.year()));
        c.closedBy = closedBy;
        c.closedAt = now;
        c.dinars = book.dinars;
        c.euros = book.euros;
        journal.runBeside(
            QStringLiteral("INSERT INTO dorvanta_zakljucak (DATUM, BROJ, KORISNIK, VREME, "
                           "PRETHODNODIN, ULAZDIN, IZLAZDIN, STANJEDIN, PRETHODNOEUR, ULAZEUR, "
                           "IZLAZEUR, STANJEEUR) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
                           "?10, ?11, ?12)"),
            {day.toString(Qt::ISODate), c.number, closedBy,
             now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")), c.dinars.opening.hundredths(),
             c.dinars.in.hundredths(), c.dinars.out.hundredths(), c.dinars.closing().hundredths(),
             c.euros.opening.hundredths(), c.euros.in.hundredths(), c.euros.out.hundredths(),
             c.euros.closing().hundredths()});
        if (chain::hasCloseAnchors(journal)) {
            const chain::ChainHead h = chain::head(journal);
            journal.runBeside(QStringLiteral("UPDATE dorvanta_zakljucak SET GLAVA = ?1, ZAPISA = ?2 "
                                             "WHERE DATUM = ?3"),
                              {h.head.isEmpty() ? QVariant() : QVariant(QString::fromLatin1(h.head)),
                               h.records, day.toString(Qt::ISODate)});
        }
        chain::log(journal, closedBy, QStringLiteral("ZAKLJUCAK"),
                   QStringLiteral("Zakljucen dan %1, izvestaj br. %2")
                       .arg(day.toString(Qt::ISODate))
                       .arg(c.number),
                   now);
        return c;
    });
}

} // namespace cashbook

} // namespace desk

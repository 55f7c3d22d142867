// The month's and the year's figures, summed by the store in one pass per question.
#include "MonthFigures.h"

#include "Deposits.h"
#include "StoreSupport.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

#include <QHash>

namespace desk::month {

namespace {

using engine::Money;

QDate dateOf(const QVariant &v)
{
    return v.typeId() == QMetaType::QDate ? v.toDate()
                                          : QDate::fromString(v.toString(), Qt::ISODate);
}

struct DaySums
{
    Money dinarsIn, dinarsOut, eurosIn, eurosOut, dinarsCounted, eurosCounted;
};

Figures figuresOf(engine::Table &journal, const QList<std::pair<QDate, QDate>> &periods)
{
    Figures f;
    if (periods.isEmpty())
        return f;
    const QDate first = periods.first().first;
    const QDate last = periods.last().second;
    const QString from = first.toString(Qt::ISODate);
    const QString to = last.toString(Qt::ISODate);

    // The balance before the period, as the daily report counts its opening balance.
    const QVariantList before =
        journal
            .runBeside(QStringLiteral("SELECT SUM(ULAZDIN), SUM(IZLAZDIN), SUM(ULAZEUR), "
                                      "SUM(IZLAZEUR) FROM promet WHERE DATUM < ?1"),
                       {from})
            .value(0);
    Money dinars = money(before.value(0)) - money(before.value(1));
    Money euros = money(before.value(2)) - money(before.value(3));

    QHash<QDate, DaySums> days;
    for (const QVariantList &row : journal.runBeside(
             QStringLiteral(
                 "SELECT DATUM, SUM(ULAZDIN), SUM(IZLAZDIN), SUM(ULAZEUR), SUM(IZLAZEUR) "
                 "FROM promet WHERE DATUM >= ?1 AND DATUM <= ?2 GROUP BY DATUM"),
             {from, to})) {
        DaySums &d = days[dateOf(row.value(0))];
        d.dinarsIn = money(row.value(1));
        d.dinarsOut = money(row.value(2));
        d.eurosIn = money(row.value(3));
        d.eurosOut = money(row.value(4));
    }
    try {
        for (const QVariantList &row : journal.runBeside(
                 QStringLiteral("SELECT DATUM, VALUTA, SUM(UKUPNO - KNJIZNO) FROM dorvanta_popis "
                                "WHERE DATUM >= ?1 AND DATUM <= ?2 GROUP BY DATUM, VALUTA"),
                 {from, to})) {
            DaySums &d = days[dateOf(row.value(0))];
            (row.value(1).toString() == QLatin1String("EUR") ? d.eurosCounted : d.dinarsCounted) =
                money(row.value(2));
        }
    } catch (const engine::EngineError &) {
        // a journal of an older version has no counts
    }
    const auto deposited = deposits(journal, first, last);

    const settings::Shared shared = settings::read(journal);
    f.limitDinars = shared.limitDinars;
    f.limitEuros = shared.limitEuros;
    f.total.first = first;
    f.total.last = last;
    f.total.dinars.figures.opening = dinars;
    f.total.euros.figures.opening = euros;
    for (const auto &[start, end] : periods) {
        Row r{start, end, {{dinars, {}, {}}, {}, {}}, {{euros, {}, {}}, {}, {}}};
        for (QDate day = start; day <= end; day = day.addDays(1)) {
            if (const auto d = days.constFind(day); d != days.cend()) {
                r.dinars.figures.in += d->dinarsIn;
                r.dinars.figures.out += d->dinarsOut;
                r.euros.figures.in += d->eurosIn;
                r.euros.figures.out += d->eurosOut;
                r.dinars.counted += d->dinarsCounted;
                r.euros.counted += d->eurosCounted;
            }
            if (const auto d = deposited.constFind(day); d != deposited.cend()) {
                r.dinars.deposited += d->first;
                r.euros.deposited += d->second;
            }
        }
        dinars = r.dinars.figures.closing();
        euros = r.euros.figures.closing();
        for (auto [row, total] :
             {std::pair{&r.dinars, &f.total.dinars}, {&r.euros, &f.total.euros}}) {
            total->figures.in += row->figures.in;
            total->figures.out += row->figures.out;
            total->counted += row->counted;
            total->deposited += row->deposited;
        }
        f.rows << r;
    }
    return f;
}

} // namespace

Figures ofMonth(engine::Table &journal, int year, int month)
{
    const QDate first(year, month, 1);
    QList<std::pair<QDate, QDate>> days;
    for (QDate d = first; d.month() == first.month(); d = d.addDays(1))
        days.append({d, d});
    return figuresOf(journal, days);
}

Figures ofYear(engine::Table &journal, int year)
{
    QList<std::pair<QDate, QDate>> months;
    for (int m = 1; m <= 12; ++m) {
        const QDate first(year, m, 1);
        months.append({first, first.addMonths(1).addDays(-1)});
    }
    return figuresOf(journal, months);
}

QHash<QDate, std::pair<engine::Money, engine::Money>> deposits(engine::Table &journal,
                                                               const QDate &first,
                                                               const QDate &last)
{
    // A deposit pays dinars out; its reversal takes them back in.
    QHash<QDate, std::pair<engine::Money, engine::Money>> out;
    for (const QVariantList &row : journal.runBeside(
             QStringLiteral("SELECT DATUM, SUM(IZLAZDIN) - SUM(ULAZDIN), SUM(IZLAZEUR) - SUM(ULAZEUR) "
                            "FROM promet WHERE DATUM >= ?1 AND DATUM <= ?2 AND (OPIS LIKE ?3 OR "
                            "OPIS LIKE ?4) GROUP BY DATUM"),
             {first.toString(Qt::ISODate), last.toString(Qt::ISODate),
              desk::deposits::Kind + QLatin1Char('%'),
              QStringLiteral("STORNO %: ") + desk::deposits::Kind + QLatin1Char('%')}))
        out.insert(dateOf(row.value(0)), {money(row.value(1)), money(row.value(2))});
    return out;
}

} // namespace desk::month

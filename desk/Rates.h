#pragma once

// Exchange rates: the NBS middle rate (srednji kurs NBS) of a currency for a day, in dinars for
// one unit, from an imported NBS list or typed for a shop that never sees the list. Kept
// beside the journal in the same store, so every desk of a server uses the same rates:
//
//   dorvanta_kurs (DATUM, VALUTA, KURS, LISTA, IZVOR, KORISNIK, VREME)
//                   one row per day and currency: the day (ISO), the currency ("EUR"), the
//                   rate for one unit as an integer count of millionths of a dinar
//                   (117.1735 is 117173500), the list's number (empty for a typed rate),
//                   where it came from ("NBS" or "UNETO"), who stored it and when (ISO)
//
// A rate is never held as money hundredths nor as a floating-point number. A dinar value is
// the foreign amount times the rate, exactly, rounded half away from zero to the para.
//
// A day's rate is the list of that day; on a weekend or a holiday it is the list of the last
// working day before (Holidays.h). A day without one has no rate ("nema kursa"): nothing is
// guessed from an older list.
//
// Failures throw engine::EngineError (Kind::Value for a list or rate that is refused, the
// store's own kinds otherwise) with a text ready to be shown.

#include "engine/Money.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace engine {
class Table;
}

namespace desk::rates {

// Millionths of a dinar in one dinar.
inline constexpr qint64 Scale = 1000000;

inline const QString Euro = QStringLiteral("EUR");
inline const QString NoRate = QStringLiteral("nema kursa");

struct Rate
{
    QDate day;
    QString currency;
    qint64 millionths = 0; // dinars for one unit, in millionths
    QString list;          // the list's number; empty for a typed rate
    QString source;        // "NBS" or "UNETO"
};

// "117.1735": at least four decimals, more only when the rate has them ("0.751234").
QString rateText(qint64 millionths);
// A rate as typed or listed: digits, optionally "." (or ",") and at most six decimals, more
// than zero. nullopt for anything else.
std::optional<qint64> parseRate(QStringView text);

// `amount` of the foreign currency in dinars at `millionths`, rounded half away from zero to
// the para. Throws EngineError (Value) when it does not fit.
engine::Money dinarValue(engine::Money amount, qint64 millionths);

// "23,434.70": money text with a comma between thousands.
QString groupedText(engine::Money amount);

// An NBS exchange rate list: the root Exchange_Rates_List, its header (No, Date as
// dd.mm.yyyy, Type) and an Item per currency (Code, Country, Currency, Unit, Middle_Rate).
struct RateList
{
    QString number;
    QDate date;
    QString type;
    QList<Rate> rates; // per one unit (Middle_Rate divided by Unit), source "NBS"
};
// Reads a list. Refuses, naming the place (line and column, the item), a text that is no
// such list, a list of another type (items with Buying_Rate or Selling_Rate), an item without
// a middle rate or with a rate or unit that is not a number, a currency given twice, and a
// list without items.
RateList parseList(const QByteArray &xml);

// Makes the table when it is missing (inside the caller's transaction).
void createTable(engine::Table &journal);

// The rates of one currency, read once, answering by day.
class RateBook
{
public:
    RateBook() = default;
    // Every rate of `currency` in the open journal's store (none when the table is missing).
    static RateBook load(engine::Table &journal, const QString &currency = Euro);
    void add(const Rate &rate) { m_rates.insert(rate.day, rate); }

    // The rate that applies on `day`: the day's own, or on a weekend or a holiday the one of
    // the last working day before (a rate stored for a day between counts too).
    std::optional<Rate> forDay(const QDate &day) const;
    // The last rate stored for `day` or a day before it, whatever the days between.
    std::optional<Rate> lastKnown(const QDate &day) const;
    bool isEmpty() const { return m_rates.isEmpty(); }

private:
    QMap<QDate, Rate> m_rates;
};

// A stored rate that storing `wanted` would change.
struct Change
{
    Rate stored;
    Rate wanted;
    // "10.12.2026 EUR: 117.1735 -> 117.2000"
    QString text() const;
};
QList<Change> changes(engine::Table &journal, const QList<Rate> &wanted);

struct Stored
{
    int added = 0;
    int changed = 0;
    int same = 0;
};
// Stores `wanted` in one transaction of its own, by `who` at `now`: a new rate is added, an
// equal one left, a different one changed only with `allowChanges` (else nothing is stored and
// the changes are named in the refusal). Every change and every import is logged ("KURS").
Stored store(engine::Table &journal, const QList<Rate> &wanted, const QString &who,
             bool allowChanges, const QDateTime &now = QDateTime::currentDateTime());

// "protivvrednost 23,434.70 DIN po srednjem kursu NBS 117.1735 na dan 10.12.2026" for `amount`
// euros on `day`, or "protivvrednost: nema kursa na dan 10.12.2026".
QString counterValueText(const RateBook &book, engine::Money amount, const QDate &day);

// "dd.MM.yyyy", as the lists and the papers write a day.
QString dayText(const QDate &day);

} // namespace desk::rates

#pragma once

// Deposits to the bank (polog pazara): the dinar cash taken in is paid into the shop's bank
// account within seven working days (Holidays.h). A deposit is a dinar payment whose reason
// is "POLOG NA RACUN br. <slip>", the deposit slip's number; its reversal ("STORNO <number>:
// POLOG NA RACUN ...") takes it back.
//
// The deposits cover the days' dinar receipts oldest first. A day whose receipts are not all
// covered when more than seven working days have passed after it (counted up to and including
// the day asked about) is overdue: "Pazar od 02.12.2026 (12,500.00 DIN) nije polozen na racun",
// with what is left of it. A day whose receipts sum to less than nothing (a reversal of an
// earlier day's receipt) counts as none.

#include "Posting.h"

#include "engine/Money.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace engine {
class Table;
}

namespace desk::deposits {

inline const QString Kind = QStringLiteral("POLOG NA RACUN");
inline constexpr int WorkingDaysAllowed = 7;

// "POLOG NA RACUN br. 160-0000012345-77".
QString reasonFor(const QString &slip);
// Whether `reason` is a deposit's or its reversal's.
bool isDeposit(const QString &reason);

// Why `posting` may not be stored as a deposit, ready to be shown; empty when it may (or when
// it is no deposit). A deposit is a payment in dinars with a slip number.
QString refusal(const Posting &posting);
// Why `slip` is no slip number; empty when it is one.
QString slipRefusal(const QString &slip);

struct Overdue
{
    QDate day;
    engine::Money amount; // what is left of the day's receipts
    QString text() const;
};
// The days overdue on `today`, oldest first.
QList<Overdue> overdue(engine::Table &journal, const QDate &today);

// The warning lines of `days`: at most `shown` of them, then how many more there are.
QStringList warningLines(const QList<Overdue> &days, int shown = 5);

} // namespace desk::deposits

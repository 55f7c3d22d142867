// The cash cap on receipts (CashCap.h).
#include "CashCap.h"

#include "AuditLog.h"

#include "engine/EngineError.h"
#include "engine/Transaction.h"

#include <optional>

namespace desk::cashcap {

namespace {

using engine::Money;
// Products of an amount and a rate need more than 64 bits before they are divided.
__extension__ typedef __int128 Wide;

const QString Refused = QStringLiteral("Gotovinska naplata od 10.000 EUR ili vise nije dozvoljena");

// `dinars` in euro cents at `millionths`, rounded half away from zero.
Money euroValue(Money dinars, qint64 millionths)
{
    const Wide scaled = Wide(dinars.hundredths()) * rates::Scale;
    const Wide magnitude = scaled < 0 ? -scaled : scaled;
    Wide cents = (magnitude + millionths / 2) / millionths;
    return Money::fromHundredths(qint64(scaled < 0 ? -cents : cents));
}

} // namespace

Answer check(const rates::RateBook &euros, const Posting &p)
{
    Answer a;
    if (p.direction != Direction::In || p.amount <= Money())
        return a;
    // The day's rate, else the last one known before it, said so.
    std::optional<rates::Rate> rate = euros.forDay(p.day);
    if (!rate) {
        rate = euros.lastKnown(p.day);
        if (rate)
            a.note = QStringLiteral("Za dan %1 nema kursa: granica od 10.000 EUR je merena po "
                                    "poslednjem poznatom srednjem kursu NBS %2 od %3.")
                         .arg(rates::dayText(p.day), rates::rateText(rate->millionths),
                              rates::dayText(rate->day));
    }
    QString counterValue;
    if (p.currency == Currency::Euros) {
        a.refused = p.amount.hundredths() >= CapCents;
        counterValue = rate ? QStringLiteral("protivvrednost %1 DIN po srednjem kursu NBS %2")
                                  .arg(rates::groupedText(rates::dinarValue(p.amount, rate->millionths)),
                                       rates::rateText(rate->millionths))
                            : QStringLiteral("protivvrednost: ") + rates::NoRate;
    } else {
        if (!rate)
            return a;
        a.refused = p.amount.hundredths() >= rate->millionths;
        counterValue = QStringLiteral("protivvrednost %1 EUR po srednjem kursu NBS %2")
                           .arg(rates::groupedText(euroValue(p.amount, rate->millionths)),
                                rates::rateText(rate->millionths));
    }
    if (a.refused) {
        if (rate)
            counterValue += QStringLiteral(" od ") + rates::dayText(rate->day);
        a.refusal = QStringLiteral("%1 (%2).").arg(Refused, counterValue);
        if (!a.note.isEmpty())
            a.refusal += QLatin1Char(' ') + a.note;
    }
    return a;
}

Answer check(engine::Table &journal, const Posting &posting)
{
    return check(rates::RateBook::load(journal), posting);
}

Posted postAllowed(engine::Table &journal, const Posting &p, const QString &reason,
                   const engine::DateTextFormat &dates)
{
    if (reason.trimmed().isEmpty())
        throw engine::EngineError(engine::EngineError::Kind::Value,
                                  QStringLiteral("Razlog dozvole gotovinske naplate nije dat: "
                                                 "promena nije proknjizena"));
    std::optional<engine::Transaction> transaction;
    if (p.key.isNull())
        transaction.emplace(journal);
    else
        transaction.emplace(journal, p.key);
    if (!transaction->begun())
        return {};
    const Posted out = writeRecord(journal, p, amountsOf(p), DocumentKind::Receipt, {}, dates);
    chain::log(journal, QStringLiteral("Admin"), QStringLiteral("GOTOVINA"),
               QStringLiteral("Dozvoljena gotovinska naplata %1 %2 (dokument %3, blagajnik %4), "
                              "razlog: %5")
                   .arg(p.amount.toText(),
                        p.currency == Currency::Euros ? QStringLiteral("EUR") : QStringLiteral("DIN"),
                        out.number, p.cashier, reason.trimmed()));
    transaction->commit();
    return out;
}

} // namespace desk::cashcap

// The shared settings beside the journal.
#include "DeskSettings.h"

#include "JournalChain.h"

#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/Transaction.h"

#include <QHash>

namespace desk::settings {

namespace {

const QString LimitDinars = QStringLiteral("LIMITDIN");
const QString LimitEuros = QStringLiteral("LIMITEUR");
const QString BlindCount = QStringLiteral("SLEPIPOPIS");
const QString VoucherAfter = QStringLiteral("NALOGPOSLE");

} // namespace

void createTable(engine::Table &journal)
{
    journal.runBeside(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS dorvanta_postavke (KLJUC text PRIMARY KEY, VREDNOST text)"));
}

Shared read(engine::Table &journal)
{
    QHash<QString, QString> values;
    try {
        for (const QVariantList &row :
             journal.runBeside(QStringLiteral("SELECT KLJUC, VREDNOST FROM dorvanta_postavke")))
            values.insert(row.value(0).toString(), row.value(1).toString());
    } catch (const engine::EngineError &) {
        return {}; // a journal of an older version: nothing set
    }
    Shared s;
    s.limitDinars = engine::Money::tryParse(values.value(LimitDinars)).value_or(engine::Money());
    s.limitEuros = engine::Money::tryParse(values.value(LimitEuros)).value_or(engine::Money());
    s.blindCount = values.value(BlindCount) == QLatin1String("1");
    s.voucherAfterPosting = values.value(VoucherAfter) == QLatin1String("1");
    return s;
}

void write(engine::Table &journal, const Shared &s, const QString &who)
{
    if (s.limitDinars < engine::Money() || s.limitEuros < engine::Money())
        throw engine::EngineError(QStringLiteral("Blagajnicki maksimum ne moze biti negativan"));
    engine::Transaction transaction(journal);
    createTable(journal);
    const QList<std::pair<QString, QString>> values = {
        {LimitDinars, s.limitDinars.toText()},
        {LimitEuros, s.limitEuros.toText()},
        {BlindCount, s.blindCount ? QStringLiteral("1") : QStringLiteral("0")},
        {VoucherAfter, s.voucherAfterPosting ? QStringLiteral("1") : QStringLiteral("0")},
    };
    for (const auto &[key, value] : values)
        journal.runBeside(QStringLiteral("INSERT INTO dorvanta_postavke (KLJUC, VREDNOST) "
                                         "VALUES (?1, ?2) ON CONFLICT (KLJUC) DO UPDATE SET "
                                         "VREDNOST = excluded.VREDNOST"),
                          {key, value});
    chain::log(journal, who, QStringLiteral("POSTAVKE"),
               QStringLiteral("Blagajnicki maksimum %1 DIN, %2 EUR; slepi popis %3; nalog "
                              "posle knjizenja %4")
                   .arg(s.limitDinars.toText(), s.limitEuros.toText(),
                        s.blindCount ? QStringLiteral("da") : QStringLiteral("ne"),
                        s.voucherAfterPosting ? QStringLiteral("da") : QStringLiteral("ne")));
    transaction.commit();
}

QString limitQuestion(const Shared &s, Currency currency, engine::Money balance,
                      engine::Money amount)
{
    const engine::Money limit = s.limit(currency);
    if (limit.isZero() || amount <= engine::Money() || balance + amount <= limit)
        return {};
    return QStringLiteral("Stanje kase ce preci blagajnicki maksimum od %1 %2. Visak uplatite u "
                          "banku. Da li ste sigurni?")
        .arg(limit.toText(), currency == Currency::Euros ? QStringLiteral("EUR")
                                                         : QStringLiteral("DIN"));
}

} // namespace desk::settings

// The shared settings beside the journal.
#include "DeskSettings.h"

#include "AuditLog.h"

#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/Transaction.h"

#include <QHash>

#include <algorithm>

namespace desk::settings {

namespace {

const QString LimitDinars = QStringLiteral("LIMITDIN");
const QString LimitEuros = QStringLiteral("LIMITEUR");
const QString BlindCount = QStringLiteral("SLEPIPOPIS");
const QString VoucherAfter = QStringLiteral("NALOGPOSLE");
const QString FirmName = QStringLiteral("FIRMA");
const QString FirmAddress = QStringLiteral("ADRESA");
const QString Pib = QStringLiteral("PIB");
const QString Mb = QStringLiteral("MB");
const QString PaperKey = QStringLiteral("PAPIR");

bool allDigits(const QString &text, qsizetype count)
{
    return text.size() == count &&
           std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

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
    s.firmName = values.value(FirmName);
    s.firmAddress = values.value(FirmAddress);
    s.pib = values.value(Pib);
    s.mb = values.value(Mb);
    s.paper = paperNamed(values.value(PaperKey)).value_or(Paper::Letter);
    return s;
}

void write(engine::Table &journal, const Shared &s, const QString &who)
{
    if (s.limitDinars < engine::Money() || s.limitEuros < engine::Money())
        throw engine::EngineError(engine::EngineError::Kind::Value, QStringLiteral("Blagajnicki maksimum ne moze biti negativan"));
    for (const QString &refusal : {pibRefusal(s.pib), mbRefusal(s.mb)}) {
        if (!refusal.isEmpty())
            throw engine::EngineError(engine::EngineError::Kind::Value, refusal);
    }
    engine::Transaction transaction(journal);
    createTable(journal);
    const QList<std::pair<QString, QString>> values = {
        {LimitDinars, s.limitDinars.toText()},
        {LimitEuros, s.limitEuros.toText()},
        {BlindCount, s.blindCount ? QStringLiteral("1") : QStringLiteral("0")},
        {VoucherAfter, s.voucherAfterPosting ? QStringLiteral("1") : QStringLiteral("0")},
        {FirmName, s.firmName},
        {FirmAddress, s.firmAddress},
        {Pib, s.pib},
        {Mb, s.mb},
        {PaperKey, paperName(s.paper)},
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
                        s.voucherAfterPosting ? QStringLiteral("da") : QStringLiteral("ne")) +
                   QStringLiteral("; firma \"%1\", adresa \"%2\", PIB %3, MB %4; papir %5")
                       .arg(s.firmName, s.firmAddress, s.pib, s.mb, paperName(s.paper)));
    transaction.commit();
}

QString pibRefusal(const QString &pib)
{
    if (pib.isEmpty())
        return {};
    if (!allDigits(pib, 9))
        return QStringLiteral("PIB %1 nije ispravan: PIB ima 9 cifara").arg(pib);
    // ISO 7064 MOD 11,10 over the first eight digits gives the ninth.
    int product = 10;
    for (qsizetype i = 0; i < 8; ++i) {
        int sum = (product + pib.at(i).digitValue()) % 10;
        if (sum == 0)
            sum = 10;
        product = (2 * sum) % 11;
    }
    const int check = (11 - product) % 10;
    if (pib.at(8).digitValue() != check)
        return QStringLiteral("PIB %1 nije ispravan: kontrolna cifra ne odgovara").arg(pib);
    return {};
}

QString mbRefusal(const QString &mb)
{
    if (mb.isEmpty() || allDigits(mb, 8))
        return {};
    return QStringLiteral("MB %1 nije ispravan: maticni broj ima 8 cifara").arg(mb);
}

QString paperName(Paper paper)
{
    return paper == Paper::A4 ? QStringLiteral("A4") : QStringLiteral("Letter");
}

std::optional<Paper> paperNamed(const QString &name)
{
    if (name == QLatin1String("A4"))
        return Paper::A4;
    if (name == QLatin1String("Letter"))
        return Paper::Letter;
    return std::nullopt;
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

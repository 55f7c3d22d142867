// The cash count: parsing a count, storing it with its difference's document, reading and
// checking the stored counts. The statements are in the SQL both stores share.
#include "CashCount.h"

#include "AuditLog.h"
#include "Chain.h"
#include "DayCloses.h"
#include "JournalBalances.h"
#include "StoreSupport.h"

#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "engine/Transaction.h"

#include <QHash>
#include <QRegularExpression>

namespace desk::cashcount {

namespace {

using engine::EngineError;
using engine::Money;

QList<Money> fromHundredths(std::initializer_list<qint64> values)
{
    QList<Money> out;
    for (const qint64 v : values)
        out << Money::fromHundredths(v);
    return out;
}

Count countOf(const QVariantList &row)
{
    Count c;
    c.number = row.value(0).toLongLong();
    c.day = QDate::fromString(row.value(1).toString(), Qt::ISODate);
    c.currency = row.value(2).toString() == QLatin1String("EUR") ? Currency::Euros : Currency::Dinars;
    c.countedBy = row.value(3).toString();
    c.countedAt = QDateTime::fromString(row.value(4).toString(), Qt::ISODate);
    c.counted = money(row.value(5));
    c.book = money(row.value(6));
    c.document = row.value(7).toString();
    return c;
}

const char CountColumns[] = "RB, DATUM, VALUTA, KORISNIK, VREME, UKUPNO, KNJIZNO, DOKUMENT";

const QString LaterPostings = QStringLiteral("dorvanta_popis_razlika");

// The differences posted after their counts (RB, DOKUMENT, KORISNIK, VREME); none where the
// table was never made (a journal that no cashier's count has reached).
QList<QVariantList> laterPostings(engine::Table &journal, const QString &where = {},
                                  const QVariantList &values = {})
{
    if (!chain::hasSideTable(journal, LaterPostings))
        return {};
    return journal.runBeside(QStringLiteral("SELECT RB, DOKUMENT, KORISNIK, VREME FROM "
                                            "dorvanta_popis_razlika%1 ORDER BY RB")
                                 .arg(where),
                             values);
}

// The count's difference as a posting of `by` on the count's day at `now`.
Posting differencePosting(const Count &c, const QString &by, const QDateTime &now)
{
    const Money difference = c.difference();
    Posting p;
    p.cashier = by;
    p.day = c.day;
    p.time = engine::timeText(now.time());
    p.currency = c.currency;
    const bool over = difference > Money();
    p.direction = over ? Direction::In : Direction::Out;
    p.amount = over ? difference : -difference;
    p.reason = QStringLiteral("%1 po popisu %2")
                   .arg(over ? QStringLiteral("VISAK") : QStringLiteral("MANJAK"),
                        c.day.toString(DateShown));
    return p;
}

QString described(const Count &c)
{
    return QStringLiteral("Popis %1 (%2, %3)")
        .arg(c.number)
        .arg(currencyCode(c.currency), c.day.toString(DateShown));
}

} // namespace

QString currencyCode(Currency currency)
{
    return currency == Currency::Euros ? QStringLiteral("EUR") : QStringLiteral("DIN");
}

const QList<Money> &denominations(Currency currency)
{
    static const QList<Money> dinars = fromHundredths(
        {500000, 200000, 100000, 50000, 20000, 10000, 5000, 2000, 1000, 500, 200, 100});
    static const QList<Money> euros = fromHundredths({50000, 20000, 10000, 5000, 2000, 1000, 500,
                                                      200, 100, 50, 20, 10, 5, 2, 1});
    return currency == Currency::Euros ? euros : dinars;
}

QList<Pieces> parse(const QString &text, Currency currency)
{
    static const QRegularExpression entry(
        QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]{1,2})?)\\s*[xX]\\s*(\\S+)\\s*$"));
    static const QRegularExpression whole(QStringLiteral("^[0-9]{1,9}$"));
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]*[.,]?[0-9]*$"));
    const QString example = QStringLiteral(" (ocekuje se npr. \"5000x3,1000x12,50x7\")");
    if (text.trimmed().isEmpty())
        throw EngineError(EngineError::Kind::Value, QStringLiteral("Popis je prazan") + example);
    QList<Pieces> out;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QRegularExpressionMatch m = entry.match(part);
        if (!m.hasMatch())
            throw EngineError(EngineError::Kind::Value,
                              QStringLiteral("Neispravan popis kod \"%1\"").arg(part.trimmed()) +
                                  example);
        const Money denomination = Money::parse(m.captured(1));
        if (!denominations(currency).contains(denomination))
            throw EngineError(EngineError::Kind::Value,
                              QStringLiteral("Apoen %1 ne postoji u valuti %2 (\"%3\")")
                                  .arg(m.captured(1), currencyCode(currency), part.trimmed()));
        const QString pieces = m.captured(2);
        if (!whole.match(pieces).hasMatch()) {
            if (pieces.startsWith(QLatin1Char('-')) && number.match(pieces).hasMatch())
                throw EngineError(EngineError::Kind::Value,
                                  QStringLiteral("Broj komada ne moze biti negativan (\"%1\")")
                                      .arg(part.trimmed()));
            if (number.match(pieces).hasMatch() && pieces.contains(QRegularExpression(QStringLiteral("[.,]"))))
                throw EngineError(
                    EngineError::Kind::Value,
                    QStringLiteral("Broj komada mora biti ceo broj (\"%1\")").arg(part.trimmed()));
            throw EngineError(EngineError::Kind::Value,
                              QStringLiteral("Neispravan popis kod \"%1\"").arg(part.trimmed()) +
                                  example);
        }
        for (const Pieces &p : std::as_const(out)) {
            if (p.denomination == denomination)
                throw EngineError(
                    EngineError::Kind::Value,
                    QStringLiteral("Apoen %1 je naveden dva puta").arg(m.captured(1)));
        }
        out << Pieces{denomination, pieces.toLongLong()};
    }
    std::sort(out.begin(), out.end(),
              [](const Pieces &a, const Pieces &b) { return a.denomination > b.denomination; });
    return out;
}

Money total(const QList<Pieces> &pieces)
{
    Money sum;
    for (const Pieces &p : pieces) {
        // At most 9 digits of pieces of at most 5000.00: the product fits.
        sum += Money::fromHundredths(p.denomination.hundredths() * p.count);
    }
    return sum;
}

void createTables(engine::Table &journal)
{
    journal.runBeside(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS dorvanta_popis (RB bigint PRIMARY KEY, DATUM text NOT NULL, "
        "VALUTA text NOT NULL, KORISNIK text, VREME text, UKUPNO bigint NOT NULL, "
        "KNJIZNO bigint NOT NULL, DOKUMENT text)"));
    journal.runBeside(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS dorvanta_popis_apoen (RB bigint NOT NULL, APOEN bigint NOT "
        "NULL, KOMADA bigint NOT NULL, PRIMARY KEY (RB, APOEN))"));
}

// Made by the first difference posted after its count (the administrator's act), not with the
// other tables, which a desk's login may make.
static void createLaterPostingTable(engine::Table &journal)
{
    journal.runBeside(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS dorvanta_popis_razlika (RB bigint PRIMARY KEY, DOKUMENT text "
        "NOT NULL, KORISNIK text, VREME text)"));
}

void copy(engine::Table &source, engine::Table &target)
{
    QList<QVariantList> counts, pieces;
    try {
        counts = source.runBeside(QStringLiteral("SELECT %1 FROM dorvanta_popis ORDER BY RB")
                                      .arg(QLatin1String(CountColumns)));
        pieces = source.runBeside(QStringLiteral(
            "SELECT RB, APOEN, KOMADA FROM dorvanta_popis_apoen ORDER BY RB, APOEN"));
    } catch (const EngineError &) {
        return; // the tables were never made: nothing was counted
    }
    const QList<QVariantList> posted = laterPostings(source);
    createTables(target);
    if (!posted.isEmpty())
        createLaterPostingTable(target);
    for (const QVariantList &row : posted)
        target.runBeside(QStringLiteral("INSERT INTO dorvanta_popis_razlika (RB, DOKUMENT, "
                                        "KORISNIK, VREME) VALUES (?1, ?2, ?3, ?4) ON CONFLICT "
                                        "(RB) DO NOTHING"),
                         row);
    for (const QVariantList &count : std::as_const(counts))
        target.runBeside(QStringLiteral("INSERT INTO dorvanta_popis (%1) VALUES (?1, ?2, ?3, ?4, "
                                        "?5, ?6, ?7, ?8) ON CONFLICT (RB) DO NOTHING")
                             .arg(QLatin1String(CountColumns)),
                         count);
    for (const QVariantList &piece : std::as_const(pieces))
        target.runBeside(QStringLiteral("INSERT INTO dorvanta_popis_apoen (RB, APOEN, KOMADA) "
                                        "VALUES (?1, ?2, ?3) ON CONFLICT (RB, APOEN) DO NOTHING"),
                         piece);
}

Count record(engine::Table &journal, const QDate &day, Currency currency,
             const QList<Pieces> &pieces, const QString &countedBy, const QDateTime &now,
             const engine::DateTextFormat &dates, Difference posting)
{
    if (!day.isValid())
        throw EngineError(EngineError::Kind::Value, QStringLiteral("Nije zadat ispravan dan"));
    if (day > now.date())
        throw EngineError(EngineError::Kind::Refused,
                          QStringLiteral("Dan %1 jos nije dosao: popis se ne moze proknjiziti")
                              .arg(day.toString(DateShown)));
    Count c;
    c.day = day;
    c.currency = currency;
    c.countedBy = countedBy;
    c.countedAt = now;
    for (const Pieces &p : pieces) {
        if (p.count < 0 || !denominations(currency).contains(p.denomination))
            throw EngineError(EngineError::Kind::Value, QStringLiteral("Neispravan popis"));
        if (p.count > 0)
            c.pieces << p;
    }
    c.counted = total(pieces);

    engine::Transaction transaction(journal);
    // Under the journal's write lock: no posting comes between the balance and the count.
    cashbook::requireOpenDay(journal, day);
    const journal_balances::Balances balances = journal_balances::current(journal);
    c.book = currency == Currency::Euros ? balances.euros : balances.dinars;
    const Money difference = c.difference();
    if (!difference.isZero() && posting == Difference::PostedNow) {
        const Posting p = differencePosting(c, countedBy, now);
        c.document = writeRecord(journal, p, amountsOf(p),
                                 difference > Money() ? DocumentKind::Receipt : DocumentKind::Payment,
                                 {}, dates)
                         .number;
        c.postedBy = countedBy;
    }
    const QList<QVariantList> last =
        journal.runBeside(QStringLiteral("SELECT MAX(RB) FROM dorvanta_popis"));
    c.number = last.value(0).value(0).toLongLong() + 1;
    journal.runBeside(
        QStringLiteral("INSERT INTO dorvanta_popis (%1) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
            .arg(QLatin1String(CountColumns)),
        {c.number, day.toString(Qt::ISODate), currencyCode(currency), countedBy,
         now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")), c.counted.hundredths(),
         c.book.hundredths(), c.document.isEmpty() ? QVariant() : QVariant(c.document)});
    for (const Pieces &p : std::as_const(c.pieces))
        journal.runBeside(QStringLiteral("INSERT INTO dorvanta_popis_apoen (RB, APOEN, KOMADA) "
                                         "VALUES (?1, ?2, ?3)"),
                          {c.number, p.denomination.hundredths(), p.count});
    chain::log(journal, countedBy, QStringLiteral("POPIS"),
               QStringLiteral("Popis %1 gotovine %2 za %3: prebrojano %4, knjizno %5%6")
                   .arg(c.number)
                   .arg(currencyCode(currency), day.toString(Qt::ISODate),
                        c.counted.toText(), c.book.toText(),
                        c.document.isEmpty()
                            ? (c.differencePending() ? QStringLiteral(", razlika ceka knjizenje")
                                                     : QString())
                            : QStringLiteral(", razlika dokumentom ") + c.document),
               now);
    transaction.commit();
    return c;
}

Count postDifference(engine::Table &journal, qint64 number, const QString &postedBy,
                     const QDateTime &now, const engine::DateTextFormat &dates)
{
    engine::Transaction transaction(journal);
    createTables(journal);
    createLaterPostingTable(journal);
    const QList<QVariantList> rows =
        journal.runBeside(QStringLiteral("SELECT %1 FROM dorvanta_popis WHERE RB = ?1")
                              .arg(QLatin1String(CountColumns)),
                          {number});
    if (rows.isEmpty())
        throw EngineError(EngineError::Kind::Refused,
                          QStringLiteral("Ne postoji popis %1").arg(number));
    Count c = countOf(rows.first());
    if (c.difference().isZero())
        throw EngineError(EngineError::Kind::Refused,
                          QStringLiteral("%1 nema razliku").arg(described(c)));
    const QList<QVariantList> posted =
        laterPostings(journal, QStringLiteral(" WHERE RB = ?1"), {number});
    if (!c.document.isEmpty() || !posted.isEmpty())
        throw EngineError(
            EngineError::Kind::Refused,
            QStringLiteral("Razlika popisa %1 je vec proknjizena dokumentom %2")
                .arg(number)
                .arg(c.document.isEmpty() ? posted.first().value(1).toString() : c.document));
    cashbook::requireOpenDay(journal, c.day);
    const Posting p = differencePosting(c, postedBy, now);
    c.document = writeRecord(journal, p, amountsOf(p),
                             c.difference() > Money() ? DocumentKind::Receipt : DocumentKind::Payment,
                             {}, dates)
                     .number;
    c.postedBy = postedBy;
    journal.runBeside(QStringLiteral("INSERT INTO dorvanta_popis_razlika (RB, DOKUMENT, KORISNIK, "
                                     "VREME) VALUES (?1, ?2, ?3, ?4)"),
                      {number, c.document, postedBy,
                       now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))});
    chain::log(journal, postedBy, QStringLiteral("POPIS"),
               QStringLiteral("Razlika popisa %1 (%2, %3) proknjizena dokumentom %4")
                   .arg(number)
                   .arg(c.countedBy, c.difference().toText(), c.document),
               now);
    transaction.commit();
    return c;
}

QList<Count> ofDay(engine::Table &journal, const QDate &day)
{
    QList<Count> out;
    QList<QVariantList> rows, pieces;
    try {
        rows = journal.runBeside(
            QStringLiteral("SELECT %1 FROM dorvanta_popis WHERE DATUM = ?1 ORDER BY RB")
                .arg(QLatin1String(CountColumns)),
            {day.toString(Qt::ISODate)});
        pieces = journal.runBeside(
            QStringLiteral("SELECT a.RB, a.APOEN, a.KOMADA FROM dorvanta_popis_apoen a JOIN "
                           "dorvanta_popis p ON p.RB = a.RB WHERE p.DATUM = ?1 ORDER BY a.RB, "
                           "a.APOEN DESC"),
            {day.toString(Qt::ISODate)});
    } catch (const EngineError &) {
        return out; // a journal of an older version has no counts
    }
    QHash<qint64, qsizetype> at;
    for (const QVariantList &row : std::as_const(rows)) {
        at.insert(row.value(0).toLongLong(), out.size());
        out << countOf(row);
    }
    for (const QVariantList &row : std::as_const(pieces)) {
        if (const auto it = at.constFind(row.value(0).toLongLong()); it != at.cend())
            out[*it].pieces << Pieces{money(row.value(1)), row.value(2).toLongLong()};
    }
    for (Count &c : out) {
        if (!c.document.isEmpty())
            c.postedBy = c.countedBy;
    }
    if (!out.isEmpty()) {
        const QList<QVariantList> posted = laterPostings(
            journal, QStringLiteral(" WHERE RB BETWEEN ?1 AND ?2"), {out.first().number, out.last().number});
        for (const QVariantList &row : posted) {
            if (const auto it = at.constFind(row.value(0).toLongLong());
                it != at.cend() && out[*it].document.isEmpty()) {
                out[*it].document = row.value(1).toString();
                out[*it].postedBy = row.value(2).toString();
            }
        }
    }
    return out;
}

QStringList check(engine::Table &journal)
{
    QList<QVariantList> counts, sums, documents;
    try {
        counts = journal.runBeside(QStringLiteral("SELECT %1 FROM dorvanta_popis ORDER BY RB")
                                       .arg(QLatin1String(CountColumns)));
        sums = journal.runBeside(QStringLiteral(
            "SELECT RB, SUM(APOEN * KOMADA), MIN(KOMADA) FROM dorvanta_popis_apoen GROUP BY RB"));
        documents = journal.runBeside(QStringLiteral(
            "SELECT d.BROJ, p.ULAZDIN, p.IZLAZDIN, p.ULAZEUR, p.IZLAZEUR FROM dorvanta_popis c "
            "JOIN dorvanta_dokument d ON d.BROJ = c.DOKUMENT JOIN promet p ON p.{id} = d.ID"));
    } catch (const EngineError &) {
        return {};
    }
    QHash<qint64, QVariantList> sumOf;
    for (const QVariantList &row : std::as_const(sums))
        sumOf.insert(row.value(0).toLongLong(), row);
    QHash<QString, QVariantList> documentOf;
    for (const QVariantList &row : std::as_const(documents))
        documentOf.insert(row.value(0).toString(), row);
    // Differences posted after their counts, and the records of their documents.
    QHash<qint64, QString> postedLater;
    for (const QVariantList &row : laterPostings(journal))
        postedLater.insert(row.value(0).toLongLong(), row.value(1).toString());
    if (!postedLater.isEmpty()) {
        for (const QVariantList &row : journal.runBeside(QStringLiteral(
                 "SELECT d.BROJ, p.ULAZDIN, p.IZLAZDIN, p.ULAZEUR, p.IZLAZEUR FROM "
                 "dorvanta_popis_razlika r JOIN dorvanta_dokument d ON d.BROJ = r.DOKUMENT JOIN "
                 "promet p ON p.{id} = d.ID")))
            documentOf.insert(row.value(0).toString(), row);
    }

    QStringList lines;
    for (const QVariantList &row : std::as_const(counts)) {
        Count c = countOf(row);
        if (c.document.isEmpty())
            c.document = postedLater.value(c.number);
        const QVariantList pieces = sumOf.value(c.number);
        const Money added = money(pieces.value(1));
        if (added != c.counted || pieces.value(2).toLongLong() < 0)
            lines << QStringLiteral("%1: apoeni daju %2, zapisano je %3")
                         .arg(described(c), added.toText(), c.counted.toText());
        const Money difference = c.difference();
        if (difference.isZero()) {
            if (!c.document.isEmpty())
                lines << QStringLiteral("%1: bez razlike, a naveden je dokument %2")
                             .arg(described(c), c.document);
            continue;
        }
        if (c.document.isEmpty())
            continue; // a cashier's count whose difference waits for the administrator
        if (!documentOf.contains(c.document)) {
            lines << QStringLiteral("%1: dokument razlike %2 ne postoji").arg(described(c), c.document);
            continue;
        }
        // The document carries the difference in the count's currency, in or out.
        const QVariantList d = documentOf.value(c.document);
        const bool euros = c.currency == Currency::Euros;
        const Money in = money(d.value(euros ? 3 : 1)), out = money(d.value(euros ? 4 : 2));
        if (in - out != difference)
            lines << QStringLiteral("%1: dokument %2 ne nosi razliku %3")
                         .arg(described(c), c.document, difference.toText());
    }
    return lines;
}

} // namespace desk::cashcount

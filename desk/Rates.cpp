// Exchange rates: the NBS list's reader, the rate table and the rule of a day's rate.
#include "Rates.h"

#include "Holidays.h"
#include "AuditLog.h"

#include "engine/EngineError.h"
#include "engine/Table.h"
#include "engine/Transaction.h"

#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

namespace desk::rates {

namespace {

using engine::EngineError;
using engine::Money;
// Products of an amount and a rate need more than 64 bits before they are divided.
__extension__ typedef __int128 Wide;

[[noreturn]] void refuse(const QString &what)
{
    throw EngineError(EngineError::Kind::Value, what);
}

QString placeOf(const QXmlStreamReader &xml)
{
    return QStringLiteral("red %1, kolona %2").arg(xml.lineNumber()).arg(xml.columnNumber());
}

[[noreturn]] void refuseList(const QXmlStreamReader &xml, const QString &what)
{
    refuse(QStringLiteral("Kursna lista nije prihvacena: %1 (%2); nista nije snimljeno")
               .arg(what, placeOf(xml)));
}

// The text of the element the reader is at; a child element in it is refused.
QString elementText(QXmlStreamReader &xml)
{
    const QString name = xml.name().toString();
    const QString text = xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
    if (xml.error() == QXmlStreamReader::UnexpectedElementError)
        refuseList(xml, QStringLiteral("element %1 nije tekst").arg(name));
    if (xml.hasError())
        refuseList(xml, QStringLiteral("nije ispravan XML: %1").arg(xml.errorString()));
    return text.trimmed();
}

void readHeader(QXmlStreamReader &xml, RateList &list)
{
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == QLatin1String("No"))
            list.number = elementText(xml);
        else if (name == QLatin1String("Date")) {
            const QString text = elementText(xml);
            list.date = QDate::fromString(text, QStringLiteral("d.M.yyyy"));
            if (!list.date.isValid())
                refuseList(xml, QStringLiteral("datum liste \"%1\" nije dd.mm.yyyy").arg(text));
        } else if (name == QLatin1String("Type"))
            list.type = elementText(xml);
        else
            xml.skipCurrentElement();
    }
}

void readItem(QXmlStreamReader &xml, RateList &list, int index)
{
    QString currency, unitText, middle;
    bool hasMiddle = false, otherRate = false;
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == QLatin1String("Currency"))
            currency = elementText(xml);
        else if (name == QLatin1String("Unit"))
            unitText = elementText(xml);
        else if (name == QLatin1String("Middle_Rate")) {
            hasMiddle = true;
            middle = elementText(xml);
        } else if (name == QLatin1String("Buying_Rate") || name == QLatin1String("Selling_Rate")) {
            otherRate = true;
            xml.skipCurrentElement();
        } else
            xml.skipCurrentElement();
    }
    if (xml.hasError())
        return;
    const QString item = QStringLiteral("stavka %1%2")
                             .arg(index)
                             .arg(currency.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(currency));
    if (otherRate && !hasMiddle)
        refuseList(xml, QStringLiteral("lista drugog tipa (%1), %2 ima kupovni i prodajni kurs "
                                       "umesto srednjeg (Middle_Rate)")
                            .arg(list.type.isEmpty() ? QStringLiteral("bez tipa") : list.type, item));
    static const QRegularExpression code(QStringLiteral("^[A-Z]{3}$"));
    if (!code.match(currency).hasMatch())
        refuseList(xml, QStringLiteral("%1: valuta \"%2\" nije troslovna oznaka").arg(item, currency));
    if (!hasMiddle)
        refuseList(xml, QStringLiteral("%1 nema srednji kurs (Middle_Rate)").arg(item));
    bool unitOk = false;
    const qint64 unit = unitText.isEmpty() ? 1 : unitText.toLongLong(&unitOk);
    if (!unitText.isEmpty() && (!unitOk || unit <= 0 || unit > Scale))
        refuseList(xml, QStringLiteral("%1: jedinica (Unit) \"%2\" nije broj").arg(item, unitText));
    const std::optional<qint64> rate = parseRate(middle);
    if (!rate)
        refuseList(xml, QStringLiteral("%1: srednji kurs \"%2\" nije broj").arg(item, middle));
    for (const Rate &r : std::as_const(list.rates)) {
        if (r.currency == currency)
            refuseList(xml, QStringLiteral("%1: valuta %2 je navedena dva puta").arg(item, currency));
    }
    Rate r;
    r.currency = currency;
    // Per one unit, rounded half up to the millionth (a list's four decimals over a unit of
    // 100 are exact).
    r.millionths = (*rate + unit / 2) / unit;
    if (r.millionths <= 0)
        refuseList(xml, QStringLiteral("%1: kurs po jedinici je manji od 0.000001").arg(item));
    r.source = QStringLiteral("NBS");
    list.rates << r;
}

const char RateColumns[] = "DATUM, VALUTA, KURS, LISTA, IZVOR";

Rate rateOf(const QVariantList &row)
{
    Rate r;
    r.day = QDate::fromString(row.value(0).toString(), Qt::ISODate);
    r.currency = row.value(1).toString();
    r.millionths = row.value(2).toLongLong();
    r.list = row.value(3).toString();
    r.source = row.value(4).toString();
    return r;
}

QString describedSource(const Rate &r)
{
    return r.list.isEmpty() ? r.source : QStringLiteral("%1 lista br. %2").arg(r.source, r.list);
}

} // namespace

QString dayText(const QDate &day)
{
    return day.toString(QStringLiteral("dd.MM.yyyy"));
}

QString rateText(qint64 millionths)
{
    const bool negative = millionths < 0;
    const quint64 v = negative ? 0 - quint64(millionths) : quint64(millionths);
    QString decimals = QStringLiteral("%1").arg(v % Scale, 6, 10, QLatin1Char('0'));
    while (decimals.size() > 4 && decimals.endsWith(QLatin1Char('0')))
        decimals.chop(1);
    return (negative ? QStringLiteral("-") : QString()) + QString::number(v / Scale) +
           QLatin1Char('.') + decimals;
}

std::optional<qint64> parseRate(QStringView text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,9})(?:[.,]([0-9]{1,6}))?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed().toString());
    if (!m.hasMatch())
        return std::nullopt;
    const qint64 whole = m.captured(1).toLongLong();
    const QString fraction = m.captured(2).leftJustified(6, QLatin1Char('0'));
    const qint64 value = whole * Scale + fraction.toLongLong();
    if (value <= 0)
        return std::nullopt;
    return value;
}

Money dinarValue(Money amount, qint64 millionths)
{
    const Wide product = Wide(amount.hundredths()) * millionths;
    const Wide magnitude = product < 0 ? -product : product;
    Wide rounded = (magnitude + Scale / 2) / Scale;
    if (product < 0)
        rounded = -rounded;
    if (rounded > std::numeric_limits<qint64>::max() || rounded < -std::numeric_limits<qint64>::max())
        refuse(QStringLiteral("Protivvrednost %1 je prevelika").arg(amount.toText()));
    return Money::fromHundredths(qint64(rounded));
}

QString groupedText(Money amount)
{
    QString text = amount.toText();
    const bool negative = text.startsWith(QLatin1Char('-'));
    const qsizetype begin = negative ? 1 : 0;
    for (qsizetype at = text.indexOf(QLatin1Char('.')) - 3; at > begin; at -= 3)
        text.insert(at, QLatin1Char(','));
    return text;
}

RateList parseList(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    RateList list;
    if (bytes.trimmed().isEmpty())
        refuseList(xml, QStringLiteral("datoteka je prazna"));
    if (!xml.readNextStartElement()) {
        if (xml.hasError())
            refuseList(xml, QStringLiteral("nije XML: %1").arg(xml.errorString()));
        refuseList(xml, QStringLiteral("datoteka je prazna"));
    }
    if (xml.name() != QLatin1String("Exchange_Rates_List"))
        refuseList(xml, QStringLiteral("koren je \"%1\", a ne Exchange_Rates_List")
                            .arg(xml.name().toString()));
    bool header = false;
    int items = 0;
    // Items stand in the root, or in one element of it that holds them.
    int depth = 1;
    while (!xml.atEnd() && depth > 0) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("header") || name == QLatin1String("Header")) {
            header = true;
            readHeader(xml, list);
        } else if (name == QLatin1String("Item")) {
            readItem(xml, list, ++items);
        } else if (depth == 1) {
            ++depth; // a container of the items
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        refuseList(xml, QStringLiteral("nije ispravan XML: %1").arg(xml.errorString()));
    if (!header)
        refuseList(xml, QStringLiteral("nema zaglavlja (header)"));
    if (!list.date.isValid())
        refuseList(xml, QStringLiteral("zaglavlje nema datum liste (Date)"));
    if (list.number.isEmpty())
        refuseList(xml, QStringLiteral("zaglavlje nema broj liste (No)"));
    if (list.rates.isEmpty())
        refuseList(xml, QStringLiteral("lista nema nijednu valutu (Item)"));
    for (Rate &r : list.rates) {
        r.day = list.date;
        r.list = list.number;
    }
    return list;
}

void createTable(engine::Table &journal)
{
    journal.runBeside(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS dorvanta_kurs (DATUM text NOT NULL, VALUTA text NOT NULL, "
        "KURS bigint NOT NULL, LISTA text, IZVOR text, KORISNIK text, VREME text, "
        "PRIMARY KEY (DATUM, VALUTA))"));
}

RateBook RateBook::load(engine::Table &journal, const QString &currency)
{
    RateBook book;
    QList<QVariantList> rows;
    try {
        rows = journal.runBeside(
            QStringLiteral("SELECT %1 FROM dorvanta_kurs WHERE VALUTA = ?1").arg(QLatin1String(RateColumns)),
            {currency});
    } catch (const EngineError &) {
        return book; // a journal of an older version has no rates
    }
    for (const QVariantList &row : std::as_const(rows))
        book.add(rateOf(row));
    return book;
}

std::optional<Rate> RateBook::forDay(const QDate &day) const
{
    // Back over the weekend and holidays to the last working day, that one included.
    const QDate working = holidays::lastWorkingDayOnOrBefore(day);
    for (QDate d = day; d.isValid() && d >= working; d = d.addDays(-1)) {
        if (const auto it = m_rates.constFind(d); it != m_rates.cend())
            return *it;
    }
    return std::nullopt;
}

std::optional<Rate> RateBook::lastKnown(const QDate &day) const
{
    auto it = m_rates.upperBound(day);
    if (it == m_rates.cbegin())
        return std::nullopt;
    return *std::prev(it);
}

QString Change::text() const
{
    return QStringLiteral("%1 %2: %3 (%4) -> %5")
        .arg(dayText(stored.day), stored.currency, rateText(stored.millionths),
             describedSource(stored), rateText(wanted.millionths));
}

QList<Change> changes(engine::Table &journal, const QList<Rate> &wanted)
{
    QList<Change> out;
    for (const Rate &w : wanted) {
        QList<QVariantList> rows;
        try {
            rows = journal.runBeside(QStringLiteral("SELECT %1 FROM dorvanta_kurs WHERE DATUM = ?1 "
                                                    "AND VALUTA = ?2")
                                         .arg(QLatin1String(RateColumns)),
                                     {w.day.toString(Qt::ISODate), w.currency});
        } catch (const EngineError &) {
            return {}; // no table: nothing stored to change
        }
        if (!rows.isEmpty()) {
            const Rate stored = rateOf(rows.first());
            if (stored.millionths != w.millionths)
                out << Change{stored, w};
        }
    }
    return out;
}

Stored store(engine::Table &journal, const QList<Rate> &wanted, const QString &who,
             bool allowChanges, const QDateTime &now)
{
    for (const Rate &w : wanted) {
        if (!w.day.isValid() || w.millionths <= 0 || w.currency.isEmpty())
            refuse(QStringLiteral("Kurs nije ispravan, nista nije snimljeno"));
    }
    engine::Transaction transaction(journal);
    createTable(journal);
    const QList<Change> changed = changes(journal, wanted);
    if (!changed.isEmpty() && !allowChanges) {
        QStringList lines;
        for (const Change &c : changed)
            lines << c.text();
        refuse(QStringLiteral("Vec snimljen kurs bi se promenio, nista nije snimljeno:\n") +
               lines.join(QLatin1Char('\n')));
    }
    Stored out;
    const QString when = now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    QSet<QString> changedKeys;
    for (const Change &c : changed)
        changedKeys.insert(c.wanted.day.toString(Qt::ISODate) + c.wanted.currency);
    for (const Rate &w : wanted) {
        const QString day = w.day.toString(Qt::ISODate);
        const QList<QVariantList> rows = journal.runBeside(
            QStringLiteral("SELECT KURS FROM dorvanta_kurs WHERE DATUM = ?1 AND VALUTA = ?2"),
            {day, w.currency});
        const QVariantList values{day, w.currency, w.millionths, w.list, w.source, who, when};
        if (rows.isEmpty()) {
            journal.runBeside(QStringLiteral("INSERT INTO dorvanta_kurs (DATUM, VALUTA, KURS, "
                                             "LISTA, IZVOR, KORISNIK, VREME) VALUES (?1, ?2, ?3, "
                                             "?4, ?5, ?6, ?7)"),
                              values);
            ++out.added;
        } else if (changedKeys.contains(day + w.currency)) {
            journal.runBeside(QStringLiteral("UPDATE dorvanta_kurs SET KURS = ?3, LISTA = ?4, "
                                             "IZVOR = ?5, KORISNIK = ?6, VREME = ?7 WHERE DATUM "
                                             "= ?1 AND VALUTA = ?2"),
                              values);
            ++out.changed;
        } else {
            ++out.same;
        }
    }
    for (const Change &c : changed)
        chain::log(journal, who, QStringLiteral("KURS"),
                   QStringLiteral("Promena kursa %1 (%2)").arg(c.text(), describedSource(c.wanted)), now);
    if (out.added > 0)
        chain::log(journal, who, QStringLiteral("KURS"),
                   QStringLiteral("Snimljeno kurseva: %1 (%2, %3)")
                       .arg(out.added)
                       .arg(describedSource(wanted.first()), dayText(wanted.first().day)),
                   now);
    transaction.commit();
    return out;
}

QString counterValueText(const RateBook &book, Money amount, const QDate &day)
{
    const std::optional<Rate> rate = book.forDay(day);
    if (!rate)
        return QStringLiteral("protivvrednost: %1 na dan %2").arg(NoRate, dayText(day));
    return QStringLiteral("protivvrednost %1 DIN po srednjem kursu NBS %2 na dan %3")
        .arg(groupedText(dinarValue(amount, rate->millionths)), rateText(rate->millionths),
             dayText(day));
}

} // namespace desk::rates

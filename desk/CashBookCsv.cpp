// The journal with its document numbers as CSV, in the plain and the Serbian form.
#include "CashBookCsv.h"

#include "Rates.h"

#include "engine/Table.h"
#include "platform/DecimalText.h"

namespace desk {

namespace {

const char Header[] = "BROJ,DATUM,VREME,KORISNIK,GRUPA,OPIS,ULAZDIN,IZLAZDIN,ULAZEUR,IZLAZEUR,"
                      "STANJEDIN,STANJEEUR,KURS,PROTIVVREDNOST\r\n";

// What the two forms differ in; the rows are built once, for both.
struct Dialect
{
    char separator = ',';
    bool serbian = false;

    explicit Dialect(CsvForm form)
        : separator(form == CsvForm::Serbian ? ';' : ','), serbian(form == CsvForm::Serbian)
    {
    }
    // The header row, after the byte-order mark in the Serbian form.
    QByteArray header() const
    {
        QByteArray h(Header);
        if (serbian)
            h.replace(',', ';').prepend("\xEF\xBB\xBF");
        return h;
    }
    bool needsQuotes(QByteArrayView utf8) const
    {
        return utf8.contains(separator) || utf8.contains('"') || utf8.contains('\r') ||
               utf8.contains('\n');
    }
    // An amount's money text ("1500.00"), with a decimal comma in the Serbian form.
    void appendAmount(QByteArray &out, const char *text, qsizetype size) const
    {
        const qsizetype at = out.size();
        out.append(text, size);
        if (serbian && size >= 3)
            out[at + size - 3] = ',';
    }
    // An ISO date ("2026-12-07"), as dd.mm.yyyy in the Serbian form.
    void appendIsoDate(QByteArray &out, QByteArrayView iso) const
    {
        if (!serbian || iso.size() != 10) {
            out += iso;
            return;
        }
        const char dotted[10] = {iso[8], iso[9], '.', iso[5], iso[6], '.',
                                 iso[0], iso[1], iso[2],  iso[3]};
        out.append(dotted, 10);
    }
};

void appendField(QByteArray &out, QByteArrayView utf8, const Dialect &dialect)
{
    if (dialect.needsQuotes(utf8)) {
        out += '"';
        for (const char c : utf8) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    } else {
        out += utf8;
    }
}

// The last two fields of a row: the euro amount's rate and dinar value, both empty for a row
// without euros, "nema kursa" and empty for a day without a rate.
void appendCounterValue(QByteArray &out, const Dialect &dialect, const rates::RateBook &euros,
                        const QDate &day, engine::Money eurosIn, engine::Money eurosOut)
{
    const engine::Money amount = eurosIn.isZero() ? eurosOut : eurosIn;
    out += dialect.separator;
    if (amount.isZero()) {
        out += dialect.separator;
        return;
    }
    const std::optional<rates::Rate> rate = euros.forDay(day);
    if (!rate) {
        out += rates::NoRate.toUtf8();
        out += dialect.separator;
        return;
    }
    QByteArray rateText = rates::rateText(rate->millionths).toLatin1();
    if (dialect.serbian)
        rateText.replace('.', ',');
    out += rateText;
    out += dialect.separator;
    const QByteArray value = rates::dinarValue(amount, rate->millionths).toText().toLatin1();
    dialect.appendAmount(out, value.constData(), value.size());
}

} // namespace

QByteArray csvOf(const QList<BookEntry> &entries, CsvForm form, const rates::RateBook &euros)
{
    const Dialect dialect(form);
    QByteArray out = dialect.header();
    for (const BookEntry &e : entries) {
        const auto text = [&](const QString &t) { appendField(out, t.toUtf8(), dialect); };
        const auto amount = [&](engine::Money m) {
            const QByteArray t = m.toText().toLatin1();
            dialect.appendAmount(out, t.constData(), t.size());
        };
        const char sep = dialect.separator;
        text(e.number);
        out += sep;
        dialect.appendIsoDate(out, e.date.toString(Qt::ISODate).toLatin1());
        for (const QString &t : {e.time, e.cashier, e.group, e.description}) {
            out += sep;
            text(t);
        }
        for (const engine::Money m : {e.dinarsIn, e.dinarsOut, e.eurosIn, e.eurosOut,
                                      e.dinarBalance, e.euroBalance}) {
            out += sep;
            amount(m);
        }
        appendCounterValue(out, dialect, euros, e.date, e.eurosIn, e.eurosOut);
        out += "\r\n";
    }
    return out;
}

bool writeCsv(engine::Table &journal, std::optional<QDate> from, std::optional<QDate> to,
              const std::function<bool(QByteArrayView)> &write, CsvForm form)
{
    constexpr qsizetype Piece = 64 * 1024;
    const Dialect dialect(form);
    const char sep = dialect.separator;
    QByteArray out = dialect.header();
    out.reserve(2 * Piece);
    bool stopped = false;
    const rates::RateBook euros = rates::RateBook::load(journal);
    // The row's fields as entries() and csvOf() give them: a date that is no ISO date is
    // empty, an empty amount is 0.00.
    const auto date = [&](QByteArrayView text) {
        int y = 0, m = 0, d = 0;
        if (platform::readIsoDate(text.data(), text.size(), y, m, d))
            dialect.appendIsoDate(out, text);
        else if (!text.isEmpty())
            dialect.appendIsoDate(out, QDate::fromString(QString::fromUtf8(text), Qt::ISODate)
                                           .toString(Qt::ISODate)
                                           .toUtf8());
    };
    const auto amount = [&](const engine::RecordView &row, int column) {
        char buffer[platform::hundredthsTextCapacity];
        char *const end = buffer + sizeof buffer;
        const char *start = platform::writeHundredths(end, row.isNull(column) ? 0 : row.integer(column));
        dialect.appendAmount(out, start, end - start);
    };
    cashbook::scanEntries(journal, from, to, [&](const engine::RecordView &row) {
        if (stopped)
            return;
        // id, BROJ, STORNO, KORISNIK, DATUM, VREME, OPIS, GRUPA, amounts and balances
        appendField(out, row.utf8(1), dialect);
        out += sep;
        date(row.utf8(4));
        for (const int column : {5, 3, 7, 6}) {
            out += sep;
            appendField(out, row.utf8(column), dialect);
        }
        for (const int column : {8, 9, 10, 11, 12, 13}) {
            out += sep;
            amount(row, column);
        }
        const auto euro = [&](int column) {
            return engine::Money::fromHundredths(row.isNull(column) ? 0 : row.integer(column));
        };
        appendCounterValue(out, dialect, euros,
                           QDate::fromString(QString::fromUtf8(row.utf8(4)).left(10), Qt::ISODate),
                           euro(10), euro(11));
        out += "\r\n";
        if (out.size() >= Piece) {
            stopped = !write(out);
            out.truncate(0); // keeps its room for the next piece
        }
    });
    if (stopped)
        return false;
    return out.isEmpty() || write(out);
}

} // namespace desk

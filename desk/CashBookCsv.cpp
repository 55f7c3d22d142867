#include "CashBookCsv.h"

#include "Rates.h"

#include "engine/Table.h"
#include "platform/DecimalText.h"

namespace desk {

namespace {

const char Header[] = "BROJ,DATUM,VREME,KORISNIK,GRUPA,OPIS,ULAZDIN,IZLAZDIN,ULAZEUR,IZLAZEUR,"
                      "STANJEDIN,STANJEEUR,KURS,PROTIVVREDNOST\r\n";

// The last two fields of a row: the euro amount's rate and dinar value, both empty for a row
// without euros, "nema kursa" and empty for a day without a rate.
void appendCounterValue(QByteArray &out, const rates::RateBook &euros, const QDate &day,
                        engine::Money eurosIn, engine::Money eurosOut)
{
    const engine::Money amount = eurosIn.isZero() ? eurosOut : eurosIn;
    out += ',';
    if (amount.isZero()) {
        out += ',';
        return;
    }
    const std::optional<rates::Rate> rate = euros.forDay(day);
    if (!rate) {
        out += rates::NoRate.toUtf8() + ',';
        return;
    }
    out += rates::rateText(rate->millionths).toLatin1() + ',' +
           rates::dinarValue(amount, rate->millionths).toText().toLatin1();
}

void appendField(QByteArray &out, QByteArrayView utf8)
{
    if (utf8.contains(',') || utf8.contains('"') || utf8.contains('\r') || utf8.contains('\n')) {
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

void appendField(QByteArray &out, const QString &text)
{
    QByteArray utf8 = text.toUtf8();
    if (utf8.contains(',') || utf8.contains('"') || utf8.contains('\r') || utf8.contains('\n')) {
        utf8.replace("\"", "\"\"");
        out += '"' + utf8 + '"';
    } else {
        out += utf8;
    }
}

} // namespace

QByteArray csvOf(const QList<BookEntry> &entries, const rates::RateBook &euros)
{
    QByteArray out(Header);
    for (const BookEntry &e : entries) {
        const QString fields[] = {
            e.number, e.date.toString(Qt::ISODate), e.time, e.cashier, e.group, e.description,
            e.dinarsIn.toText(), e.dinarsOut.toText(), e.eurosIn.toText(), e.eurosOut.toText(),
            e.dinarBalance.toText(), e.euroBalance.toText(),
        };
        bool first = true;
        for (const QString &f : fields) {
            if (!first)
                out += ',';
            first = false;
            appendField(out, f);
        }
        appendCounterValue(out, euros, e.date, e.eurosIn, e.eurosOut);
        out += "\r\n";
    }
    return out;
}

bool writeCsv(engine::Table &journal, std::optional<QDate> from, std::optional<QDate> to,
              const std::function<bool(QByteArrayView)> &write)
{
    constexpr qsizetype Piece = 64 * 1024;
    QByteArray out(Header);
    out.reserve(2 * Piece);
    bool stopped = false;
    const rates::RateBook euros = rates::RateBook::load(journal);
    // The row's fields as entries() and csvOf() give them: a date that is no ISO date is
    // empty, an empty amount is 0.00.
    const auto date = [&](QByteArrayView text) {
        int y = 0, m = 0, d = 0;
        if (platform::readIsoDate(text.data(), text.size(), y, m, d))
            out += text;
        else if (!text.isEmpty())
            out += QDate::fromString(QString::fromUtf8(text), Qt::ISODate).toString(Qt::ISODate).toUtf8();
    };
    const auto amount = [&](const engine::RecordView &row, int column) {
        char buffer[platform::hundredthsTextCapacity];
        char *const end = buffer + sizeof buffer;
        const char *start = platform::writeHundredths(end, row.isNull(column) ? 0 : row.integer(column));
        out.append(start, end - start);
    };
    cashbook::scanEntries(journal, from, to, [&](const engine::RecordView &row) {
        if (stopped)
            return;
        // id, BROJ, STORNO, KORISNIK, DATUM, VREME, OPIS, GRUPA, amounts and balances
        appendField(out, row.utf8(1));
        out += ',';
        date(row.utf8(4));
        for (const int column : {5, 3, 7, 6}) {
            out += ',';
            appendField(out, row.utf8(column));
        }
        for (const int column : {8, 9, 10, 11, 12, 13}) {
            out += ',';
            amount(row, column);
        }
        const auto euro = [&](int column) {
            return engine::Money::fromHundredths(row.isNull(column) ? 0 : row.integer(column));
        };
        appendCounterValue(out, euros,
                           QDate::fromString(QString::fromUtf8(row.utf8(4)).left(10), Qt::ISODate),
                           euro(10), euro(11));
        out += "\r\n";
        if (out.size() >= Piece) {
            stopped = !write(out);
            out.clear();
        }
    });
    if (stopped)
        return false;
    return out.isEmpty() || write(out);
}

} // namespace desk

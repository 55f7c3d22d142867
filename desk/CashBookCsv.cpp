#include "CashBookCsv.h"

namespace desk {

namespace {

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

QByteArray csvOf(const QList<BookEntry> &entries)
{
    QByteArray out("BROJ,DATUM,VREME,KORISNIK,GRUPA,OPIS,ULAZDIN,IZLAZDIN,ULAZEUR,IZLAZEUR,"
                   "STANJEDIN,STANJEEUR\r\n");
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
        out += "\r\n";
    }
    return out;
}

} // namespace desk

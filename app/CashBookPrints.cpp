#include "CashBookPrints.h"

#include "desk/AmountInWords.h"
#include "desk/Posting.h"

namespace cash_prints {

report::Document dayReport(const desk::cashbook::DayBook &book, const QDate &day,
                           report::DayCurrencies currencies, const QDateTime &printTime)
{
    report::DayFigures f;
    f.day = day;
    if (book.close) {
        f.closeNumber = book.close->number;
        f.closedBy = book.close->closedBy;
        f.closedAt = book.close->closedAt;
    }
    f.chainHead = QString::fromLatin1(book.chainHead);
    f.openingDinars = book.dinars.opening.toText();
    f.openingEuros = book.euros.opening.toText();
    f.closingDinars = book.dinars.closing().toText();
    f.closingEuros = book.euros.closing().toText();
    f.lines.reserve(book.entries.size());
    for (const desk::BookEntry &e : book.entries)
        f.lines.append({e.number, e.time, e.cashier, e.description, e.dinarsIn.toText(),
                        e.dinarsOut.toText(), e.eurosIn.toText(), e.eurosOut.toText(),
                        !e.dinarsIn.isZero() || !e.dinarsOut.isZero(),
                        !e.eurosIn.isZero() || !e.eurosOut.isZero()});
    return report::dayReportDocument(f, currencies, printTime);
}

report::Document voucher(const desk::BookEntry &e, const QDateTime &printTime)
{
    const bool receipt = desk::kindOf(e) == desk::DocumentKind::Receipt;
    const bool euros = !e.eurosIn.isZero() || !e.eurosOut.isZero();
    const engine::Money amount = euros ? (receipt ? e.eurosIn : e.eurosOut)
                                       : (receipt ? e.dinarsIn : e.dinarsOut);
    report::VoucherFigures v;
    v.receipt = receipt;
    v.number = e.number;
    v.reverses = e.reverses;
    v.date = e.date.toString(QStringLiteral("dd/MM/yyyy"));
    v.time = e.time;
    v.currency = euros ? QStringLiteral("EUR") : QStringLiteral("DIN");
    v.amount = amount.toText();
    v.words = desk::amountInWords(amount, euros ? desk::Currency::Euros : desk::Currency::Dinars);
    v.description = e.description;
    v.group = e.group;
    v.cashier = e.cashier;
    return report::voucherDocument(v, printTime);
}

} // namespace cash_prints

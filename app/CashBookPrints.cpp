#include "CashBookPrints.h"

namespace cash_prints {

report::Document dayReport(const desk::cashbook::DayBook &book, const QDate &day,
                           report::DayCurrencies currencies, const QDateTime &printTime,
                           const QString &keyFingerprint)
{
    report::DayFigures f;
    f.day = day;
    if (book.close) {
        f.closeNumber = book.close->number;
        f.closedBy = book.close->closedBy;
        f.closedAt = book.close->closedAt;
    }
    f.chainHead = QString::fromLatin1(book.chainHead);
    f.keyFingerprint = keyFingerprint;
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

report::Document postingSlip(const desk::BookEntry &e, const QDateTime &printTime)
{
    const bool receipt = desk::kindOf(e) == desk::DocumentKind::Receipt;
    const bool euros = !e.eurosIn.isZero() || !e.eurosOut.isZero();
    const engine::Money amount = euros ? (receipt ? e.eurosIn : e.eurosOut)
                                       : (receipt ? e.dinarsIn : e.dinarsOut);
    return report::postingSlipDocument(
        {receipt, e.number, e.date.toString(QStringLiteral("dd/MM/yyyy")), e.cashier,
         amount.toText() + (euros ? QStringLiteral(" EUR") : QStringLiteral(" DIN")),
         e.description, e.group},
        printTime);
}

} // namespace cash_prints

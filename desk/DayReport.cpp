#include "DayReport.h"

#include "report/MemoryDataSource.h"

namespace desk {

report::Document dayReportDocument(const cashbook::DayBook &book, const QDate &day,
                                   report::DayCurrencies currencies, const QDateTime &printTime)
{
    const bool dinars = currencies != report::DayCurrencies::Euros;
    const bool euros = currencies != report::DayCurrencies::Dinars;
    report::Report r = report::dailyCashReport(currencies);
    const QString shown = QStringLiteral("dd/MM/yyyy");
    if (book.close) {
        r.setText(report::DayReportTitle, QStringLiteral("BLAGAJNICKI IZVESTAJ br. %1/%2")
                                              .arg(book.close->number)
                                              .arg(day.year()));
        r.setText(report::DayReportState,
                  QStringLiteral("Zakljucio: %1, %2")
                      .arg(book.close->closedBy,
                           book.close->closedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))));
    } else {
        r.setText(report::DayReportTitle, QStringLiteral("BLAGAJNICKI IZVESTAJ"));
        r.setText(report::DayReportState, QStringLiteral("NIJE ZAKLJUCEN"));
    }
    r.setText(report::DayReportDay, QStringLiteral("za dan ") + day.toString(shown));
    if (!book.chainHead.isEmpty())
        r.setText(report::DayReportHead, QStringLiteral("Glava lanca: ") + QString::fromLatin1(book.chainHead));
    r.setText(report::OpeningDinars, book.dinars.opening.toText());
    r.setText(report::OpeningEur, book.euros.opening.toText());
    r.setText(report::ClosingDinars, book.dinars.closing().toText());
    r.setText(report::ClosingEur, book.euros.closing().toText());

    auto data = std::make_shared<report::MemoryDataSource>(
        QStringList{"BROJ", "VREME", "KORISNIK", "OPIS", "ULAZDIN", "IZLAZDIN", "ULAZEUR", "IZLAZEUR"});
    data->reserve(int(book.entries.size()));
    for (const BookEntry &e : book.entries) {
        const bool inDinars = !e.dinarsIn.isZero() || !e.dinarsOut.isZero();
        const bool inEuros = !e.eurosIn.isZero() || !e.eurosOut.isZero();
        if (!(dinars && euros) && !(dinars && inDinars) && !(euros && inEuros))
            continue;
        data->append({e.number, e.time, e.cashier, e.description, e.dinarsIn.toText(),
                      e.dinarsOut.toText(), e.eurosIn.toText(), e.eurosOut.toText()});
    }
    report::Document document(r, data);
    document.setPrintTime(printTime);
    return document;
}

report::Document postingSlipDocument(const BookEntry &e, const QDateTime &printTime)
{
    const bool receipt = kindOf(e) == DocumentKind::Receipt;
    const bool euros = !e.eurosIn.isZero() || !e.eurosOut.isZero();
    const engine::Money amount = euros ? (receipt ? e.eurosIn : e.eurosOut)
                                       : (receipt ? e.dinarsIn : e.dinarsOut);
    report::Report r = report::postingSlip();
    r.setText(report::SlipParty, receipt ? QStringLiteral("Uplatilac") : QStringLiteral("Primalac"));
    auto data = std::make_shared<report::MemoryDataSource>(
        QStringList{"NASLOV", "DATUM", "KORISNIK", "IZNOS", "OPIS", "GRUPA"});
    data->append({(receipt ? QStringLiteral("UPLATNICA br. ") : QStringLiteral("ISPLATNICA br. ")) +
                      e.number,
                  e.date.toString(QStringLiteral("dd/MM/yyyy")), e.cashier,
                  amount.toText() + (euros ? QStringLiteral(" EUR") : QStringLiteral(" DIN")),
                  e.description, e.group});
    report::Document document(r, data);
    document.setPrintTime(printTime);
    return document;
}

} // namespace desk

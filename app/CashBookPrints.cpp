// The cash book's printouts built as report documents: the daily cash report with its counts,
// a document's voucher and the month and year reports.
#include "CashBookPrints.h"

#include "desk/AmountInWords.h"
#include "desk/Posting.h"

namespace cash_prints {

namespace {

// "5000" for a whole denomination, "0.50" for cents.
QString denominationText(engine::Money denomination)
{
    return denomination.hundredths() % 100 == 0 ? QString::number(denomination.hundredths() / 100)
                                                : denomination.toText();
}

report::CountFigures countFigures(const desk::cashcount::Count &c)
{
    const QString currency = desk::cashcount::currencyCode(c.currency);
    report::CountFigures f;
    f.heading = QStringLiteral("POPIS GOTOVINE %1 (%2, %3)")
                    .arg(currency, c.countedBy,
                         c.countedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
    for (const desk::cashcount::Pieces &p : c.pieces)
        f.lines.append({QStringLiteral("%1 x %2").arg(denominationText(p.denomination)).arg(p.count),
                        engine::Money::fromHundredths(p.denomination.hundredths() * p.count).toText()});
    const engine::Money difference = c.difference();
    f.lines.append({QStringLiteral("UKUPNO PREBROJANO"), c.counted.toText()});
    f.lines.append({QStringLiteral("KNJIZNO STANJE"), c.book.toText()});
    f.lines.append({difference < engine::Money()   ? QStringLiteral("RAZLIKA (MANJAK)")
                    : difference > engine::Money() ? QStringLiteral("RAZLIKA (VISAK)")
                                                   : QStringLiteral("RAZLIKA"),
                    difference.toText()});
    if (!c.document.isEmpty())
        f.lines.append({QStringLiteral("Dokument razlike"), c.document});
    return f;
}

} // namespace

report::Document dayReport(const desk::cashbook::DayBook &book, const QDate &day,
                           report::DayCurrencies currencies, const QDateTime &printTime,
                           const QString &keyFingerprint,
                           const QList<desk::cashcount::Count> &counts,
                           const desk::settings::Shared &shared,
                           const desk::rates::RateBook &euros,
                           const QList<desk::deposits::Overdue> &overdue)
{
    namespace rates = desk::rates;
    const std::optional<rates::Rate> rate = euros.forDay(day);
    const auto inDinars = [&](engine::Money amount) {
        return rate ? rates::groupedText(rates::dinarValue(amount, rate->millionths)) +
                          QStringLiteral(" DIN")
                    : rates::NoRate;
    };
    const auto printed = [currencies](desk::Currency c) {
        return currencies == report::DayCurrencies::Both ||
               (currencies == report::DayCurrencies::Euros) == (c == desk::Currency::Euros);
    };
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
    engine::Money deposited;
    for (const desk::BookEntry &e : book.entries) {
        const bool hasEuros = !e.eurosIn.isZero() || !e.eurosOut.isZero();
        f.lines.append({e.number, e.time, e.cashier, e.description, e.dinarsIn.toText(),
                        e.dinarsOut.toText(), e.eurosIn.toText(), e.eurosOut.toText(),
                        !e.dinarsIn.isZero() || !e.dinarsOut.isZero(), hasEuros,
                        hasEuros ? inDinars(e.eurosIn.isZero() ? e.eurosOut : e.eurosIn) : QString()});
        if (desk::deposits::isDeposit(e.description) && !e.dinarsOut.isZero()) {
            f.depositLines.append(QStringLiteral("Polog na racun: %1 %2, %3 DIN")
                                      .arg(e.number, e.description,
                                           rates::groupedText(e.dinarsOut)));
            deposited += e.dinarsOut;
        }
    }
    if (!f.depositLines.isEmpty())
        f.depositLines.append(QStringLiteral("Ukupno polozeno na racun: %1 DIN")
                                  .arg(rates::groupedText(deposited)));
    f.depositWarnings = desk::deposits::warningLines(overdue);
    if (rate) {
        f.rateLines.append(
            QStringLiteral("Srednji kurs NBS za EUR na dan %1: %2 (%3 od %4)")
                .arg(rates::dayText(day), rates::rateText(rate->millionths),
                     rate->list.isEmpty() ? QStringLiteral("unet kurs")
                                          : QStringLiteral("lista br. ") + rate->list,
                     rates::dayText(rate->day)));
        f.rateLines.append(QStringLiteral("Protivvrednost EUR: ulaz %1, izlaz %2")
                               .arg(inDinars(book.euros.in), inDinars(book.euros.out)));
        f.rateLines.append(QStringLiteral("Stanje %1 EUR = %2 po srednjem kursu NBS na dan %3")
                               .arg(rates::groupedText(book.euros.closing()),
                                    inDinars(book.euros.closing()), rates::dayText(day)));
    } else {
        f.rateLines.append(QStringLiteral("Srednji kurs NBS za EUR na dan %1: %2")
                               .arg(rates::dayText(day), rates::NoRate));
    }
    for (const desk::cashcount::Count &c : counts) {
        if (printed(c.currency))
            f.counts.append(countFigures(c));
    }
    for (const desk::Currency c : {desk::Currency::Dinars, desk::Currency::Euros}) {
        const engine::Money limit = shared.limit(c);
        if (!printed(c) || limit.isZero())
            continue;
        const QString code = desk::cashcount::currencyCode(c);
        const engine::Money excess =
            (c == desk::Currency::Euros ? book.euros : book.dinars).closing() - limit;
        f.limitLines.append(
            QStringLiteral("Blagajnicki maksimum %1 %2, ").arg(limit.toText(), code) +
            (excess > engine::Money() ? QStringLiteral("visak %1 %2 (uplatiti u banku)").arg(excess.toText(), code)
                                      : QStringLiteral("bez viska")));
    }
    return onShopPaper(report::dayReportDocument(f, currencies, printTime), shared);
}

report::Document onShopPaper(const report::Document &document,
                             const desk::settings::Shared &shared)
{
    return report::withLetterhead(
        document,
        report::PageSetup::forPaper(shared.paper == desk::settings::Paper::A4 ? report::Paper::A4
                                                                              : report::Paper::Letter),
        {shared.firmName, shared.firmAddress, shared.pib, shared.mb});
}

report::Document monthReport(const desk::month::Figures &figures, bool year,
                             const QDateTime &printTime, const desk::settings::Shared &shared)
{
    const auto amounts = [](const desk::month::CurrencyRow &c) {
        return report::PeriodAmounts{c.figures.opening.hundredths(), c.figures.in.hundredths(),
                                     c.figures.out.hundredths(),     c.figures.closing().hundredths(),
                                     c.counted.hundredths(),         c.deposited.hundredths()};
    };
    const auto line = [&](const desk::month::Row &r) {
        return report::PeriodLine{
            r.first.toString(year ? QStringLiteral("MM/yyyy") : QStringLiteral("dd/MM/yyyy")),
            QString::number(year ? r.first.month() : r.first.day()), amounts(r.dinars),
            amounts(r.euros)};
    };
    report::PeriodFigures f;
    const QDate first = figures.total.first;
    f.title = year ? QStringLiteral("GODISNJI BLAGAJNICKI IZVESTAJ")
                   : QStringLiteral("MESECNI BLAGAJNICKI IZVESTAJ");
    f.period = year ? QStringLiteral("za godinu %1").arg(first.year())
                    : QStringLiteral("za mesec ") + first.toString(QStringLiteral("MM/yyyy"));
    f.categoryTitle = year ? QStringLiteral("Mesec") : QStringLiteral("Dan");
    for (const desk::month::Row &r : figures.rows)
        f.lines << line(r);
    f.total = line(figures.total);
    f.total.label = QStringLiteral("UKUPNO");
    f.limitDinars = figures.limitDinars.hundredths();
    f.limitEuros = figures.limitEuros.hundredths();
    return onShopPaper(report::monthReportDocument(f, printTime), shared);
}

report::Document voucher(const desk::BookEntry &e, const QDateTime &printTime,
                         const desk::settings::Shared &shared, const desk::rates::RateBook &euros)
{
    const bool receipt = desk::kindOf(e) == desk::DocumentKind::Receipt;
    const bool isEuro = !e.eurosIn.isZero() || !e.eurosOut.isZero();
    const engine::Money amount = isEuro ? (receipt ? e.eurosIn : e.eurosOut)
                                       : (receipt ? e.dinarsIn : e.dinarsOut);
    report::VoucherFigures v;
    v.receipt = receipt;
    v.number = e.number;
    v.reverses = e.reverses;
    v.date = e.date.toString(QStringLiteral("dd/MM/yyyy"));
    v.time = e.time;
    v.currency = isEuro ? QStringLiteral("EUR") : QStringLiteral("DIN");
    v.amount = amount.toText();
    v.words = desk::amountInWords(amount, isEuro ? desk::Currency::Euros : desk::Currency::Dinars);
    if (isEuro)
        v.counterValue = desk::rates::counterValueText(euros, amount, e.date);
    v.description = e.description;
    v.group = e.group;
    v.cashier = e.cashier;
    return onShopPaper(report::voucherDocument(v, printTime), shared);
}

} // namespace cash_prints

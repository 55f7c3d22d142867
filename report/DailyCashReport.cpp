// The daily cash report and a posting's voucher (nalog blagajni), in the house style (HouseStyle.h):
// the amount columns stand where the turnover report has them, so both read alike.
#include "DailyCashReport.h"

#include "HouseStyle.h"
#include "MemoryDataSource.h"

#include <algorithm>

namespace report {

namespace {

using namespace house;

constexpr double DocumentLeft = RecordLeft;
constexpr double TimeLeft = 30.0;

Band titleBand(Currencies c)
{
    Band b;
    b.kind = BandKind::Title;
    b.height = 36.6;
    b.elements = {
        Element::label(QString(), 2.1, 2.1).named(DayReportTitle).withFont(16, Bold),
        Element::label(QString(), 2.1, 9.5).named(DayReportDay).withFont(12, Bold),
        Element::label(QString(), 2.1, 15.1).named(DayReportState).withFont(10, Bold),
        Element::label(QString(), 2.1, 20.2).named(DayReportHead).withFont(7),
        Element::label(QString(), 2.1, 22.6).named(DayReportKey).withFont(7),
    };
    const struct
    {
        const char *name;
        const char *text;
        double left;
    } headings[] = {
        {"HeadingNumber", "R.br.", 0.0},         {"HeadingDocument", "Dokument", DocumentLeft},
        {"HeadingTime", "Vreme", TimeLeft},      {"HeadingCashier", "Blagajnik", CashierLeft},
        {"HeadingDescription", "Opis", 70.9},
    };
    for (const auto &h : headings)
        b.elements << Element::label(QString::fromLatin1(h.text), h.left, 25.4)
                          .named(QString::fromLatin1(h.name))
                          .withFont(10);
    b.elements << Element::label(QStringLiteral("PRETHODNO STANJE"), 70.9, 31.0)
                      .named(QStringLiteral("OpeningLabel"))
                      .withFont(10, Bold);
    b.elements << currencyHeadings(c);
    if (c.dinars) {
        b.elements << Element::label(QString(), 155.3, 31.0)
                          .named(OpeningDinars)
                          .alignedRight()
                          .withFont(10, Bold)
                          .fittingIn(155.3 - DescriptionRight - Gap);
    }
    if (c.euros) {
        b.elements << Element::label(QString(), 188.4, 31.0)
                          .named(OpeningEur)
                          .alignedRight()
                          .withFont(10, Bold)
                          .fittingIn(188.4 - 155.3 - Gap);
    }
    return b;
}

Band detailBand(Currencies c)
{
    return recordBand({Element::dataField(QStringLiteral("BROJ"), DocumentLeft, 0.5)
                           .named(QStringLiteral("Document"))
                           .withFont(8)
                           .fittingIn(TimeLeft - DocumentLeft - Gap),
                       Element::dataField(QStringLiteral("VREME"), TimeLeft, 0.5)
                           .named(QStringLiteral("Time"))
                           .withFont(8)},
                      c);
}

Band summaryBand(Currencies c)
{
    Band b;
    b.kind = BandKind::Summary;
    b.height = 40.0;
    b.ruleTop = true;
    auto closing = [](const char *name, double right, double left) {
        return Element::label(QString(), right, 6.6)
            .named(QString::fromLatin1(name))
            .alignedRight()
            .withFont(12, Bold)
            .fittingIn(right - left);
    };
    b.elements = {
        Element::label(QStringLiteral("PROMET DANA"), 70.9, 1.1)
            .named(QStringLiteral("DayTotalLabel"))
            .withFont(8, Bold),
        Element::label(QStringLiteral("NOVO STANJE"), 70.9, 7.0)
            .named(QStringLiteral("ClosingLabel"))
            .withFont(10, Bold),
        Element::label(QString(), 2.1, 1.1).named(DayReportVouchers).withFont(10),
        Element::label(QStringLiteral("______________________________"), 10.0, 24.0)
            .named(QStringLiteral("CashierLine")),
        Element::label(QStringLiteral("Blagajnik"), 25.0, 29.0).named(QStringLiteral("CashierSign")),
        Element::label(QStringLiteral("______________________________"), 120.0, 24.0)
            .named(QStringLiteral("ControllerLine")),
        Element::label(QStringLiteral("Kontrolor"), 135.0, 29.0)
            .named(QStringLiteral("ControllerSign")),
    };
    b.elements << amountSums(c);
    if (c.dinars)
        b.elements << closing(ClosingDinars, 155.3, DescriptionRight);
    if (c.euros)
        b.elements << closing(ClosingEur, 188.4, 155.3 + Gap);
    return b;
}

// The summary band with the day's rate, deposit and limit lines and its counts below the
// signature lines, two counts side by side.
Band withCounts(Band b, const DayFigures &f, bool euros)
{
    constexpr double Line = 4.6;
    double top = 36.0;
    const auto lines = [&](const QStringList &texts, const char *name) {
        for (const QString &line : texts) {
            b.elements << Element::label(line, 2.1, top)
                              .named(QString::fromLatin1(name))
                              .withFont(9, Bold)
                              .fittingIn(186.0);
            top += Line;
        }
        if (!texts.isEmpty())
            top += 2.0;
    };
    if (euros)
        lines(f.rateLines, "RateLine");
    lines(f.depositLines, "DepositLine");
    lines(f.depositWarnings, "DepositWarning");
    lines(f.limitLines, "LimitLine");
    for (qsizetype k = 0; k < f.counts.size(); k += 2) {
        double bottom = top;
        for (qsizetype j = k; j < std::min(k + 2, f.counts.size()); ++j) {
            const CountFigures &count = f.counts.at(j);
            const double left = 2.1 + 96.0 * double(j - k);
            double y = top;
            b.elements << Element::label(count.heading, left, y)
                              .named(QStringLiteral("CountHeading"))
                              .withFont(9, Bold)
                              .fittingIn(92.0);
            y += Line + 0.6;
            for (const CountLine &l : count.lines) {
                b.elements << Element::label(l.caption, left + 2.0, y)
                                  .named(QStringLiteral("CountCaption"))
                                  .withFont(9)
                                  .fittingIn(56.0)
                           << Element::label(l.amount, left + 90.0, y)
                                  .named(QStringLiteral("CountAmount"))
                                  .alignedRight()
                                  .withFont(9)
                                  .fittingIn(30.0);
                y += Line;
            }
            bottom = std::max(bottom, y);
        }
        top = bottom + 3.0;
    }
    b.height = std::max(b.height, top);
    return b;
}

Band voucherBand()
{
    Band b;
    b.kind = BandKind::Detail;
    b.height = 120.0;
    b.elements = {
        Element::dataField(QStringLiteral("NASLOV"), 2.1, 2.1)
            .named(QStringLiteral("VoucherTitle"))
            .withFont(16, Bold),
        Element::dataField(QStringLiteral("STORNO"), 2.1, 10.0)
            .named(QStringLiteral("VoucherReversal"))
            .withFont(12, Bold),
    };
    const struct
    {
        const char *caption;
        const char *field;
    } lines[] = {
        {"Broj:", "BROJ"},     {"Datum i vreme:", "DATUM"}, {"Valuta:", "VALUTA"},
        {"Iznos:", "IZNOS"},   {"", "SLOVIMA"},             {"Opis:", "OPIS"},
        {"Grupa:", "GRUPA"},   {"Blagajnik:", "KORISNIK"},  {"", "PROTIVVREDNOST"},
    };
    double top = 18.0;
    for (const auto &l : lines) {
        if (*l.caption)
            b.elements << Element::label(QString::fromLatin1(l.caption), 2.1, top).withFont(10, Bold);
        Element field = Element::dataField(QString::fromLatin1(l.field), 34.0, top)
                            .named(QString::fromLatin1(l.field))
                            .withFont(10);
        // The amount in words may be long: it wraps in its own box.
        if (QLatin1String(l.field) == QLatin1String("SLOVIMA"))
            field.inBox(150.0, 10.0);
        else
            field.fittingIn(150.0);
        b.elements << field;
        top += QLatin1String(l.field) == QLatin1String("SLOVIMA") ? 12.0 : 7.0;
    }
    const struct
    {
        const char *name;
        const char *caption;
        double left;
    } signatures[] = {
        {"CashierSign", "Blagajnik", 2.1},
        {SlipParty, "", 66.0},
        {"ApproverSign", "Odobrio", 130.0},
    };
    for (const auto &s : signatures) {
        b.elements << Element::label(QStringLiteral("_________________________"), s.left, 90.0)
                          .named(QString::fromLatin1(s.name) + QStringLiteral("Line"))
                   << Element::label(QString::fromLatin1(s.caption), s.left + 12.0, 95.0)
                          .named(QString::fromLatin1(s.name));
    }
    return b;
}

} // namespace

Report voucher()
{
    Report r(PageSetup{});
    r.setBand(voucherBand());
    r.setBand(pageFooterBand());
    return r;
}

Report dailyCashReport(DayCurrencies currencies)
{
    const Currencies c{currencies != DayCurrencies::Euros, currencies != DayCurrencies::Dinars};
    Report r(PageSetup{});
    r.setBand(pageHeaderBand());
    r.setBand(titleBand(c));
    r.setBand(detailBand(c));
    r.setBand(summaryBand(c));
    r.setBand(pageFooterBand());
    return r;
}

Document dayReportDocument(const DayFigures &f, DayCurrencies currencies, const QDateTime &printTime)
{
    const bool dinars = currencies != DayCurrencies::Euros;
    const bool euros = currencies != DayCurrencies::Dinars;
    Report r = dailyCashReport(currencies);
    if (f.closeNumber > 0) {
        r.setText(DayReportTitle,
                  QStringLiteral("BLAGAJNICKI IZVESTAJ br. %1/%2").arg(f.closeNumber).arg(f.day.year()));
        r.setText(DayReportState,
                  QStringLiteral("Zakljucio: %1, %2")
                      .arg(f.closedBy, f.closedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))));
    } else {
        r.setText(DayReportTitle, QStringLiteral("BLAGAJNICKI IZVESTAJ"));
        r.setText(DayReportState, QStringLiteral("NIJE ZAKLJUCEN"));
    }
    if (!f.counts.isEmpty() || !f.limitLines.isEmpty() || (euros && !f.rateLines.isEmpty()) ||
        !f.depositLines.isEmpty() || !f.depositWarnings.isEmpty())
        r.setBand(withCounts(*r.band(BandKind::Summary), f, euros));
    r.setText(DayReportDay, QStringLiteral("za dan ") + f.day.toString(QStringLiteral("dd/MM/yyyy")));
    if (!f.chainHead.isEmpty())
        r.setText(DayReportHead, QStringLiteral("Glava lanca: ") + f.chainHead);
    if (!f.keyFingerprint.isEmpty())
        r.setText(DayReportKey, QStringLiteral("Otisak kljuca za potpis: ") + f.keyFingerprint);
    r.setText(OpeningDinars, f.openingDinars);
    r.setText(OpeningEur, f.openingEuros);
    r.setText(ClosingDinars, f.closingDinars);
    r.setText(ClosingEur, f.closingEuros);

    auto data = std::make_shared<MemoryDataSource>(
        QStringList{"BROJ", "VREME", "KORISNIK", "OPIS", "ULAZDIN", "IZLAZDIN", "ULAZEUR", "IZLAZEUR"});
    data->reserve(int(f.lines.size()));
    int vouchers = 0;
    for (const DayLine &l : f.lines) {
        if (!(dinars && euros) && !(dinars && l.dinars) && !(euros && l.euros))
            continue;
        const QString description =
            euros && !l.counterValue.isEmpty()
                ? QStringLiteral("%1 (= %2)").arg(l.description, l.counterValue)
                : l.description;
        data->append({l.number, l.time, l.cashier, description, l.dinarsIn, l.dinarsOut,
                      l.eurosIn, l.eurosOut});
        ++vouchers;
    }
    // Every line printed is a document whose voucher goes with the report.
    r.setText(DayReportVouchers, QStringLiteral("Broj priloga: %1").arg(vouchers));
    Document document(r, data);
    document.setPrintTime(printTime);
    return document;
}

Document voucherDocument(const VoucherFigures &v, const QDateTime &printTime)
{
    Report r = voucher();
    r.setText(SlipParty, v.receipt ? QStringLiteral("Uplatilac") : QStringLiteral("Primalac"));
    auto data = std::make_shared<MemoryDataSource>(QStringList{
        "NASLOV", "STORNO", "BROJ", "DATUM", "VALUTA", "IZNOS", "SLOVIMA", "OPIS", "GRUPA", "KORISNIK",
        "PROTIVVREDNOST"});
    data->append({v.receipt ? QStringLiteral("NALOG BLAGAJNI ZA NAPLATU")
                            : QStringLiteral("NALOG BLAGAJNI ZA ISPLATU"),
                  v.reverses.isEmpty() ? QString()
                                       : QStringLiteral("STORNO dokumenta ") + v.reverses,
                  v.number, v.date + QLatin1Char(' ') + v.time, v.currency,
                  v.amount + QLatin1Char(' ') + v.currency, QStringLiteral("slovima: ") + v.words,
                  v.description, v.group, v.cashier, v.counterValue});
    Document document(r, data);
    document.setPrintTime(printTime);
    return document;
}

} // namespace report

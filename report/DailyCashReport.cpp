// The daily cash report. Positions are millimetres from the band's left and top edges; the
// amount columns stand where the turnover report has them, so both read alike.
#include "DailyCashReport.h"

namespace report {

namespace {

constexpr int Bold = QFont::Bold;
const QString Money = QStringLiteral("0.00");

constexpr double Gap = 0.8;
constexpr double NumberCentre = 3.4;
constexpr double DocumentLeft = 8.5;
constexpr double TimeLeft = 30.0;
constexpr double CashierLeft = 44.7;
constexpr double DescriptionLeft = 71.2;
constexpr double DescriptionRight = DescriptionLeft + 54.0;

// The amount columns: the right edges of in and out per currency.
struct Columns
{
    bool dinars;
    bool euros;
};

Band titleBand(Columns c)
{
    Band b;
    b.kind = BandKind::Title;
    b.height = 36.6;
    b.elements = {
        Element::label(QString(), 2.1, 2.1).named(DayReportTitle).withFont(16, Bold),
        Element::label(QString(), 2.1, 9.5).named(DayReportDay).withFont(12, Bold),
        Element::label(QString(), 2.1, 15.1).named(DayReportState).withFont(10, Bold),
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
    if (c.dinars) {
        b.elements << Element::label(QStringLiteral("DINARI"), 137.1, 19.6)
                          .named(QStringLiteral("HeadingDinars"))
                          .withFont(10, Bold)
                   << Element::label(QStringLiteral("Ulaz"), 132.6, 25.4)
                          .named(QStringLiteral("HeadingDinarsIn"))
                   << Element::label(QStringLiteral("Izlaz"), 147.6, 25.4)
                          .named(QStringLiteral("HeadingDinarsOut"))
                   << Element::label(QString(), 155.3, 31.0)
                          .named(OpeningDinars)
                          .alignedRight()
                          .withFont(10, Bold)
                          .fittingIn(155.3 - DescriptionRight - Gap);
    }
    if (c.euros) {
        b.elements << Element::label(QStringLiteral("EUR"), 169.9, 19.6)
                          .named(QStringLiteral("HeadingEur"))
                          .withFont(10, Bold)
                   << Element::label(QStringLiteral("Ulaz"), 164.0, 25.4)
                          .named(QStringLiteral("HeadingEurIn"))
                   << Element::label(QStringLiteral("Izlaz"), 180.7, 25.4)
                          .named(QStringLiteral("HeadingEurOut"))
                   << Element::label(QString(), 188.4, 31.0)
                          .named(OpeningEur)
                          .alignedRight()
                          .withFont(10, Bold)
                          .fittingIn(188.4 - 155.3 - Gap);
    }
    return b;
}

Element amount(const char *name, const char *field, double right, double left)
{
    return Element::dataField(QString::fromLatin1(field), right, 0.5)
        .named(QString::fromLatin1(name))
        .alignedRight()
        .withMask(Money)
        .withFont(8)
        .fittingIn(right - left - Gap);
}

Band detailBand(Columns c)
{
    Band b;
    b.kind = BandKind::Detail;
    b.height = 5.6;
    b.ruleTop = true;
    b.ruleBottom = true;
    b.elements = {
        Element::detailNumber(NumberCentre, 0.5)
            .named(QStringLiteral("Number"))
            .centred()
            .withFont(8)
            .fittingIn(2 * (DocumentLeft - Gap - NumberCentre)),
        Element::dataField(QStringLiteral("BROJ"), DocumentLeft, 0.5)
            .named(QStringLiteral("Document"))
            .withFont(8)
            .fittingIn(TimeLeft - DocumentLeft - Gap),
        Element::dataField(QStringLiteral("VREME"), TimeLeft, 0.5)
            .named(QStringLiteral("Time"))
            .withFont(8),
        Element::dataField(QStringLiteral("KORISNIK"), CashierLeft, 0.5)
            .named(QStringLiteral("Cashier"))
            .withFont(8)
            .fittingIn(DescriptionLeft - CashierLeft - Gap),
        Element::dataField(QStringLiteral("OPIS"), DescriptionLeft, 0.3)
            .named(QStringLiteral("Description"))
            .withFont(6)
            .inBox(54.0, 6.1),
    };
    if (c.dinars)
        b.elements << amount("DinarsIn", "ULAZDIN", 139.4, DescriptionRight)
                   << amount("DinarsOut", "IZLAZDIN", 155.3, 139.4);
    if (c.euros)
        b.elements << amount("EurIn", "ULAZEUR", 171.5, 155.3)
                   << amount("EurOut", "IZLAZEUR", 188.4, 171.5);
    return b;
}

Band summaryBand(Columns c)
{
    Band b;
    b.kind = BandKind::Summary;
    b.height = 40.0;
    b.ruleTop = true;
    auto sum = [](const char *name, const char *field, double right, double left) {
        return Element::sum(QString::fromLatin1(field), right, 1.1)
            .named(QString::fromLatin1(name))
            .alignedRight()
            .withMask(Money)
            .withFont(8)
            .fittingIn(right - left - Gap);
    };
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
        Element::label(QStringLiteral("______________________________"), 10.0, 24.0)
            .named(QStringLiteral("CashierLine")),
        Element::label(QStringLiteral("Blagajnik"), 25.0, 29.0).named(QStringLiteral("CashierSign")),
        Element::label(QStringLiteral("______________________________"), 120.0, 24.0)
            .named(QStringLiteral("ControllerLine")),
        Element::label(QStringLiteral("Kontrolor"), 135.0, 29.0)
            .named(QStringLiteral("ControllerSign")),
    };
    if (c.dinars)
        b.elements << sum("SumDinarsIn", "ULAZDIN", 139.7, DescriptionRight)
                   << sum("SumDinarsOut", "IZLAZDIN", 155.6, 139.7)
                   << closing(ClosingDinars, 155.3, DescriptionRight);
    if (c.euros)
        b.elements << sum("SumEurIn", "ULAZEUR", 171.4, 155.6)
                   << sum("SumEurOut", "IZLAZEUR", 188.4, 171.4)
                   << closing(ClosingEur, 188.4, 155.3 + Gap);
    return b;
}

Band pageFooterBand()
{
    Band b;
    b.kind = BandKind::PageFooter;
    b.height = 10.6;
    b.elements = {
        Element::label(QStringLiteral("Vreme:"), 2.6, 2.6).named(QStringLiteral("TimeLabel")),
        Element::dateTime(15.9, 2.6).named(QStringLiteral("PrintTime")),
        Element::label(QStringLiteral("Strana"), 161.4, 2.6).named(QStringLiteral("PageLabel")),
        Element::pageNumber(174.6, 2.6).named(QStringLiteral("PageNumber")),
    };
    return b;
}

Band slipBand()
{
    Band b;
    b.kind = BandKind::Detail;
    b.height = 110.0;
    b.elements = {
        Element::dataField(QStringLiteral("NASLOV"), 2.1, 2.1)
            .named(QStringLiteral("SlipTitle"))
            .withFont(16, Bold),
    };
    const struct
    {
        const char *caption;
        const char *field;
    } lines[] = {
        {"Datum:", "DATUM"}, {"Blagajnik:", "KORISNIK"}, {"Iznos:", "IZNOS"},
        {"Opis:", "OPIS"},   {"Grupa:", "GRUPA"},
    };
    double top = 16.0;
    for (const auto &l : lines) {
        b.elements << Element::label(QString::fromLatin1(l.caption), 2.1, top).withFont(10, Bold)
                   << Element::dataField(QString::fromLatin1(l.field), 30.0, top)
                          .named(QString::fromLatin1(l.field))
                          .withFont(10)
                          .fittingIn(150.0);
        top += 8.0;
    }
    b.elements << Element::label(QStringLiteral("______________________________"), 10.0, 80.0)
                      .named(QStringLiteral("CashierLine"))
               << Element::label(QStringLiteral("Blagajnik"), 25.0, 85.0)
                      .named(QStringLiteral("CashierSign"))
               << Element::label(QStringLiteral("______________________________"), 120.0, 80.0)
                      .named(QStringLiteral("PartyLine"))
               << Element::label(QString(), 135.0, 85.0).named(QString::fromLatin1(SlipParty));
    return b;
}

} // namespace

Report postingSlip()
{
    Report r(PageSetup{});
    r.setBand(slipBand());
    r.setBand(pageFooterBand());
    return r;
}

Report dailyCashReport(DayCurrencies currencies)
{
    const Columns c{currencies != DayCurrencies::Euros, currencies != DayCurrencies::Dinars};
    Report r(PageSetup{});
    Band header;
    header.kind = BandKind::PageHeader;
    header.height = 10.6;
    r.setBand(header);
    r.setBand(titleBand(c));
    r.setBand(detailBand(c));
    r.setBand(summaryBand(c));
    r.setBand(pageFooterBand());
    return r;
}

} // namespace report

// The turnover report definition and its review variant. Positions are millimetres from
// the band's left and top edges; amounts stand on their right edges.
//
// Figures (running numbers, amounts, sums, balances) have a column: the room from their
// left neighbour's edge (less a small gap) to their own right edge. A figure wider than
// its column keeps its right edge and is drawn in a smaller font that fits, so a large
// journal never runs one figure into the next.
#include "TurnoverReport.h"

namespace report {

namespace {

constexpr int Bold = QFont::Bold;
const QString Money = QStringLiteral("0.00");

constexpr double Gap = 0.8;                    // between a figure and its left neighbour
constexpr double CashierLeft = 44.7;
constexpr double DescriptionLeft = 71.2;
constexpr double DescriptionRight = DescriptionLeft + 54.0; // the right edge of its box
constexpr double DateLeft = 8.5;
constexpr double NumberCentre = 3.4;

Band titleBand(bool withFourthLine)
{
    Band b;
    b.kind = BandKind::Title;
    b.height = 30.2;
    b.elements = {
        Element::label(QString(), 2.1, 2.1).named(TitleLine1).withFont(16, Bold),
        Element::label(QString(), 2.1, 9.5).named(TitleLine2).withFont(12, Bold),
        Element::label(QString(), 2.1, 15.1).named(TitleLine3).withFont(10),
    };
    if (withFourthLine)
        b.elements << Element::label(QString(), 2.1, 20.1).named(TitleLine4).withFont(10);
    b.elements << Element::label(QStringLiteral("DINARI"), 137.1, 19.6)
                      .named(QStringLiteral("HeadingDinars"))
                      .withFont(10, Bold)
               << Element::label(QStringLiteral("EUR"), 169.9, 19.6)
                      .named(QStringLiteral("HeadingEur"))
                      .withFont(10, Bold);
    const struct
    {
        const char *name;
        const char *text;
        double left;
    } headings[] = {
        {"HeadingNumber", "R.br.", 0.0},      {"HeadingDate", "Datum", 10.6},
        {"HeadingTime", "Vreme", 27.0},       {"HeadingCashier", "Dorvantik", 44.7},
        {"HeadingDescription", "Opis", 70.9}, {"HeadingDinarsIn", "Ulaz", 132.6},
        {"HeadingDinarsOut", "Izlaz", 147.6}, {"HeadingEurIn", "Ulaz", 164.0},
        {"HeadingEurOut", "Izlaz", 180.7},
    };
    for (const auto &h : headings) {
        b.elements << Element::label(QString::fromLatin1(h.text), h.left, 25.4)
                          .named(QString::fromLatin1(h.name))
                          .withFont(10);
    }
    return b;
}

Band detailBand()
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
            .fittingIn(2 * (DateLeft - Gap - NumberCentre)),
        Element::dataField(QStringLiteral("DATUM"), DateLeft, 0.5)
            .named(QStringLiteral("Date"))
            .withFont(8),
        Element::dataField(QStringLiteral("VREME"), 27.3, 0.5)
            .named(QStringLiteral("Time"))
            .withFont(8),
        // A long name gets a smaller font rather than running into the description.
        Element::dataField(QStringLiteral("KORISNIK"), CashierLeft, 0.5)
            .named(QStringLiteral("Cashier"))
            .withFont(8)
            .fittingIn(DescriptionLeft - CashierLeft - Gap),
        Element::dataField(QStringLiteral("OPIS"), DescriptionLeft, 0.3)
            .named(QStringLiteral("Description"))
            .withFont(6)
            .inBox(54.0, 6.1),
        Element::dataField(QStringLiteral("ULAZDIN"), 139.4, 0.5)
            .named(QStringLiteral("DinarsIn"))
            .alignedRight()
            .withMask(Money)
            .withFont(8)
            .fittingIn(139.4 - DescriptionRight - Gap),
        Element::dataField(QStringLiteral("IZLAZDIN"), 155.3, 0.5)
            .named(QStringLiteral("DinarsOut"))
            .alignedRight()
            .withMask(Money)
            .withFont(8)
            .fittingIn(155.3 - 139.4 - Gap),
        Element::dataField(QStringLiteral("ULAZEUR"), 171.5, 0.5)
            .named(QStringLiteral("EurIn"))
            .alignedRight()
            .withMask(Money)
            .withFont(8)
            .fittingIn(171.5 - 155.3 - Gap),
        Element::dataField(QStringLiteral("IZLAZEUR"), 188.4, 0.5)
            .named(QStringLiteral("EurOut"))
            .alignedRight()
            .withMask(Money)
            .withFont(8)
            .fittingIn(188.4 - 171.5 - Gap),
    };
    return b;
}

Band summaryBand(bool ruleTop)
{
    Band b;
    b.kind = BandKind::Summary;
    b.height = 16.9;
    b.ruleTop = ruleTop;
    auto sum = [](const char *name, const char *field, double right, double left) {
        return Element::sum(QString::fromLatin1(field), right, 1.1)
            .named(QString::fromLatin1(name))
            .alignedRight()
            .withMask(Money)
            .withFont(8)
            .fittingIn(right - left - Gap);
    };
    auto balance = [](const char *name, const char *in, const char *out, double right,
                      double left) {
        return Element::sumDifference(QString::fromLatin1(in), QString::fromLatin1(out), right,
                                      11.1)
            .named(QString::fromLatin1(name))
            .alignedRight()
            .withMask(Money)
            .withFont(12, Bold)
            .fittingIn(right - left);
    };
    // Sums stand in the detail's amount columns; the dinar balance has the room from
    // "UKUPNO DINARA" on, the euro balance that after the dinar balance.
    b.elements = {
        sum("SumDinarsIn", "ULAZDIN", 139.7, DescriptionRight),
        sum("SumDinarsOut", "IZLAZDIN", 155.6, 139.7),
        sum("SumEurIn", "ULAZEUR", 171.4, 155.6),
        sum("SumEurOut", "IZLAZEUR", 188.4, 171.4),
        Element::label(QStringLiteral("UKUPNO DINARA"), 126.5, 6.6)
            .named(QStringLiteral("TotalDinars"))
            .withFont(10, Bold),
        Element::label(QStringLiteral("UKUPNO EUR"), 165.9, 6.6)
            .named(QStringLiteral("TotalEur"))
            .withFont(10, Bold),
        balance("BalanceDinars", "ULAZDIN", "IZLAZDIN", 155.3, 126.5),
        balance("BalanceEur", "ULAZEUR", "IZLAZEUR", 188.4, 155.3 + Gap),
    };
    return b;
}

Band pageHeaderBand()
{
    Band b;
    b.kind = BandKind::PageHeader;
    b.height = 10.6;
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

Report build(bool review)
{
    Report r(PageSetup{}); // Letter, portrait, 12.7 mm on every side
    r.setBand(pageHeaderBand());
    r.setBand(titleBand(!review));
    r.setBand(detailBand());
    r.setBand(summaryBand(review));
    r.setBand(pageFooterBand());
    return r;
}

} // namespace

Report turnoverReport()
{
    return build(false);
}

Report reviewReport()
{
    return build(true);
}

} // namespace report

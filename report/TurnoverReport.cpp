// The turnover report definition and its review variant, in the house style (HouseStyle.h).
#include "TurnoverReport.h"

#include "HouseStyle.h"

namespace report {

namespace {

using namespace house;

constexpr double TitleLineStep = 5.0; // a 10 pt title line

Band titleBand(bool withFourthLine, bool withFifthLine)
{
    // A fifth line moves the column headings down by one line.
    const double shift = withFifthLine ? TitleLineStep : 0.0;
    Band b;
    b.kind = BandKind::Title;
    b.height = 30.2 + shift;
    b.elements = {
        Element::label(QString(), 2.1, 2.1).named(TitleLine1).withFont(16, Bold),
        Element::label(QString(), 2.1, 9.5).named(TitleLine2).withFont(12, Bold),
        Element::label(QString(), 2.1, 15.1).named(TitleLine3).withFont(10),
    };
    if (withFourthLine)
        b.elements << Element::label(QString(), 2.1, 20.1).named(TitleLine4).withFont(10);
    if (withFifthLine)
        b.elements << Element::label(QString(), 2.1, 20.1 + TitleLineStep)
                          .named(TitleLine5)
                          .withFont(10);
    const struct
    {
        const char *name;
        const char *text;
        double left;
    } headings[] = {
        {"HeadingNumber", "R.br.", 0.0},      {"HeadingDate", "Datum", 10.6},
        {"HeadingTime", "Vreme", 27.0},       {"HeadingCashier", "Dorvantik", 44.7},
        {"HeadingDescription", "Opis", 70.9},
    };
    for (const auto &h : headings) {
        b.elements << Element::label(QString::fromLatin1(h.text), h.left, 25.4 + shift)
                          .named(QString::fromLatin1(h.name))
                          .withFont(10);
    }
    b.elements << currencyHeadings({}, 19.6 + shift);
    return b;
}

Band detailBand()
{
    return recordBand({
        Element::dataField(QStringLiteral("DATUM"), RecordLeft, 0.5)
            .named(QStringLiteral("Date"))
            .withFont(8),
        Element::dataField(QStringLiteral("VREME"), 27.3, 0.5)
            .named(QStringLiteral("Time"))
            .withFont(8),
    });
}

Band summaryBand(bool ruleTop)
{
    Band b;
    b.kind = BandKind::Summary;
    b.height = 16.9;
    b.ruleTop = ruleTop;
    const QString money = QStringLiteral("0.00");
    auto balance = [&money](const char *name, const char *in, const char *out, double right,
                            double left) {
        return Element::sumDifference(QString::fromLatin1(in), QString::fromLatin1(out), right,
                                      11.1)
            .named(QString::fromLatin1(name))
            .alignedRight()
            .withMask(money)
            .withFont(12, Bold)
            .fittingIn(right - left);
    };
    // Sums stand in the detail's amount columns; the dinar balance has the room from
    // "UKUPNO DINARA" on, the euro balance that after the dinar balance.
    b.elements = amountSums();
    b.elements << Element::label(QStringLiteral("UKUPNO DINARA"), 126.5, 6.6)
                      .named(QStringLiteral("TotalDinars"))
                      .withFont(10, Bold)
               << Element::label(QStringLiteral("UKUPNO EUR"), 165.9, 6.6)
                      .named(QStringLiteral("TotalEur"))
                      .withFont(10, Bold)
               << balance("BalanceDinars", "ULAZDIN", "IZLAZDIN", 155.3, 126.5)
               << balance("BalanceEur", "ULAZEUR", "IZLAZEUR", 188.4, 155.3 + Gap);
    return b;
}

// The lines under a review's totals: what was reversed and the totals net of it.
void addReversalLines(Band &b)
{
    constexpr double ReversedTop = 17.0, NetTop = 22.0, BalanceTop = 27.0, DocumentsTop = 32.4;
    const struct
    {
        const char *name;
        double right, left;
    } columns[] = {{"DinarsIn", 139.7, DescriptionRight}, {"DinarsOut", 155.6, 139.7},
                   {"EurIn", 171.4, 155.6},               {"EurOut", 188.4, 171.4}};
    auto figure = [](const QString &name, double right, double top, double width) {
        return Element::label(QString(), right, top)
            .named(name)
            .alignedRight()
            .withFont(8, Bold)
            .fittingIn(width);
    };
    b.elements << Element::label(QString(), RecordLeft, ReversedTop)
                      .named(QStringLiteral("ReversedTitle"))
                      .withFont(9, Bold)
               << Element::label(QString(), RecordLeft, NetTop)
                      .named(QStringLiteral("NetTitle"))
                      .withFont(9, Bold);
    for (const auto &c : columns) {
        const QString column = QString::fromLatin1(c.name);
        b.elements << figure(QStringLiteral("Reversed") + column, c.right, ReversedTop,
                             c.right - c.left - Gap)
                   << figure(QStringLiteral("Net") + column, c.right, NetTop,
                             c.right - c.left - Gap);
    }
    b.elements << Element::label(QString(), RecordLeft, BalanceTop)
                      .named(QStringLiteral("NetBalanceTitle"))
                      .withFont(9, Bold)
               << figure(QStringLiteral("NetBalanceDinars"), 155.3, BalanceTop, 155.3 - 126.5)
               << figure(QStringLiteral("NetBalanceEur"), 188.4, BalanceTop, 188.4 - 155.3 - Gap)
               << Element::label(QString(), RecordLeft, DocumentsTop)
                      .named(QStringLiteral("ReversedDocuments"))
                      .withFont(7);
    b.height += 20.0;
}

Report build(bool review, bool searchLine, bool reversals = false)
{
    Report r(PageSetup{}); // Letter, portrait, 12.7 mm on every side
    r.setBand(pageHeaderBand());
    r.setBand(titleBand(!review, searchLine));
    r.setBand(detailBand());
    Band summary = summaryBand(review);
    if (reversals)
        addReversalLines(summary);
    r.setBand(summary);
    r.setBand(pageFooterBand());
    return r;
}

} // namespace

Report turnoverReport(bool searchLine)
{
    return build(false, searchLine);
}

Report reviewReport(bool reversals)
{
    return build(true, false, reversals);
}

} // namespace report

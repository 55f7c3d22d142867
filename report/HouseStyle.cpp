// The house style the reports share: fonts, columns and rules.
#include "HouseStyle.h"

namespace report::house {

namespace {

const QString Money = QStringLiteral("0.00");

constexpr double NumberCentre = 3.4;

// The right edges of the amount columns: on the record lines, and of the sums (a little
// wider, as the turnover report has always had them).
constexpr double DinarsInRight = 139.4, DinarsOutRight = 155.3, EurInRight = 171.5,
                 EurOutRight = 188.4;
constexpr double SumDinarsInRight = 139.7, SumDinarsOutRight = 155.6, SumEurInRight = 171.4,
                 SumEurOutRight = 188.4;

Element amount(Element e, const char *name, double right, double left)
{
    return e.named(QString::fromLatin1(name))
        .alignedRight()
        .withMask(Money)
        .withFont(8)
        .fittingIn(right - left - Gap);
}

Element field(const char *name, const char *field, double right, double left)
{
    return amount(Element::dataField(QString::fromLatin1(field), right, 0.5), name, right, left);
}

Element sum(const char *name, const char *field, double right, double left)
{
    return amount(Element::sum(QString::fromLatin1(field), right, 1.1), name, right, left);
}

} // namespace

Band recordBand(const QList<Element> &own, Currencies c)
{
    Band b;
    b.kind = BandKind::Detail;
    b.height = 5.6;
    b.ruleTop = true;
    b.ruleBottom = true;
    b.elements << Element::detailNumber(NumberCentre, 0.5)
                      .named(QStringLiteral("Number"))
                      .centred()
                      .withFont(8)
                      .fittingIn(2 * (RecordLeft - Gap - NumberCentre));
    b.elements << own;
    // A long name gets a smaller font rather than running into the description.
    b.elements << Element::dataField(QStringLiteral("KORISNIK"), CashierLeft, 0.5)
                      .named(QStringLiteral("Cashier"))
                      .withFont(8)
                      .fittingIn(DescriptionLeft - CashierLeft - Gap)
               << Element::dataField(QStringLiteral("OPIS"), DescriptionLeft, 0.3)
                      .named(QStringLiteral("Description"))
                      .withFont(6)
                      .inBox(54.0, 6.1)
                      .growing();
    if (c.dinars)
        b.elements << field("DinarsIn", "ULAZDIN", DinarsInRight, DescriptionRight)
                   << field("DinarsOut", "IZLAZDIN", DinarsOutRight, DinarsInRight);
    if (c.euros)
        b.elements << field("EurIn", "ULAZEUR", EurInRight, DinarsOutRight)
                   << field("EurOut", "IZLAZEUR", EurOutRight, EurInRight);
    return b;
}

QList<Element> amountSums(Currencies c)
{
    QList<Element> sums;
    if (c.dinars)
        sums << sum("SumDinarsIn", "ULAZDIN", SumDinarsInRight, DescriptionRight)
             << sum("SumDinarsOut", "IZLAZDIN", SumDinarsOutRight, SumDinarsInRight);
    if (c.euros)
        sums << sum("SumEurIn", "ULAZEUR", SumEurInRight, SumDinarsOutRight)
             << sum("SumEurOut", "IZLAZEUR", SumEurOutRight, SumEurInRight);
    return sums;
}

QList<Element> currencyHeadings(Currencies c, double top)
{
    const double heads = top + 5.8;
    QList<Element> headings;
    if (c.dinars)
        headings << Element::label(QStringLiteral("DINARI"), 137.1, top)
                        .named(QStringLiteral("HeadingDinars"))
                        .withFont(10, Bold)
                 << Element::label(QStringLiteral("Ulaz"), 132.6, heads)
                        .named(QStringLiteral("HeadingDinarsIn"))
                        .withFont(10)
                 << Element::label(QStringLiteral("Izlaz"), 147.6, heads)
                        .named(QStringLiteral("HeadingDinarsOut"))
                        .withFont(10);
    if (c.euros)
        headings << Element::label(QStringLiteral("EUR"), 169.9, top)
                        .named(QStringLiteral("HeadingEur"))
                        .withFont(10, Bold)
                 << Element::label(QStringLiteral("Ulaz"), 164.0, heads)
                        .named(QStringLiteral("HeadingEurIn"))
                        .withFont(10)
                 << Element::label(QStringLiteral("Izlaz"), 180.7, heads)
                        .named(QStringLiteral("HeadingEurOut"))
                        .withFont(10);
    return headings;
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

} // namespace report::house

// The letterhead: the firm's two lines in the page header band, which the house style leaves
// empty at 10.6 mm, so a report with a firm keeps the layout it has without one.
#include "Letterhead.h"

namespace report {

namespace {

constexpr double HeaderHeight = 10.6;
constexpr double Left = 2.1;

QString detailLine(const Firm &firm)
{
    QStringList parts;
    if (!firm.address.isEmpty())
        parts << firm.address;
    if (!firm.pib.isEmpty())
        parts << QStringLiteral("PIB: ") + firm.pib;
    if (!firm.mb.isEmpty())
        parts << QStringLiteral("MB: ") + firm.mb;
    return parts.join(QStringLiteral("   "));
}

} // namespace

Document withLetterhead(const Document &document, const PageSetup &page, const Firm &firm)
{
    Report r = document.report();
    r.setPage(page);
    if (!firm.isEmpty()) {
        Band header;
        if (const Band *own = r.band(BandKind::PageHeader))
            header = *own;
        header.kind = BandKind::PageHeader;
        header.height = std::max(header.height, HeaderHeight);
        const double width = page.bandWidth() - 2.0 * Left;
        header.elements << Element::label(firm.name, Left, 0.4)
                               .named(QString::fromLatin1(FirmNameLine))
                               .withFont(10, QFont::Bold)
                               .fittingIn(width)
                        << Element::label(detailLine(firm), Left, 5.2)
                               .named(QString::fromLatin1(FirmDetailLine))
                               .withFont(8)
                               .fittingIn(width);
        r.setBand(header);
    }
    Document out(r, document.dataSource());
    out.setPrintTime(document.printTime());
    out.setDateFormat(document.dateFormat());
    return out;
}

} // namespace report

// Page layout. Bands stack from the top margin: page header, title (first page), details,
// summary (last page); the page footer sits on the bottom margin. Elements are placed in
// millimetres from their band's edges; text in a fixed box is wrapped at the box width and
// keeps only the lines that fit its height, while a growing box keeps every line and makes
// its band (and so the page plan) taller.
#include "PageBuilder.h"

#include "Chart.h"
#include "MoneyText.h"
#include "Totals.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace report {

namespace {
constexpr double RuleWidth = 0.2; // mm, a thin line on paper and on screen
const QString OverflowText = QStringLiteral("########");

bool showsSums(const Band &band)
{
    return std::any_of(band.elements.cbegin(), band.elements.cend(), [](const Element &e) {
        return e.kind == Element::Kind::Sum || e.kind == Element::Kind::SumDifference;
    });
}

// Amounts print through the mask "0.00"; an empty or non-numeric field prints nothing.
QString amountText(const std::optional<qint64> &hundredths)
{
    return hundredths ? formatHundredths(*hundredths) : QString();
}
} // namespace

PageBuilder::PageBuilder(const Report &report, DataSource *data, FontBook &fonts,
                         const QString &dateTimeText, TotalsProvider totals)
    : m_report(report), m_data(data), m_fonts(fonts), m_dateTimeText(dateTimeText),
      m_totals(std::move(totals))
{
}

Page PageBuilder::build(int number, const PagePlan::Content &content) const
{
    Page page;
    page.number = number;
    const PageSetup &setup = m_report.page();
    double y = setup.margins.top();

    auto place = [&](BandKind kind, int record) {
        if (const Band *band = m_report.band(kind)) {
            const double height = bandHeight(*band, record);
            placeBand(page, *band, y, record);
            y += height;
        }
    };
    // Sums are made before any record is read for the page, since making them moves the
    // data source's current record.
    for (BandKind kind : {BandKind::PageHeader, BandKind::Title, BandKind::Detail,
                          BandKind::Summary, BandKind::PageFooter}) {
        const Band *band = m_report.band(kind);
        if ((kind != BandKind::Title || content.title) &&
            (kind != BandKind::Summary || content.summary) &&
            (kind != BandKind::Detail || content.recordCount > 0) && band && showsSums(*band)) {
            m_totals();
            break;
        }
    }

    place(BandKind::PageHeader, -1);
    if (content.title)
        place(BandKind::Title, -1);
    for (int r = content.firstRecord; r < content.firstRecord + content.recordCount; ++r) {
        if (m_data && m_data->moveTo(r))
            place(BandKind::Detail, r);
        else
            place(BandKind::Detail, -1);
    }
    if (content.summary)
        place(BandKind::Summary, -1);
    if (const Band *footer = m_report.band(BandKind::PageFooter)) {
        y = setup.pageSize().height() - setup.margins.bottom() - footer->height;
        placeBand(page, *footer, y, -1);
    }
    return page;
}

double PageBuilder::bandHeight(const Band &band, int record) const
{
    double height = band.height;
    for (const Element &element : band.elements) {
        if (!element.grows || !element.hasBox())
            continue;
        const int lines = lineCount(element, valueOf(element, record, 0));
        const double text = lines * m_fonts.lineHeight(element.font);
        if (text > element.boxHeight) // the room above the text stays below it too
            height = std::max(height, element.top + text + element.top);
    }
    return height;
}

bool PageBuilder::surelyOneLine(const Element &element, const QString &text) const
{
    // The advances of the single characters add up to at least the shaped text's width, up to
    // kerning, which the margin covers: a text well inside the box needs no shaping at all.
    if (!(m_advancesFont == element.font)) {
        m_advances.clear();
        m_advancesFont = element.font;
    }
    double sum = 0.0;
    const double limit = element.boxWidth * 0.9;
    for (const QChar c : text) {
        if (c.isSurrogate() || c == u'\n' || c == u'\r')
            return false;
        auto advance = m_advances.constFind(c);
        if (advance == m_advances.cend())
            advance = m_advances.insert(c, m_fonts.width(element.font, QString(c)));
        sum += *advance;
        if (sum > limit)
            return false;
    }
    return true;
}

int PageBuilder::lineCount(const Element &element, const QString &text) const
{
    if (surelyOneLine(element, text))
        return 1;
    const auto known = m_lineCounts.constFind(text);
    if (known != m_lineCounts.cend())
        return *known;
    const int lines = int(wrap(text, element.font, element.boxWidth, INT_MAX).size());
    if (m_lineCounts.size() < 100000)
        m_lineCounts.insert(text, lines);
    return lines;
}

void PageBuilder::placeBand(Page &page, const Band &band, double top, int record) const
{
    const PageSetup &setup = m_report.page();
    const double left = setup.margins.left();
    auto rule = [&](double y) {
        PageItem item;
        item.kind = PageItem::Kind::Rule;
        item.x = left;
        item.x2 = left + setup.bandWidth();
        item.y = y;
        item.width = RuleWidth;
        page.items.append(item);
    };
    if (band.ruleTop)
        rule(top);
    if (band.ruleBottom)
        rule(top + bandHeight(band, record));
    for (const Element &element : band.elements) {
        if (element.kind == Element::Kind::Chart) {
            if (element.chart)
                page.items << chartItems(*element.chart,
                                         QRectF(left + element.x, top + element.top,
                                                element.boxWidth, element.boxHeight),
                                         element.name, m_fonts);
            continue;
        }
        placeText(page, element, left, top, valueOf(element, record, page.number));
    }
}

void PageBuilder::placeText(Page &page, const Element &element, double left, double top,
                            const QString &text) const
{
    PageItem item;
    item.elementName = element.name;
    item.alignment = element.alignment;
    item.font = element.font;
    item.x = left + element.x;
    item.y = top + element.top;
    if (!element.hasBox()) {
        item.text = text;
        if (element.fitWidth > 0.0)
            item.font = fittingFont(element.font, text, element.fitWidth);
        page.items.append(item);
        return;
    }

    const double lineHeight = m_fonts.lineHeight(element.font);
    const int maxLines =
        element.grows
            ? INT_MAX
            : std::max(1, int(std::floor((element.boxHeight + 1e-6) / std::max(lineHeight, 1e-3))));
    const double boxHeight =
        element.grows ? std::max(element.boxHeight, lineCount(element, text) * lineHeight)
                      : element.boxHeight;
    const QRectF box(item.x, item.y, element.boxWidth, boxHeight);
    switch (element.alignment) {
    case Alignment::Left:
        break;
    case Alignment::Right:
        item.x = box.right();
        break;
    case Alignment::Center:
        item.x = box.center().x();
        break;
    }
    item.clip = box;
    const QStringList lines = wrap(text, element.font, element.boxWidth, maxLines);
    for (const QString &line : lines) {
        item.text = line;
        page.items.append(item);
        item.y += lineHeight;
    }
}

FontStyle PageBuilder::fittingFont(const FontStyle &font, const QString &text, double width) const
{
    const double natural = m_fonts.width(font, text);
    if (natural <= width || text.isEmpty())
        return font;
    // Widths grow with the size; start from the proportional size, in tenths of a point,
    // and step down until the text fits (hinting-free measures make one step the rule).
    FontStyle smaller = font;
    smaller.pointSize = std::floor(font.pointSize * width / natural * 10.0) / 10.0;
    while (smaller.pointSize > 1.0 && m_fonts.width(smaller, text) > width)
        smaller.pointSize -= 0.1;
    return smaller;
}

QString PageBuilder::valueOf(const Element &element, int record, int pageNumber) const
{
    using Kind = Element::Kind;
    switch (element.kind) {
    case Kind::Label:
        return element.text;
    case Kind::Field:
        if (record < 0 || !m_data)
            return QString();
        if (element.mask.isEmpty())
            return m_data->text(element.field);
        return amountText(m_data->hundredths(element.field));
    case Kind::Sum: {
        const std::optional<qint64> sum = m_totals().sum(element.field);
        return sum ? amountText(sum) : OverflowText;
    }
    case Kind::SumDifference: {
        const Totals &totals = m_totals();
        const std::optional<qint64> a = totals.sum(element.field);
        const std::optional<qint64> b = totals.sum(element.otherField);
        qint64 difference = 0;
        if (!a || !b || __builtin_sub_overflow(*a, *b, &difference))
            return OverflowText;
        return amountText(difference);
    }
    case Kind::DetailNumber:
        return record < 0 ? QString() : QString::number(record + 1);
    case Kind::DateTime:
        return m_dateTimeText;
    case Kind::PageNumber:
        return QString::number(pageNumber);
    case Kind::Chart:
        return QString();
    }
    return QString();
}

QStringList PageBuilder::wrap(const QString &text, const FontStyle &font, double width,
                              int maxLines) const
{
    QStringList lines;
    QString flat = text;
    flat.remove(QLatin1Char('\r'));
    if (!flat.contains(QLatin1Char('\n')) && m_fonts.width(font, flat) <= width)
        return {flat};

    auto push = [&](const QString &line) {
        if (lines.size() < maxLines)
            lines.append(line);
    };
    for (const QString &paragraph : flat.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString &word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (m_fonts.width(font, candidate) <= width) {
                line = candidate;
                continue;
            }
            if (!line.isEmpty())
                push(line);
            line = word;
            // A word wider than the box is broken where it reaches the edge.
            while (line.size() > 1 && m_fonts.width(font, line) > width) {
                qsizetype fit = 1;
                while (fit < line.size() && m_fonts.width(font, line.left(fit + 1)) <= width)
                    ++fit;
                push(line.left(fit));
                line = line.mid(fit);
            }
            if (lines.size() >= maxLines)
                return lines;
        }
        push(line);
        if (lines.size() >= maxLines)
            break;
    }
    return lines;
}

} // namespace report

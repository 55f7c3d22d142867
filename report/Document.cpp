// The prepared report: lazily worked-out page plan and sums, pages laid out on demand.
#include "Document.h"

#include "FontBook.h"
#include "PageBuilder.h"
#include "PagePlan.h"
#include "Totals.h"

#include <algorithm>
#include <optional>

namespace report {

namespace {
// Measuring the rows means reading every record before the first page: beyond this many
// records (about 1,200 pages) the rows keep their own height instead, so that the first page
// of a very long report comes at once; what does not fit a row's box is then cut.
constexpr int GrowingRowsLimit = 50000;
} // namespace

struct Document::Cache
{
    std::optional<PagePlan> plan;
    // The definition pages are laid out with, when not the report's own (rows that do not grow).
    std::optional<Report> laidOut;
    std::optional<Totals> totals;
    std::unique_ptr<FontBook> fonts;
};

Document::Document() : Document(Report(), nullptr) {}

Document::Document(const Report &report, std::shared_ptr<DataSource> data)
    : m_report(report), m_data(std::move(data)), m_printTime(QDateTime::currentDateTime()),
      m_dateFormat(QStringLiteral("dd/MM/yyyy")), m_cache(std::make_shared<Cache>())
{
}

int Document::recordCount() const
{
    return m_data ? std::max(0, m_data->recordCount()) : 0;
}

void Document::setPrintTime(const QDateTime &time)
{
    m_printTime = time;
}

void Document::setDateFormat(const QString &format)
{
    m_dateFormat = format;
}

QString Document::printTimeText() const
{
    return m_printTime.date().toString(m_dateFormat) + QLatin1Char(' ') +
           m_printTime.time().toString(QStringLiteral("HH:mm:ss"));
}

Document::Cache &Document::cache() const
{
    return *m_cache;
}

int Document::pageCount() const
{
    Cache &c = cache();
    if (c.plan)
        return c.plan->pageCount();
    const Band *detail = m_report.band(BandKind::Detail);
    const bool grows = detail && m_data &&
                       std::any_of(detail->elements.cbegin(), detail->elements.cend(),
                                   [](const Element &e) { return e.grows && e.hasBox(); });
    if (grows && recordCount() > GrowingRowsLimit) {
        Report fixed = m_report;
        Band rows = *detail;
        for (Element &e : rows.elements)
            e.grows = false;
        fixed.setBand(rows);
        c.laidOut = std::move(fixed);
    }
    if (!grows || c.laidOut) {
        c.plan = PagePlan(c.laidOut ? *c.laidOut : m_report, recordCount());
        return c.plan->pageCount();
    }
    // Details that grow with their records: one pass over the records measures them.
    if (!c.fonts)
        c.fonts = std::make_unique<FontBook>();
    const PageBuilder measure(m_report, m_data.get(), *c.fonts, QString(),
                              []() -> const Totals & {
                                  static const Totals none;
                                  return none;
                              });
    QHash<int, double> taller;
    const int count = recordCount();
    for (int r = 0; r < count; ++r) {
        if (!m_data->moveTo(r))
            break;
        const double height = measure.bandHeight(*detail, r);
        if (height > detail->height)
            taller.insert(r, height);
    }
    c.plan = PagePlan(m_report, count, taller);
    return c.plan->pageCount();
}

Page Document::page(int number) const
{
    if (number < 1 || number > pageCount())
        return Page();
    Cache &c = cache();
    if (!c.fonts)
        c.fonts = std::make_unique<FontBook>();

    auto totals = [this, &c]() -> const Totals & {
        if (!c.totals) {
            QStringList fields;
            for (BandKind kind : {BandKind::PageHeader, BandKind::Title, BandKind::Detail,
                                  BandKind::Summary, BandKind::PageFooter}) {
                const Band *band = m_report.band(kind);
                for (const Element &e : band ? band->elements : QList<Element>()) {
                    if (e.kind == Element::Kind::Sum)
                        fields << e.field;
                    else if (e.kind == Element::Kind::SumDifference)
                        fields << e.field << e.otherField;
                }
            }
            c.totals = m_data ? Totals::compute(*m_data, fields) : Totals();
        }
        return *c.totals;
    };
    const PageBuilder builder(c.laidOut ? *c.laidOut : m_report, m_data.get(), *c.fonts,
                              printTimeText(), totals);
    return builder.build(number, c.plan->content(number));
}

QStringList Document::pageTexts(int number) const
{
    return page(number).texts();
}

} // namespace report

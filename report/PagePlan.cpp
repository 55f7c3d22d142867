// Page plan: pure arithmetic over band heights, in whole micrometres so that a page
// holding exactly N details is never lost to rounding.
#include "PagePlan.h"

#include <algorithm>
#include <cmath>

namespace report {

namespace {
qint64 micrometres(double mm)
{
    return qint64(std::llround(mm * 1000.0));
}
} // namespace

PagePlan::PagePlan(const Report &report, int recordCount) : m_records(std::max(0, recordCount))
{
    const qint64 body = micrometres(report.page().bodyHeight());
    const qint64 header = micrometres(report.bandHeight(BandKind::PageHeader));
    const qint64 footer = micrometres(report.bandHeight(BandKind::PageFooter));
    const qint64 title = micrometres(report.bandHeight(BandKind::Title));
    const qint64 detail = micrometres(report.bandHeight(BandKind::Detail));
    const bool hasSummary = report.band(BandKind::Summary) != nullptr;
    const qint64 summary = micrometres(report.bandHeight(BandKind::Summary));

    const qint64 space = std::max<qint64>(0, body - header - footer);
    const qint64 firstSpace = std::max<qint64>(0, space - title);

    if (detail <= 0) {
        // Details take no room: they all stand on the first page.
        m_perFirstPage = m_records;
        m_perPage = std::max(1, m_records);
    } else {
        m_perPage = int(std::max<qint64>(1, space / detail));
        // Without a title the first page is like any other; with one, details that do not
        // fit under it start on the second page.
        m_perFirstPage = title > 0 ? int(firstSpace / detail) : m_perPage;
        m_perFirstPage = std::min(m_records, m_perFirstPage);
    }

    qint64 left = 0; // room under the last record on its page
    if (m_records <= m_perFirstPage) {
        m_recordPages = 1;
        left = firstSpace - m_records * detail;
    } else {
        const int rest = m_records - m_perFirstPage;
        const int extra = (rest + m_perPage - 1) / m_perPage;
        m_recordPages = 1 + extra;
        const int onLast = rest - (extra - 1) * m_perPage;
        left = space - onLast * detail;
    }
    // A summary that does not fit under the last record gets a page of its own (where one
    // taller than the page is cut at the footer).
    m_pageCount = m_recordPages + (!hasSummary || summary <= left ? 0 : 1);
}

PagePlan::PagePlan(const Report &report, int recordCount, const QHash<int, double> &taller)
    : PagePlan(report, recordCount)
{
    if (taller.isEmpty())
        return;
    const qint64 body = micrometres(report.page().bodyHeight());
    const qint64 space = std::max<qint64>(
        0, body - micrometres(report.bandHeight(BandKind::PageHeader)) -
               micrometres(report.bandHeight(BandKind::PageFooter)));
    const qint64 title = micrometres(report.bandHeight(BandKind::Title));
    const qint64 detail = micrometres(report.bandHeight(BandKind::Detail));
    const bool hasSummary = report.band(BandKind::Summary) != nullptr;
    const qint64 summary = micrometres(report.bandHeight(BandKind::Summary));

    // Records fill each page in turn; a page after the first takes at least one, as does the
    // first when it has no title (as in the plan of equal details).
    m_pageStarts = {0};
    qint64 left = std::max<qint64>(0, space - title);
    int onPage = 0;
    bool firstPage = true;
    for (int r = 0; r < m_records; ++r) {
        const auto t = taller.constFind(r);
        const qint64 height = t == taller.cend() ? detail : micrometres(*t);
        const bool mustTake = onPage == 0 && !(firstPage && title > 0);
        if (height > left && !mustTake) {
            m_pageStarts.append(r);
            left = space;
            onPage = 0;
            firstPage = false;
        }
        left -= height;
        ++onPage;
    }
    m_recordPages = int(m_pageStarts.size());
    m_pageCount = m_recordPages + (!hasSummary || summary <= left ? 0 : 1);
}

PagePlan::Content PagePlan::content(int number) const
{
    Content c;
    if (number < 1 || number > m_pageCount)
        return c;
    c.title = number == 1;
    c.summary = number == m_pageCount;
    if (!m_pageStarts.isEmpty()) {
        if (number <= m_recordPages) {
            c.firstRecord = m_pageStarts.at(number - 1);
            c.recordCount = (number < m_recordPages ? m_pageStarts.at(number) : m_records) -
                            c.firstRecord;
        } else {
            c.firstRecord = m_records;
        }
        return c;
    }
    if (number == 1) {
        c.firstRecord = 0;
        c.recordCount = std::min(m_records, m_perFirstPage);
    } else if (number <= m_recordPages) {
        c.firstRecord = m_perFirstPage + (number - 2) * m_perPage;
        c.recordCount = std::min(m_perPage, m_records - c.firstRecord);
    } else {
        c.firstRecord = m_records;
        c.recordCount = 0;
    }
    return c;
}

} // namespace report

#pragma once

// Which records go on which page of a report.

#include "Report.h"

#include <QHash>
#include <QList>

namespace report {

// Which records, and whether the title and the summary, go on each page. It is worked out
// from the band heights and the record count alone, without reading a record, so the page
// count of a report of any size is known at once and any page can be laid out on its own.
//
// Every page carries the page header at its top and the page footer at its bottom. The
// first page carries the title under the header, then as many details as fit; later pages
// as many details as fit, and at least one, so an oversized detail still makes progress.
// The summary follows the last record on its page when it fits there, otherwise it gets a
// page of its own.
class PagePlan
{
public:
    struct Content
    {
        int firstRecord = 0;
        int recordCount = 0;
        bool title = false;
        bool summary = false;
    };

    PagePlan() = default;
    PagePlan(const Report &report, int recordCount);
    // The same for a detail band that grows with its record: `taller` gives the height, in
    // millimetres, of each record whose detail is taller than the band (the rest have the
    // band's height). Pages then hold as many whole details as fit.
    PagePlan(const Report &report, int recordCount, const QHash<int, double> &taller);

    int pageCount() const { return m_pageCount; }
    // The content of page `number`, from 1 to pageCount().
    Content content(int number) const;

private:
    int m_records = 0;
    int m_perFirstPage = 0;
    int m_perPage = 1;
    int m_recordPages = 1; // pages that hold records (at least the first)
    int m_pageCount = 1;
    // With taller details: the first record of each page that holds records.
    QList<int> m_pageStarts;
};

} // namespace report

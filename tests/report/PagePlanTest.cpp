// Page plans: which records, title and summary fall on which page, from band heights.
#include "report/PagePlan.h"
#include "report/TurnoverReport.h"

#include <gtest/gtest.h>

using report::Band;
using report::BandKind;
using report::PagePlan;

namespace {
// Letter with 12.7 mm margins leaves 254.0 mm; the turnover report's header and footer
// take 21.2 mm, its title 30.2 mm: 36 details of 5.6 mm on the first page (1.0 mm to
// spare), 41 on later pages (3.2 mm to spare). The summary needs 16.9 mm.
constexpr int FirstPage = 36;
constexpr int LaterPage = 41;

struct Expect
{
    int records;
    int pages;
    int recordsOnLastPage;
};
} // namespace

TEST(PagePlan, FillsPagesAndPutsTheSummaryAfterTheLastRecordOrOnANewPage)
{
    const report::Report definition = report::turnoverReport();
    const Expect cases[] = {
        {0, 1, 0},
        {1, 1, 1},
        {33, 1, 33},             // 17.8 mm left: the summary fits
        {34, 2, 0},              // 12.2 mm left: the summary moves on
        {FirstPage, 2, 0},       // a full first page
        {FirstPage + 1, 2, 1},   // one record on page 2, summary under it
        {FirstPage + 38, 2, 38}, // 20.0 mm left on page 2
        {FirstPage + 39, 3, 0},
        {FirstPage + LaterPage, 3, 0},
        {FirstPage + 2 * LaterPage + 5, 4, 5},
        {100000, 2440, 6},
    };
    for (const Expect &e : cases) {
        SCOPED_TRACE(e.records);
        const PagePlan plan(definition, e.records);
        ASSERT_EQ(plan.pageCount(), e.pages);
        int next = 0;
        for (int page = 1; page <= plan.pageCount(); ++page) {
            const PagePlan::Content c = plan.content(page);
            EXPECT_EQ(c.firstRecord, next) << "page " << page;
            EXPECT_EQ(c.title, page == 1);
            EXPECT_EQ(c.summary, page == plan.pageCount());
            EXPECT_LE(c.recordCount, page == 1 ? FirstPage : LaterPage);
            next += c.recordCount;
        }
        EXPECT_EQ(next, e.records) << "every record printed exactly once";
        EXPECT_EQ(plan.content(plan.pageCount()).recordCount, e.recordsOnLastPage);
        EXPECT_EQ(plan.content(0).recordCount, 0);
        EXPECT_EQ(plan.content(plan.pageCount() + 1).recordCount, 0);
    }
}

TEST(PagePlan, DetailTallerThanThePageStillPrintsOneRecordPerPage)
{
    report::Report definition;
    Band detail;
    detail.kind = BandKind::Detail;
    detail.height = 400.0;
    definition.setBand(detail);
    const PagePlan plan(definition, 3);
    ASSERT_EQ(plan.pageCount(), 3);
    for (int page = 1; page <= 3; ++page) {
        EXPECT_EQ(plan.content(page).firstRecord, page - 1);
        EXPECT_EQ(plan.content(page).recordCount, 1);
    }
}

// Details that grow with their records: pages hold as many whole details as fit, a detail
// taller than a page stands alone, and every record is printed once.
TEST(PagePlan, TallerDetailsTakeTheirRoom)
{
    const report::Report definition = report::turnoverReport();
    struct Case
    {
        const char *name;
        int records;
        QHash<int, double> taller;
        QList<int> perPage; // records on each page
    };
    QHash<int, double> doubled;
    for (int r = 0; r < 60; ++r)
        doubled.insert(r, 11.2);
    const Case cases[] = {
        {"none taller: as equal details", FirstPage + 1, {}, {FirstPage, 1}},
        {"all twice as tall", 60, doubled, {18, 20, 20, 2}},
        {"one taller than a page", 3, {{1, 300.0}}, {1, 1, 1}},
        {"a tall last record moves on", FirstPage, {{FirstPage - 1, 12.0}}, {FirstPage - 1, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PagePlan plan(definition, c.records, c.taller);
        QList<int> perPage;
        int next = 0;
        for (int page = 1; page <= plan.pageCount(); ++page) {
            const PagePlan::Content content = plan.content(page);
            EXPECT_EQ(content.firstRecord, next);
            EXPECT_EQ(content.title, page == 1);
            EXPECT_EQ(content.summary, page == plan.pageCount());
            next += content.recordCount;
            if (content.recordCount > 0)
                perPage << content.recordCount;
        }
        EXPECT_EQ(next, c.records);
        EXPECT_EQ(perPage, c.perPage);
    }
}

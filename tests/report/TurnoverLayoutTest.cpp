// The turnover report laid out without pixels: what each page prints and where.
#include "TestJournal.h"

#include "report/Document.h"
#include "report/FontBook.h"
#include "report/PagePlan.h"
#include "report/TurnoverReport.h"

#include <QMap>

#include <gtest/gtest.h>

using report::Document;
using report::Page;
using report::PageItem;
using testjournal::Posting;

namespace {

constexpr double Tolerance = 0.1; // mm
constexpr double FooterTop = 279.4 - 12.7 - 10.6;

QString only(const Page &page, const char *name)
{
    const QList<PageItem> items = page.itemsOf(QString::fromLatin1(name));
    return items.size() == 1 ? items.front().text : QStringLiteral("<%1 items>").arg(items.size());
}

Document turnover(std::shared_ptr<report::DataSource> data)
{
    report::Report definition = report::turnoverReport();
    definition.setText(report::TitleLine1, "Promet dorvante od pocetka pracenja prometa");
    definition.setText(report::TitleLine2, "Za sve dorvantike");
    definition.setText(report::TitleLine3, "Za sve moguce transakcije");
    definition.setText(report::TitleLine4, "Za sve grupe");
    Document document(definition, std::move(data));
    document.setPrintTime(QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)));
    return document;
}

// Counts how the engine reads its records.
class CountingSource : public report::DataSource
{
public:
    explicit CountingSource(std::shared_ptr<report::DataSource> inner) : m_inner(inner) {}
    int recordCount() const override { return m_inner->recordCount(); }
    bool moveTo(int index) override
    {
        ++moves;
        highest = std::max(highest, index);
        return m_inner->moveTo(index);
    }
    QString text(const QString &field) const override { return m_inner->text(field); }
    std::optional<qint64> hundredths(const QString &field) const override
    {
        return m_inner->hundredths(field);
    }
    int moves = 0;
    int highest = -1;

private:
    std::shared_ptr<report::DataSource> m_inner;
};

} // namespace

TEST(TurnoverLayout, OneRecordPrintsNumberOneItsAmountsAsSumsAndInMinusOutAsBalances)
{
    Posting p{"07/12/2026", "09:15:00", "Petar Petrovic", "Racun za gorivo"};
    p.dinarsIn = "1500";
    p.dinarsOut = "20.5";
    p.eurOut = "12.30";
    Document document = turnover(testjournal::journal({p}));

    ASSERT_EQ(document.pageCount(), 1);
    const Page page = document.page(1);
    EXPECT_EQ(only(page, "Number"), "1");
    EXPECT_EQ(only(page, "Date"), "07/12/2026");
    EXPECT_EQ(only(page, "Time"), "09:15:00");
    EXPECT_EQ(only(page, "Cashier"), "Petar Petrovic");
    EXPECT_EQ(only(page, "Description"), "Racun za gorivo");
    EXPECT_EQ(only(page, "DinarsIn"), "1500.00");
    EXPECT_EQ(only(page, "DinarsOut"), "20.50");
    EXPECT_EQ(only(page, "SumDinarsIn"), "1500.00");
    EXPECT_EQ(only(page, "SumDinarsOut"), "20.50");
    EXPECT_EQ(only(page, "SumEurIn"), "0.00");
    EXPECT_EQ(only(page, "SumEurOut"), "12.30");
    EXPECT_EQ(only(page, "BalanceDinars"), "1479.50");
    EXPECT_EQ(only(page, "BalanceEur"), "-12.30");
    EXPECT_EQ(only(page, "PrintTime"), "07/12/2026 14:05:09");
    // The print time's date form is the document's.
    document.setDateFormat("yyyy-MM-dd");
    EXPECT_EQ(only(document.page(1), "PrintTime"), "2026-12-07 14:05:09");
}

TEST(TurnoverLayout, EveryPageHasHeaderAndFooterAndTheSummaryComesOnceAfterTheLastRecord)
{
    const int records = 100; // 36 + 41 + 23
    const Document document = turnover(testjournal::numberedJournal(records));
    ASSERT_EQ(document.pageCount(), 3);

    int expectedNumber = 1;
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        const Page page = document.page(n);
        EXPECT_EQ(page.number, n);
        EXPECT_EQ(only(page, "TimeLabel"), "Vreme:");
        EXPECT_EQ(only(page, "PageNumber"), QString::number(n));
        EXPECT_NEAR(page.itemsOf("PageLabel").value(0).y, FooterTop + 2.6, 1e-9);
        EXPECT_EQ(page.itemsOf("TitleLine1").size(), n == 1 ? 1 : 0);
        EXPECT_EQ(page.itemsOf("TotalDinars").size(), n == 3 ? 1 : 0);

        const QList<PageItem> numbers = page.itemsOf("Number");
        // Details start under the title on the first page, under the header later.
        ASSERT_FALSE(numbers.isEmpty());
        EXPECT_NEAR(numbers.front().y, (n == 1 ? 12.7 + 10.6 + 30.2 : 12.7 + 10.6) + 0.5, 1e-9);
        for (const PageItem &item : numbers)
            EXPECT_EQ(item.text, QString::number(expectedNumber++));
        EXPECT_LE(numbers.back().y - 0.5 + 5.6, FooterTop + 1e-9) << "details end above the footer";
        if (n == 3) {
            EXPECT_NEAR(page.itemsOf("TotalDinars").front().y, numbers.back().y - 0.5 + 5.6 + 6.6,
                        1e-9);
        }
    }
    EXPECT_EQ(expectedNumber, records + 1);

    // 1 + 2 + ... + 100 dinars; 34 postings of 0.25 euros out.
    const Page last = document.page(3);
    EXPECT_EQ(only(last, "SumDinarsIn"), "5050.00");
    EXPECT_EQ(only(last, "SumEurOut"), "8.50");
    EXPECT_EQ(only(last, "BalanceEur"), "-8.50");
    EXPECT_TRUE(document.page(4).items.isEmpty());
}

TEST(TurnoverLayout, SummaryThatDoesNotFitUnderTheLastRecordGetsAPageWithHeaderAndFooter)
{
    const Document document = turnover(testjournal::numberedJournal(34));
    ASSERT_EQ(document.pageCount(), 2);
    EXPECT_EQ(document.page(1).itemsOf("TotalDinars").size(), 0);
    const Page second = document.page(2);
    EXPECT_TRUE(second.itemsOf("Number").isEmpty());
    EXPECT_EQ(only(second, "SumDinarsIn"), "595.00");
    EXPECT_NEAR(second.itemsOf("SumDinarsIn").front().y, 12.7 + 10.6 + 1.1, 1e-9);
    EXPECT_EQ(only(second, "PageNumber"), "2");
}

// A description longer than two lines prints whole: its row grows, and the rows after it
// move down; a short row keeps its 5.6 mm.
TEST(TurnoverLayout, LongDescriptionPrintsWholeOnATallerRow)
{
    const QString longText =
        "Isplata dnevnice za sluzbeni put u Novi Sad i nazad, sa prenocistem i troskovima "
        "parkiranja na aerodromu, racun broj 2026-0012345 od dobavljaca";
    const QString oneWord = QString(120, QLatin1Char('W'));
    const QString day = "01/12/2026", time = "08:00:00";
    const Document document = turnover(testjournal::journal({{day, time, "A", longText},
                                                             {day, time, "A", oneWord},
                                                             {day, time, "A", "Kratko"},
                                                             {day, time, "A", "Isto"}}));
    const Page page = document.page(1);
    report::FontBook fonts;

    QMap<double, QStringList> rows; // by the top of the record's box
    QMap<double, double> bottoms;
    for (const PageItem &line : page.itemsOf("Description")) {
        EXPECT_NEAR(line.clip.x(), 12.7 + 71.2, 1e-9);
        EXPECT_NEAR(line.clip.width(), 54.0, 1e-9);
        EXPECT_LE(line.x + fonts.width(line.font, line.text), line.clip.right() + 1e-9)
            << line.text.toStdString();
        EXPECT_LE(line.y + fonts.lineHeight(line.font), line.clip.bottom() + 1e-9);
        rows[line.clip.y()] << line.text;
        bottoms[line.clip.y()] = line.y + fonts.lineHeight(line.font);
    }
    ASSERT_EQ(rows.size(), 4);
    const QList<QStringList> texts = rows.values();
    EXPECT_GT(texts[0].size(), 2);
    EXPECT_EQ(texts[0].join(' '), longText);
    EXPECT_GT(texts[1].size(), 2);
    EXPECT_EQ(texts[1].join(""), oneWord);
    EXPECT_EQ(texts[2], QStringList{"Kratko"});

    const QList<PageItem> dates = page.itemsOf("Date");
    ASSERT_EQ(dates.size(), 4);
    const QList<double> lastLines = bottoms.values();
    for (int r = 0; r < 2; ++r)
        EXPECT_LT(lastLines[r], dates[r + 1].y) << "row " << r;
    EXPECT_NEAR(dates[3].y - dates[2].y, 5.6, 1e-9);
}

TEST(TurnoverLayout, LongCashierNameEndsBeforeTheDescription)
{
    const QString name = QStringLiteral("Aleksandra Milosavljevic-Stojanovic Petrovic");
    const Page page = turnover(testjournal::journal(
        {{"01/12/2026", "08:00:00", "Ana", "a"}, {"01/12/2026", "08:00:00", name, "b"}}))
                          .page(1);
    const QList<PageItem> cashiers = page.itemsOf("Cashier");
    ASSERT_EQ(cashiers.size(), 2);
    EXPECT_EQ(cashiers[0].font.pointSize, 8); // a short name keeps its font
    EXPECT_EQ(cashiers[1].text, name);
    report::FontBook fonts;
    const double descriptionLeft = page.itemsOf("Description").front().x;
    for (const PageItem &cashier : cashiers)
        EXPECT_LT(cashier.x + fonts.width(cashier.font, cashier.text), descriptionLeft)
            << cashier.text.toStdString();
}

TEST(TurnoverLayout, ReviewReportHasNoFourthTitleLineAndARuleOverItsSummary)
{
    report::Report review = report::reviewReport();
    EXPECT_FALSE(review.setText(report::TitleLine4, "Za sve grupe"));

    auto summaryRules = [](const report::Report &definition) {
        const Page page = Document(definition, testjournal::numberedJournal(1)).page(1);
        const double summaryTop = 12.7 + 10.6 + 30.2 + 5.6;
        int count = 0;
        for (const PageItem &rule : page.rules())
            count += std::abs(rule.y - summaryTop) < 1e-9 ? 1 : 0;
        return count;
    };
    // The detail's bottom rule lies on the summary's top edge in both; only the review
    // report draws a rule of its own there.
    EXPECT_EQ(summaryRules(report::turnoverReport()), 1);
    EXPECT_EQ(summaryRules(review), 2);
}

TEST(TurnoverLayout, PagesAreLaidOutFromTheirOwnRecordsAndRowsAndSumsAreMadeOnce)
{
    auto counting = std::make_shared<CountingSource>(testjournal::numberedJournal(5000));
    const Document document = turnover(counting);
    EXPECT_EQ(document.pageCount(), 123);
    // The rows grow with their descriptions: the page count measures them in one pass.
    EXPECT_EQ(counting->moves, 5000);
    counting->moves = 0;
    counting->highest = -1;

    document.page(1);
    EXPECT_EQ(counting->highest, 35);
    EXPECT_LE(counting->moves, 36);

    counting->moves = 0;
    const Page last = document.page(document.pageCount());
    EXPECT_EQ(only(last, "SumDinarsIn"), "12502500.00");
    EXPECT_LE(counting->moves, 5000 + 41);
    counting->moves = 0;
    const Document copy = document; // shares what was worked out
    copy.page(copy.pageCount());
    EXPECT_LE(counting->moves, 41);

    // Beyond 50,000 records the rows keep their height: nothing is read for the page count.
    auto many = std::make_shared<CountingSource>(testjournal::numberedJournal(50001));
    const Document longReport = turnover(many);
    EXPECT_EQ(longReport.pageCount(),
              report::PagePlan(report::turnoverReport(), 50001).pageCount());
    EXPECT_EQ(many->moves, 0);
}

// Sums are exact beyond eight significant digits; one beyond the amount range prints a mark,
// never a wrapped figure.
TEST(TurnoverLayout, SumsAreExactOrMarked)
{
    const struct
    {
        const char *firstIn, *secondIn, *secondOut, *sumIn, *balance;
    } cases[] = {
        {"99999999.99", "0.01", "12345678.45", "100000000.00", "87654321.55"},
        {"92233720368547758.07", "92233720368547758.07", "0", "########", "########"},
    };
    for (const auto &c : cases) {
        Posting a{"01/12/2026", "08:00:00", "A", "a"};
        a.dinarsIn = c.firstIn;
        a.eurIn = "1.00";
        Posting b = a;
        b.dinarsIn = c.secondIn;
        b.dinarsOut = c.secondOut;
        const Page page = turnover(testjournal::journal({a, b})).page(1);
        EXPECT_EQ(only(page, "SumDinarsIn"), c.sumIn) << c.firstIn;
        EXPECT_EQ(only(page, "BalanceDinars"), c.balance) << c.firstIn;
        EXPECT_EQ(only(page, "SumEurIn"), "2.00");
    }
}

// Every printout on the paper of the shop's settings, its firm at the head of every page, and
// nothing beyond the page's edges; the charts of the month report inside their boxes, where
// their figures put them.
#include "TestJournal.h"

#include "report/Chart.h"
#include "report/DailyCashReport.h"
#include "report/FontBook.h"
#include "report/Letterhead.h"
#include "report/MonthReport.h"
#include "report/Output.h"
#include "report/TurnoverReport.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QDateTime PrintTime(QDate(2026, 12, 31), QTime(18, 0, 0));

report::Document turnover(bool review)
{
    report::Report definition = review ? report::reviewReport() : report::turnoverReport();
    definition.setText(report::TitleLine1, "Promet dorvante za period od 01/12/2026 do 31/12/2026");
    report::Document document(definition, testjournal::numberedJournal(120));
    document.setPrintTime(PrintTime);
    return document;
}

report::Document dayReport()
{
    report::DayFigures f;
    f.day = QDate(2026, 12, 7);
    f.closeNumber = 3;
    f.closedBy = "Admin";
    f.closedAt = PrintTime;
    f.chainHead = QString(64, u'a');
    f.keyFingerprint = QString(64, u'b');
    f.openingDinars = "12345678.45";
    f.closingDinars = "12345000.00";
    f.openingEuros = "150.00";
    f.closingEuros = "170.50";
    for (int i = 0; i < 60; ++i)
        f.lines.append({QStringLiteral("U-2026-%1").arg(i + 1, 6, 10, QLatin1Char('0')), "10:00:00",
                        "Petar Petrovic", "Uplata pazara", "1500.00", "0.00", "0.00", "0.00", true,
                        false, {}});
    f.counts.append({"POPIS GOTOVINE DIN (Petar Petrovic, 07/12/2026 18:30:00)",
                     {{"5000 x 3", "15000.00"}, {"RAZLIKA (MANJAK)", "-100.00"}}});
    f.limitLines << "Blagajnicki maksimum 100000.00 DIN, visak 2500.00 DIN (uplatiti u banku)";
    return report::dayReportDocument(f, report::DayCurrencies::Both, PrintTime);
}

report::Document voucher()
{
    return report::voucherDocument({true,
                                    "U-2026-000042",
                                    {},
                                    "07/12/2026",
                                    "10:15:00",
                                    "DIN",
                                    "12345.67",
                                    "dvanaest hiljada tristo cetrdeset pet dinara i 67/100",
                                    "Uplata pazara",
                                    "Pazar",
                                    "Petar Petrovic",
                                    {}},
                                   PrintTime);
}

report::PeriodFigures month()
{
    report::PeriodFigures f;
    f.title = "MESECNI BLAGAJNICKI IZVESTAJ";
    f.period = "za mesec 12/2026";
    f.categoryTitle = "Dan";
    qint64 dinars = 1234567800, euros = 15000;
    for (int d = 1; d <= 31; ++d) {
        report::PeriodLine l;
        l.label = QDate(2026, 12, d).toString("dd/MM/yyyy");
        l.category = QString::number(d);
        l.dinars = {dinars, 150000 * d, 9999999, 0, d % 7 == 0 ? -10000 : 0, 0};
        l.dinars.closing = dinars + l.dinars.in - l.dinars.out;
        dinars = l.dinars.closing;
        l.euros = {euros, 2500, d % 2 ? 4000 : 0, 0, 0, 0};
        l.euros.closing = euros + l.euros.in - l.euros.out;
        euros = l.euros.closing;
        f.lines << l;
    }
    f.total = f.lines.last();
    f.total.label = "UKUPNO";
    f.limitDinars = 1000000000;
    f.limitEuros = 20000;
    return f;
}

const report::Firm Firm{"Radnja Primer d.o.o.", "Knez Mihailova 1, Beograd", "136695976",
                        "12345678"};

// The extent of a laid-out item on the paper, in millimetres.
QRectF extentOf(const report::PageItem &item, report::FontBook &fonts)
{
    using Kind = report::PageItem::Kind;
    if (item.kind == Kind::Rule)
        return QRectF(QPointF(item.x, item.y - item.width / 2),
                      QPointF(item.x2, item.y + item.width / 2));
    if (item.kind == Kind::Line || item.kind == Kind::Box)
        return QRectF(QPointF(std::min(item.x, item.x2), std::min(item.y, item.y2)),
                      QPointF(std::max(item.x, item.x2), std::max(item.y, item.y2)));
    const double width = fonts.width(item.font, item.text);
    const double left = item.alignment == report::Alignment::Left    ? item.x
                        : item.alignment == report::Alignment::Right ? item.x - width
                                                                     : item.x - width / 2;
    QRectF text(left, item.y, width, fonts.lineHeight(item.font));
    return item.clip.isNull() ? text : text.intersected(item.clip);
}

// Whether `extent` (which may have no width or height: a rule, an empty text) lies within
// `area`.
bool within(const QRectF &extent, const QRectF &area)
{
    return extent.left() >= area.left() && extent.right() <= area.right() &&
           extent.top() >= area.top() && extent.bottom() <= area.bottom();
}

// The page size a PDF file names, in points.
QSizeF pdfPageSize(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    static const QRegularExpression box(R"(/MediaBox \[0 0 ([\d.]+) ([\d.]+)\])");
    const QRegularExpressionMatch m = box.match(QString::fromLatin1(file.readAll()));
    EXPECT_TRUE(m.hasMatch());
    return QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
}

} // namespace

// Each printout, with the firm, on A4 and on Letter: the PDF's pages have the paper's size,
// every page names the firm, and every item stands at least 5 mm inside the paper.
TEST(PaperAndLetterhead, EveryPrintoutIsOnItsPaperWithItsFirmAndNothingCrossesTheEdge)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    report::FontBook fonts;
    const struct
    {
        const char *name;
        std::function<report::Document()> make;
    } printouts[] = {
        {"turnover", [] { return turnover(false); }},
        {"review", [] { return turnover(true); }},
        {"day report", dayReport},
        {"voucher", voucher},
        {"month report", [] { return report::monthReportDocument(month(), PrintTime); }},
    };
    const struct
    {
        report::Paper paper;
        QSizeF points;
    } papers[] = {{report::Paper::Letter, {612, 792}}, {report::Paper::A4, {595, 842}}};
    for (const auto &p : printouts) {
        for (const auto &paper : papers) {
            SCOPED_TRACE(std::string(p.name) +
                         (paper.paper == report::Paper::A4 ? " A4" : " Letter"));
            const report::PageSetup setup = report::PageSetup::forPaper(paper.paper);
            EXPECT_DOUBLE_EQ(setup.bandWidth(), 190.5);
            const report::Document document = report::withLetterhead(p.make(), setup, Firm);
            const QString pdf = dir.filePath("out.pdf");
            QString error;
            ASSERT_TRUE(report::writePdf(document, pdf, &error)) << qPrintable(error);
            const QSizeF size = pdfPageSize(pdf);
            EXPECT_NEAR(size.width(), paper.points.width(), 0.5);
            EXPECT_NEAR(size.height(), paper.points.height(), 0.5);
            const QRectF inside = QRectF(QPointF(0, 0), setup.pageSize()).adjusted(5, 5, -5, -5);
            for (int n = 1; n <= document.pageCount(); ++n) {
                const report::Page page = document.page(n);
                EXPECT_EQ(page.itemsOf(report::FirmNameLine).value(0).text, Firm.name) << n;
                EXPECT_TRUE(
                    page.itemsOf(report::FirmDetailLine).value(0).text.contains("PIB: 136695976"));
                for (const report::PageItem &item : page.items) {
                    const QRectF extent = extentOf(item, fonts);
                    EXPECT_TRUE(within(extent, inside))
                        << "page " << n << " '" << item.text.toStdString() << "' at "
                        << extent.left() << "," << extent.top() << " to " << extent.right() << ","
                        << extent.bottom();
                }
            }
        }
    }
}

// Without a firm the letterhead changes nothing of the layout on Letter, and on A4 only moves
// everything by the narrower side margin.
TEST(PaperAndLetterhead, WithoutAFirmTheLayoutStaysAsItWas)
{
    for (const std::function<report::Document()> &make :
         std::initializer_list<std::function<report::Document()>>{[] { return turnover(false); },
                                                                  voucher, dayReport}) {
        const report::Document plain = make();
        const report::Page before = plain.page(1);
        const report::Page letter =
            report::withLetterhead(plain, report::PageSetup::forPaper(report::Paper::Letter), {})
                .page(1);
        const report::Page a4 =
            report::withLetterhead(plain, report::PageSetup::forPaper(report::Paper::A4), {})
                .page(1);
        ASSERT_EQ(letter.items.size(), before.items.size());
        for (qsizetype i = 0; i < before.items.size(); ++i) {
            EXPECT_EQ(letter.items.at(i).text, before.items.at(i).text);
            EXPECT_DOUBLE_EQ(letter.items.at(i).x, before.items.at(i).x);
            EXPECT_DOUBLE_EQ(letter.items.at(i).y, before.items.at(i).y);
        }
        // A4's taller page holds more records; up to the footer (its last four items) the
        // page is Letter's, moved left.
        ASSERT_GE(a4.items.size(), before.items.size());
        for (qsizetype i = 0; i + 4 < before.items.size(); ++i) {
            EXPECT_EQ(a4.items.at(i).text, before.items.at(i).text);
            EXPECT_NEAR(a4.items.at(i).x, before.items.at(i).x - (12.7 - 9.75), 1e-9);
            EXPECT_DOUBLE_EQ(a4.items.at(i).y, before.items.at(i).y);
        }
    }
}

TEST(Chart, StepsAreRoundAndCoverTheValuesWithZeroAmongThem)
{
    const struct
    {
        qint64 low, high;
    } cases[] = {{0, 0},
                 {0, 1},
                 {0, 99},
                 {0, 100000},
                 {-5000, 12345},
                 {-123456789, -1000},
                 {2500000000, 2600000000},
                 {0, 999999999999}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.low) + ".." + std::to_string(c.high));
        const QList<qint64> steps = report::chartSteps(c.low, c.high);
        ASSERT_GE(steps.size(), 2);
        EXPECT_LE(steps.size(), 12);
        EXPECT_LE(steps.first(), std::min<qint64>(c.low, 0));
        EXPECT_GE(steps.last(), std::max<qint64>(c.high, 0));
        EXPECT_TRUE(steps.contains(0));
        qint64 step = steps.at(1) - steps.at(0);
        while (step % 10 == 0)
            step /= 10;
        EXPECT_TRUE(step == 1 || step == 2 || step == 5) << steps.at(1) - steps.at(0);
        for (qsizetype i = 1; i < steps.size(); ++i)
            EXPECT_EQ(steps.at(i) - steps.at(i - 1), steps.at(1) - steps.at(0));
    }
}

// The line joins the categories' centres at their values, a bar stands from the zero line
// for every amount that is not zero, the limit is one dashed line at its value, and nothing
// leaves the box.
TEST(Chart, AChartDrawsItsFiguresInsideItsBox)
{
    report::Chart chart;
    chart.title = "DINARI";
    chart.categoryTitle = "Dan";
    chart.valueTitle = "Iznos (DIN)";
    chart.categories = {"1", "2", "3", "4", "5"};
    chart.bars = {{"Ulaz", {1000, 0, 3000, 0, 500}, Qt::blue},
                  {"Izlaz", {0, 2000, 0, 0, 100}, Qt::red}};
    chart.line = {"Stanje", {1000, -1000, 2000, 2000, 2400}, Qt::black};
    chart.limit = 2200;
    chart.limitName = "Blagajnicki maksimum 22.00 DIN";
    const QRectF box(12.7, 30.0, 190.5, 100.0);
    report::FontBook fonts;
    const QList<report::PageItem> items = report::chartItems(chart, box, "Chart", fonts);

    QList<report::PageItem> lines, boxes, dashed;
    for (const report::PageItem &item : items) {
        EXPECT_TRUE(within(extentOf(item, fonts), box)) << item.text.toStdString();
        if (item.kind == report::PageItem::Kind::Line && item.color == Qt::black &&
            item.width > 0.3)
            lines << item;
        if (item.kind == report::PageItem::Kind::Box && item.color != Qt::black)
            boxes << item;
        if (item.kind == report::PageItem::Kind::Line && item.dashed)
            dashed << item;
    }
    // Four segments of the line and one in the legend; five bars in the plot and two in the
    // legend; the limit's dashed line and its legend.
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(boxes.size(), 5 + 2);
    ASSERT_EQ(dashed.size(), 2);
    const QList<report::PageItem> segments = lines.mid(1);
    const auto yOf = [&](qint64 v) {
        // From two known points of the line: 1000 at the first segment's start, 2000 at the
        // second's end.
        const double y1000 = segments.at(0).y, y2000 = segments.at(1).y2;
        return y1000 + (double(v) - 1000.0) / 1000.0 * (y2000 - y1000);
    };
    for (qsizetype c = 0; c < segments.size(); ++c) {
        EXPECT_NEAR(segments.at(c).y, yOf(chart.line.values.at(c)), 1e-6);
        EXPECT_NEAR(segments.at(c).y2, yOf(chart.line.values.at(c + 1)), 1e-6);
        EXPECT_NEAR(segments.at(c).x2 - segments.at(c).x, segments.at(0).x2 - segments.at(0).x,
                    1e-6);
    }
    EXPECT_LT(yOf(2400), yOf(-1000)); // larger values stand higher
    EXPECT_NEAR(dashed.last().y, yOf(2200), 1e-6);
    EXPECT_DOUBLE_EQ(dashed.last().y, dashed.last().y2);
    for (const report::PageItem &bar : boxes.mid(2))
        EXPECT_NEAR(bar.y2, yOf(0), 1e-6); // every bar is positive and stands on zero
}

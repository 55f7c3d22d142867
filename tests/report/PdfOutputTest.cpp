// The turnover report and a posting's printed document written as PDF and read back with
// poppler's pdftotext: the texts are there, and every element stands where the layout tables
// put it.
#include "TestJournal.h"

#include "report/DailyCashReport.h"

#include "report/Document.h"
#include "report/MoneyText.h"
#include "report/Output.h"
#include "report/TurnoverReport.h"

#include <QFile>

#include <algorithm>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using testjournal::Posting;

namespace {

constexpr double MmPerPoint = 25.4 / 72.0;

struct Word
{
    QString text;
    double left, top, right; // mm from the paper's top left corner
};

class PdfOutput : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (m_pdftotext.isEmpty())
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        ASSERT_TRUE(m_dir.isValid());
    }

    QString write(const report::Document &document)
    {
        const QString path = m_dir.filePath("report.pdf");
        QString error;
        EXPECT_TRUE(report::writePdf(document, path, &error)) << error.toStdString();
        return path;
    }

    QString run(const QStringList &arguments)
    {
        QProcess process;
        process.start(m_pdftotext, arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    QString text(const QString &pdf) { return run({"-layout", pdf, "-"}); }

    // The words of every page, with their boxes.
    QList<QList<Word>> words(const QString &pdf)
    {
        const QString html = run({"-bbox", pdf, "-"});
        QList<QList<Word>> pages;
        static const QRegularExpression tag(
            R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
        for (auto it = tag.globalMatch(html); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (m.captured(0).startsWith("<page")) {
                pages.append(QList<Word>());
                continue;
            }
            pages.back().append({m.captured(4), m.captured(1).toDouble() * MmPerPoint,
                                 m.captured(2).toDouble() * MmPerPoint,
                                 m.captured(3).toDouble() * MmPerPoint});
        }
        return pages;
    }

    enum Edge
    {
        Left,
        Right,
        Centre
    };
    struct Expected
    {
        const char *word;
        Edge edge;
        double x, top; // band-relative, as in the layout tables
        double bandTop;
    };
    // Each word stands where the layout puts it (the page's left margin 12.7 mm), within a
    // tenth of a millimetre: the word of that text nearest to its place is measured.
    template <size_t N> void expectPlaces(const QList<Word> &page, const Expected (&expected)[N])
    {
        for (const Expected &e : expected) {
            const double x = 12.7 + e.x;
            const double top = e.bandTop + e.top;
            const auto edgeOf = [&e](const Word &w) {
                return e.edge == Left ? w.left : e.edge == Right ? w.right : (w.left + w.right) / 2;
            };
            const Word *best = nullptr;
            double bestDistance = 1e9;
            for (const Word &w : page) {
                if (w.text != QString::fromUtf8(e.word))
                    continue;
                const double distance = std::abs(edgeOf(w) - x) + std::abs(w.top - top);
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = &w;
                }
            }
            ASSERT_NE(best, nullptr) << e.word;
            EXPECT_NEAR(edgeOf(*best), x, 0.1) << e.word << " at " << e.x << "," << e.top;
            EXPECT_NEAR(best->top, top, 0.1) << e.word << " at " << e.x << "," << e.top;
        }
    }

    QString m_pdftotext;
    QTemporaryDir m_dir;
};

report::Document sample(report::Report definition, const QList<Posting> &postings)
{
    definition.setText(report::TitleLine1, "Promet dorvante za period od 01/12/2026 do 07/12/2026");
    definition.setText(report::TitleLine2, "Za izabranog dorvantika Petar Petrovic");
    definition.setText(report::TitleLine3, "Za izabrani promet: Gorivo");
    definition.setText(report::TitleLine4, "Za izabranu grupu: Gorivo");
    report::Document document(definition, testjournal::journal(postings));
    document.setPrintTime(QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)));
    return document;
}

QList<Posting> threePostings()
{
    Posting a{"01/12/2026", "08:15:00", "Petar Petrovic", "Racun za gorivo"};
    a.dinarsOut = "2345.60";
    Posting b{"03/12/2026", "12:00:30", "Petar Petrovic", "Uplata pazara"};
    b.dinarsIn = "12345678.45";
    Posting c{"07/12/2026", "17:59:59", "Petar Petrovic", "Kurs"};
    c.eurIn = "150.00";
    c.eurOut = "170.50";
    return {a, b, c};
}

} // namespace

// The titles are whole, and every element (titles, column heads, a record, the sums, the
// balances, the footer) stands where the layout puts it.
TEST_F(PdfOutput, ElementsStandWhereTheLayoutPutsThemWithinATenthOfAMillimetre)
{
    const QString pdf = write(sample(report::turnoverReport(), threePostings()));
    const QString content = text(pdf);
    for (const char *title : {"Promet dorvante za period od 01/12/2026 do 07/12/2026",
                              "Za izabranog dorvantika Petar Petrovic", "Za izabrani promet: Gorivo",
                              "Za izabranu grupu: Gorivo", "Racun za gorivo", "Uplata pazara",
                              "UKUPNO DINARA", "UKUPNO EUR", "07/12/2026 14:05:09"})
        EXPECT_TRUE(content.contains(QString::fromLatin1(title))) << title;
    const QList<QList<Word>> pages = words(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QList<Word> &page = pages.front();
    const double title = 12.7 + 10.6;
    const double detail = title + 30.2;
    const double summary = detail + 3 * 5.6;
    const double footer = 279.4 - 12.7 - 10.6;
    // One element of each band and each column edge: a band or a column out of place shows.
    const Expected expected[] = {
        {"Promet", Left, 2.1, 2.1, title},
        {"DINARI", Left, 137.1, 19.6, title},
        {"R.br.", Left, 0.0, 25.4, title},
        {"Izlaz", Left, 180.7, 25.4, title},
        {"1", Centre, 3.4, 0.5, detail},
        {"01/12/2026", Left, 8.5, 0.5, detail},
        {"Racun", Left, 71.2, 0.3, detail},
        {"2345.60", Right, 155.3, 0.5, detail},
        {"12345678.45", Right, 139.7, 1.1, summary},
        {"170.50", Right, 188.4, 1.1, summary},
        {"12343332.85", Right, 155.3, 11.1, summary},
        {"-20.50", Right, 188.4, 11.1, summary},
        {"Strana", Left, 161.4, 2.6, footer},
    };
    expectPlaces(page, expected);
}

// A posting's voucher (nalog blagajni): its number, date and time, currency, amount in figures
// and words, reason, group, cashier and the signature lines where the layout puts them; a
// reversal's names the original.
TEST_F(PdfOutput, AVoucherShowsItsFiguresWhereTheLayoutPutsThem)
{
    report::VoucherFigures receipt{true, "U-2026-000042", {}, "07/12/2026", "10:15:00", "DIN",
                                   "12345.67", "dvanaest hiljada tristo cetrdeset pet dinara i 67/100",
                                   "Uplata pazara", "Pazar", "Petar Petrovic", {}};
    report::VoucherFigures payment{false, "I-2026-000007", {}, "07/12/2026", "11:00:00", "EUR",
                                   "20.50", "dvadeset evra i 50/100", "Racun za gorivo", "Gorivo",
                                   "Petar Petrovic", {}};
    payment.counterValue = QStringLiteral("protivvrednost 2,402.06 DIN po srednjem kursu NBS 117.1735 na dan 07.12.2026");
    report::VoucherFigures reversal = receipt;
    reversal.number = "U-2026-000043";
    reversal.reverses = "U-2026-000042";
    const struct
    {
        report::VoucherFigures voucher;
        const char *title, *number, *amount, *reason, *group, *party, *reversal;
    } cases[] = {
        {receipt, "NAPLATU", "U-2026-000042", "12345.67", "Uplata", "Pazar", "Uplatilac", nullptr},
        {payment, "ISPLATU", "I-2026-000007", "20.50", "Racun", "Gorivo", "Primalac", nullptr},
        {reversal, "NAPLATU", "U-2026-000043", "12345.67", "Uplata", "Pazar", "Uplatilac",
         "U-2026-000042"},
    };
    const double band = 12.7; // the voucher is the first band of the page
    const double footer = 279.4 - 12.7 - 10.6;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.number);
        const QString pdf = write(report::voucherDocument(
            c.voucher, QDateTime(QDate(2026, 12, 8), QTime(9, 30, 0))));
        const QString all = text(pdf).simplified();
        EXPECT_TRUE(all.contains(QStringLiteral("NALOG BLAGAJNI ZA ") + c.title)) << qPrintable(all);
        EXPECT_TRUE(all.contains(QStringLiteral("slovima: ") + c.voucher.words)) << qPrintable(all);
        EXPECT_EQ(all.contains(QStringLiteral("STORNO")), c.reversal != nullptr);
        EXPECT_TRUE(all.contains(c.voucher.counterValue)) << qPrintable(all);
        EXPECT_EQ(all.contains(QStringLiteral("protivvrednost")), !c.voucher.counterValue.isEmpty());
        if (c.reversal) {
            EXPECT_TRUE(all.contains(QStringLiteral("STORNO dokumenta ") + c.reversal));
        }
        const QList<QList<Word>> pages = words(pdf);
        ASSERT_EQ(pages.size(), 1);
        const Expected expected[] = {
            {"NALOG", Left, 2.1, 2.1, band},
            {c.number, Left, 34.0, 18.0, band},
            {"07/12/2026", Left, 34.0, 25.0, band},
            {c.amount, Left, 34.0, 39.0, band},
            {"slovima:", Left, 34.0, 46.0, band},
            {c.reason, Left, 34.0, 58.0, band},
            {c.group, Left, 34.0, 65.0, band},
            {"Petar", Left, 34.0, 72.0, band},
            {"Blagajnik", Left, 14.1, 95.0, band},
            {c.party, Left, 78.0, 95.0, band},
            {"Odobrio", Left, 142.0, 95.0, band},
            {"08/12/2026", Left, 15.9, 2.6, footer},
        };
        expectPlaces(pages.front(), expected);
    }
}

TEST_F(PdfOutput, LongReportHasOnePdfPageForEveryLaidOutPage)
{
    QList<Posting> postings;
    for (int i = 0; i < 80; ++i)
        postings.append({"01/12/2026", "08:00:00", "A", QStringLiteral("Stavka %1").arg(i + 1)});
    const report::Document document = sample(report::reviewReport(), postings);
    const QList<QList<Word>> pages = words(write(document));
    ASSERT_EQ(pages.size(), document.pageCount());
    ASSERT_EQ(pages.size(), 3);
    for (int n = 0; n < pages.size(); ++n) {
        QStringList texts;
        for (const Word &w : pages[n])
            texts << w.text;
        EXPECT_TRUE(texts.contains("Strana")) << n;
        EXPECT_EQ(texts.contains("UKUPNO"), n == 2) << n;
    }
}

TEST_F(PdfOutput, FiguresOfALargeJournalStandApartAndWhole)
{
    // 100,005 postings, each with amounts as wide as a column allows and wider.
    auto wide = std::make_shared<report::MemoryDataSource>(
        QStringList{"DATUM", "VREME", "KORISNIK", "OPIS", "ULAZDIN", "IZLAZDIN", "ULAZEUR", "IZLAZEUR"});
    const QString description(60, QLatin1Char('W'));
    QStringList amountsIn; // 9999999.99 and a little more
    for (int i = 0; i < 7; ++i)
        amountsIn << report::formatHundredths(999999999 + i);
    wide->reserve(100005);
    for (int i = 0; i < 100005; ++i)
        wide->append({"08/12/2026", "23:59:59", "Kasir", description, amountsIn.at(i % 7),
                      "123456.78", "1234567.89", "-99999999.99"});
    const report::Document document = sample(report::turnoverReport(), {});
    const report::Document large(document.report(), wide);
    const int last = large.pageCount();
    const QString pdf = m_dir.filePath("last.pdf");
    {
        QPdfWriter writer(pdf);
        report::preparePagedDevice(large, writer);
        ASSERT_TRUE(report::paintPages(large, writer, last, last));
    }
    const QList<QList<Word>> pages = words(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QList<Word> &page = pages.front();
    QStringList texts;
    for (const Word &w : page)
        texts << w.text;
    // Whole figures: the last running number, the amounts, the sums and the balances.
    for (const char *figure : {"100005", "10000000.02", "123456.78", "1234567.89", "-99999999.99",
                               "1000050002000.04", "12346295283.90", "123462961839.45",
                               "-10000499998999.95", "987703706716.14", "10123962960839.40"}) {
        EXPECT_TRUE(texts.contains(QString::fromLatin1(figure))) << figure;
    }
    // No two words of one line touch, and figures keep their right edges.
    for (qsizetype i = 0; i < page.size(); ++i) {
        for (qsizetype j = i + 1; j < page.size(); ++j) {
            const Word &a = page[i];
            const Word &b = page[j];
            if (std::abs(a.top - b.top) > 1.5)
                continue;
            EXPECT_TRUE(a.right < b.left || b.right < a.left)
                << a.text.toStdString() << " and " << b.text.toStdString();
        }
    }
    for (const Word &w : page) {
        if (w.text == "-99999999.99") {
            EXPECT_NEAR(w.right, 12.7 + 188.4, 0.1);
        } else if (w.text == "987703706716.14") {
            EXPECT_NEAR(w.right, 12.7 + 155.3, 0.1);
        }
    }
}

// A records source that fails from its `failAt`-th record on, as a table that cannot be read
// any more does: those records read empty and the source keeps why.
class FailingSource final : public report::DataSource
{
public:
    FailingSource(std::shared_ptr<report::DataSource> records, int failAt)
        : m_records(std::move(records)), m_failAt(failAt)
    {
    }
    int recordCount() const override { return m_records->recordCount(); }
    bool moveTo(int index) override
    {
        m_current = index;
        return m_records->moveTo(index);
    }
    QString text(const QString &field) const override
    {
        return unreadable() ? QString() : m_records->text(field);
    }
    std::optional<qint64> hundredths(const QString &field) const override
    {
        return unreadable() ? std::nullopt : m_records->hundredths(field);
    }
    QString readError() const override { return m_error; }

private:
    bool unreadable() const
    {
        if (m_current < m_failAt)
            return false;
        m_error = QStringLiteral("disk I/O error");
        return true;
    }
    std::shared_ptr<report::DataSource> m_records;
    int m_failAt;
    int m_current = -1;
    mutable QString m_error;
};

// An unwritable place, a cancel and records that could not be read each fail with a reason
// and leave no file, never a PDF with records missing.
TEST(PdfOutputFile, AFailedWriteLeavesNoFileAndSaysWhy)
{
    QTemporaryDir dir;
    const report::Document whole(report::turnoverReport(), testjournal::numberedJournal(200));
    const report::Document unread(report::turnoverReport(),
                                  std::make_shared<FailingSource>(testjournal::numberedJournal(200), 150));
    const struct
    {
        const char *what;
        const report::Document &document;
        QString path;
        std::function<bool(int)> progress;
        const char *reason;
    } rows[] = {
        {"unwritable", whole, QStringLiteral("/nonexistent-dir/report.pdf"), {}, ""},
        {"cancelled", whole, dir.filePath("cancelled.pdf"), [](int page) { return page < 3; }, "cancelled"},
        {"unread", unread, dir.filePath("unread.pdf"), {}, "disk I/O error"},
    };
    for (const auto &row : rows) {
        QString error;
        EXPECT_FALSE(report::writePdf(row.document, row.path, &error, row.progress)) << row.what;
        EXPECT_TRUE(!error.isEmpty() && error.contains(QLatin1String(row.reason))) << row.what << ": " << error.toStdString();
        EXPECT_FALSE(QFile::exists(row.path)) << row.what;
    }
}

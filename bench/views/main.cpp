// views-bench: the logins and the three views of a large journal, through the real windows
// (offscreen): the administrator's and a cashier's login (the cashier's while the check the
// administrator's login starts may still run), the administrator's journal page ("PREGLED
// TABELE PROMETA", "OTVORI TABELU") until its grid has painted its first screen, and then
// until it has painted the last one; the cashier's
// review window from showing (all his postings, then the last 30 days on activation) until
// its grid has painted; and the report page's "PRIKAZI PROMET KASE" over every posting until
// the preview's first page is ready. After each, the process's peak memory (ru_maxrss).
//
// Usage: views-bench [POSTINGS] [DIR]   (defaults 1000000 and a temporary directory)
// A DIR that already holds a journal (made by journal-fill or by an earlier run) is reused
// as it is, so repeated runs skip the filling; it is only read.
// Exit code 0 when every view is under 1 s and the peak memory under 300 MB, 2 when not.
#include "BenchArguments.h"
#include "BenchDesk.h"

#include "DBGrid.h"
#include "TableModel.h"
#include "Unit2.h"

#include "testsupport/JournalFiller.h"
#include "report/Document.h"
#include "report/PreviewWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

long peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Paints the grid now, as the screen would: the rows it shows are read from the model.
void paint(QTableView *grid)
{
    QApplication::processEvents();
    grid->viewport()->grab();
}

struct Figure
{
    const char *what;
    qint64 ms;
    long peak;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int postings = bench::countArgument(bench::argument(argc, argv, 1), 1000000, "POSTINGS");
    QTemporaryDir temporary;
    const QString dir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();
    if (!QFileInfo::exists(dir + QStringLiteral("/podaci/promet.db"))) {
        QDir().mkpath(dir);
        QElapsedTimer fill;
        fill.start();
        testsupport::FillOptions options;
        options.directory = dir;
        options.postings = postings;
        if (const QString error = testsupport::JournalFiller::fill(options); !error.isEmpty()) {
            std::fprintf(stderr, "fill: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("journal: %d postings filled in %lld ms\n", postings, fill.elapsed());
    } else {
        std::printf("journal: reusing %s\n", qPrintable(dir));
    }
    QDir::setCurrent(dir);

    bench::Desk desk;
    TForm1 &form = desk.form;
    TForm2 review(desk.session, desk.dialogs, desk.clock, desk.settings);
    form.setReviewWindow(&review);
    form.show();
    std::printf("memory before the first view: %ld MiB\n", peakMiB());
    QList<Figure> figures;
    QElapsedTimer t;
    bool failed = false;

    // The administrator's login (the tables opened, the balances refreshed), then the journal
    // page.
    t.start();
    if (!desk.logIn(QStringLiteral("12345"), PageMenu))
        return 1;
    figures.append({"login: administrator, to the menu", t.elapsed(), peakMiB()});
    form.BitBtn13Click();
    QTableView *journal = form.findChild<QTableView *>(QStringLiteral("DBGrid4"));
    t.restart();
    form.BitBtn14Click();
    paint(journal);
    figures.append({"journal page: open the table, first screen", t.elapsed(), peakMiB()});
    const int journalRows = journal->model()->rowCount();
    t.restart();
    journal->scrollToBottom();
    paint(journal);
    figures.append({"journal page: scroll to the last screen", t.elapsed(), peakMiB()});
    if (journalRows != postings) {
        std::printf("journal grid shows %d rows, not %d\n", journalRows, postings);
        failed = true;
    }
    form.BitBtn15Click(); // ZATVORI TABELU
    form.BitBtn10Click(); // back to the menu

    // The report page over every posting.
    form.BitBtn5Click();
    int pages = 0;
    form.setReportPreview([&](report::Document &document) {
        report::PreviewWindow preview(document);
        preview.show();
        QApplication::processEvents();
        pages = preview.pageCount();
        failed = failed || preview.currentImage().isNull();
    });
    t.restart();
    form.BitBtn17Click();
    figures.append({"report page: every posting, first preview page", t.elapsed(), peakMiB()});
    std::printf("report: %d pages\n", pages);
    if (pages == 0)
        failed = true;
    form.Glavnimeni1Click(); // log out

    // The first cashier's login (the posting page with the desk's balances), then his review
    // window.
    t.restart();
    if (!desk.logIn(testsupport::JournalFiller::cashierCode(0), PagePosting))
        return 1;
    figures.append({"login: cashier, posting page with balances", t.elapsed(), peakMiB()});
    auto *reviewGrid = review.DBGrid1;
    t.restart();
    form.BitBtn18Click();
    review.FormActivate(); // activation follows showing (the offscreen screen may not send it)
    paint(reviewGrid);
    figures.append({"review window: show, last 30 days", t.elapsed(), peakMiB()});
    std::printf("review: %d rows in the last 30 days\n", reviewGrid->model()->rowCount());
    t.restart();
    review.FormShow(); // every posting of the cashier
    paint(reviewGrid);
    figures.append({"review window: every posting of the cashier", t.elapsed(), peakMiB()});
    std::printf("review: %d rows in all\n", reviewGrid->model()->rowCount());
    t.restart();
    reviewGrid->scrollToBottom();
    paint(reviewGrid);
    figures.append({"review window: scroll to the last screen", t.elapsed(), peakMiB()});

    std::printf("\n%-52s %8s %10s\n", "view (target < 1000 ms)", "ms", "peak MiB");
    bool ok = !failed;
    for (const Figure &f : figures) {
        std::printf("%-52s %8lld %10ld\n", f.what, f.ms, f.peak);
        ok = ok && f.ms < 1000;
    }
    const long peak = peakMiB();
    ok = ok && peak < 300;
    std::printf("peak memory of the process (ru_maxrss): %ld MiB (target < 300 MiB)\n", peak);
    std::printf("targets: %s\n", ok ? "met" : "MISSED");
    return ok ? 0 : 2;
}

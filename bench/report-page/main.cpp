// report-page-bench: the report page's "PRIKAZI PROMET KASE" on a large journal, through the
// real window: the statement built by the page runs through the engine's query, the report
// reads it through the query data source, and the preview window lays out its first page.
// Measured: the press until the preview is asked for (the statement run, which reads the
// whole result), the preview window until its first page is ready (the target), the two
// together, the whole report written as PDF, and the process's peak memory (ru_maxrss).
//
// Two presses: every posting of the journal (the largest report), and a typical narrow one
// (the last year, one group, a keyword), for which the PDF is not written.
//
// Usage: report-page-bench [POSTINGS] [PDF PATH]   (defaults 100000 and a temporary file)
// Exit code 0 when the targets are met (first page < 1 s, whole PDF < 30 s), 2 when not.
#include "BenchArguments.h"
#include "testsupport/JournalFiller.h"

#include "BenchDesk.h"

#include "engine/Session.h"
#include "testsupport/FixedClock.h"
#include "testsupport/ScriptedDialogs.h"
#include "platform/SystemSettings.h"
#include "report/Document.h"
#include "report/Output.h"
#include "report/PreviewWindow.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Run
{
    qint64 statementMs = -1; // press until the preview is asked for
    qint64 firstPageMs = -1; // preview window until its first page is shown
    qint64 pressToFirstMs = -1;
    qint64 pdfMs = -1;
    qint64 pdfBytes = 0;
    int records = 0;
    int pages = 0;
    QString error;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int postings = bench::countArgument(bench::argument(argc, argv, 1), 100000, "POSTINGS");
    QTemporaryDir dir;
    const QString pdfPath =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("report.pdf"));

    QElapsedTimer fillTimer;
    fillTimer.start();
    testsupport::FillOptions options;
    options.directory = dir.path();
    options.postings = postings;
    if (const QString error = testsupport::JournalFiller::fill(options); !error.isEmpty()) {
        std::fprintf(stderr, "fill: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("journal: %d postings, filled in %lld ms\n", postings, fillTimer.elapsed());
    QDir::setCurrent(dir.path());

    bench::Desk desk;
    platform::ScriptedDialogs &dialogs = desk.dialogs;
    TForm1 &form = desk.form;
    form.show();
    form.Edit1->setText(QStringLiteral("12345"));
    form.BitBtn9Click();
    form.BitBtn5Click();
    if (form.pageIndex() != PageReport || !dialogs.messages().isEmpty()) {
        std::fprintf(stderr, "could not reach the report page: %s\n",
                     qPrintable(dialogs.messages().join(QStringLiteral("; "))));
        return 1;
    }
    std::printf("memory before the first press: %ld KiB\n", peakKiB());

    QElapsedTimer press;
    bool writeWholePdf = true;
    Run run;
    form.setReportPreview([&](report::Document &document) {
        run.statementMs = press.elapsed();
        run.records = document.recordCount();
        QElapsedTimer t;
        t.start();
        report::PreviewWindow preview(document);
        preview.show();
        app.processEvents();
        run.firstPageMs = t.elapsed();
        run.pressToFirstMs = press.elapsed();
        run.pages = preview.pageCount();
        if (preview.currentImage().isNull())
            run.error = QStringLiteral("the preview shows no page");
        if (writeWholePdf) {
            t.restart();
            QString error;
            if (!report::writePdf(document, pdfPath, &error))
                run.error = error;
            run.pdfMs = t.elapsed();
            run.pdfBytes = QFileInfo(pdfPath).size();
        }
    });
    auto report = [&](const char *title) {
        std::printf("\n%s\n  statement: %s\n", title, qPrintable(form.reportStatement()));
        if (!run.error.isEmpty() || run.firstPageMs < 0) {
            std::printf("  FAILED: %s %s\n", qPrintable(run.error),
                        qPrintable(dialogs.messages().join(QStringLiteral("; "))));
            return;
        }
        std::printf("  records: %d, pages: %d\n", run.records, run.pages);
        std::printf("  statement run (press until preview):  %6lld ms\n", run.statementMs);
        std::printf("  first preview page ready:             %6lld ms   (target < 1000 ms)\n",
                    run.firstPageMs);
        std::printf("  press until the first page is shown:  %6lld ms\n", run.pressToFirstMs);
        if (run.pdfMs >= 0)
            std::printf("  whole report as PDF:                  %6lld ms   (target < 30000 ms), "
                        "%lld bytes\n",
                        run.pdfMs, run.pdfBytes);
        std::printf("  peak memory so far (ru_maxrss):       %6ld KiB\n", peakKiB());
    };

    // Every posting.
    press.start();
    form.BitBtn17Click();
    report("every posting");
    const Run all = run;

    // The last year, one group, a keyword.
    run = Run();
    writeWholePdf = false;
    // The report page's controls, found by name as every control of the window.
    form.findChild<QRadioButton *>(QStringLiteral("RadioButton7"))->setChecked(true);
    form.findChild<QDateEdit *>(QStringLiteral("DateTimePicker1"))->setDate(QDate(2025, 12, 8));
    form.findChild<QDateEdit *>(QStringLiteral("DateTimePicker2"))->setDate(QDate(2026, 12, 7));
    form.findChild<QRadioButton *>(QStringLiteral("RadioButton14"))->setChecked(true);
    form.findChild<QLineEdit *>(QStringLiteral("Edit13"))->setText(QStringLiteral("Racuni"));
    form.findChild<QRadioButton *>(QStringLiteral("RadioButton6"))->setChecked(true);
    form.findChild<QLineEdit *>(QStringLiteral("Edit10"))->setText(QStringLiteral("struju"));
    press.restart();
    form.BitBtn17Click();
    report("last year, group Racuni, keyword struju");

    const bool ok = all.error.isEmpty() && all.firstPageMs >= 0 && all.firstPageMs < 1000 &&
                    all.pdfMs >= 0 && all.pdfMs < 30000;
    std::printf("\ntargets (first page < 1 s, whole PDF < 30 s): %s\n", ok ? "met" : "MISSED");
    return ok ? 0 : 2;
}

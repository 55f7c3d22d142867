// Times the turnover report over a large in-memory journal: how long until the preview
// shows its first page, and how long writing the whole report as PDF takes, with the
// process's peak memory. Usage: report_bench [records] [pdf path]
// Run with QT_QPA_PLATFORM=offscreen on a machine without a display.
#include "BenchArguments.h"

#include "report/Document.h"
#include "report/MemoryDataSource.h"
#include "report/Output.h"
#include "report/PreviewWindow.h"
#include "report/TurnoverReport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/resource.h>

#include <cstdio>

namespace {

std::shared_ptr<report::MemoryDataSource> makeJournal(int records)
{
    auto data = std::make_shared<report::MemoryDataSource>(
        QStringList{"DATUM", "VREME", "KORISNIK", "OPIS", "ULAZDIN", "IZLAZDIN", "ULAZEUR",
                    "IZLAZEUR", "GRUPA"});
    data->reserve(records);
    const QStringList cashiers{"Petar Petrovic", "Marija Jovanovic", "Jovan Nikolic"};
    const QStringList texts{
        "Racun za gorivo", "Uplata pazara",
        "Isplata dnevnice za sluzbeni put u Novi Sad i nazad, sa prenocistem i troskovima "
        "parkiranja na aerodromu, racun broj 2026-0012345 od dobavljaca",
        "Kancelarijski materijal"};
    const QDate start(2020, 1, 1);
    for (int i = 0; i < records; ++i) {
        const QString amount =
            QString::number(1 + (i * 7919) % 90000) + "." + QString::number(10 + i % 90);
        const bool in = i % 3 != 0;
        const bool eur = i % 5 == 0;
        data->append({start.addDays(i / 50).toString("dd/MM/yyyy"),
                      QTime(8, 0).addSecs((i % 50) * 600).toString("HH:mm:ss"),
                      cashiers[i % cashiers.size()], texts[i % texts.size()],
                      in && !eur ? amount : "0.00", !in && !eur ? amount : "0.00",
                      in && eur ? amount : "0.00", !in && eur ? amount : "0.00", "Gorivo"});
    }
    return data;
}

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int records = bench::countArgument(bench::argument(argc, argv, 1), 100000, "RECORDS");
    const QString pdfPath =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::temp().filePath("report_bench.pdf");

    auto data = makeJournal(records);
    std::printf("records: %d, memory after building the journal: %ld KiB\n", records, peakKiB());

    QElapsedTimer timer;
    timer.start();
    report::Report definition = report::turnoverReport();
    definition.setText(report::TitleLine1, "Promet dorvante od pocetka pracenja prometa");
    definition.setText(report::TitleLine2, "Za sve dorvantike");
    report::Document document(definition, data);
    report::PreviewWindow preview(document);
    preview.show();
    app.processEvents();
    const qint64 firstPageMs = timer.elapsed();
    std::printf("first preview page ready: %lld ms (%d pages)\n", firstPageMs, preview.pageCount());

    timer.restart();
    preview.showLastPage();
    std::printf("last preview page (with the sums): %lld ms\n", timer.elapsed());

    timer.restart();
    QString error;
    if (!report::writePdf(document, pdfPath, &error)) {
        std::printf("PDF failed: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 pdfMs = timer.elapsed();
    std::printf("whole PDF written: %lld ms, %lld bytes, %s\n", pdfMs, QFileInfo(pdfPath).size(),
                qPrintable(pdfPath));
    std::printf("peak memory (ru_maxrss): %ld KiB\n", peakKiB());
    const bool ok = firstPageMs < 1000 && pdfMs < 30000;
    std::printf("targets (first page < 1 s, PDF < 30 s): %s\n", ok ? "met" : "MISSED");
    return ok ? 0 : 2;
}

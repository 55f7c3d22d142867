// posting-bench: one posting on a large journal (record, balance refresh, journal export),
// and the journal export alone beside the sqlite3 command writing the same eleven columns
// of the same journal to a file.
//
// Usage: posting-bench [POSTINGS] [RUNS]   (defaults 100000 and 5)
// Prints the median of RUNS for each measurement, in milliseconds.
#include "BenchArguments.h"
#include "desk/DeskTables.h"
#include "testsupport/JournalFiller.h"

#include "JournalExport.h"
#include "BenchDesk.h"

#include "engine/Table.h"

#include "engine/Session.h"
#include "testsupport/FixedClock.h"
#include "testsupport/ScriptedDialogs.h"
#include "platform/SystemSettings.h"
#include "platform/TextFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F> double timeMs(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int postings = bench::countArgument(bench::argument(argc, argv, 1), 100000, "POSTINGS");
    const int runs = bench::countArgument(bench::argument(argc, argv, 2), 5, "RUNS");

    QTemporaryDir dir;
    testsupport::FillOptions options;
    options.directory = dir.path();
    options.postings = postings;
    if (const QString error = testsupport::JournalFiller::fill(options); !error.isEmpty()) {
        std::fprintf(stderr, "fill: %s\n", qPrintable(error));
        return 1;
    }
    QDir::setCurrent(dir.path());
    platform::saveLines(dir.filePath(QStringLiteral("podaci/ftpop.txt")), {QStringLiteral("0")});

    bench::Desk desk;
    engine::Session &session = desk.session;
    platform::ScriptedDialogs &dialogs = desk.dialogs;
    TForm1 &form = desk.form;
    if (!desk.logIn(QStringLiteral("101"), PagePosting))
        return 1;

    std::vector<double> posting, exportOnly, sqlite, buildOnly, walkOnly;
    for (int i = 0; i < runs; ++i) {
        form.Edit4->setText(QStringLiteral("150"));
        form.Edit5->setText(QStringLiteral("Kupovina kafe"));
        form.Edit12->setText(QStringLiteral("Potrosni materijal"));
        dialogs.answerYes();
        posting.push_back(timeMs([&] { form.BitBtn8Click(); }));
        exportOnly.push_back(timeMs([&] { form.exportJournal(); }));
        {
            session.setPassword(desk::tablePassword());
            engine::Table journal(session, QStringLiteral("podaci/promet.db"));
            journal.open();
            buildOnly.push_back(timeMs([&] {
                journal_export::buildFile(journal, session.dateFormat(), "07/12/2026", "0.00",
                                          "0.00");
            }));
            walkOnly.push_back(timeMs([&] {
                qsizetype n = 0;
                for (journal.first(); !journal.eof(); journal.next())
                    for (int f = 0; f < 11; ++f)
                        n += journal.fieldText(f).size();
                if (n == 0)
                    std::printf("?");
            }));
            journal.close();
            session.close();
        }
        sqlite.push_back(timeMs([&] {
            QProcess p;
            p.setStandardOutputFile(dir.filePath(QStringLiteral("sqlite.txt")));
            p.start(QStringLiteral("sqlite3"),
                    {dir.filePath(QStringLiteral("podaci/promet.db")),
                     QStringLiteral("select KORISNIK, DATUM, VREME, STANJEDIN, STANJEEUR, "
                                    "IZLAZDIN, IZLAZEUR, ULAZDIN, ULAZEUR, GRUPA, OPIS from "
                                    "promet")});
            p.waitForFinished(-1);
        }));
    }
    if (!dialogs.messages().isEmpty()) {
        std::fprintf(stderr, "unexpected messages: %s\n",
                     qPrintable(dialogs.messages().join("; ")));
        return 1;
    }
    const double post = median(posting), exp = median(exportOnly), sq = median(sqlite);
    std::printf("journal records:            %d\n", postings + runs);
    std::printf("posting (record+refresh+export): %8.1f ms   (target < 400 ms)\n", post);
    std::printf("export alone:                    %8.1f ms\n", exp);
    std::printf("sqlite3 writing the same columns: %7.1f ms\n", sq);
    std::printf("text building, own table:        %8.1f ms\n", median(buildOnly));
    std::printf("walk reading 11 fields as text:  %8.1f ms\n", median(walkOnly));
    std::printf("export / sqlite3:                %8.2f     (target <= 1.5)\n", exp / sq);
    return 0;
}

// engine-bench [DIR] [--postings N] [--runs N] [--only PREFIX]
// Times the table engine on a journal of N postings (default 100000): walking the whole journal
// reading all eleven fields as text, the balance sums, a report statement, and opening a table
// (with its password check). Without DIR the journal is made in a temporary directory with
// journal-fill's generator; with DIR the existing DIR/podaci/promet.db is used as it is.
// Every figure is the best and the median of several runs, in milliseconds, with the median
// CPU time beside it. --only runs just the measurements whose name starts with PREFIX.

#include "BenchArguments.h"
#include "desk/DeskTables.h"
#include "testsupport/JournalFiller.h"

#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/Table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <time.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

QTextStream out(stdout);
QString only;

double cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Wall-clock and CPU times: on a busy machine the CPU time shows what the code costs.
void report(const char *what, int runs, const std::function<void()> &action, double target = 0)
{
    if (!only.isEmpty() && !QString::fromLatin1(what).startsWith(only))
        return;
    std::vector<double> times;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        const double cpuStart = cpuMilliseconds();
        timer.start();
        action();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMilliseconds() - cpuStart);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    out << qSetFieldWidth(44) << Qt::left << what << qSetFieldWidth(0) << " best "
        << QString::number(times.front(), 'f', 3) << " ms, median "
        << QString::number(times[times.size() / 2], 'f', 3) << " ms, median CPU "
        << QString::number(cpu[cpu.size() / 2], 'f', 3) << " ms";
    if (target > 0)
        out << (times[times.size() / 2] < target ? "  (target " : "  (MISSED target ") << target
            << " ms)";
    out << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString directory;
    int postings = 100000;
    int runs = 7;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--postings") && i + 1 < args.size())
            postings = bench::countArgument(args[++i], postings, "--postings");
        else if (args[i] == QLatin1String("--only") && i + 1 < args.size())
            only = args[++i];
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = bench::countArgument(args[++i], runs, "--runs");
        else
            directory = args[i];
    }

    QTemporaryDir temp;
    if (directory.isEmpty()) {
        directory = temp.path();
        testsupport::FillOptions options;
        options.directory = directory;
        options.postings = postings;
        QElapsedTimer timer;
        timer.start();
        const QString error = testsupport::JournalFiller::fill(options);
        if (!error.isEmpty()) {
            QTextStream(stderr) << "engine-bench: " << error << Qt::endl;
            return 1;
        }
        out << "Filled " << postings << " postings in " << timer.elapsed() << " ms" << Qt::endl;
    }

    engine::Session session;
    session.setBaseDir(directory);
    session.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    try {
        session.setPassword(desk::tablePassword());
        engine::Table journal(session, QStringLiteral("podaci/promet.db"));
        const QStringList fields = {"KORISNIK", "DATUM",    "VREME",   "OPIS",
                                    "GRUPA",    "ULAZDIN",  "IZLAZDIN", "ULAZEUR",
                                    "IZLAZEUR", "STANJEDIN", "STANJEEUR"};
        journal.open();
        out << "Journal: " << journal.recordCount() << " postings" << Qt::endl;
        journal.close();

        qint64 characters = 0;
        report("walk, all 11 fields by name (open+walk)", runs, [&] {
            journal.open();
            for (journal.first(); !journal.eof(); journal.next())
                for (const QString &f : fields)
                    characters += journal.fieldText(f).size();
            journal.close();
        }, 150);
        report("open+close the journal", runs, [&] {
            journal.open();
            journal.close();
        });
        engine::Query query(session);
        const QString balance = QStringLiteral(
            "select sum(izlazeur), sum(izlazdin), sum(ulazeur), sum(ulazdin) from podaci\\promet.db");
        engine::Money euros;
        report("balance sum query (parse+open+read)", runs, [&] {
            query.sql().clear();
            query.close();
            query.sql().append(balance);
            query.open();
            euros = query.columnMoney(2) - query.columnMoney(0);
        }, 20);
        if (only.isEmpty() || only.startsWith(QLatin1String("balance")))
            out << "  euro balance " << euros.toText() << Qt::endl;
        int rows = 0;
        report("report statement (period, group, keyword)", runs, [&] {
            query.sql().clear();
            query.close();
            query.sql().append(QStringLiteral(
                "select * from podaci\\promet.db where (datum between '01/01/2024' and "
                "'12/31/2024') and (grupa = 'Gorivo') and upper(opis) like upper('%goriv%')"));
            query.open();
            rows = query.recordCount();
        });
        if (only.isEmpty() || only.startsWith(QLatin1String("report")))
            out << "  report rows " << rows << Qt::endl;
        engine::Table users(session, QStringLiteral("podaci\\korisnici.db"));
        report("1000 x open+close korisnici.db", runs, [&] {
            for (int i = 0; i < 1000; ++i) {
                users.open();
                users.close();
            }
        });
        session.close();
        if (characters == 0 && (only.isEmpty() || only.startsWith(QLatin1String("walk"))))
            out << "(nothing read)" << Qt::endl;
    } catch (const engine::EngineError &e) {
        QTextStream(stderr) << "engine-bench: " << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}

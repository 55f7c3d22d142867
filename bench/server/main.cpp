// server-bench: one posting through the window on a large journal, in the local table file and
// on the PostgreSQL server (the same journal imported), and postings per second with four desks
// posting at once to one journal, on each store. Without a URI it starts a cluster of its own
// (as the engine tests do); the server's tables are dropped first.
//
// Usage: server-bench [POSTINGS] [RUNS] [URI]   (defaults 100000, 5, a cluster of its own)
// Prints the median of RUNS postings after the first (which builds the export's cache), in
// milliseconds, and the bytes each received from the server.
#include "BenchDesk.h"

#include "desk/CashBook.h"
#include "desk/DeskTables.h"
#include "engine/EngineError.h"
#include "engine/ServerTable.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableStores.h"
#include "platform/SystemSettings.h"
#include "platform/TextFiles.h"
#include "testsupport/FixedClock.h"
#include "testsupport/JournalFiller.h"
#include "testsupport/PgCluster.h"
#include "testsupport/ScriptedDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Postings
{
    double firstMs = 0;      // the first posting, which builds the export's cache
    double medianMs = 0;     // the postings after it
    qint64 firstBytes = 0;   // bytes received from the server during the first posting
    qint64 medianBytes = 0;  // ... during each of the others (median)
};

// RUNS + 1 postings through the window of the desk in `dir`: the first on its own, the median
// of the others.
Postings post(const QString &dir, int runs)
{
    QDir::setCurrent(dir);
    bench::Desk desk;
    platform::ScriptedDialogs &dialogs = desk.dialogs;
    TForm1 &form = desk.form;
    if (!desk.logIn(QStringLiteral("101"), PagePosting))
        std::exit(1);
    std::vector<double> times, bytes;
    for (int i = 0; i <= runs; ++i) {
        form.posting().Edit4->setText(QStringLiteral("150"));
        form.posting().Edit5->setText(QStringLiteral("Kupovina kafe"));
        form.posting().Edit12->setText(QStringLiteral("Potrosni materijal"));
        dialogs.answerYes();
        const qint64 received = engine::serverBytesReceived();
        QElapsedTimer t;
        t.start();
        form.BitBtn8Click();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
        bytes.push_back(double(engine::serverBytesReceived() - received));
    }
    if (!dialogs.messages().isEmpty()) {
        std::fprintf(stderr, "unexpected messages: %s\n", qPrintable(dialogs.messages().join("; ")));
        std::exit(1);
    }
    Postings out;
    out.firstMs = times.front();
    out.firstBytes = qint64(bytes.front());
    out.medianMs = median({times.begin() + 1, times.end()});
    out.medianBytes = qint64(median({bytes.begin() + 1, bytes.end()}));
    return out;
}

// Postings per second of four desks posting 250 times each at once to the journal of `dir`.
double desksPerSecond(const QString &dir)
{
    constexpr int desks = 4, each = 250;
    QElapsedTimer t;
    t.start();
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int d = 0; d < desks; ++d) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QStringLiteral(POSTING_DESK),
                                {dir, QString::number(each), QString::number(d)});
    }
    for (auto &p : processes) {
        p->waitForFinished(-1);
        if (p->exitCode() != 0) {
            std::fprintf(stderr, "desk failed: %s\n", p->readAllStandardError().constData());
            std::exit(1);
        }
    }
    return desks * each / (double(t.nsecsElapsed()) / 1e9);
}

// A desk's login as the login page makes it: on the server through the server's function,
// which checks the code there. The median of `runs` logins, in milliseconds; negative when the
// code is refused.
double loginMs(const QString &dir, int runs)
{
    engine::Session session;
    session.setBaseDir(dir);
    session.setPassword(desk::tablePassword());
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const std::optional<QString> name = desk::loginName(session, QStringLiteral("101"));
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!name)
            return -1;
    }
    session.close();
    return median(times);
}

bool writeUri(const QString &dir, const QString &uri)
{
    QFile file(dir + QStringLiteral("/podaci/baza.txt"));
    return file.open(QIODevice::WriteOnly) && file.write(uri.toUtf8() + '\n') > 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    desk::placeTablesOnServer();
    const int postings = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    QString uri = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    if (uri.isEmpty()) {
        PgCluster &cluster = PgCluster::shared();
        if (!cluster.ok()) {
            std::fprintf(stderr, "cluster: %s\n", qPrintable(cluster.error()));
            return 1;
        }
        uri = cluster.uri();
        cluster.reset();
    }

    QTemporaryDir local, desk, desks;
    testsupport::FillOptions options;
    options.directory = local.path();
    options.postings = postings;
    if (const QString error = testsupport::JournalFiller::fill(options); !error.isEmpty()) {
        std::fprintf(stderr, "fill: %s\n", qPrintable(error));
        return 1;
    }
    platform::saveLines(local.filePath(QStringLiteral("podaci/ftpop.txt")), {QStringLiteral("0")});
    QStringList files;
    for (const char *name : {"korisnici", "aktivnost", "grupe", "promet"})
        files << local.filePath(QStringLiteral("podaci/%1.db").arg(QLatin1String(name)));
    QElapsedTimer importTime;
    importTime.start();
    try {
        engine::importTablesToServer(uri, files);
    } catch (const engine::EngineError &e) {
        std::fprintf(stderr, "import: %s\n", qPrintable(e.message()));
        return 1;
    }
    const double importMs = double(importTime.nsecsElapsed()) / 1e6;
    QDir().mkpath(desk.filePath(QStringLiteral("podaci")));
    platform::saveLines(desk.filePath(QStringLiteral("podaci/ftpop.txt")), {QStringLiteral("0")});
    if (!writeUri(desk.path(), uri))
        return 1;

    const Postings file = post(local.path(), runs);
    const Postings server = post(desk.path(), runs);
    const double loginFile = loginMs(local.path(), 20 * runs);
    const double loginServer = loginMs(desk.path(), 20 * runs);

    // Four desks on an empty journal of each store.
    auto emptyJournal = [&](const QString &dir) {
        const QString journal = dir + QStringLiteral("/podaci/promet.db");
        engine::removeTable(journal);
        desk::promet().createTable(journal, desk::tablePassword());
        // The desks number their postings: the cash book's tables beside the journal.
        if (QString error; !desk::cashbook::prepareDirectory(dir, desk::tablePassword(), &error))
            std::fprintf(stderr, "cash book: %s\n", qPrintable(error));
        // The numbers and links of the large journal go with it: a new journal on the server
        // starts its ids again, and its first postings would otherwise clear a million of them
        // (a table file goes whole, with them).
        engine::Session session;
        session.setBaseDir(dir);
        session.setPassword(desk::tablePassword());
        engine::Table table(session, QStringLiteral("podaci/promet.db"));
        try {
            table.open();
            // TRUNCATE, not DELETE, so that no million dead rows slow the desks' look-ups.
            if (engine::serverUriFor(table.filePath()))
                table.runBeside(QStringLiteral(
                    "TRUNCATE dorvanta_dokument, dorvanta_lanac, dorvanta_dnevnik"));
        } catch (const engine::EngineError &e) {
            std::fprintf(stderr, "side tables: %s\n", qPrintable(e.message()));
        }
        session.close();
    };
    QDir().mkpath(desks.filePath(QStringLiteral("podaci")));
    emptyJournal(desks.path());
    const double filePerSecond = desksPerSecond(desks.path());
    emptyJournal(desk.path());
    const double serverPerSecond = desksPerSecond(desk.path());

    std::printf("journal records:                     %d\n", postings);
    std::printf("import to the server:                %8.1f ms\n", importMs);
    std::printf("posting, table file (record+refresh+export): %8.1f ms (first, building the "
                "export's cache: %.1f ms)\n",
                file.medianMs, file.firstMs);
    std::printf("posting, server     (record+refresh+export): %8.1f ms (first: %.1f ms)"
                "   (target < 500 ms)\n",
                server.medianMs, server.firstMs);
    std::printf("a desk's login, table file:          %8.2f ms\n", loginFile);
    std::printf("a desk's login, server's function:   %8.2f ms   (target < 5 ms)\n", loginServer);
    std::printf("bytes from the server per posting:   %8lld (first: %lld)\n",
                server.medianBytes, server.firstBytes);
    std::printf("four desks at once, table file:      %8.0f postings/s\n", filePerSecond);
    std::printf("four desks at once, server:          %8.0f postings/s\n", serverPerSecond);
    return 0;
}

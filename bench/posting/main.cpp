// posting-bench: one posting through the window on a large journal (record, balances, the
// export through the cache of its body), beside its floor (writing and syncing a file of the
// export's size in the same folder) and beside the same posting on a small journal; the
// export made from the whole journal without the cache (what every posting paid before the
// cache); the program's peak memory.
//
// Usage: posting-bench [POSTINGS] [RUNS] [--dir DIR] [--small N]
//   POSTINGS (default 100000): a journal of that many records is made in a temporary folder,
//            unless --dir names a data directory to post to (made by journal-fill DIR COUNT;
//            it keeps the postings).
//   RUNS (default 5): the median of RUNS is printed for each measurement, in milliseconds.
//   --small N (default 20000): the size of the small journal; 0 leaves it out.
// The first posting on a journal builds the cache (its time is printed on its own); the
// postings measured after it use it.
#include "BenchArguments.h"
#include "desk/DeskTables.h"
#include "testsupport/JournalFiller.h"

#include "ExportCache.h"
#include "JournalExport.h"
#include "BenchDesk.h"

#include "engine/Table.h"

#include "engine/Session.h"
#include "platform/AtomicFile.h"
#include "platform/TextFiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

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

struct Postings
{
    double first = 0;  // the posting that built the cache
    double median = 0; // the postings after it
    double exportMedian = 0; // the export alone, through the cache, after each of them
    qint64 records = 0;
    qint64 exportBytes = 0;
};

// RUNS + 1 postings through the window of the desk in `dir` (the current directory then).
std::optional<Postings> post(const QString &dir, int runs)
{
    QDir::setCurrent(dir);
    bench::Desk desk;
    if (!desk.logIn(QStringLiteral("101"), PagePosting))
        return std::nullopt;
    std::vector<double> times, exports;
    for (int i = 0; i <= runs; ++i) {
        desk.form.posting().Edit4->setText(QStringLiteral("150"));
        desk.form.posting().Edit5->setText(QStringLiteral("Kupovina kafe"));
        desk.form.posting().Edit12->setText(QStringLiteral("Potrosni materijal"));
        desk.dialogs.answerYes();
        times.push_back(timeMs([&] { desk.form.BitBtn8Click(); }));
        exports.push_back(timeMs([&] { desk.form.exportJournal(); }));
    }
    if (!desk.dialogs.messages().isEmpty()) {
        std::fprintf(stderr, "unexpected messages: %s\n",
                     qPrintable(desk.dialogs.messages().join("; ")));
        return std::nullopt;
    }
    Postings out;
    out.first = times.front();
    out.median = median({times.begin() + 1, times.end()});
    out.exportMedian = median({exports.begin() + 1, exports.end()});
    out.exportBytes = QFileInfo(QDir(dir).filePath(QStringLiteral("podaci.txt"))).size();
    desk.session.setPassword(desk::tablePassword());
    engine::Table journal(desk.session, QStringLiteral("podaci/promet.db"));
    journal.open();
    out.records = journal.countThrough(std::numeric_limits<qint64>::max());
    journal.close();
    desk.session.close();
    return out;
}

// Writing `size` bytes to a new file in `dir` and syncing it, as the export's write does.
double floorMs(const QString &dir, qint64 size)
{
    const QByteArray piece(1 << 20, 'x');
    const QString path = QDir(dir).filePath(QStringLiteral("floor.tmp"));
    const double ms = timeMs([&] {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        for (qint64 left = size; left > 0;) {
            const qint64 n = std::min<qint64>(left, piece.size());
            if (::write(fd, piece.constData(), size_t(n)) != n)
                std::exit(1);
            left -= n;
        }
        ::fsync(fd);
        ::close(fd);
    });
    QFile::remove(path);
    return ms;
}

QString fill(const QString &dir, int postings)
{
    testsupport::FillOptions options;
    options.directory = dir;
    options.postings = postings;
    if (QString error = testsupport::JournalFiller::fill(options); !error.isEmpty())
        return error;
    const QString ftp = QDir(dir).filePath(QStringLiteral("podaci/ftpop.txt"));
    return platform::saveLines(ftp, {QStringLiteral("0")}) ? QString() : ftp + ": not written";
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList positional;
    QString given;
    int small = 20000;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--dir") && i + 1 < argc)
            given = QString::fromLocal8Bit(argv[++i]);
        else if (a == QLatin1String("--small") && i + 1 < argc)
            small = QString::fromLocal8Bit(argv[++i]).toInt();
        else
            positional << a;
    }
    const int postings = bench::countArgument(positional.value(0), 100000, "POSTINGS");
    const int runs = bench::countArgument(positional.value(1), 5, "RUNS");

    QTemporaryDir made, smallDir;
    const QString dir = given.isEmpty() ? made.path() : QDir(given).absolutePath();
    if (given.isEmpty()) {
        if (const QString error = fill(dir, postings); !error.isEmpty()) {
            std::fprintf(stderr, "fill: %s\n", qPrintable(error));
            return 1;
        }
    }
    std::optional<Postings> smallPostings;
    if (small > 0) {
        if (const QString error = fill(smallDir.path(), small); !error.isEmpty()) {
            std::fprintf(stderr, "fill: %s\n", qPrintable(error));
            return 1;
        }
        smallPostings = post(smallDir.path(), runs);
        if (!smallPostings)
            return 1;
    }
    const std::optional<Postings> large = post(dir, runs);
    if (!large)
        return 1;
    // The peak of the postings, before the whole-journal export below holds the whole file.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::vector<double> floors;
    for (int i = 0; i < runs; ++i)
        floors.push_back(floorMs(dir, large->exportBytes));
    const double floor = median(floors);

    // The export of the whole journal, as every posting wrote it before the cache.
    std::vector<double> full;
    {
        engine::Session session;
        session.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
        session.setPassword(desk::tablePassword());
        engine::Table journal(session, QStringLiteral("podaci/promet.db"));
        journal.open();
        for (int i = 0; i < runs; ++i)
            full.push_back(timeMs([&] {
                const QByteArray bytes = journal_export::buildFile(
                    journal, session.dateFormat(), "07/12/2026", "0.00", "0.00");
                platform::writeFileAtomically(QDir(dir).filePath(QStringLiteral("full.txt")), bytes);
            }));
        journal.close();
        session.close();
        QFile::remove(QDir(dir).filePath(QStringLiteral("full.txt")));
    }

    std::printf("journal records:                         %lld\n", large->records);
    std::printf("export size:                             %.1f MB\n", large->exportBytes / 1e6);
    std::printf("first posting (builds the cache):        %8.1f ms\n", large->first);
    std::printf("posting (record+balances+export):        %8.1f ms\n", large->median);
    std::printf("  of it the export alone (no new record): %8.1f ms\n", large->exportMedian);
    std::printf("floor: write+fsync of the export's size: %8.1f ms\n", floor);
    std::printf("posting / floor:                         %8.2f     (target <= 3)\n",
                large->median / floor);
    if (smallPostings) {
        std::printf("posting on %lld records:               %8.1f ms\n", smallPostings->records,
                    smallPostings->median);
        std::printf("floor + 4 x that posting:                %8.1f ms (target: posting <= it)\n",
                    floor + 4 * smallPostings->median);
    }
    std::printf("full export without the cache:           %8.1f ms\n", median(full));
    std::printf("peak memory of the postings:              %8.1f MB\n", usage.ru_maxrss / 1024.0);
    return 0;
}

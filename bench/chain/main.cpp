// chain-bench: what the journal's chain costs on large journals.
//
// Usage: chain-bench [VERIFY_RECORDS] [LOGIN_RECORDS] [RUNS]   (defaults 1000000, 100000, 3)
// Prints the median of RUNS, in milliseconds, of:
//   - verifying a journal of VERIFY_RECORDS records (what dorvanta-admin verify does);
//   - one posting on that journal through the posting operation (balances, record, number and
//     chain link), inside a transaction that is rolled back;
//   - the administrator's login through the real window on a journal of LOGIN_RECORDS
//     records: until the menu page is there (the check runs in the background), and until
//     the background check has answered.
#include "BenchArguments.h"
#include "BenchDesk.h"
#include "ChainCheck.h"

#include "desk/CashBook.h"
#include "desk/DeskTables.h"
#include "desk/JournalChain.h"
#include "desk/Posting.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "testsupport/JournalFiller.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
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

bool fill(const QString &dir, int records)
{
    testsupport::FillOptions options;
    options.directory = dir;
    options.postings = records;
    const QString error = testsupport::JournalFiller::fill(options);
    if (!error.isEmpty())
        std::fprintf(stderr, "journal-fill: %s\n", qPrintable(error));
    return error.isEmpty();
}

// One posting through the posting operation (balances, record, number and link) inside a
// transaction that is then rolled back, so the journal stays as it was for the next run.
double postingCost(const QString &dir)
{
    engine::Session session;
    session.setBaseDir(dir);
    session.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    session.setPassword(desk::tablePassword());
    engine::Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
    desk::Posting p;
    p.cashier = QStringLiteral("Bench");
    p.day = QDate(2026, 12, 7);
    p.time = QStringLiteral("10:00:00");
    p.direction = desk::Direction::Out;
    p.amount = engine::Money::fromHundredths(1000);
    journal.startTransaction();
    QElapsedTimer t;
    t.start();
    desk::writeRecord(journal, p, desk::amountsOf(p), desk::DocumentKind::Payment, {},
                      session.dateFormat());
    const double posted = double(t.nsecsElapsed()) / 1e6;
    journal.rollback();
    return posted;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int verifyRecords = bench::countArgument(bench::argument(argc, argv, 1), 1000000, "VERIFY_RECORDS");
    const int loginRecords = bench::countArgument(bench::argument(argc, argv, 2), 100000, "LOGIN_RECORDS");
    const int runs = bench::countArgument(bench::argument(argc, argv, 3), 3, "RUNS");

    QTemporaryDir big;
    if (!fill(big.path(), verifyRecords))
        return 1;
    std::vector<double> verify, posting;
    desk::chain::Verdict verdict;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        verdict = desk::chain::verifyDirectory(big.path(), desk::tablePassword());
        verify.push_back(double(t.nsecsElapsed()) / 1e6);
        posting.push_back(postingCost(big.path()));
    }
    std::printf("verify of %d records: %.1f ms (%s)\n", verifyRecords, median(verify),
                qPrintable(verdict.text().section(u'\n', 0, 0)));
    std::printf("posting on %d records (balances, record, number and link): %.2f ms\n",
                verifyRecords, median(posting));

    QTemporaryDir small;
    if (!fill(small.path(), loginRecords))
        return 1;
    QDir::setCurrent(small.path());
    std::vector<double> page, answered;
    for (int i = 0; i < runs; ++i) {
        bench::Desk desk;
        bool ok = false;
        QEventLoop wait;
        QObject::connect(desk.form.journalCheck(), &ChainCheck::done, &wait,
                         [&](bool verified, const QString &) {
                             ok = verified;
                             wait.quit();
                         });
        QElapsedTimer t;
        t.start();
        if (!desk.logIn(QStringLiteral("12345"), PageMenu))
            return 1;
        page.push_back(double(t.nsecsElapsed()) / 1e6);
        wait.exec();
        answered.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!ok) {
            std::fprintf(stderr, "the journal did not verify\n");
            return 1;
        }
    }
    std::printf("admin login on %d records: menu page after %.1f ms, check answered after %.1f ms\n",
                loginRecords, median(page), median(answered));
    return 0;
}

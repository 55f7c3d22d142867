// chain-bench: what the journal's chain costs on large journals.
//
// Usage: chain-bench [VERIFY_RECORDS] [LOGIN_RECORDS] [RUNS]   (defaults 1000000, 100000, 3)
// Prints the median of RUNS, in milliseconds, of:
//   - verifying a journal of VERIFY_RECORDS records (what dorvanta-admin verify does);
//   - linking one record inside a posting's transaction on that journal (what chaining adds
//     to a posting), beside giving it its number;
//   - the administrator's login through the real window on a journal of LOGIN_RECORDS
//     records: until the menu page is there (the check runs in the background), and until
//     the background check has answered.
#include "BenchArguments.h"
#include "BenchDesk.h"
#include "ChainCheck.h"

#include "desk/CashBook.h"
#include "desk/DeskTables.h"
#include "desk/JournalChain.h"
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

// One posting's record, number and link in one transaction, rolled back; the time of the
// number alone and of the link alone.
std::pair<double, double> postingCost(const QString &dir)
{
    engine::Session session;
    session.setBaseDir(dir);
    session.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    session.setPassword(desk::tablePassword());
    engine::Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
    journal.startTransaction();
    journal.insert();
    journal.setFieldText(QStringLiteral("KORISNIK"), QStringLiteral("Bench"));
    journal.setFieldText(QStringLiteral("DATUM"), QStringLiteral("07/12/2026"));
    journal.setFieldText(QStringLiteral("IZLAZDIN"), QStringLiteral("10.00"));
    journal.post();
    QElapsedTimer t;
    t.start();
    const QString number = desk::documentNumber(desk::DocumentKind::Payment, 2026, 999999);
    journal.runBeside(QStringLiteral("INSERT INTO dorvanta_dokument (ID, BROJ) VALUES (?1, ?2)"),
                      {journal.recordId(), number});
    const double numbered = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    desk::chain::chainRecord(journal, journal.recordId());
    const double linked = double(t.nsecsElapsed()) / 1e6;
    journal.rollback();
    return {numbered, linked};
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
    std::vector<double> verify, number, link;
    desk::chain::Verdict verdict;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        verdict = desk::chain::verifyDirectory(big.path(), desk::tablePassword());
        verify.push_back(double(t.nsecsElapsed()) / 1e6);
        const auto [n, l] = postingCost(big.path());
        number.push_back(n);
        link.push_back(l);
    }
    std::printf("verify of %d records: %.1f ms (%s)\n", verifyRecords, median(verify),
                qPrintable(verdict.text().section(u'\n', 0, 0)));
    std::printf("posting on %d records: number %.2f ms, chain link %.2f ms\n", verifyRecords,
                median(number), median(link));

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

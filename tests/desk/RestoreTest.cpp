// A backup and its restore over both stores: the numbers printed on paper and the closed days
// come back, and a restore that changes a closed day is named.

#include "CashBookFixture.h"

#include "desk/DeskSettings.h"
#include "desk/JournalChain.h"
#include "desk/Rates.h"
#include "desk/Restore.h"
#include "engine/EngineError.h"
#include "engine/TableStores.h"

using engine::Money;
using engine::Table;
namespace cashbook = desk::cashbook;

namespace {

class RestoreTest : public CashBookFixture
{
};

INSTANTIATE_STORES(RestoreTest);

} // namespace

// A backup and its restore keep every record's number, the reversal it names and the closed
// days on both stores (on the server a restored record is a new record with a new id); the
// numbers the replaced journal gave after the backup are never given again.
TEST_P(RestoreTest, ABackupAndItsRestoreKeepTheNumbersPrintedOnPaper)
{
    cashbook::prepare(journal);
    const QString first = postNumbered(QStringLiteral("01/05/2026"), true);
    postNumbered(QStringLiteral("01/05/2026"), false);
    postNumbered(QStringLiteral("02/05/2026"), true);
    cashbook::reverse(journal, first, QStringLiteral("Ana"), QDate(2026, 5, 2),
                      QStringLiteral("09:00:00"), session.dateFormat());
    cashbook::closeDay(journal, QDate(2026, 5, 1), QStringLiteral("Admin"),
                       QDateTime(QDate(2026, 5, 2), QTime(20, 0)));
    const QStringList backedUp = numbers();
    ASSERT_EQ(backedUp, (QStringList{"U-2026-000001", "I-2026-000001", "U-2026-000002",
                                     "U-2026-000003"}));
    desk::settings::Shared shared;
    shared.limitDinars = Money::fromUnits(500);
    desk::settings::write(journal, shared, QStringLiteral("Admin"));
    const auto rate = [](int day, qint64 millionths) {
        return desk::rates::Rate{QDate(2026, 5, day), desk::rates::Euro, millionths, {},
                                 QStringLiteral("UNETO")};
    };
    desk::rates::store(journal, {rate(4, 117100000)}, QStringLiteral("Admin"), false);
    const QString name = QStringLiteral("bck-02-05-26-20-00-00.db");
    journal.close();
    cashbook::backupJournal(session, name);

    // What a restore of the backup (a table file) finds in it.
    session.setPassword(password());
    Table backup(session, QStringLiteral("podaci/") + name);
    backup.open();
    QStringList inBackup;
    for (const desk::BookEntry &e : cashbook::entries(backup))
        inBackup << e.number;
    EXPECT_EQ(inBackup, backedUp);
    EXPECT_EQ(cashbook::reversalOf(backup, first), QStringLiteral("U-2026-000003"));
    EXPECT_TRUE(cashbook::dayClose(backup, QDate(2026, 5, 1)).has_value());
    EXPECT_EQ(desk::settings::read(backup).limitDinars, Money::fromUnits(500));
    EXPECT_EQ(desk::rates::RateBook::load(backup).forDay(QDate(2026, 5, 4))->millionths, 117100000);
    session.close();

    // A posting and a new limit after the backup, then the restore as the backup page does
    // it: the settings and the rates are the journal's, not the backup's.
    session.setPassword(password());
    journal.open();
    EXPECT_EQ(postNumbered(QStringLiteral("02/05/2026"), true), QStringLiteral("U-2026-000004"));
    shared.limitDinars = Money::fromUnits(700);
    shared.blindCount = true;
    desk::settings::write(journal, shared, QStringLiteral("Admin"));
    // ... and rates typed and changed after it: the restore keeps the journal's.
    desk::rates::store(journal, {rate(4, 117200000), rate(5, 117300000)}, QStringLiteral("Admin"), true);
    session.close();
    const desk::restore::Outcome outcome = desk::restore::run(
        dir.path(), name, QStringLiteral("Admin"), QStringLiteral("bck-arhiva-1.db"), {});
    EXPECT_EQ(outcome.bookError, QString());
    EXPECT_EQ(outcome.archive, QStringLiteral("bck-arhiva-1.db"));
    session.setPassword(password());
    journal.open();
    EXPECT_EQ(numbers(), backedUp);
    EXPECT_EQ(cashbook::reversalOf(journal, first), QStringLiteral("U-2026-000003"));
    EXPECT_TRUE(cashbook::dayClose(journal, QDate(2026, 5, 1)).has_value());
    EXPECT_EQ(cashbook::prepare(journal), 0);
    EXPECT_EQ(postNumbered(QStringLiteral("02/05/2026"), true), QStringLiteral("U-2026-000005"));
    EXPECT_EQ(desk::settings::read(journal).limitDinars, Money::fromUnits(700));
    EXPECT_TRUE(desk::settings::read(journal).blindCount);
    const desk::rates::RateBook rates = desk::rates::RateBook::load(journal);
    EXPECT_EQ(rates.forDay(QDate(2026, 5, 4))->millionths, 117200000);
    EXPECT_EQ(rates.forDay(QDate(2026, 5, 5))->millionths, 117300000);
}

// A close leaves a backup that holds it. A restore of a backup older than a closed day names the
// day with its figures before and after, logs them, and from then on verification names the
// day; a restore of the close's backup makes the day whole again.
TEST_P(RestoreTest, AClosedDayIsBackedUpAndARestoreThatChangesItIsNamed)
{
    cashbook::prepare(journal);
    postNumbered(QStringLiteral("01/06/2026"), true, QStringLiteral("100.00"));
    journal.close();
    cashbook::backupJournal(session, QStringLiteral("bck-old.db"));
    session.setPassword(password());
    journal.open();
    postNumbered(QStringLiteral("02/06/2026"), true, QStringLiteral("50.00"));
    postNumbered(QStringLiteral("02/06/2026"), false, QStringLiteral("20.00"));
    journal.close();

    QString backupError;
    session.setPassword(password());
    const desk::DayClose close = cashbook::closeDayAndBackUp(
        session, QDate(2026, 6, 2), QStringLiteral("Admin"),
        QDateTime(QDate(2026, 6, 2), QTime(20, 0)), QStringLiteral("bck-close.db"), backupError);
    EXPECT_EQ(backupError, QString());
    EXPECT_EQ(close.dinars.closing().toText(), QStringLiteral("130.00"));
    {
        OpenTable backup(session, QStringLiteral("podaci/bck-close.db"));
        EXPECT_TRUE(cashbook::dayClose(backup, QDate(2026, 6, 2)).has_value());
        EXPECT_EQ(backup.recordCount(), 3);
    }
    session.close();

    const desk::restore::Preview same = desk::restore::preview(dir.path(), QStringLiteral("bck-close.db"));
    EXPECT_EQ(same.lost, 0);
    EXPECT_TRUE(same.closedDays.isEmpty());
    const desk::restore::Preview older = desk::restore::preview(dir.path(), QStringLiteral("bck-old.db"));
    EXPECT_EQ(older.lost, 2);
    ASSERT_EQ(older.closedDays.size(), 1);
    const QString line = QStringLiteral(
        "Dan 02/06/2026 je zakljucen sa stanjem 130.00 DIN, promet sada daje 100.00 DIN");
    EXPECT_EQ(older.closedDays.front().lines(), QStringList{line});
    // Only the backup that changes a closed day asks for the administrator's code.
    const struct
    {
        const desk::restore::Preview &preview;
        bool needsCode;
    } restores[] = {{same, false}, {older, true}};
    for (const auto &r : restores) {
        QString why;
        EXPECT_EQ(desk::restore::needsAdminCode(r.preview), r.needsCode);
        EXPECT_EQ(desk::restore::allowed(dir.path(), r.preview, QStringLiteral("not the code"), why),
                  !r.needsCode);
        EXPECT_EQ(why, r.needsCode ? QStringLiteral("sifra administratora nije tacna") : QString());
    }

    desk::restore::run(dir.path(), QStringLiteral("bck-old.db"), QStringLiteral("Admin"),
                       QStringLiteral("bck-arhiva-2.db"), older.closedDays);
    session.setPassword(password());
    journal.open();
    const desk::chain::Verdict changed = desk::chain::verify(journal);
    EXPECT_TRUE(changed.chainOk()) << changed.text().toStdString();
    EXPECT_FALSE(changed.ok());
    EXPECT_EQ(changed.closedDays, QStringList{line});
    EXPECT_TRUE(changed.text().endsWith(line));
    const QList<QVariantList> logged = journal.runBeside(
        QStringLiteral("SELECT OPIS FROM dorvanta_dnevnik ORDER BY RB DESC LIMIT 1"));
    EXPECT_TRUE(logged.value(0).value(0).toString().contains(
        QStringLiteral("PROMENJENI ZAKLJUCENI DANI: ") + line))
        << logged.value(0).value(0).toString().toStdString();
    journal.close();

    // A backup of an unknown name, or a path, is refused before anything changes.
    EXPECT_EQ(errorOf([&] { desk::restore::preview(dir.path(), QStringLiteral("../promet.db")); }),
              QStringLiteral("'../promet.db' is not a file name of the data directory"));
    desk::restore::run(dir.path(), QStringLiteral("bck-close.db"), QStringLiteral("Admin"),
                       QStringLiteral("bck-arhiva-3.db"), {});
    session.setPassword(password());
    journal.open();
    EXPECT_TRUE(desk::chain::verify(journal).ok()) << desk::chain::verify(journal).text().toStdString();

    // A backup that cannot be written (its name taken by a folder) leaves the close standing
    // and says why.
    journal.close();
    ASSERT_TRUE(QDir(dataFile(QString())).mkdir(QStringLiteral("bck-dir.db")));
    backupError.clear();
    session.setPassword(password());
    cashbook::closeDayAndBackUp(session, QDate(2026, 6, 1), QStringLiteral("Admin"),
                                QDateTime(QDate(2026, 6, 2), QTime(21, 0)),
                                QStringLiteral("bck-dir.db"), backupError);
    EXPECT_FALSE(backupError.isEmpty());
    session.setPassword(password());
    journal.open();
    EXPECT_TRUE(cashbook::dayClose(journal, QDate(2026, 6, 1)).has_value());
}

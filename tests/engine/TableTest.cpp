// Tables: opening (missing table, not a table, password handling and the prompt), walking in
// stored order, fields by name, insert/edit/post/cancel/delete, the session closing everything,
// whole-file operations (layout check, consistent copy), and the store on the server (its
// faults on the wire, a backup of it killed midway).

#include "testsupport/EngineFixture.h"
#include "testsupport/FaultProxy.h"
#include "testsupport/JournalFiller.h"

#include "desk/CashBook.h"
#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/ServerTable.h"
#include "engine/TableStores.h"
#include "engine/Transaction.h"
#include "platform/AtomicFile.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>
#include <QUuid>

#include <sqlite3.h>

#include <limits>

using engine::EngineError;
using engine::Money;
using engine::Table;

namespace {

void addUser(Table &users, const QString &code, const QString &name)
{
    users.insert();
    users.setFieldText(QStringLiteral("SIFRA"), code);
    users.setFieldText(QStringLiteral("IMEIPREZIME"), name);
    users.post();
}

} // namespace

class TableTest : public EngineFixture
{
};

// What concerns the store, over both stores.
class StoredTableTest : public StoreFixture
{
};

INSTANTIATE_STORES(StoredTableTest);

// A missing or foreign file fails with its path; a table opens only with its password, which
// is nowhere in the file.
TEST_F(TableTest, OpensOnlyATableFileWithTheTablePassword)
{
    Table users(session, QStringLiteral("podaci\\korisnici.db"));
    for (const char *tried : {"", "KVR604"}) {
        session.setPassword(QString::fromLatin1(tried));
        EXPECT_EQ(errorOf([&] { users.open(); }),
                  "Invalid password for table podaci\\korisnici.db");
    }
    session.setPassword(password());
    users.open();
    EXPECT_TRUE(users.isOpen());
    QFile file(dataFile(QStringLiteral("korisnici.db")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("kvr604"));

    Table missing(session, QStringLiteral("podaci/nema.db"));
    EXPECT_EQ(errorOf([&] { missing.open(); }), QStringLiteral("Table does not exist: podaci/nema.db"));
    EXPECT_FALSE(missing.isOpen());
    ASSERT_TRUE(platform::writeFileAtomically(dataFile("junk.db"), QByteArray(4096, 'x')));
    Table foreign(session, QStringLiteral("podaci\\junk.db"));
    EXPECT_EQ(errorOf([&] { foreign.open(); }), QStringLiteral("podaci\\junk.db is not a table file"));
}

TEST_P(StoredTableTest, PromptIsAskedWhenNoPasswordFitsAndItsAnswerIsKept)
{
    QStringList asked;
    std::optional<QString> answer = QStringLiteral("wrong");
    session.setPasswordPrompt([&](const QString &path) {
        asked << path;
        return answer;
    });
    Table journal(session, QStringLiteral("podaci/promet.db"));
    EXPECT_EQ(errorOf([&] { journal.open(); }), "Invalid password for table podaci/promet.db");
    answer.reset(); // cancelled
    EXPECT_EQ(errorOf([&] { journal.open(); }), "Invalid password for table podaci/promet.db");
    answer = password();
    journal.open();
    EXPECT_EQ(asked, QStringList(3, QStringLiteral("podaci/promet.db")));

    // The session now holds the typed password: no second question until it is closed.
    Table users(session, QStringLiteral("podaci/korisnici.db"));
    users.open();
    EXPECT_EQ(asked.size(), 3);
    session.close();
    users.open();
    EXPECT_EQ(asked.size(), 4);
}

// Records in stored order, identical ones kept apart; fields found in any case, an unknown one
// named with the table's path as written.
TEST_P(StoredTableTest, WalksRecordsInStoredOrderKeepingIdenticalOnesApart)
{
    OpenTable users(session, QStringLiteral("podaci\\korisnici.db"));
    EXPECT_TRUE(users.eof());
    addUser(users, QStringLiteral("1"), QStringLiteral("Ana"));
    addUser(users, QStringLiteral("2"), QStringLiteral("Zoran"));
    addUser(users, QStringLiteral("1"), QStringLiteral("Ana"));
    addUser(users, QStringLiteral("3"), QStringLiteral("Bojan"));
    users.close();

    users.open();
    QStringList names;
    QList<qint64> ids;
    for (users.first(); !users.eof(); users.next()) {
        names << users.fieldText(QStringLiteral("imeiprezime"));
        ids << users.recordId();
    }
    EXPECT_EQ(names, (QStringList{"Ana", "Zoran", "Ana", "Bojan"}));
    EXPECT_NE(ids[0], ids[2]);
    EXPECT_EQ(users.fieldNames(), (QStringList{"SIFRA", "IMEIPREZIME"}));
    EXPECT_EQ(errorOf([&] { users.fieldText("xyz"); }),
              "Unknown field 'xyz' in podaci\\korisnici.db");

    // Deleting the second "Ana" keeps the first one.
    ASSERT_TRUE(users.moveToId(ids[2]));
    users.deleteRecord();
    EXPECT_EQ(users.fieldText(QStringLiteral("IMEIPREZIME")), QStringLiteral("Bojan"));
    users.first();
    EXPECT_EQ(users.recordId(), ids[0]);
    EXPECT_EQ(users.recordCount(), 3);

    // An edit changes only the current record, and only when posted (moving posts it).
    users.edit();
    users.setFieldText(QStringLiteral("IMEIPREZIME"), QStringLiteral("Ana Anic"));
    users.cancel();
    EXPECT_EQ(users.fieldText(QStringLiteral("IMEIPREZIME")), QStringLiteral("Ana"));
    users.edit();
    users.setFieldText(QStringLiteral("IMEIPREZIME"), QStringLiteral("Ana Anic"));
    users.next();
    users.close();
    users.open();
    names.clear();
    for (users.first(); !users.eof(); users.next())
        names << users.fieldText(QStringLiteral("IMEIPREZIME"));
    EXPECT_EQ(names, (QStringList{"Ana Anic", "Zoran", "Bojan"}));
}

TEST_P(StoredTableTest, ScanSeesStoredValuesInStoredOrderWithoutMoving)
{
    post({QStringLiteral("Ana"), QStringLiteral("07/12/2026"), QStringLiteral("Racun"),
          QStringLiteral("g"), QStringLiteral("-20.5")});
    post({QStringLiteral("\u0160ime"), QStringLiteral("01/01/2026"), QString(), QStringLiteral("g")});
    OpenTable journal(session, QStringLiteral("podaci/promet.db"));
    journal.next();
    const int korisnik = journal.fieldIndex(QStringLiteral("KORISNIK"));
    const int datum = journal.fieldIndex(QStringLiteral("DATUM"));
    const int opis = journal.fieldIndex(QStringLiteral("OPIS"));
    const int ulazDin = journal.fieldIndex(QStringLiteral("ULAZDIN"));
    QStringList seen;
    journal.scan([&](const engine::RecordView &r) {
        seen << QString::fromUtf8(r.utf8(korisnik)) + QLatin1Char('|') +
                    QString::fromUtf8(r.utf8(datum)) + QLatin1Char('|') +
                    (r.isNull(opis) ? QStringLiteral("NULL") : QString::fromUtf8(r.utf8(opis))) +
                    QLatin1Char('|') + QString::number(r.integer(ulazDin));
    });
    EXPECT_EQ(seen, (QStringList{"Ana|2026-12-07|Racun|-2050", "\u0160ime|2026-01-01|NULL|0"}));
    EXPECT_EQ(journal.recNo(), 1); // the table did not move
    journal.close();
    EXPECT_THROW(journal.scan([](const engine::RecordView &) {}), engine::EngineError);
}

TEST_F(TableTest, StoresDatesAsIsoInAnyShortFormAndMoneyAsHundredths)
{
    post({"Petar Petrovic", "07/12/2026", "Gorivo", "Auto", "0.00", "1234567.89", "0.00", "0.00"});
    OpenTable journal(session, QStringLiteral("podaci/promet.db"));
    EXPECT_EQ(journal.fieldText(QStringLiteral("datum")), QStringLiteral("07/12/2026"));
    EXPECT_EQ(journal.fieldText(QStringLiteral("vreme")), QStringLiteral("10:00:00"));
    EXPECT_EQ(journal.fieldText(QStringLiteral("izlazdin")), QStringLiteral("1234567.89"));
    EXPECT_EQ(journal.fieldMoney(QStringLiteral("izlazdin")).hundredths(), 123456789);
    // Never written: empty, reads "" as text and 0 as money.
    EXPECT_EQ(journal.fieldText(QStringLiteral("STANJEDIN")), QString());
    EXPECT_TRUE(journal.fieldMoney(QStringLiteral("STANJEDIN")).isZero());

    const QString file = dataFile(QStringLiteral("promet.db"));
    EXPECT_EQ(rawQuery(file, "SELECT IZLAZDIN FROM promet"), QStringList{"int:123456789"});

    // Dates are read and written in any short date form, and stored as ISO all the same.
    session.setShortDateFormat(QStringLiteral("d. MMM yyyy"));
    journal.insert();
    const QString text = QDate(2026, 3, 5).toString(QStringLiteral("d. MMM yyyy"));
    journal.setFieldText(QStringLiteral("DATUM"), text);
    journal.post();
    EXPECT_EQ(journal.fieldText(QStringLiteral("DATUM")), text);
    EXPECT_EQ(rawQuery(file, "SELECT DATUM FROM promet"), (QStringList{"text:2026-12-07", "text:2026-03-05"}));
}

// A value that does not fit its field is refused with its text and changes nothing: the
// field keeps its earlier value and nothing reaches the file before post().
TEST_F(TableTest, ValuesMustFitTheirFieldsAndAFailedSetStoresNothing)
{
    OpenTable journal(session, QStringLiteral("podaci/promet.db"));
    QSignalSpy changed(&journal, &Table::changed);
    journal.insert();
    journal.setFieldText(QStringLiteral("IZLAZDIN"), QStringLiteral("15.50"));
    journal.setFieldText(QStringLiteral("VREME"), QStringLiteral("9:05:33"));
    const struct
    {
        const char *field, *text, *message;
    } refused[] = {{"IZLAZDIN", "12a", "'12a' is not a valid amount"},
                   {"DATUM", "31/02/2026", "'31/02/2026' is not a valid date"},
                   {"VREME", "25:00:00", "'25:00:00' is not a valid time"}};
    for (const auto &r : refused)
        EXPECT_EQ(errorOf([&] { journal.setFieldText(QString::fromLatin1(r.field), QString::fromLatin1(r.text)); }),
                  QString::fromLatin1(r.message));
    EXPECT_EQ(errorOf([&] { journal.setFieldMoney("DATUM", Money::fromUnits(5)); }),
              "Field 'DATUM' in podaci/promet.db cannot hold an amount");
    EXPECT_EQ(journal.fieldText(QStringLiteral("IZLAZDIN")), QStringLiteral("15.50"));
    EXPECT_EQ(rawQuery(dataFile("promet.db"), "SELECT COUNT(*) FROM promet"), QStringList{"int:0"});

    journal.setFieldMoney(QStringLiteral("OPIS"), Money::parse(u"-3.5"));
    journal.setFieldMoney(QStringLiteral("STANJEDIN"), Money::parse(u"1000000.01"));
    journal.setFieldText(QStringLiteral("GRUPA"), QString());
    journal.post();
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(journal.fieldText(QStringLiteral("VREME")), QStringLiteral("09:05:33"));
    EXPECT_EQ(journal.fieldText(QStringLiteral("OPIS")), QStringLiteral("-3.50"));
    EXPECT_EQ(journal.fieldText(QStringLiteral("STANJEDIN")), QStringLiteral("1000000.01"));
    EXPECT_TRUE(journal.fieldIsEmpty(QStringLiteral("GRUPA")));
    EXPECT_EQ(rawQuery(dataFile("promet.db"), "SELECT GRUPA IS NULL FROM promet"),
              QStringList{"int:1"});

    // cancel() and closing the session drop an unposted insert.
    journal.insert();
    journal.setFieldText(QStringLiteral("KORISNIK"), QStringLiteral("Petar"));
    journal.cancel();
    journal.insert();
    session.close();
    EXPECT_EQ(journal.state(), Table::State::Inactive);
    session.setPassword(password());
    journal.open();
    EXPECT_EQ(journal.recordCount(), 1);
    EXPECT_EQ(errorOf([&] { journal.setFieldText("KORISNIK", "x"); }),
              "Table podaci/promet.db is not in edit or insert mode");
}

TEST_F(TableTest, RelativePathsFollowTheCurrentDirectoryWithoutABaseDir)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    engine::Session plain;
    plain.setPassword(password());
    Table users(plain, QStringLiteral("podaci\\korisnici.db"));
    users.open();
    EXPECT_EQ(users.filePath(), QDir(dir.path()).absoluteFilePath(QStringLiteral("podaci/korisnici.db")));
    users.setTablePath(QStringLiteral("podaci/grupe.db")); // closes the table
    EXPECT_FALSE(users.isOpen());
    users.open();
    EXPECT_EQ(users.fieldNames(), QStringList{"GRUPA"});
    QDir::setCurrent(previous);
}

TEST_P(StoredTableTest, PositionsWalkingAndClearingWorkAcrossBlocks)
{
    OpenTable users(session, QStringLiteral("podaci/korisnici.db"));
    for (int i = 0; i < 600; ++i)
        addUser(users, QString::number(i), QStringLiteral("User %1").arg(i));
    users.close();

    // Positions reach any record, also backwards; reading a cell does not move.
    users.open();
    EXPECT_EQ(users.recordCount(), 600);
    users.moveTo(550);
    EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QStringLiteral("550"));
    EXPECT_EQ(users.textAt(3, 1), QStringLiteral("User 3"));
    EXPECT_EQ(users.recNo(), 550);
    int seen = 0;
    for (users.last(); !users.bof(); users.prior())
        EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QString::number(599 - seen++));
    EXPECT_EQ(seen, 600);

    // Posting on a table whose ids were never read (counted first or not) puts the record
    // last at the right position; the walk back, deleting it and the count agree with it.
    int count = 600;
    for (const bool countedFirst : {false, true}) {
        users.close();
        users.open();
        if (countedFirst) {
            EXPECT_EQ(users.recordCount(), count);
        }
        const QString code = QStringLiteral("new%1").arg(count);
        addUser(users, code, QStringLiteral("New"));
        EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), code);
        EXPECT_EQ(users.recNo(), count);
        EXPECT_EQ(users.recordCount(), ++count);
        users.prior();
        EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QStringLiteral("599"));
        users.close();
        users.open();
        users.moveTo(count - 1);
        users.deleteRecord();
        EXPECT_EQ(users.recordCount(), --count);
        EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QStringLiteral("599"));
    }
    users.close();

    // A fresh open walks forward block by block; deleting every second record on the way.
    users.open();
    seen = 0;
    while (!users.eof()) {
        EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QString::number(seen));
        if (seen % 2 == 0)
            users.deleteRecord();
        else
            users.next();
        ++seen;
    }
    EXPECT_EQ(seen, 600);
    EXPECT_EQ(users.recordCount(), 300);
    users.close();

    // The clearing loop: from the first record, delete until the end.
    users.open();
    users.first();
    int deleted = 0;
    while (!users.eof()) {
        EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QString::number(2 * deleted + 1));
        users.deleteRecord();
        ++deleted;
    }
    EXPECT_EQ(deleted, 300);
    EXPECT_EQ(users.recordCount(), 0);
    EXPECT_EQ(users.recNo(), -1);
    EXPECT_EQ(errorOf([&] { users.deleteRecord(); }),
              "Cannot delete from the empty table podaci/korisnici.db");

    // Deleting the last record makes the one before it current.
    addUser(users, QStringLiteral("a"), QStringLiteral("A"));
    addUser(users, QStringLiteral("b"), QStringLiteral("B"));
    users.last();
    users.deleteRecord();
    EXPECT_FALSE(users.eof());
    EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QStringLiteral("a"));
}

TEST_F(TableTest, ATransactionKeepsAllOrNothing)
{
    session.setDurableWrites(true);
    OpenTable users(session, QStringLiteral("podaci/korisnici.db"));
    users.startTransaction();
    for (int i = 0; i < 300; ++i)
        addUser(users, QString::number(i), QStringLiteral("User %1").arg(i));
    users.commit();
    EXPECT_EQ(rawQuery(dataFile("korisnici.db"), "SELECT COUNT(*) FROM korisnici"),
              QStringList{"int:300"});

    users.startTransaction();
    for (users.first(); !users.eof();)
        users.deleteRecord();
    EXPECT_EQ(users.recordCount(), 0);
    users.rollback();
    EXPECT_EQ(users.recordCount(), 300);

    users.startTransaction();
    users.first();
    users.deleteRecord();
    session.close(); // closing without commit undoes the delete
    EXPECT_EQ(rawQuery(dataFile("korisnici.db"), "SELECT COUNT(*) FROM korisnici"),
              QStringList{"int:300"});
}

// The transaction guard: leaving its scope in any way but commit() undoes all it did, a record
// still being inserted too, and leaves the table free for the next transaction.
TEST_P(StoredTableTest, ATransactionGuardKeepsOnlyWhatItCommitted)
{
    enum class Leave
    {
        Throwing,
        Returning,
        Committing
    };
    const struct
    {
        const char *what;
        Leave leave;
        bool inserting; // a second record is being inserted when the scope ends
        int kept;
    } cases[] = {
        {"an error after a post", Leave::Throwing, false, 0},
        {"an error while inserting", Leave::Throwing, true, 0},
        {"a return while inserting", Leave::Returning, true, 0},
        {"a commit", Leave::Committing, false, 1},
        {"a commit while inserting", Leave::Committing, true, 2},
    };
    OpenTable journal(session, QStringLiteral("podaci/promet.db"));
    OpenTable other(session, QStringLiteral("podaci/promet.db"));
    int stored = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto work = [&] {
            engine::Transaction transaction(journal);
            for (int i = 0; i < (c.inserting ? 2 : 1); ++i) {
                journal.insert();
                journal.setFieldText(QStringLiteral("OPIS"), QString::fromLatin1(c.what));
            }
            if (!c.inserting)
                journal.post();
            if (c.leave == Leave::Throwing)
                throw EngineError(QStringLiteral("fails"));
            if (c.leave == Leave::Committing)
                transaction.commit();
        };
        if (c.leave == Leave::Throwing)
            EXPECT_THROW(work(), EngineError);
        else
            work();
        stored += c.kept;
        EXPECT_FALSE(journal.inTransaction());
        EXPECT_EQ(journal.recordCount(), stored);
        // The write lock is free: another table of the file writes at once.
        engine::Transaction next(other);
        EXPECT_EQ(other.recordCount(), stored);
    }
}

TEST_F(TableTest, ClosingTheSessionClosesEveryTableAndQuery)
{
    OpenTable users(session, QStringLiteral("podaci/korisnici.db"));
    OpenTable journal(session, QStringLiteral("podaci/promet.db"));
    engine::Query query(session);
    reopen(query, QStringLiteral("select * from podaci\\promet.db"));
    QSignalSpy usersClosed(&users, &Table::closed);
    QSignalSpy queryClosed(&query, &engine::Query::closed);
    session.close();
    EXPECT_FALSE(users.isOpen());
    EXPECT_FALSE(journal.isOpen());
    EXPECT_FALSE(query.isOpen());
    EXPECT_EQ(usersClosed.size(), 1);
    EXPECT_EQ(queryClosed.size(), 1);
}

TEST_P(StoredTableTest, AnotherTableOnTheSameFileSeesNewRecords)
{
    OpenTable grid(session, QStringLiteral("podaci/promet.db"));
    OpenTable posting(session, QStringLiteral("podaci\\promet.db"));
    posting.insert();
    posting.setFieldText(QStringLiteral("OPIS"), QStringLiteral("x"));
    posting.post();
    EXPECT_EQ(grid.recordCount(), 1);
    EXPECT_EQ(grid.fieldText(QStringLiteral("OPIS")), QStringLiteral("x"));

    // Deleting through one table while the other stays open keeps both right.
    for (int i = 0; i < 3; ++i) {
        posting.insert();
        posting.setFieldText(QStringLiteral("OPIS"), QString::number(i));
        posting.post();
    }
    posting.first();
    posting.deleteRecord();
    posting.deleteRecord();
    // Reading re-reads quietly: a view reading in data() must not be told to reset meanwhile.
    QSignalSpy moved(&grid, &Table::currentChanged);
    EXPECT_EQ(grid.recordCount(), 2);
    EXPECT_EQ(grid.recNo(), 0);
    EXPECT_EQ(grid.textAt(0, grid.fieldIndex(QStringLiteral("OPIS"))), QStringLiteral("1"));
    EXPECT_EQ(moved.size(), 0);
    grid.first();
    EXPECT_EQ(grid.fieldText(QStringLiteral("OPIS")), QStringLiteral("1"));
    grid.next();
    EXPECT_EQ(grid.fieldText(QStringLiteral("OPIS")), QStringLiteral("2"));
}

TEST_P(StoredTableTest, CopyIsAJournalTableAndOthersAreNot)
{
    post({"Petar", "01/12/2026", "a", "G", "10.00"});
    const auto journal = desk::promet();
    const QString backup = dataFile(QStringLiteral("bck-01-12-26-10-00-00.db"));
    engine::copyTableFile(dataFile(QStringLiteral("promet.db")), backup);
    EXPECT_NO_THROW(journal.checkTableFile(backup, password()));
    EXPECT_EQ(rawQuery(backup, "SELECT ULAZDIN FROM promet"), QStringList{"int:1000"});
    EXPECT_THROW(journal.checkTableFile(backup, QStringLiteral("nope")), EngineError);
    EXPECT_THROW(journal.checkTableFile(dataFile(QStringLiteral("korisnici.db")), password()), EngineError);
    EXPECT_EQ(errorOf([&] { journal.checkTableFile(dataFile("none.db"), password()); }),
              QStringLiteral("Table does not exist: %1").arg(dataFile("none.db")));
    EXPECT_THROW(engine::copyTableFile(dataFile(QStringLiteral("none.db")), backup), EngineError);
    EXPECT_NO_THROW(journal.checkTableFile(backup, password())); // untouched by the failure
    EXPECT_THROW(journal.createTable(backup, password()), EngineError);
    // A copy, also one of the server's table, carries the journal file's index.
    EXPECT_EQ(rawQuery(backup, "SELECT name FROM sqlite_master WHERE type = 'index'"),
              QStringList{"text:promet_amounts"});
}

// Four desks post at the same moment: each stores the balance of every record committed before
// it, so the stored balances are the running sums in stored order and none is lost.
TEST_P(StoredTableTest, FourDesksPostingAtOnceStoreTheRunningBalances)
{
    constexpr int desks = 4;
    constexpr int postings = 250;
    {
        OpenTable journal(session, QStringLiteral("podaci/promet.db"));
        desk::cashbook::prepare(journal); // as the program does at the login
    }
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int desk = 0; desk < desks; ++desk) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QStringLiteral(POSTING_DESK),
                                {dir.path(), QString::number(postings), QString::number(desk)});
    }
    for (auto &p : processes) {
        ASSERT_TRUE(p->waitForFinished(240000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    OpenTable journal(session, QStringLiteral("podaci/promet.db"));
    EXPECT_EQ(journal.recordCount(), desks * postings);
    Money running;
    int wrong = 0;
    for (journal.first(); !journal.eof(); journal.next()) {
        running = running + journal.fieldMoney(QStringLiteral("ULAZDIN")) -
                  journal.fieldMoney(QStringLiteral("IZLAZDIN"));
        wrong += journal.fieldMoney(QStringLiteral("STANJEDIN")) != running;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(running.toText(), QStringLiteral("1000.00")); // 125 * (1+2+3+4) - 500 * 0.50

    // Every record got its number in its transaction: per kind and year 1, 2, 3, ... in
    // stored (commit) order, none twice, none left out.
    EXPECT_EQ(desk::cashbook::prepare(journal), 0);
    QHash<QString, int> next;
    int misnumbered = 0;
    const QList<desk::BookEntry> entries = desk::cashbook::entries(journal);
    for (const desk::BookEntry &e : entries) {
        const desk::DocumentKind kind = desk::kindOf(e);
        misnumbered += e.number != desk::documentNumber(
                                       kind, e.date.year(),
                                       ++next[QStringLiteral("%1-%2").arg(int(kind)).arg(e.date.year())]);
    }
    EXPECT_EQ(entries.size(), desks * postings);
    EXPECT_EQ(misnumbered, 0);
    EXPECT_EQ(next.size(), 4); // receipts and payments in 2025 and in 2026
}

// A second desk writing the same journal waits for the first only briefly, then hears that the
// table is busy; the first one's transaction is untouched. On the server the other desk is a
// connection of its own holding the journal's lock.
TEST_P(StoredTableTest, ASecondWriterHearsTheTableIsBusy)
{
    OpenTable first(session, QStringLiteral("podaci/promet.db"));
    OpenTable second(session, QStringLiteral("podaci/promet.db")); // a file connection of its own
    PGconn *otherDesk = nullptr;
    if (onServer()) {
        otherDesk = PQconnectdb(PgCluster::shared().uri().toUtf8().constData());
        PQclear(PQexec(otherDesk, ("BEGIN; " + engine::serverWriteLock(QStringLiteral("promet"))).toUtf8().constData()));
    } else {
        first.startTransaction();
    }
    EXPECT_EQ(errorOf([&] { second.startTransaction(); }),
              "Table podaci/promet.db is busy: another desk is writing it, try again");
    if (onServer()) {
        PQclear(PQexec(otherDesk, "COMMIT"));
        PQfinish(otherDesk);
    } else {
        EXPECT_NO_THROW(first.commit());
    }
    EXPECT_NO_THROW(second.startTransaction());
    EXPECT_NO_THROW(second.commit());
}

// Sums are exact in 64 bits; one that leaves them is an error, never a wrong figure.
TEST_P(StoredTableTest, ASumBeyondSixtyFourBitsIsReported)
{
    OpenTable journal(session, QStringLiteral("podaci/promet.db"));
    for (int i = 0; i < 2; ++i) {
        journal.insert();
        journal.setFieldMoney(QStringLiteral("ULAZDIN"),
                              Money::fromHundredths(std::numeric_limits<qint64>::max() / 2 + 1));
        journal.setFieldMoney(QStringLiteral("IZLAZDIN"), Money::fromHundredths(-5));
        journal.post();
    }
    EXPECT_EQ(journal.sumMoney({QStringLiteral("IZLAZDIN")}).at(0), Money::fromHundredths(-10));
    EXPECT_EQ(errorOf([&] { journal.sumMoney({QStringLiteral("IZLAZDIN"), QStringLiteral("ULAZDIN")}); }),
              "The sum of ULAZDIN in podaci/promet.db is too large");
    engine::Query sums(session);
    EXPECT_THROW(reopen(sums, QStringLiteral("select sum(ulazdin) from podaci\\promet.db")), EngineError);
}

class ServerStoreTest : public EngineFixture
{
protected:
    bool onServer() const override { return true; }
};

// The server away: opening fails with the reason; a connection that breaks inside a posting
// leaves nothing of it stored, and the next action connects again.
TEST_F(ServerStoreTest, AServerAwayStoresNothingAndTheNextActionTriesAgain)
{
    OpenTable journal(session, QStringLiteral("podaci/promet.db"));
    journal.startTransaction();
    journal.insert();
    journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("izgubljeno"));
    journal.post();
    ASSERT_EQ(PgCluster::shared().exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                       "pid <> pg_backend_pid() AND backend_type = 'client backend'"),
              QString());
    EXPECT_TRUE(errorOf([&] {
                    journal.insert();
                    journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("drugo"));
                    journal.post();
                    journal.commit();
                }).startsWith(QStringLiteral("Server baze podataka nije dostupan: ")));
    journal.close();
    journal.open();
    EXPECT_EQ(journal.recordCount(), 0);

    const QString uri = dataFile(QStringLiteral("baza.txt"));
    // Nobody listens there.
    ASSERT_TRUE(platform::writeFileAtomically(uri, "postgresql://postgres@127.0.0.1:1/postgres\n"));
    Table away(session, QStringLiteral("podaci/korisnici.db"));
    EXPECT_TRUE(errorOf([&] { away.open(); }).startsWith("Server baze podataka nije dostupan: "));
    ASSERT_TRUE(platform::writeFileAtomically(uri, QByteArray())); // an empty first line
    EXPECT_EQ(errorOf([&] { away.open(); }),
              "Server baze podataka nije dostupan: baza.txt names no server");
}

namespace {

// Whether another desk gets the journal's write lock within `seconds` (asking every 100 ms).
bool writeLockFreeWithin(int seconds)
{
    const QString tryLock = engine::serverWriteLock(QStringLiteral("promet"))
                                .replace(QStringLiteral("pg_advisory_xact_lock"),
                                         QStringLiteral("pg_try_advisory_xact_lock"));
    for (int i = 0; i < seconds * 10; ++i) {
        if (PgCluster::shared().value(tryLock) == QStringLiteral("t"))
            return true;
        QThread::msleep(100);
    }
    return false;
}

} // namespace

// The network between desk and server fails at the worst moments. Whatever happens, no wait
// outlasts the answer time-out, the desk says truthfully whether the posting is stored (or
// that it cannot tell), the journal's lock is free again within 10 s, and posting again with
// the same key leaves exactly one record.
TEST_F(ServerStoreTest, FaultsOnTheWireNeverDoubleAPostingNorHoldTheDesk)
{
    enum Outcome { Stored, NotStored, Unknown, Failed };
    struct Fault
    {
        const char *name;
        const char *pattern; // where the proxy breaks the connection
        const char *action;
        Outcome outcome;
    };
    const Fault faults[] = {
        {"answer to COMMIT lost", "COMMIT", "drop", Stored},
        {"answer to COMMIT swallowed", "COMMIT", "swallow", Stored},
        {"answer lost, then the server out of reach", "COMMIT", "sever", Unknown},
        {"COMMIT never arrives", "COMMIT", "cut", NotStored},
        {"COMMIT stalled on a dead network", "COMMIT", "stall", NotStored},
        {"the desk goes silent inside the posting", "SUM(", "stall", NotStored},
        {"the answer to the sums swallowed", "SUM(", "swallow", NotStored},
    };
    PgCluster &cluster = PgCluster::shared();
    FaultProxy proxy(cluster.port());
    ASSERT_TRUE(proxy.ok());
    const QByteArray throughProxy = proxy.uri(cluster.uri(), cluster.port()).toUtf8();
    ASSERT_TRUE(
        platform::writeFileAtomically(dataFile("baza.txt"), throughProxy + "\ntimeout=3\n"));
    session.setPassword(password());
    Table journal(session, QStringLiteral("podaci/promet.db"));
    const auto posting = [&](const QUuid &key) {
        journal.open();
        if (!journal.startPosting(key))
            return false;
        journal.sumMoney({QStringLiteral("ULAZDIN")});
        journal.insert();
        journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("jednom"));
        journal.post();
        journal.commit();
        return true;
    };
    for (const Fault &fault : faults) {
        SCOPED_TRACE(fault.name);
        ASSERT_EQ(cluster.exec(QStringLiteral("DELETE FROM promet")), QString());
        const QUuid key = QUuid::createUuid();
        journal.open(); // connected before the fault is armed
        ASSERT_TRUE(proxy.command(QStringLiteral("arm %1 %2").arg(fault.pattern, fault.action)));
        Outcome outcome = Stored;
        QString message;
        try {
            posting(key);
        } catch (const EngineError &e) {
            message = e.message();
            outcome = e.kind() == EngineError::Kind::OutcomeUnknown ? Unknown
                      : e.kind() == EngineError::Kind::Unavailable  ? NotStored
                                                                     : Failed;
        }
        journal.close();
        EXPECT_EQ(outcome, fault.outcome) << message.toStdString();
        EXPECT_EQ(cluster.value("SELECT count(*) FROM promet"),
                  fault.outcome == NotStored ? "0" : "1");
        EXPECT_TRUE(writeLockFreeWithin(10));

        ASSERT_TRUE(proxy.command(QStringLiteral("thaw")));
        bool again = false;
        EXPECT_NO_THROW(again = posting(key));
        journal.close();
        EXPECT_EQ(again, fault.outcome == NotStored); // a stored posting is never stored twice
        EXPECT_EQ(cluster.value(QStringLiteral("SELECT count(*) FROM promet")), QStringLiteral("1"));
    }
}

// A backup of the server's journal killed midway leaves only a temporary file the start-up
// clean-up removes (a whole copy is checked in CopyIsAJournalTableAndOthersAreNot).
TEST_F(ServerStoreTest, ABackupKilledMidwayLeavesOnlyWhatTheCleanUpRemoves)
{
    post({QStringLiteral("Ana"), QStringLiteral("01/12/2026"), QStringLiteral("Pazar"), QStringLiteral("Pazar")});
    const QDir data(dataFile(QString()));
    const auto files = [&] { return data.entryList(QDir::Files | QDir::Hidden, QDir::Name); };
    const QStringList before = files();
    const QString target = dataFile(QStringLiteral("bck-kopija.db"));

    // Another desk holds the journal locked, so the backup waits inside its copy.
    PGconn *lock = PQconnectdb(PgCluster::shared().uri().toUtf8().constData());
    ASSERT_EQ(PQstatus(lock), CONNECTION_OK);
    PQclear(PQexec(lock, "BEGIN; LOCK TABLE promet IN ACCESS EXCLUSIVE MODE"));
    QProcess backup;
    backup.start(QStringLiteral(POSTING_DESK), {dir.path(), QStringLiteral("backup"), target});
    QStringList left;
    for (int i = 0; i < 1500 && left.size() <= before.size(); ++i)
        QThread::msleep(1), left = files();
    backup.kill();
    backup.waitForFinished();
    PQfinish(lock);
    ASSERT_GT(left.size(), before.size()) << "the backup never started its copy";
    for (const QString &name : files())
        EXPECT_TRUE(before.contains(name) || platform::isTemporaryFileName(name)) << name.toStdString();
    platform::removeStaleTemporaryFiles(data.path());
    EXPECT_EQ(files(), before);
}

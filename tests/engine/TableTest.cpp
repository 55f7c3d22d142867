// Tables: opening (missing table, not a table, password handling and the prompt), walking in
// stored order, fields by name, insert/edit/post/cancel/delete, the session closing everything,
// and whole-file operations (layout check, consistent copy).

#include "EngineFixture.h"
#include "testsupport/FaultProxy.h"
#include "testsupport/JournalFiller.h"

#include "desk/CashBook.h"
#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/ServerTable.h"
#include "engine/TableStores.h"
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

QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EngineError &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

// Runs one SQL statement on a file directly and returns the first column of each row.
QStringList rawQuery(const QString &file, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    QStringList values;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        values << QStringLiteral("%1:%2")
                      .arg(sqlite3_column_type(stmt, 0) == SQLITE_INTEGER ? "int" : "text")
                      .arg(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return values;
}

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

TEST_F(TableTest, MissingOrForeignFilesFailWithTheirPath)
{
    session.setPassword(password());
    Table missing(session, QStringLiteral("podaci/nema.db"));
    EXPECT_EQ(errorOf([&] { missing.open(); }), QStringLiteral("Table does not exist: podaci/nema.db"));
    EXPECT_FALSE(missing.isOpen());

    QFile junk(dataFile(QStringLiteral("junk.db")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    Table foreign(session, QStringLiteral("podaci\\junk.db"));
    EXPECT_EQ(errorOf([&] { foreign.open(); }), QStringLiteral("podaci\\junk.db is not a table file"));
}

TEST_F(TableTest, OpensOnlyWithTheTablePassword)
{
    Table users(session, QStringLiteral("podaci\\korisnici.db"));
    EXPECT_EQ(errorOf([&] { users.open(); }),
              QStringLiteral("Invalid password for table podaci\\korisnici.db"));
    session.setPassword(QStringLiteral("KVR604"));
    EXPECT_EQ(errorOf([&] { users.open(); }),
              QStringLiteral("Invalid password for table podaci\\korisnici.db"));
    session.setPassword(password());
    users.open();
    EXPECT_TRUE(users.isOpen());

    // The password itself is nowhere in the file.
    QFile file(dataFile(QStringLiteral("korisnici.db")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("kvr604"));
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
    EXPECT_EQ(errorOf([&] { journal.open(); }),
              QStringLiteral("Invalid password for table podaci/promet.db"));
    answer.reset(); // cancelled
    EXPECT_EQ(errorOf([&] { journal.open(); }),
              QStringLiteral("Invalid password for table podaci/promet.db"));
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

TEST_P(StoredTableTest, WalksRecordsInStoredOrderKeepingIdenticalOnesApart)
{
    session.setPassword(password());
    Table users(session, QStringLiteral("podaci/korisnici.db"));
    users.open();
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

    // Deleting the second "Ana" keeps the first one.
    ASSERT_TRUE(users.moveToId(ids[2]));
    users.deleteRecord();
    EXPECT_EQ(users.fieldText(QStringLiteral("IMEIPREZIME")), QStringLiteral("Bojan"));
    users.first();
    EXPECT_EQ(users.recordId(), ids[0]);
    EXPECT_EQ(users.recordCount(), 3);
}

TEST_P(StoredTableTest, ScanSeesStoredValuesInStoredOrderWithoutMoving)
{
    post({QStringLiteral("Ana"), QStringLiteral("07/12/2026"), QStringLiteral("Racun"),
          QStringLiteral("g"), QStringLiteral("-20.5")});
    post({QStringLiteral("\u0160ime"), QStringLiteral("01/01/2026"), QString(), QStringLiteral("g")});
    session.setPassword(password());
    Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
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
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Ana|2026-12-07|Racun|-2050"),
                                 QStringLiteral("\u0160ime|2026-01-01|NULL|0")}));
    EXPECT_EQ(journal.recNo(), 1); // the table did not move
    journal.close();
    EXPECT_THROW(journal.scan([](const engine::RecordView &) {}), engine::EngineError);
}

TEST_P(StoredTableTest, FieldsAreFoundInAnyCaseAndUnknownOnesAreNamed)
{
    session.setPassword(password());
    Table users(session, QStringLiteral("podaci\\korisnici.db"));
    users.open();
    addUser(users, QStringLiteral("12345"), QStringLiteral("Admin"));
    EXPECT_EQ(users.fieldNames(), (QStringList{"SIFRA", "IMEIPREZIME"}));
    EXPECT_EQ(users.fieldText(QStringLiteral("ImeIPrezime")), QStringLiteral("Admin"));
    EXPECT_EQ(users.fieldText(QStringLiteral("sifra")), QStringLiteral("12345"));
    EXPECT_EQ(errorOf([&] { users.fieldText(QStringLiteral("xyz")); }),
              QStringLiteral("Unknown field 'xyz' in podaci\\korisnici.db"));
}

TEST_F(TableTest, StoresDatesAsIsoAndMoneyAsHundredths)
{
    post({"Petar Petrovic", "07/12/2026", "Gorivo", "Auto", "0.00", "1234567.89", "0.00", "0.00"});
    session.setPassword(password());
    Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
    EXPECT_EQ(journal.fieldText(QStringLiteral("datum")), QStringLiteral("07/12/2026"));
    EXPECT_EQ(journal.fieldText(QStringLiteral("vreme")), QStringLiteral("10:00:00"));
    EXPECT_EQ(journal.fieldText(QStringLiteral("izlazdin")), QStringLiteral("1234567.89"));
    EXPECT_EQ(journal.fieldMoney(QStringLiteral("izlazdin")).hundredths(), 123456789);
    // Never written: empty, reads "" as text and 0 as money.
    EXPECT_EQ(journal.fieldText(QStringLiteral("STANJEDIN")), QString());
    EXPECT_TRUE(journal.fieldMoney(QStringLiteral("STANJEDIN")).isZero());

    const QString file = dataFile(QStringLiteral("promet.db"));
    EXPECT_EQ(rawQuery(file, "SELECT DATUM FROM promet"), QStringList{"text:2026-12-07"});
    EXPECT_EQ(rawQuery(file, "SELECT IZLAZDIN FROM promet"), QStringList{"int:123456789"});
}

// A value that does not fit its field is refused with its text and changes nothing: the
// field keeps its earlier value and nothing reaches the file before post().
TEST_F(TableTest, ValuesMustFitTheirFieldsAndAFailedSetStoresNothing)
{
    session.setPassword(password());
    Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
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
    EXPECT_EQ(errorOf([&] { journal.setFieldMoney(QStringLiteral("DATUM"), Money::fromUnits(5)); }),
              QStringLiteral("Field 'DATUM' in podaci/promet.db cannot hold an amount"));
    EXPECT_EQ(journal.fieldText(QStringLiteral("IZLAZDIN")), QStringLiteral("15.50"));
    EXPECT_EQ(rawQuery(dataFile(QStringLiteral("promet.db")), "SELECT COUNT(*) FROM promet"),
              QStringList{"int:0"});

    journal.setFieldMoney(QStringLiteral("OPIS"), Money::parse(u"-3.5"));
    journal.setFieldMoney(QStringLiteral("STANJEDIN"), Money::parse(u"1000000.01"));
    journal.setFieldText(QStringLiteral("GRUPA"), QString());
    journal.post();
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(journal.fieldText(QStringLiteral("VREME")), QStringLiteral("09:05:33"));
    EXPECT_EQ(journal.fieldText(QStringLiteral("OPIS")), QStringLiteral("-3.50"));
    EXPECT_EQ(journal.fieldText(QStringLiteral("STANJEDIN")), QStringLiteral("1000000.01"));
    EXPECT_TRUE(journal.fieldIsEmpty(QStringLiteral("GRUPA")));
    EXPECT_EQ(rawQuery(dataFile(QStringLiteral("promet.db")), "SELECT GRUPA IS NULL FROM promet"),
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
    EXPECT_EQ(errorOf([&] { journal.setFieldText(QStringLiteral("KORISNIK"), QStringLiteral("x")); }),
              QStringLiteral("Table podaci/promet.db is not in edit or insert mode"));
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

TEST_F(TableTest, AnyShortDateFormIsReadAndWritten)
{
    session.setShortDateFormat(QStringLiteral("d. MMM yyyy"));
    session.setPassword(password());
    Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
    journal.insert();
    const QString text = QDate(2026, 3, 5).toString(QStringLiteral("d. MMM yyyy"));
    journal.setFieldText(QStringLiteral("DATUM"), text);
    journal.post();
    EXPECT_EQ(journal.fieldText(QStringLiteral("DATUM")), text);
    EXPECT_EQ(rawQuery(dataFile(QStringLiteral("promet.db")), "SELECT DATUM FROM promet"),
              QStringList{"text:2026-03-05"});
}

TEST_P(StoredTableTest, EditChangesOnlyTheCurrentRecordWhenPosted)
{
    session.setPassword(password());
    Table users(session, QStringLiteral("podaci/korisnici.db"));
    users.open();
    addUser(users, QStringLiteral("1"), QStringLiteral("Ana"));
    addUser(users, QStringLiteral("2"), QStringLiteral("Zoran"));
    users.first();
    users.edit();
    users.setFieldText(QStringLiteral("IMEIPREZIME"), QStringLiteral("Ana Anic"));
    users.cancel();
    EXPECT_EQ(users.fieldText(QStringLiteral("IMEIPREZIME")), QStringLiteral("Ana"));
    users.edit();
    users.setFieldText(QStringLiteral("IMEIPREZIME"), QStringLiteral("Ana Anic"));
    users.next(); // moving posts the edit
    users.close();
    users.open();
    EXPECT_EQ(users.fieldText(QStringLiteral("IMEIPREZIME")), QStringLiteral("Ana Anic"));
    users.next();
    EXPECT_EQ(users.fieldText(QStringLiteral("IMEIPREZIME")), QStringLiteral("Zoran"));
}

TEST_F(TableTest, DeletingFromTheFirstRecordUntilTheEndEmptiesTheTable)
{
    for (int i = 0; i < 5; ++i)
        post({"Petar", "01/12/2026", QString::number(i), "G"});
    session.setPassword(password());
    Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
    journal.first();
    int deleted = 0;
    while (!journal.eof()) {
        journal.deleteRecord();
        ++deleted;
    }
    EXPECT_EQ(deleted, 5);
    EXPECT_EQ(rawQuery(dataFile(QStringLiteral("promet.db")), "SELECT COUNT(*) FROM promet"),
              QStringList{"int:0"});
    EXPECT_EQ(errorOf([&] { journal.deleteRecord(); }),
              QStringLiteral("Cannot delete from the empty table podaci/promet.db"));
}

TEST_P(StoredTableTest, ClearingAndWalkingWorkAcrossBlocks)
{
    session.setPassword(password());
    Table users(session, QStringLiteral("podaci/korisnici.db"));
    users.open();
    for (int i = 0; i < 600; ++i)
        addUser(users, QString::number(i), QStringLiteral("User %1").arg(i));
    users.close();

    // A fresh open walks forward block by block; deleting every second record on the way.
    users.open();
    int seen = 0;
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
    session.setPassword(password());
    Table users(session, QStringLiteral("podaci/korisnici.db"));
    users.open();
    users.startTransaction();
    for (int i = 0; i < 300; ++i)
        addUser(users, QString::number(i), QStringLiteral("User %1").arg(i));
    users.commit();
    EXPECT_EQ(rawQuery(dataFile(QStringLiteral("korisnici.db")), "SELECT COUNT(*) FROM korisnici"),
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
    EXPECT_EQ(rawQuery(dataFile(QStringLiteral("korisnici.db")), "SELECT COUNT(*) FROM korisnici"),
              QStringList{"int:300"});
}

TEST_P(StoredTableTest, PositionsReachAnyRecordAcrossBlocks)
{
    session.setPassword(password());
    Table users(session, QStringLiteral("podaci/korisnici.db"));
    users.open();
    for (int i = 0; i < 700; ++i)
        addUser(users, QString::number(i), QStringLiteral("User %1").arg(i));
    users.close();
    users.open();
    EXPECT_EQ(users.recordCount(), 700);
    users.moveTo(650);
    EXPECT_EQ(users.recNo(), 650);
    EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QStringLiteral("650"));
    EXPECT_EQ(users.textAt(3, 1), QStringLiteral("User 3"));
    EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QStringLiteral("650")); // did not move
    users.last();
    int seen = 0;
    for (; !users.bof(); users.prior())
        EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QString::number(699 - seen++));
    EXPECT_EQ(seen, 700);
}

TEST_F(TableTest, ClosingTheSessionClosesEveryTableAndQuery)
{
    session.setPassword(password());
    Table users(session, QStringLiteral("podaci/korisnici.db"));
    Table journal(session, QStringLiteral("podaci/promet.db"));
    engine::Query query(session);
    users.open();
    journal.open();
    query.sql().append(QStringLiteral("select * from podaci\\promet.db"));
    query.open();
    QSignalSpy usersClosed(&users, &Table::closed);
    QSignalSpy queryClosed(&query, &engine::Query::closed);
    session.close();
    EXPECT_FALSE(users.isOpen());
    EXPECT_FALSE(journal.isOpen());
    EXPECT_FALSE(query.isOpen());
    EXPECT_EQ(usersClosed.size(), 1);
    EXPECT_EQ(queryClosed.size(), 1);
    // A fresh session: the password must be handed again.
    EXPECT_EQ(errorOf([&] { users.open(); }),
              QStringLiteral("Invalid password for table podaci/korisnici.db"));
}

TEST_P(StoredTableTest, AnotherTableOnTheSameFileSeesNewRecords)
{
    session.setPassword(password());
    Table grid(session, QStringLiteral("podaci/promet.db"));
    Table posting(session, QStringLiteral("podaci\\promet.db"));
    grid.open();
    posting.open();
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

TEST_F(TableTest, InitToolMakesADataDirectoryAndRefusesToOverwriteIt)
{
    QTemporaryDir target;
    QProcess init;
    init.start(QStringLiteral(DORVANTA_INIT), {target.path(), QStringLiteral("--demo")});
    ASSERT_TRUE(init.waitForFinished(30000));
    EXPECT_EQ(init.exitCode(), 0);
    const QString printed = QString::fromUtf8(init.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QStringLiteral("Admin code: 12345"))) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("Petar Petrovic code: 111"))) << printed.toStdString();

    engine::Session other;
    other.setBaseDir(target.path());
    other.setPassword(password());
    Table users(other, QStringLiteral("podaci\\korisnici.db"));
    users.open();
    QStringList records;
    for (; !users.eof(); users.next())
        records << users.fieldText(QStringLiteral("SIFRA")) + QLatin1Char('=') +
                       users.fieldText(QStringLiteral("IMEIPREZIME"));
    EXPECT_EQ(records, (QStringList{"12345=Admin", "111=Petar Petrovic"}));
    EXPECT_NO_THROW(desk::promet().checkTableFile(target.path() + "/podaci/promet.db", password()));
    QFile options(target.path() + QStringLiteral("/podaci/ftpop.txt"));
    ASSERT_TRUE(options.open(QIODevice::ReadOnly));
    EXPECT_EQ(options.readAll(), QByteArray("0\r\n"));
    other.close();

    init.start(QStringLiteral(DORVANTA_INIT), {target.path(), QStringLiteral("--admin-code"), QStringLiteral("999")});
    ASSERT_TRUE(init.waitForFinished(30000));
    EXPECT_EQ(init.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(init.readAllStandardError()).contains(QStringLiteral("already exist")));
    other.setPassword(password());
    users.open();
    EXPECT_EQ(users.fieldText(QStringLiteral("SIFRA")), QStringLiteral("12345")); // untouched
}

TEST_F(TableTest, JournalFillMakesAWholeDataDirectory)
{
    QTemporaryDir target;
    testsupport::FillOptions options;
    options.directory = target.path();
    options.postings = 3;
    options.cashiers = 1;
    ASSERT_EQ(testsupport::JournalFiller::fill(options), QString());
    QFile ftpOptions(target.path() + QStringLiteral("/podaci/ftpop.txt"));
    ASSERT_TRUE(ftpOptions.open(QIODevice::ReadOnly)); // the program reads it after every posting
    EXPECT_EQ(ftpOptions.readAll(), QByteArray("0\r\n"));
    EXPECT_EQ(rawQuery(target.path() + QStringLiteral("/podaci/korisnici.db"),
                       "SELECT SIFRA FROM korisnici"),
              (QStringList{"text:12345", "text:101"}));
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
    EXPECT_EQ(errorOf([&] { journal.checkTableFile(dataFile(QStringLiteral("none.db")), password()); }),
              QStringLiteral("Table does not exist: %1").arg(dataFile(QStringLiteral("none.db"))));
    EXPECT_THROW(engine::copyTableFile(dataFile(QStringLiteral("none.db")), backup), EngineError);
    EXPECT_NO_THROW(journal.checkTableFile(backup, password())); // untouched by the failure
    EXPECT_THROW(journal.createTable(backup, password()), EngineError);
}

// Four desks post at the same moment: each stores the balance of every record committed before
// it, so the stored balances are the running sums in stored order and none is lost.
TEST_P(StoredTableTest, FourDesksPostingAtOnceStoreTheRunningBalances)
{
    constexpr int desks = 4;
    constexpr int postings = 250;
    {
        session.setPassword(password());
        Table journal(session, QStringLiteral("podaci/promet.db"));
        journal.open();
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
    session.setPassword(password());
    Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
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
    session.setPassword(password());
    Table first(session, QStringLiteral("podaci/promet.db"));
    Table second(session, QStringLiteral("podaci/promet.db")); // a file connection of its own
    first.open();
    second.open();
    PGconn *otherDesk = nullptr;
    if (onServer()) {
        otherDesk = PQconnectdb(PgCluster::shared().uri().toUtf8().constData());
        PQclear(PQexec(otherDesk, ("BEGIN; " + engine::serverWriteLock(QStringLiteral("promet"))).toUtf8().constData()));
    } else {
        first.startTransaction();
    }
    EXPECT_EQ(errorOf([&] { second.startTransaction(); }),
              QStringLiteral("Table podaci/promet.db is busy: another desk is writing it, try again"));
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
    session.setPassword(password());
    Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
    for (int i = 0; i < 2; ++i) {
        journal.insert();
        journal.setFieldMoney(QStringLiteral("ULAZDIN"),
                              Money::fromHundredths(std::numeric_limits<qint64>::max() / 2 + 1));
        journal.setFieldMoney(QStringLiteral("IZLAZDIN"), Money::fromHundredths(-5));
        journal.post();
    }
    EXPECT_EQ(journal.sumMoney({QStringLiteral("IZLAZDIN")}).at(0), Money::fromHundredths(-10));
    EXPECT_EQ(errorOf([&] { journal.sumMoney({QStringLiteral("IZLAZDIN"), QStringLiteral("ULAZDIN")}); }),
              QStringLiteral("The sum of ULAZDIN in podaci/promet.db is too large"));
    engine::Query sums(session);
    sums.sql().append(QStringLiteral("select sum(ulazdin) from podaci\\promet.db"));
    EXPECT_THROW(sums.open(), EngineError);
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
    session.setPassword(password());
    Table journal(session, QStringLiteral("podaci/promet.db"));
    journal.open();
    journal.startTransaction();
    journal.insert();
    journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("izgubljeno"));
    journal.post();
    ASSERT_EQ(PgCluster::shared().exec(QStringLiteral(
                  "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                  "pid <> pg_backend_pid() AND backend_type = 'client backend'")),
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

    QFile uri(dataFile(QStringLiteral("baza.txt")));
    ASSERT_TRUE(uri.open(QIODevice::WriteOnly | QIODevice::Truncate));
    uri.write("postgresql://postgres@127.0.0.1:1/postgres\n"); // nobody listens there
    uri.close();
    Table away(session, QStringLiteral("podaci/korisnici.db"));
    EXPECT_TRUE(errorOf([&] { away.open(); })
                    .startsWith(QStringLiteral("Server baze podataka nije dostupan: ")));
    ASSERT_TRUE(uri.open(QIODevice::WriteOnly | QIODevice::Truncate)); // an empty first line
    uri.close();
    EXPECT_EQ(errorOf([&] { away.open(); }),
              QStringLiteral("Server baze podataka nije dostupan: baza.txt names no server"));
}

namespace {

// Every record of the journal of `directory` as its field texts, in stored order.
QStringList journalTexts(const QString &directory)
{
    engine::Session other;
    other.setBaseDir(directory);
    other.setPassword(QStringLiteral("kvr604"));
    other.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    Table journal(other, QStringLiteral("podaci/promet.db"));
    journal.open();
    QStringList rows;
    for (; !journal.eof(); journal.next()) {
        QStringList fields;
        for (const char *name : {"KORISNIK", "DATUM", "VREME", "OPIS", "GRUPA", "ULAZDIN",
                                    "IZLAZDIN", "ULAZEUR", "IZLAZEUR", "STANJEDIN", "STANJEEUR"})
            fields << journal.fieldText(name);
        rows << fields.join(u'|');
    }
    return rows;
}

// Runs dorvanta-init with `input` on its standard input; its standard error in `errors`, both
// of its outputs in `shown`.
int runInit(const QStringList &args, QString *errors = nullptr, const QByteArray &input = {},
            QString *shown = nullptr)
{
    QProcess init;
    init.start(QStringLiteral(DORVANTA_INIT), args);
    init.write(input);
    init.closeWriteChannel();
    init.waitForFinished(60000);
    const QString error = QString::fromUtf8(init.readAllStandardError());
    if (errors)
        *errors = error;
    if (shown)
        *shown += QString::fromUtf8(init.readAllStandardOutput()) + error;
    return init.exitStatus() == QProcess::NormalExit ? init.exitCode() : -1;
}

} // namespace

// A desk's journal moves to the server with its order and balances; another desk joins; a
// server that has the tables already refuses a second set-up and a second import.
TEST_F(ServerStoreTest, InitToolImportsAJournalAndDesksJoinTheServer)
{
    ASSERT_EQ(PgCluster::shared().reset(), QString());
    const QString uri = PgCluster::shared().uri();
    QTemporaryDir local, desk, other;
    ASSERT_EQ(runInit({local.path(), QStringLiteral("--demo")}), 0);
    {
        engine::Session localSession;
        localSession.setBaseDir(local.path());
        localSession.setPassword(password());
        localSession.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
        Table journal(localSession, QStringLiteral("podaci/promet.db"));
        journal.open();
        for (int i = 0; i < 3; ++i) {
            journal.insert();
            journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("Zapis %1").arg(3 - i));
            journal.setFieldText(QStringLiteral("DATUM"), QStringLiteral("0%1/12/2026").arg(i + 1));
            journal.setFieldText(QStringLiteral("VREME"), QStringLiteral("9:0%1:00").arg(i));
            journal.setFieldText(QStringLiteral("ULAZDIN"), QStringLiteral("1500.25"));
            journal.setFieldText(QStringLiteral("STANJEDIN"), QString::number(1500.25 * (i + 1), 'f', 2));
            journal.post();
        }
    }
    const QStringList before = journalTexts(local.path());
    ASSERT_EQ(before.size(), 3);

    ASSERT_EQ(runInit({QStringLiteral("--server"), uri, QStringLiteral("--import"), local.path()}), 0);
    QString errors;
    EXPECT_EQ(runInit({QStringLiteral("--server"), uri, QStringLiteral("--import"), local.path()}, &errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("not empty"))) << errors.toStdString();

    ASSERT_EQ(runInit({QStringLiteral("--join"), uri, desk.path()}), 0);
    EXPECT_EQ(QFile::permissions(desk.path() + QStringLiteral("/podaci/baza.txt")) &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions()); // it may hold the database password
    EXPECT_TRUE(QFile::exists(desk.path() + QStringLiteral("/podaci/ftpop.txt")));
    EXPECT_EQ(journalTexts(desk.path()), before);

    EXPECT_EQ(runInit({QStringLiteral("--server"), uri, other.path()}, &errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("already exist"))) << errors.toStdString();
    EXPECT_FALSE(QFile::exists(other.path() + QStringLiteral("/podaci/baza.txt")));
    EXPECT_EQ(journalTexts(desk.path()), before); // nothing of the server's tables was dropped
}

// A journal of another layout is refused by a joining desk, naming the table and the column;
// the desk keeps no baza.txt, or the one it had.
TEST_F(ServerStoreTest, AJoinRefusesAJournalOfAnotherLayout)
{
    const struct
    {
        const char *alter;
        const char *mend; // "" for the last row
        const char *named;
    } layouts[] = {
        {"ALTER TABLE promet ALTER COLUMN datum TYPE text",
         "ALTER TABLE promet ALTER COLUMN datum TYPE date USING datum::date", "column DATUM is TEXT, not DATE"},
        {"ALTER TABLE promet ALTER COLUMN izlazdin TYPE numeric",
         "ALTER TABLE promet ALTER COLUMN izlazdin TYPE bigint", "column IZLAZDIN is TEXT, not MONEY"},
        {"ALTER TABLE promet RENAME COLUMN grupa TO \"GRUPA\"",
         "ALTER TABLE promet RENAME COLUMN \"GRUPA\" TO grupa", "column GRUPA is not in lower case"},
        {"ALTER TABLE promet DROP COLUMN opis", "", "column OPIS is missing"},
    };
    const QString uri = PgCluster::shared().uri();
    QTemporaryDir joined;
    ASSERT_TRUE(QDir().mkpath(joined.filePath(QStringLiteral("podaci"))));
    const QString joinedBaza = joined.filePath(QStringLiteral("podaci/baza.txt"));
    QFile earlier(joinedBaza);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("postgresql://kasa@192.0.2.1/prije\n");
    earlier.close();
    for (const auto &layout : layouts) {
        SCOPED_TRACE(layout.alter);
        ASSERT_EQ(PgCluster::shared().exec(QLatin1String(layout.alter)), QString());
        QTemporaryDir fresh;
        QString errors;
        EXPECT_EQ(runInit({QStringLiteral("--join"), uri, fresh.path()}, &errors), 1);
        EXPECT_TRUE(errors.contains(QStringLiteral("promet.db is not a promet table (%1)").arg(QLatin1String(layout.named))))
            << errors.toStdString();
        EXPECT_FALSE(QFile::exists(fresh.filePath(QStringLiteral("podaci/baza.txt"))));
        EXPECT_EQ(runInit({QStringLiteral("--join"), uri, joined.path()}), 1);
        ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
        EXPECT_EQ(earlier.readAll(), "postgresql://kasa@192.0.2.1/prije\n");
        earlier.close();
        if (*layout.mend)
            ASSERT_EQ(PgCluster::shared().exec(QLatin1String(layout.mend)), QString());
    }
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
    QFile baza(dataFile(QStringLiteral("baza.txt")));
    ASSERT_TRUE(baza.open(QIODevice::WriteOnly | QIODevice::Truncate));
    baza.write(proxy.uri(cluster.uri(), cluster.port()).toUtf8() + "\ntimeout=3\n");
    baza.close();
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
        EXPECT_EQ(cluster.value(QStringLiteral("SELECT count(*) FROM promet")),
                  fault.outcome == NotStored ? QStringLiteral("0") : QStringLiteral("1"));
        EXPECT_TRUE(writeLockFreeWithin(10));

        ASSERT_TRUE(proxy.command(QStringLiteral("thaw")));
        bool again = false;
        EXPECT_NO_THROW(again = posting(key));
        journal.close();
        EXPECT_EQ(again, fault.outcome == NotStored); // a stored posting is never stored twice
        EXPECT_EQ(cluster.value(QStringLiteral("SELECT count(*) FROM promet")), QStringLiteral("1"));
    }
}

namespace {

const QString adminPassword = QStringLiteral("Adm1n-tajna");
const QString deskPassword = QStringLiteral("Kasa-tajna7");

QString roleUri(const QString &role)
{
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/postgres").arg(role).arg(PgCluster::shared().port());
}

// Runs `sql` with psql as `role`, its password from a password file; true when it succeeded.
bool psqlAs(const QString &role, const QString &password, const QString &sql, QString *errors)
{
    QTemporaryDir home;
    const QString passFile = home.filePath(QStringLiteral("pgpass"));
    QFile pass(passFile);
    pass.open(QIODevice::WriteOnly);
    pass.write(QStringLiteral("127.0.0.1:%1:postgres:%2:%3\n")
                   .arg(PgCluster::shared().port())
                   .arg(role, password)
                   .toUtf8());
    pass.close();
    pass.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QProcess psql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSFILE"), passFile);
    psql.setProcessEnvironment(env);
    psql.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-w"),
                                        QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                        QStringLiteral("-c"), sql, roleUri(role)});
    psql.waitForFinished(30000);
    *errors = QString::fromUtf8(psql.readAllStandardError());
    return psql.exitStatus() == QProcess::NormalExit && psql.exitCode() == 0;
}

} // namespace

// The shop's two roles: the desks' role posts, reads and reports but can neither change nor
// delete a record, through the program or through psql; the administrator's role can.
TEST_F(ServerStoreTest, TheDeskRoleOnlyReadsAndAppendsTheAdministratorKeepsTheData)
{
    QString shown;
    ASSERT_EQ(runInit({QStringLiteral("--server"), PgCluster::shared().uri(), QStringLiteral("--roles")},
                      nullptr, (adminPassword + u'\n' + deskPassword + u'\n').toUtf8(), &shown),
              0)
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(roleUri(QStringLiteral("dorvanta_kasa")))) << shown.toStdString();
    post({QStringLiteral("Ana"), QStringLiteral("01/12/2026"), QStringLiteral("prvo"), QStringLiteral("g"),
          QStringLiteral("5.00")});

    // Through the program: a desk joined with the desks' role (its password typed in).
    QTemporaryDir deskDir;
    ASSERT_EQ(runInit({QStringLiteral("--join"), roleUri(QStringLiteral("dorvanta_kasa")), deskDir.path()},
                      nullptr, deskPassword.toUtf8() + "\n", &shown),
              0)
        << shown.toStdString();
    engine::Session desk;
    desk.setBaseDir(deskDir.path());
    desk.setPassword(password());
    desk.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    Table journal(desk, QStringLiteral("podaci/promet.db"));
    journal.open();
    ASSERT_TRUE(journal.startPosting(QUuid::createUuid()));
    EXPECT_EQ(journal.sumMoney({QStringLiteral("ULAZDIN")}).at(0).toText(), QStringLiteral("5.00"));
    journal.insert();
    journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("sa kase"));
    journal.post();
    EXPECT_NO_THROW(journal.commit());
    engine::Query report(desk);
    report.sql().append(QStringLiteral("select * from podaci\\promet.db where opis like 'sa%'"));
    EXPECT_NO_THROW(report.open());
    EXPECT_EQ(report.recordCount(), 1);
    Table users(desk, QStringLiteral("podaci/korisnici.db"));
    users.open();
    const std::pair<const char *, std::function<void()>> refused[] = {
        {"edit a journal record", [&] { journal.first(); journal.edit(); journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("x")); journal.post(); }},
        {"delete a journal record", [&] { journal.cancel(); journal.first(); journal.deleteRecord(); }},
        {"empty the journal", [&] { journal.emptyTable(); }},
        {"add a user", [&] { users.insert(); users.setFieldText(QStringLiteral("SIFRA"), QStringLiteral("9")); users.post(); }},
    };
    for (const auto &[what, action] : refused)
        EXPECT_TRUE(errorOf(action).contains(QStringLiteral("permission denied"))) << what;
    users.close();
    journal.close();
    EXPECT_EQ(PgCluster::shared().value(QStringLiteral("SELECT count(*) FROM promet")), QStringLiteral("2"));

    // Through psql, with each role's credentials.
    struct Attempt
    {
        const char *sql;
        bool desk;
        bool admin;
    };
    const Attempt attempts[] = {
        {"SELECT count(*) FROM promet, korisnici, aktivnost, grupe", true, true},
        {"INSERT INTO promet (opis) VALUES ('psql')", true, true},
        {"UPDATE promet SET opis = 'drugo'", false, true},
        {"DELETE FROM promet WHERE opis = 'psql'", false, true},
        {"UPDATE dorvanta_password SET hash = hash", false, true},
        {"DELETE FROM dorvanta_kljuc", false, true},
        {"INSERT INTO grupe (grupa) VALUES ('tudja')", false, true},
        {"CREATE TABLE tudja (x int)", false, true},
        {"TRUNCATE promet", false, true},
    };
    for (const char *role : {"dorvanta_kasa", "dorvanta_admin"}) {
        const bool isDesk = QLatin1String(role) == QLatin1String("dorvanta_kasa");
        for (const Attempt &a : attempts) {
            QString errors;
            EXPECT_EQ(psqlAs(QLatin1String(role), isDesk ? deskPassword : adminPassword,
                             QLatin1String(a.sql), &errors),
                      isDesk ? a.desk : a.admin)
                << role << ": " << a.sql << " " << errors.toStdString();
        }
    }
    EXPECT_EQ(PgCluster::shared().exec(QStringLiteral("DROP TABLE IF EXISTS tudja")), QString());
}

// No password on a command line, in a message or in the server's log: dorvanta-init reads it
// from standard input, and every text that could carry it is shown without it.
TEST_F(ServerStoreTest, PasswordsNeverShowInCommandLinesMessagesOrLogs)
{
    QString shown;
    ASSERT_EQ(runInit({QStringLiteral("--server"), PgCluster::shared().uri(), QStringLiteral("--roles")},
                      nullptr, (adminPassword + u'\n' + deskPassword + u'\n').toUtf8(), &shown),
              0);
    QTemporaryDir deskDir;
    const QString desk = roleUri(QStringLiteral("dorvanta_kasa"));
    QProcess init;
    init.start(QStringLiteral(DORVANTA_INIT), {QStringLiteral("--join"), desk, deskDir.path()});
    ASSERT_TRUE(init.waitForStarted());
    // What ps shows every user; until the child has exec'd it still shows the test's own.
    QByteArray commandLine;
    for (int i = 0; i < 500 && !commandLine.contains("--join"); ++i) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(init.processId()));
        if (cmdline.open(QIODevice::ReadOnly))
            commandLine = cmdline.readAll();
        if (!commandLine.contains("--join"))
            QThread::msleep(10);
    }
    init.write(deskPassword.toUtf8() + "\n");
    init.closeWriteChannel();
    ASSERT_TRUE(init.waitForFinished(30000));
    EXPECT_EQ(init.exitCode(), 0);
    shown += QString::fromUtf8(init.readAllStandardOutput() + init.readAllStandardError());
    EXPECT_TRUE(commandLine.contains("dorvanta_kasa@"));

    // Failures whose texts come from libpq or name the server.
    const QString hidden = QStringLiteral("postgresql://dorvanta_kasa:%1@127.0.0.1:%2/postgres")
                               .arg(deskPassword)
                               .arg(PgCluster::shared().port());
    QTemporaryDir other;
    const QStringList failing[] = {
        {QStringLiteral("--join"), hidden + QStringLiteral("%zz"), other.path()}, // not a URI
        {QStringLiteral("--join"), hidden + QStringLiteral("?sslmode=nonsense"), other.path()},
        {QStringLiteral("--server"), hidden + QStringLiteral("%zz"), QStringLiteral("--import"), deskDir.path()},
    };
    for (const QStringList &args : failing) {
        QString errors;
        EXPECT_EQ(runInit(args, &errors, {}, &shown), 1) << args.join(u' ').toStdString();
        EXPECT_TRUE(errors.contains(QStringLiteral("dorvanta-init: "))) << errors.toStdString();
    }
    {
        QFile baza(deskDir.filePath(QStringLiteral("podaci/baza.txt")));
        ASSERT_TRUE(baza.open(QIODevice::WriteOnly | QIODevice::Truncate));
        baza.write((hidden + QStringLiteral("%zz\n")).toUtf8());
    }
    engine::Session session2;
    session2.setBaseDir(deskDir.path());
    session2.setPassword(password());
    Table journal(session2, QStringLiteral("podaci/promet.db"));
    shown += errorOf([&] { journal.open(); });
    EXPECT_TRUE(shown.contains(QStringLiteral("Server baze podataka nije dostupan: ")));

    QFile log(PgCluster::shared().logFile());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString serverLog = QString::fromUtf8(log.readAll());
    for (const QString &secret : {adminPassword, deskPassword}) {
        EXPECT_FALSE(commandLine.contains(secret.toUtf8()));
        EXPECT_FALSE(shown.contains(secret)) << shown.toStdString();
        EXPECT_FALSE(serverLog.contains(secret));
    }
}

// A backup of the server's journal killed midway leaves only a temporary file the start-up
// clean-up removes; a whole one is a journal file with the server table's index.
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

    engine::copyTableFile(dataFile(QStringLiteral("promet.db")), target);
    EXPECT_NO_THROW(desk::promet().checkTableFile(target, password()));
    EXPECT_EQ(rawQuery(target, "SELECT name FROM sqlite_master WHERE type = 'index'"),
              QStringList{QStringLiteral("text:promet_amounts")});
}

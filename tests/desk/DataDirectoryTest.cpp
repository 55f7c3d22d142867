// The data directory and its tool: dorvanta-init making a data directory, moving a journal to
// the server, desks joining it (and refusing a journal of another layout), the shop's two
// server roles, passwords kept out of sight.

#include "testsupport/EngineFixture.h"

#include "desk/Rates.h"
#include "desk/CashBook.h"
#include "desk/CashCount.h"
#include "desk/DeskSettings.h"
#include "desk/JournalChain.h"
#include "desk/Posting.h"
#include "engine/Query.h"

#include <QFile>
#include <QProcess>
#include <QThread>
#include <QUuid>

using engine::Table;

namespace {

class DataDirectoryTest : public EngineFixture
{
};

class ServerStoreTest : public EngineFixture
{
protected:
    bool onServer() const override { return true; }
};

// Sets a session up as a desk on `directory` has it: its tables, their password (written out:
// the one of every data directory made so far), the short date form.
void useDirectory(engine::Session &session, const QString &directory)
{
    session.setBaseDir(directory);
    session.setPassword(QStringLiteral("kvr604"));
    session.setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

// Runs dorvanta-init with `input` on its standard input; its standard error in `errors`, both
// of its outputs in `shown`.
int runTool(const QString &program, const QStringList &args, QString *errors,
            const QByteArray &input, QString *shown)
{
    QProcess init;
    init.start(program, args);
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

int runInit(const QStringList &args, QString *errors = nullptr, const QByteArray &input = {},
            QString *shown = nullptr)
{
    return runTool(QStringLiteral(DORVANTA_INIT), args, errors, input, shown);
}

int runAdmin(const QStringList &args, QString *shown)
{
    return runTool(QStringLiteral(DORVANTA_ADMIN), args, nullptr, {}, shown);
}

} // namespace

TEST_F(DataDirectoryTest, InitToolMakesADataDirectoryAndRefusesToOverwriteIt)
{
    QTemporaryDir target;
    QString printed;
    EXPECT_EQ(runInit({target.path(), QStringLiteral("--demo")}, nullptr, {}, &printed), 0);
    EXPECT_TRUE(printed.contains(QStringLiteral("Admin code: 12345"))) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("Petar Petrovic code: 111"))) << printed.toStdString();

    const QString users = target.path() + QStringLiteral("/podaci/korisnici.db");
    const char *listUsers = "SELECT SIFRA || '=' || IMEIPREZIME FROM korisnici";
    EXPECT_EQ(rawQuery(users, listUsers),
              (QStringList{"text:12345=Admin", "text:111=Petar Petrovic"}));
    EXPECT_NO_THROW(desk::promet().checkTableFile(target.path() + "/podaci/promet.db", password()));
    QFile options(target.path() + QStringLiteral("/podaci/ftpop.txt"));
    ASSERT_TRUE(options.open(QIODevice::ReadOnly));
    EXPECT_EQ(options.readAll(), QByteArray("0\r\n"));

    // The tables, the settings and a backup are the shop's books: readable by their owner only
    // (the public signing key is for anyone).
    QString backedUp;
    ASSERT_EQ(runAdmin({QStringLiteral("--dir"), target.path(), QStringLiteral("backup")}, &backedUp), 0)
        << backedUp.toStdString();
    const QFileInfoList files = QDir(target.path() + QStringLiteral("/podaci")).entryInfoList(QDir::Files);
    EXPECT_GE(files.size(), 6);
    for (const QFileInfo &f : files)
        if (f.fileName() != QLatin1String("potpis-javni.pem"))
            EXPECT_EQ(f.permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
                  QFile::Permissions())
            << f.fileName().toStdString();

    QString errors;
    EXPECT_EQ(runInit({target.path(), QStringLiteral("--admin-code"), QStringLiteral("999")}, &errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("already exist"))) << errors.toStdString();
    EXPECT_EQ(rawQuery(users, listUsers), // untouched
              (QStringList{"text:12345=Admin", "text:111=Petar Petrovic"}));
}


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
        useDirectory(localSession, local.path());
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
    // The desk's journal numbered and chained as at its next start: the server's copy verifies
    // with the same head, so every record came over whole and in order (what the records read
    // as on the server, byte for byte, is the export's: tests/app/tst_serverstore).
    ASSERT_TRUE(desk::cashbook::prepareDirectory(local.path(), password()));
    ASSERT_TRUE(desk::chain::chainAppended(local.path(), password(), QStringLiteral("UVOZ"), {}));
    const desk::chain::Verdict atDesk = desk::chain::verifyDirectory(local.path(), password());
    ASSERT_TRUE(atDesk.ok()) << atDesk.text().toStdString();
    ASSERT_EQ(atDesk.records, 3);

    ASSERT_EQ(runInit({QStringLiteral("--server"), uri, QStringLiteral("--import"), local.path()}), 0);
    QString errors;
    EXPECT_EQ(runInit({QStringLiteral("--server"), uri, QStringLiteral("--import"), local.path()}, &errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("not empty"))) << errors.toStdString();

    ASSERT_EQ(runInit({QStringLiteral("--join"), uri, desk.path()}), 0);
    EXPECT_EQ(QFile::permissions(desk.path() + QStringLiteral("/podaci/baza.txt")) &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions()); // it may hold the database password
    EXPECT_TRUE(QFile::exists(desk.path() + QStringLiteral("/podaci/ftpop.txt")));
    const desk::chain::Verdict onServer = desk::chain::verifyDirectory(desk.path(), password());
    EXPECT_TRUE(onServer.ok()) << onServer.text().toStdString();
    EXPECT_EQ(onServer.records, 3);
    EXPECT_EQ(onServer.head, atDesk.head);

    // The year's archive of the server's journal: a closed day's report, the manifest ending
    // at the same head, and it verifies.
    QString shown;
    const QString archive = desk.path() + QStringLiteral("/arhiva");
    const auto admin = [&](QStringList args) {
        shown.clear();
        return runAdmin(QStringList{QStringLiteral("--dir"), desk.path()} + args, &shown);
    };
    ASSERT_EQ(admin({QStringLiteral("close-day"), QStringLiteral("--date"), QStringLiteral("2026-12-01"),
                     QStringLiteral("--admin-code"), QStringLiteral("12345")}), 0) << shown.toStdString();
    ASSERT_EQ(admin({QStringLiteral("archive"), QStringLiteral("--year"), QStringLiteral("2026"),
                     QStringLiteral("--output"), archive}), 0) << shown.toStdString();
    EXPECT_TRUE(QFile::exists(archive + QStringLiteral("/izvestaj-2026-12-01.pdf")));
    QFile manifest(archive + QStringLiteral("/MANIFEST"));
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    EXPECT_TRUE(manifest.readAll().contains(atDesk.head));
    const QString fingerprint =
        shown.section(QStringLiteral("Otisak kljuca za potpis: "), 1).left(64);
    EXPECT_EQ(runAdmin({QStringLiteral("verify-archive"), archive, QStringLiteral("--fingerprint"),
                        fingerprint},
                       &shown),
              0)
        << shown.toStdString();
    // The administrator's other acts reach the server too.
    EXPECT_EQ(admin({QStringLiteral("verify")}), 0) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromLatin1(atDesk.head))) << shown.toStdString();
    EXPECT_EQ(admin({QStringLiteral("backup")}), 0) << shown.toStdString();

    EXPECT_EQ(runInit({QStringLiteral("--server"), uri, other.path()}, &errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("already exist"))) << errors.toStdString();
    EXPECT_FALSE(QFile::exists(other.path() + QStringLiteral("/podaci/baza.txt")));
    // Nothing of the server's tables was dropped.
    EXPECT_EQ(desk::chain::verifyDirectory(desk.path(), password()).head, atDesk.head);
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
        if (*layout.mend) {
            ASSERT_EQ(PgCluster::shared().exec(QLatin1String(layout.mend)), QString());
        }
    }
}

namespace {

const QString adminPassword = QStringLiteral("Adm1n-tajna");
const QString deskPassword = QStringLiteral("Kasa-tajna7");

// Sets up the shop's two roles with their passwords typed in; what was shown in `shown`.
int setUpRoles(QString *shown)
{
    return runInit({QStringLiteral("--server"), PgCluster::shared().uri(), QStringLiteral("--roles")},
                   nullptr, (adminPassword + u'\n' + deskPassword + u'\n').toUtf8(), shown);
}

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
    ASSERT_EQ(setUpRoles(&shown), 0) << shown.toStdString();
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
    useDirectory(desk, deskDir.path());
    Table journal(desk, QStringLiteral("podaci/promet.db"));
    journal.open();
    ASSERT_TRUE(journal.startPosting(QUuid::createUuid()));
    EXPECT_EQ(journal.sumMoney({QStringLiteral("ULAZDIN")}).at(0).toText(), QStringLiteral("5.00"));
    journal.insert();
    journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("sa kase"));
    journal.post();
    EXPECT_NO_THROW(journal.commit());
    engine::Query report(desk);
    EXPECT_NO_THROW(reopen(report, QStringLiteral("select * from podaci\\promet.db where opis like 'sa%'")));
    EXPECT_EQ(report.recordCount(), 1);
    // A desk counts its cash (no difference here) and reads the settings every desk shares;
    // saving them is the administrator's.
    EXPECT_NO_THROW(::desk::cashcount::record(
        journal, QDate(2026, 12, 1), ::desk::Currency::Dinars,
        ::desk::cashcount::parse(QStringLiteral("5x1"), ::desk::Currency::Dinars),
        QStringLiteral("Ana"), QDateTime(QDate(2026, 12, 1), QTime(20, 0)), desk.dateFormat()));
    EXPECT_EQ(::desk::cashcount::ofDay(journal, QDate(2026, 12, 1)).size(), 1);
    EXPECT_NO_THROW(journal.runBeside(QStringLiteral("SELECT KURS FROM dorvanta_kurs"))); // the rates: read
    ::desk::settings::Shared shared;
    shared.blindCount = true;
    Table users(desk, QStringLiteral("podaci/korisnici.db"));
    const std::pair<const char *, std::function<void()>> refused[] = {
        {"edit a journal record", [&] { journal.first(); journal.edit(); journal.setFieldText(QStringLiteral("OPIS"), QStringLiteral("x")); journal.post(); }},
        {"delete a journal record", [&] { journal.cancel(); journal.first(); journal.deleteRecord(); }},
        {"empty the journal", [&] { journal.emptyTable(); }},
        {"open the users with their codes", [&] { users.open(); }},
        {"save the shared settings", [&] { ::desk::settings::write(journal, shared, QStringLiteral("Admin")); }},
        {"store an exchange rate", [&] {
             ::desk::rates::store(journal, {{QDate(2026, 12, 1), ::desk::rates::Euro, 117000000, {},
                                              QStringLiteral("UNETO")}},
                                  QStringLiteral("Ana"), true);
         }},
    };
    for (const auto &[what, action] : refused)
        EXPECT_TRUE(errorOf(action).contains(QStringLiteral("permission denied"))) << what;
    users.close();
    journal.close();
    journal.open();

    // The desk's own work through the cash book, with nothing but reading and appending: its
    // login (numbering the records above), a posting, its reversal and the day's close.
    EXPECT_EQ(errorOf([&] { EXPECT_EQ(desk::cashbook::prepare(journal), 1); }),
              QStringLiteral("(no error)"));
    desk::Posted posted;
    const QDate day(2026, 12, 1);
    EXPECT_EQ(errorOf([&] {
                  posted = desk::post(journal,
                                      {QStringLiteral("Ana"), day, QStringLiteral("10:00:00"),
                                       desk::Currency::Dinars, desk::Direction::In,
                                       engine::Money::fromHundredths(700), QStringLiteral("uplata"),
                                       QStringLiteral("g"), QUuid::createUuid()},
                                      desk.dateFormat());
              }),
              QStringLiteral("(no error)"));
    EXPECT_EQ(posted.number, QStringLiteral("U-2026-000002"));
    EXPECT_EQ(errorOf([&] {
                  EXPECT_EQ(desk::cashbook::reverse(journal, posted.number, QStringLiteral("Ana"), day,
                                                    QStringLiteral("10:05:00"), desk.dateFormat())
                                .number,
                            QStringLiteral("U-2026-000003"));
                  desk::cashbook::closeDay(journal, day, QStringLiteral("Ana"),
                                           QDateTime(day.addDays(1), QTime(8, 0)));
              }),
              QStringLiteral("(no error)"));
    EXPECT_TRUE(errorOf([&] { desk::cashbook::requireOpenDay(journal, day); }).contains(QStringLiteral("zakljucen")));
    journal.close();
    EXPECT_EQ(PgCluster::shared().value(QStringLiteral("SELECT count(*) FROM promet")), QStringLiteral("4"));

    // Through psql the desks' role can change, delete or empty no table of the program.
    const QStringList tables =
        PgCluster::shared()
            .value(QStringLiteral("SELECT string_agg(table_name || '.' || c, ' ') FROM (SELECT "
                                  "table_name, min(column_name) AS c FROM information_schema.columns "
                                  "WHERE table_schema = current_schema() GROUP BY table_name) t"))
            .split(u' ');
    EXPECT_GE(tables.size(), 13) << tables.join(u' ').toStdString();
    for (const QString &tableAndColumn : tables) {
        const QString table = tableAndColumn.section(u'.', 0, 0);
        const QString column = tableAndColumn.section(u'.', 1);
        for (const QString &sql : {QStringLiteral("UPDATE %1 SET %2 = %2").arg(table, column),
                                   QStringLiteral("DELETE FROM %1").arg(table),
                                   QStringLiteral("TRUNCATE %1").arg(table)}) {
            QString errors;
            EXPECT_FALSE(psqlAs(QStringLiteral("dorvanta_kasa"), deskPassword, sql, &errors)) << sql.toStdString();
            EXPECT_TRUE(errors.contains(QStringLiteral("permission denied"))) << errors.toStdString();
        }
    }

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
        {"UPDATE dorvanta_broj SET zapisa = zapisa", false, true},
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

    // The count the server keeps of the journal followed every change above, whoever made
    // it; one it no longer keeps is not believed, and setting the roles up again restarts it.
    const QString kept = QStringLiteral("SELECT zapisa FROM dorvanta_broj WHERE tabela = 'promet'");
    EXPECT_EQ(PgCluster::shared().value(kept), QStringLiteral("0"));
    PgCluster::shared().exec(QStringLiteral("ALTER TABLE promet DISABLE TRIGGER dorvanta_broj_dodaj"));
    PgCluster::shared().exec(QStringLiteral("INSERT INTO promet (opis) VALUES ('mimo')"));
    journal.open();
    EXPECT_EQ(journal.recordCount(), 1);
    journal.close();
    ASSERT_EQ(setUpRoles(&shown), 0);
    EXPECT_EQ(PgCluster::shared().value(kept), QStringLiteral("1"));
    journal.open();
    journal.insert();
    journal.post();
    EXPECT_EQ(journal.recordCount(), 2);
    EXPECT_EQ(PgCluster::shared().value(kept), QStringLiteral("2"));
}

// No password on a command line, in a message or in the server's log: dorvanta-init reads it
// from standard input, and every text that could carry it is shown without it.
TEST_F(ServerStoreTest, PasswordsNeverShowInCommandLinesMessagesOrLogs)
{
    QString shown;
    ASSERT_EQ(setUpRoles(&shown), 0);
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
    useDirectory(session2, deskDir.path());
    Table journal(session2, QStringLiteral("podaci/promet.db"));
    shown += errorOf([&] { journal.open(); });
    EXPECT_TRUE(shown.contains(QStringLiteral("Server baze podataka nije dostupan: ")));

    // A password given under a percent-encoded parameter name reaches no audit entry.
    QTemporaryDir encoded;
    const QString encodedUri = QStringLiteral("postgresql://dorvanta_kasa@127.0.0.1:%1/postgres?%70assword=%2")
                                   .arg(PgCluster::shared().port())
                                   .arg(deskPassword);
    EXPECT_EQ(runInit({QStringLiteral("--join"), encodedUri, encoded.path()}, nullptr, {}, &shown), 0)
        << shown.toStdString();
    const QString entries = PgCluster::shared().value(
        QStringLiteral("SELECT string_agg(coalesce(opis, ''), ' | ') FROM dorvanta_dnevnik"));
    EXPECT_TRUE(entries.contains(QStringLiteral("Kasa prikljucena na server postgresql://dorvanta_kasa@127.0.0.1")))
        << entries.toStdString();
    shown += entries;

    QFile log(PgCluster::shared().logFile());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString serverLog = QString::fromUtf8(log.readAll());
    for (const QString &secret : {adminPassword, deskPassword}) {
        EXPECT_FALSE(commandLine.contains(secret.toUtf8()));
        EXPECT_FALSE(shown.contains(secret)) << shown.toStdString();
        EXPECT_FALSE(serverLog.contains(secret));
    }
}

// A cashier who speaks SQL with the desk's own credentials: every attack is refused by the
// server or named by verify, and the desk still logs in, posts, reverses, counts and closes
// its day with nothing but its role.
TEST_F(ServerStoreTest, AHostileDeskForgesNothingLearnsNoCodeAndBlocksNoOne)
{
    QString shown;
    ASSERT_EQ(setUpRoles(&shown), 0) << shown.toStdString();
    session.setPassword(password());
    {
        Table users(session, QStringLiteral("podaci/korisnici.db"));
        users.open();
        for (const auto &[code, name] : {std::pair{"12345", "Admin"}, std::pair{"7", "Ana"}}) {
            users.insert();
            users.setFieldText(QStringLiteral("SIFRA"), QLatin1String(code));
            users.setFieldText(QStringLiteral("IMEIPREZIME"), QLatin1String(name));
            users.post();
        }
    }
    const QDate day(2026, 12, 1);
    const auto posting = [&](const QString &who, qint64 hundredths) {
        return desk::Posting{who, day, QStringLiteral("10:00:00"), desk::Currency::Dinars,
                             desk::Direction::In, engine::Money::fromHundredths(hundredths),
                             QStringLiteral("uplata"), QStringLiteral("g"), QUuid::createUuid()};
    };
    QString first;
    {
        Table journal(session, QStringLiteral("podaci/promet.db"));
        journal.open();
        desk::cashbook::prepare(journal);
        first = desk::post(journal, posting(QStringLiteral("Admin"), 500), session.dateFormat()).number;
    }
    QTemporaryDir deskDir;
    ASSERT_EQ(runInit({QStringLiteral("--join"), roleUri(QStringLiteral("dorvanta_kasa")), deskDir.path()},
                      nullptr, deskPassword.toUtf8() + "\n", &shown),
              0)
        << shown.toStdString();

    const QString lastEntryBy =
        QStringLiteral("SELECT coalesce(korisnik, '(niko)') FROM dorvanta_dnevnik ORDER BY rb DESC LIMIT 1");
    struct Attack
    {
        const char *what;
        QString sql;
        QString refusal;  // a part of the server's answer; empty: the server takes it
        QString after;    // with a refusal empty: what `check` must then give
        QString check;
    };
    const QString top = QStringLiteral("9223372036854775807");
    const Attack attacks[] = {
        {"read the login codes", QStringLiteral("SELECT sifra, imeiprezime FROM korisnici"),
         QStringLiteral("permission denied"), {}, {}},
        {"read the login tokens", QStringLiteral("SELECT * FROM dorvanta_prijava_zeton"),
         QStringLiteral("permission denied"), {}, {}},
        {"forge a link at the highest id",
         QStringLiteral("INSERT INTO dorvanta_lanac (id, redni, hes) VALUES (%1, 2, repeat('0', 64))").arg(top),
         QStringLiteral("permission denied"), {}, {}},
        {"forge an audit entry in the Admin's name",
         QStringLiteral("INSERT INTO dorvanta_dnevnik (rb, vreme, korisnik, radnja, zapisa, hes) VALUES "
                        "(99, '2026-12-01T09:00:00', 'Admin', 'ZAKLJUCAK', 1, repeat('0', 64))"),
         QStringLiteral("permission denied"), {}, {}},
        {"forge a document number",
         QStringLiteral("INSERT INTO dorvanta_dokument (id, broj) VALUES (%1, 'U-2026-999999')").arg(top),
         QStringLiteral("permission denied"), {}, {}},
        {"use up the counter",
         QStringLiteral("INSERT INTO dorvanta_izdat (vrsta, godina, redni) VALUES ('U', 2026, %1)").arg(top),
         QStringLiteral("permission denied"), {}, {}},
        {"close every day to come",
         QStringLiteral("INSERT INTO dorvanta_zakljucak (datum, broj) VALUES ('9999-12-31', 1)"),
         QStringLiteral("permission denied"), {}, {}},
        {"close every day to come through the function",
         QStringLiteral("SELECT dorvanta_zakljuci('9999-12-31', 'Admin', NULL)"),
         QStringLiteral("jos nije prosao"), {}, {}},
        {"a record after every id to come",
         QStringLiteral("INSERT INTO promet (id, opis) VALUES (%1, 'x')").arg(top),
         QStringLiteral("permission denied"), {}, {}},
        {"number a numbered record again",
         QStringLiteral("SELECT dorvanta_knjizi(id, 'U', NULL) FROM dorvanta_dokument LIMIT 1"),
         QStringLiteral("vec ima broj"), {}, {}},
        {"a function of its own", QStringLiteral("CREATE FUNCTION sha256(text) RETURNS text LANGUAGE sql AS 'SELECT 1'"),
         QStringLiteral("permission denied"), {}, {}},
        {"an entry in the Admin's name through the function",
         QStringLiteral("SELECT dorvanta_upisi('Admin', 'ZAKLJUCAK', 'lazno', '2020-01-01T00:00:00')"), {},
         QStringLiteral("(niko)"), lastEntryBy},
        {"a guessed login token",
         QStringLiteral("SELECT set_config('dorvanta.prijava', 'pogodak', false), "
                        "dorvanta_upisi('Admin', 'ZAKLJUCAK', 'lazno', NULL)"),
         {}, QStringLiteral("(niko)"), lastEntryBy},
        {"a payout beside the program", QStringLiteral("INSERT INTO promet (korisnik, datum, izlazdin) "
                                                       "VALUES ('Petar', '2026-12-01', 9900000)"),
         {}, QStringLiteral("1"), QStringLiteral("SELECT count(*) FROM promet WHERE izlazdin = 9900000")},
    };
    for (const Attack &a : attacks) {
        QString errors;
        const bool took = psqlAs(QStringLiteral("dorvanta_kasa"), deskPassword, a.sql, &errors);
        if (!a.refusal.isEmpty()) {
            EXPECT_FALSE(took) << a.what;
            EXPECT_TRUE(errors.contains(a.refusal)) << a.what << ": " << errors.toStdString();
        } else {
            EXPECT_TRUE(took) << a.what << ": " << errors.toStdString();
            EXPECT_EQ(PgCluster::shared().value(a.check), a.after) << a.what;
        }
    }

    // Through the program, with the desk's role alone.
    engine::Session cashier;
    useDirectory(cashier, deskDir.path());
    EXPECT_EQ(desk::loginName(cashier, QStringLiteral("nema")), std::nullopt);
    QString reason;
    EXPECT_FALSE(desk::checkAdminCode(deskDir.path(), QStringLiteral("7"), &reason));
    EXPECT_EQ(reason, QStringLiteral("the admin code is not right, nothing changed"));
    EXPECT_TRUE(desk::checkAdminCode(deskDir.path(), QStringLiteral("12345")));
    EXPECT_EQ(desk::loginName(cashier, QStringLiteral("7")), QStringLiteral("Ana"));
    Table journal(cashier, QStringLiteral("podaci/promet.db"));
    journal.open();
    desk::Posted posted;
    EXPECT_EQ(errorOf([&] {
                  desk::cashbook::prepare(journal); // numbers the payout beside the program
                  posted = desk::post(journal, posting(QStringLiteral("Ana"), 700), cashier.dateFormat());
                  desk::cashbook::reverse(journal, posted.number, QStringLiteral("Admin"), day,
                                          QStringLiteral("10:05:00"), cashier.dateFormat());
                  ::desk::cashcount::record(
                      journal, day, ::desk::Currency::Dinars,
                      ::desk::cashcount::parse(QStringLiteral("5x1"), ::desk::Currency::Dinars),
                      QStringLiteral("Admin"), QDateTime(day, QTime(20, 0)), cashier.dateFormat());
                  desk::cashbook::closeDay(journal, day, QStringLiteral("Admin"),
                                           QDateTime(day.addDays(1), QTime(8, 0)));
              }),
              QStringLiteral("(no error)"));
    EXPECT_NE(posted.number, first);
    // Entries and the close are in the name the login bound, whatever the desk said.
    EXPECT_EQ(PgCluster::shared().value(lastEntryBy), QStringLiteral("Ana"));
    EXPECT_EQ(PgCluster::shared().value(QStringLiteral("SELECT korisnik FROM dorvanta_zakljucak")),
              QStringLiteral("Ana"));
    journal.close();

    // verify names the payout stored beside the program, and nothing the desk did.
    Table owner(session, QStringLiteral("podaci/promet.db"));
    owner.open();
    const desk::chain::Verdict v = desk::chain::verify(owner);
    ASSERT_FALSE(v.findings.isEmpty()) << v.text().toStdString();
    EXPECT_EQ(v.findings.front().position, 2) << v.text().toStdString();
    EXPECT_TRUE(v.findings.front().what.contains(QStringLiteral("nije u lancu"))) << v.text().toStdString();
    EXPECT_EQ(v.findings.size(), 1) << v.text().toStdString();
}

// The journal on the server and the journal export. The export written through the cache of
// its body is byte for byte the export made from the whole journal, whatever happened to the
// journal or to the cache since the last export: in the table file and on the server. Each
// history is a list of steps, each followed by an export compared with the full one, and by
// whether the cache had to be rebuilt. A journal moved to the server: the export a desk joined
// to the server writes is the one the local journal wrote, byte for byte; a posting through a
// broken connection is stored once and said truthfully; a balance that cannot be read is
// shown as none.
#include "WindowTest.h"

#include "ExportCache.h"
#include "JournalExport.h"

#include "desk/CashBook.h"
#include "engine/TableStores.h"
#include "testsupport/FaultProxy.h"
#include "testsupport/PgCluster.h"

#include <QProcess>

namespace {

enum class Step {
    Post,           // two postings through the desk's journal table
    Declined,       // nothing stored: the export is written again
    Backup,         // a backup of the journal (changes nothing)
    Restore,        // the backup copied over the journal
    Clear,          // every record deleted
    ClearAsBefore,  // cleared and as many postings stored again before the next export: in
                    // the table file the count and the last id are the old ones
    OtherProgram,   // a record stored by another connection to the same journal
    OtherDeletes,   // the first record deleted by another connection
    OddTexts,       // control characters, letters beyond ASCII, long names
    TruncateCache,  // the cache file cut short
    EditCache,      // a byte of the cached body changed
    TouchCache,     // the cache file's time changed, its bytes not: read and found whole
    ManyPostings,   // enough records for a body of several pieces of the checksum
    DeleteCache,    // the cache file gone
};

struct Expected
{
    Step step;
    bool rebuilt;
};

using History = QList<Expected>;

} // namespace

Q_DECLARE_METATYPE(History)

class TestServerStore : public QObject, WindowTest<>
{
    Q_OBJECT

    int serial = 0;
    int postedSinceClear = 0;

    QString cachePath() const { return data->file("podaci/" + journal_export::CacheFileName); }
    static QByteArray heading()
    {
        return journal_export::headingBytes("09/12/2026", "1500.00", "-2.50");
    }

    void store(engine::Table &journal, const QString &opis, const QString &user = "Ana")
    {
        ++serial;
        journal.insert();
        journal.setFieldText("KORISNIK", user);
        journal.setFieldText("DATUM", QStringLiteral("%1/12/2026").arg(1 + serial % 28, 2, 10, QChar('0')));
        journal.setFieldText("VREME", "10:00:00");
        journal.setFieldText("ULAZDIN", QString::number(serial) + ".25");
        journal.setFieldText("STANJEDIN", QString::number(serial * 7) + ".50");
        journal.setFieldText("OPIS", opis);
        journal.setFieldText("GRUPA", "Gorivo");
        journal.post();
    }

    // Stores a record (or deletes the first) through a connection of its own, as another desk
    // or program would.
    void changeElsewhere(bool server, bool deleteFirst)
    {
        if (server && deleteFirst) {
            QCOMPARE(PgCluster::shared().exec(
                         "DELETE FROM promet WHERE id = (SELECT min(id) FROM promet)"),
                     QString());
            return;
        }
        if (server) {
            QCOMPARE(PgCluster::shared().exec(
                         "INSERT INTO promet (korisnik, datum, vreme, ulazdin, opis, grupa) VALUES "
                         "('Druga kasa', '2026-12-09', '11:00:00', 150, 'sa druge kase', 'G')"),
                     QString());
            return;
        }
        data->withTable("promet", [&](engine::Table &t) {
            if (deleteFirst)
                t.deleteRecord();
            else
                store(t, "drugi program", "Druga kasa");
        });
    }

    void damageCache(Step step)
    {
        QFile cache(cachePath());
        QVERIFY(cache.exists());
        if (step == Step::DeleteCache) {
            QVERIFY(cache.remove());
            return;
        }
        QVERIFY(cache.open(QIODevice::ReadWrite));
        if (step == Step::TouchCache) {
            QVERIFY(cache.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                      QFileDevice::FileModificationTime));
            return;
        }
        if (step == Step::TruncateCache) {
            QVERIFY(cache.resize(cache.size() - 7));
            return;
        }
        // A cashier's name changed in the middle of the body, the header left as it was.
        QVERIFY(cache.seek(512 + (cache.size() - 512) / 2));
        const QByteArray byte = cache.peek(1);
        QVERIFY(cache.write(byte == "x" ? "y" : "x") == 1);
    }

    static int runInit(const QStringList &args)
    {
        QProcess init;
        init.setProcessChannelMode(QProcess::ForwardedChannels);
        init.start(QStringLiteral(DORVANTA_INIT), args);
        init.waitForFinished(60000);
        return init.exitStatus() == QProcess::NormalExit ? init.exitCode() : -1;
    }
    QByteArray exportedJournal()
    {
        makeForm();
        if (!form->exportJournal())
            return {};
        form.reset();
        data->session.close();
        return data->readFile(QStringLiteral("podaci.txt"));
    }

    // The data directory's tables moved to the cluster, with the cashier 111; the desk then
    // reaches the server straight or through `proxy`, with an answer time-out of 3 s.
    void joinThrough(const FaultProxy *proxy)
    {
        const PgCluster &cluster = PgCluster::shared();
        QVERIFY2(cluster.ok(), qPrintable(cluster.error()));
        QCOMPARE(cluster.reset(), QString());
        data->addUser("111", "Petar");
        QCOMPARE(runInit({"--server", cluster.uri(), "--import", data->path()}), 0);
        const QString uri = proxy ? proxy->uri(cluster.uri(), cluster.port()) : cluster.uri();
        QVERIFY(data->writeFile("podaci/baza.txt", uri.toUtf8() + "\ntimeout=3\n"));
    }
    QString journalCount() const
    {
        return PgCluster::shared().value(QStringLiteral("SELECT count(*) FROM promet"));
    }

private slots:
    void init() { freshData(); }
    void cleanup() { finish(); }

    void exportEqualsFullExport_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<History>("history");
        using S = Step;
        const History postings{{S::Post, true}, {S::Post, false}, {S::Declined, false},
                               {S::Post, false}};
        const History replaced{{S::Post, true},  {S::Backup, false},  {S::Post, false},
                               {S::Restore, true}, {S::Post, false},  {S::Clear, true},
                               {S::Declined, false}, {S::Post, false}};
        const History clearedAsBefore{{S::Post, true}, {S::Post, false},
                                      {S::ClearAsBefore, true}, {S::Post, false}};
        const History others{{S::Post, true}, {S::OtherProgram, false}, {S::Post, false},
                             {S::OddTexts, false}, {S::OtherProgram, false},
                             {S::OtherDeletes, true}, {S::Post, false}};
        const History damaged{{S::Post, true},         {S::TruncateCache, true},
                              {S::Post, false},        {S::EditCache, true},
                              {S::Declined, false},    {S::DeleteCache, true},
                              {S::OddTexts, false},    {S::EditCache, true}};
        const History longBody{{S::Post, true},       {S::ManyPostings, false},
                               {S::TouchCache, false}, {S::Post, false},
                               {S::EditCache, true},   {S::Post, false}};
        QTest::addRow("file: a body of several checksum pieces") << false << longBody;
        for (const bool server : {false, true}) {
            const char *where = server ? "server: " : "file: ";
            QTest::addRow("%spostings and a declined one", where) << server << postings;
            QTest::addRow("%sbackup, restore, clear", where) << server << replaced;
            QTest::addRow("%scleared, then as many postings", where) << server << clearedAsBefore;
            QTest::addRow("%sanother desk, odd texts", where) << server << others;
            QTest::addRow("%sdamaged cache", where) << server << damaged;
        }
    }

    void exportEqualsFullExport()
    {
        QFETCH(bool, server);
        QFETCH(History, history);
        serial = 0;
        postedSinceClear = 0;
        if (server)
            joinThrough(nullptr);
        engine::Session &session = data->session;
        session.setPassword(DataDir::password());
        auto journal = std::make_unique<engine::Table>(session, "podaci/promet.db");
        journal->open();
        const QString exportPath = data->file("podaci.txt");
        const QString backup = data->file("podaci/bck-test.db");

        int index = 0;
        for (const Expected &e : history) {
            const QByteArray where = QByteArray::number(index++);
            switch (e.step) {
            case Step::Post:
                store(*journal, "kafa");
                store(*journal, "gorivo");
                postedSinceClear += 2;
                break;
            case Step::Declined:
                break;
            case Step::ManyPostings:
                journal->startTransaction();
                for (int i = 0; i < 16000; ++i)
                    store(*journal, "kafa");
                journal->commit();
                postedSinceClear += 16000;
                break;
            case Step::Backup:
                engine::copyTableFile(journal->filePath(), backup);
                break;
            case Step::Restore:
                journal->close();
                engine::copyTableFile(backup, data->file("podaci/promet.db"));
                journal->open();
                break;
            case Step::Clear:
                journal->emptyTable();
                postedSinceClear = 0;
                break;
            case Step::ClearAsBefore:
                journal->emptyTable();
                for (int i = 0; i < postedSinceClear; ++i)
                    store(*journal, "ponovo");
                break;
            case Step::OtherProgram:
            case Step::OtherDeletes:
                changeElsewhere(server, e.step == Step::OtherDeletes);
                journal->refresh();
                break;
            case Step::OddTexts:
                store(*journal, QStringLiteral("Račun\tbr.\r\n12\x01 ") + QString(300, QChar(u'ž')),
                     QStringLiteral("Đorđe Šćekić ") + QString(80, QChar('x')));
                break;
            case Step::TruncateCache:
            case Step::TouchCache:
            case Step::EditCache:
            case Step::DeleteCache:
                damageCache(e.step);
                break;
            }
            QString error;
            journal_export::ExportOutcome outcome;
            QVERIFY2(journal_export::writeExport(*journal, session.dateFormat(), heading(),
                                                 exportPath, cachePath(), &error, &outcome),
                     qPrintable(error));
            QFile written(exportPath);
            QVERIFY(written.open(QIODevice::ReadOnly));
            const QByteArray full = journal_export::buildFile(*journal, session.dateFormat(),
                                                              "09/12/2026", "1500.00", "-2.50");
            QVERIFY2(written.readAll() == full, where.constData());
            QVERIFY2(outcome.rebuilt == e.rebuilt, where.constData());
        }
        journal.reset();
    }

    void importedJournalExportsTheSameBytes()
    {
        QVERIFY2(PgCluster::shared().ok(), qPrintable(PgCluster::shared().error()));
        QCOMPARE(PgCluster::shared().reset(), QString());
        const QString uri = PgCluster::shared().uri();

        // Letters beyond ASCII, a control character, empty and negative amounts, a long text,
        // the ends of the date and time ranges.
        const QList<QStringList> postings{
            {"KORISNIK", "Đorđe Šćekić", "DATUM", "29/02/2024", "VREME", "00:00:00", "OPIS",
             "Račun\tčž", "GRUPA", "Gorivo", "ULAZDIN", "1500.25", "STANJEDIN", "1500.25"},
            {"KORISNIK", "Ana", "DATUM", "31/12/2026", "VREME", "23:59:59", "OPIS",
             QString(120, QLatin1Char('x')), "GRUPA", "", "IZLAZDIN", "0.01", "ULAZEUR", "-7.50",
             "STANJEDIN", "1500.24", "STANJEEUR", "-7.50"},
            {"KORISNIK", "Ana", "DATUM", "01/01/2000", "VREME", "12:30:00", "OPIS", "staro",
             "GRUPA", "g", "IZLAZDIN", "99999999.99", "STANJEDIN", "-99998499.75", "STANJEEUR",
             "-7.50"}};
        // The local cash book's own numbers, which numbering the records afresh would not give:
        // a cleared record used U-2026-000001; a reversal that names its original; a closed day.
        data->addRecord(QStringLiteral("promet"), {"DATUM", "01/12/2026", "ULAZDIN", "1.00"});
        QVERIFY(desk::cashbook::prepareDirectory(data->path(), DataDir::password()));
        data->withTable("promet", [](engine::Table &journal) {
            journal.emptyTable();
            desk::cashbook::prepare(journal); // as the next start does
        });
        for (const QStringList &p : postings)
            data->addRecord(QStringLiteral("promet"), p);
        data->withTable("promet", [this](engine::Table &journal) {
            desk::cashbook::prepare(journal);
            desk::cashbook::reverse(journal, "U-2026-000002", "Ana", QDate(2026, 12, 31),
                                    "23:59:59", data->session.dateFormat());
            desk::cashbook::closeDay(journal, QDate(2024, 2, 29), "Admin",
                                     QDateTime(QDate(2026, 12, 31), QTime(23, 59)));
        });
        const QByteArray local = exportedJournal();
        QVERIFY(local.count('\n') == 6 + postings.size() + 1);

        QCOMPARE(runInit({QStringLiteral("--server"), uri, QStringLiteral("--import"), data->path()}), 0);
        QCOMPARE(PgCluster::shared().value(QStringLiteral(
                     "SELECT string_agg(d.broj || coalesce(' > ' || d.storno, ''), ', ' ORDER BY "
                     "p.id) FROM promet p JOIN dorvanta_dokument d ON d.id = p.id")),
                 QStringLiteral("U-2024-000001, U-2026-000002, I-2000-000001, "
                                "U-2026-000003 > U-2026-000002"));
        QCOMPARE(PgCluster::shared().value(QStringLiteral(
                     "SELECT string_agg(datum || ' ' || broj, ', ') FROM dorvanta_zakljucak")),
                 QStringLiteral("2024-02-29 1"));
        data.reset();
        data = std::make_unique<DataDir>(); // a fresh desk, joined to the server
        QCOMPARE(runInit({QStringLiteral("--join"), uri, data->path()}), 0);
        QCOMPARE(exportedJournal(), local);
    }

    // The connection fails around the commit of a posting: the page says what became of it,
    // and pressing PROKNJIZI again with the boxes as they are never stores it twice. (A lost
    // answer to a commit that arrived is a stored posting to the desk: tests/engine's
    // FaultsOnTheWireNeverDoubleAPostingNorHoldTheDesk.)
    void postingThroughABrokenCommitIsStoredOnce_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("said");       // the start of the message after the press
        QTest::addColumn<QString>("saidAgain");  // after the second press; "" when none
        QTest::newRow("answer lost, server out of reach")
            << "sever" << "Nije poznato da li je promena proknjizena"
            << "Promena je vec proknjizena";
        QTest::newRow("commit never arrives")
            << "cut" << "Server baze podataka nije dostupan: " << "";
    }
    void postingThroughABrokenCommitIsStoredOnce()
    {
        QFETCH(QString, action);
        QFETCH(QString, said);
        QFETCH(QString, saidAgain);
        FaultProxy proxy(PgCluster::shared().port());
        QVERIFY(proxy.ok());
        joinThrough(&proxy);
        makeForm();
        login(QStringLiteral("111"));
        fillPosting("DINARI", "IZLAZ", "25.00");
        QVERIFY(proxy.command(QStringLiteral("arm COMMIT ") + action));
        dialogs.answerYes();
        form->BitBtn8Click();
        saidOnce(said);
        QCOMPARE(boxText("Edit4"), QStringLiteral("25.00")); // kept for pressing again
        if (action == QLatin1String("cut"))
            QVERIFY(dialogs.messages().first().endsWith("Promena nije proknjizena."));

        QVERIFY(proxy.command(QStringLiteral("thaw")));
        dialogs.clear();
        dialogs.answerYes();
        form->BitBtn8Click();
        if (saidAgain.isEmpty())
            QCOMPARE(dialogs.messages(), QStringList());
        else
            saidOnce(saidAgain);
        QCOMPARE(boxText("Edit4"), QString());
        QCOMPARE(journalCount(), QStringLiteral("1"));
        QCOMPARE(boxText("Edit2"), QStringLiteral("-25.00"));
    }

    // A balance that cannot be read at login is shown as no balance, never as 0.00.
    void unreadableBalancesAtLoginShowNone()
    {
        FaultProxy proxy(PgCluster::shared().port());
        QVERIFY(proxy.ok());
        joinThrough(&proxy);
        data->addRecord(QStringLiteral("promet"), {"OPIS", "x", "ULAZDIN", "10.00"});
        makeForm();
        QVERIFY(proxy.command(QStringLiteral("arm SUM( cut")));
        login(QStringLiteral("111"));
        saidOnce("Server baze podataka nije dostupan: ");
        QCOMPARE(boxText("Edit2"), QString());
        QCOMPARE(boxText("Edit3"), QString());
    }
};

QTEST_MAIN(TestServerStore)
#include "tst_serverstore.moc"

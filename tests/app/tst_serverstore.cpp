// A journal moved to the server: the export a desk joined to the server writes is the one
// the local journal wrote, byte for byte; a posting through a broken connection is stored once
// and said truthfully; a balance that cannot be read is shown as none.
#include "WindowTest.h"

#include "desk/CashBook.h"
#include "testsupport/FaultProxy.h"
#include "testsupport/PgCluster.h"

#include <QProcess>

class TestServerStore : public QObject, WindowTest<>
{
    Q_OBJECT

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
    // reaches the server through `proxy`, with an answer time-out of 3 s.
    void joinThrough(const FaultProxy &proxy)
    {
        const PgCluster &cluster = PgCluster::shared();
        QCOMPARE(cluster.reset(), QString());
        data->addUser("111", "Petar");
        QCOMPARE(runInit({"--server", cluster.uri(), "--import", data->path()}), 0);
        QVERIFY(data->writeFile("podaci/baza.txt",
                                proxy.uri(cluster.uri(), cluster.port()).toUtf8() + "\ntimeout=3\n"));
    }
    QString journalCount() const
    {
        return PgCluster::shared().value(QStringLiteral("SELECT count(*) FROM promet"));
    }

private slots:
    void init() { freshData(); }
    void cleanup() { finish(); }

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
        QCOMPARE(desk::cashbook::prepareDirectory(data->path(), DataDir::password()), QString());
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
        joinThrough(proxy);
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
        joinThrough(proxy);
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

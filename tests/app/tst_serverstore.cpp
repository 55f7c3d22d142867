// A journal moved to the server: the export a desk joined to the server writes is the one
// the local journal wrote, byte for byte.
#include "WindowTest.h"

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

private slots:
    void init() { freshData(); }
    void cleanup() { finish(); }

    void importedJournalExportsTheSameBytes()
    {
        if (!PgCluster::shared().ok())
            QFAIL(qPrintable(PgCluster::shared().error()));
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
        for (const QStringList &p : postings)
            data->addRecord(QStringLiteral("promet"), p);
        const QByteArray local = exportedJournal();
        QVERIFY(local.count('\n') == 6 + postings.size());

        QCOMPARE(runInit({QStringLiteral("--server"), uri, QStringLiteral("--import"), data->path()}), 0);
        data.reset();
        data = std::make_unique<DataDir>(); // a fresh desk, joined to the server
        QCOMPARE(runInit({QStringLiteral("--join"), uri, data->path()}), 0);
        QCOMPARE(exportedJournal(), local);
    }
};

QTEST_MAIN(TestServerStore)
#include "tst_serverstore.moc"

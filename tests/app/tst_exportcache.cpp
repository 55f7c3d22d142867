// The export written through the cache of its body is byte for byte the export made from the
// whole journal, whatever happened to the journal or to the cache since the last export: in
// the table file and on the server. Each history is a list of steps, each followed by an
// export compared with the full one, and by whether the cache had to be rebuilt.
#include "DataDir.h"

#include "ExportCache.h"
#include "JournalExport.h"

#include "engine/TableStores.h"
#include "testsupport/PgCluster.h"

#include <QtTest>

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

class TestExportCache : public QObject
{
    Q_OBJECT

    std::unique_ptr<DataDir> data;
    int serial = 0;
    int postedSinceClear = 0;

    QString cachePath() const { return data->file("podaci/" + journal_export::CacheFileName); }
    static QByteArray heading()
    {
        return journal_export::headingBytes("09/12/2026", "1500.00", "-2.50");
    }

    void post(engine::Table &journal, const QString &opis, const QString &user = "Ana")
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
                post(t, "drugi program", "Druga kasa");
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

private slots:
    void initTestCase() { desk::placeTablesOnServer(); }

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
        data = std::make_unique<DataDir>();
        serial = 0;
        postedSinceClear = 0;
        if (server) {
            QVERIFY2(PgCluster::shared().ok(), qPrintable(PgCluster::shared().error()));
            QCOMPARE(PgCluster::shared().reset(), QString());
            QStringList files;
            for (const char *name : {"korisnici", "aktivnost", "grupe", "promet"})
                files << data->file(QStringLiteral("podaci/%1.db").arg(QLatin1String(name)));
            engine::importTablesToServer(PgCluster::shared().uri(), files);
            QVERIFY(data->writeFile("podaci/baza.txt", PgCluster::shared().uri().toUtf8() + "\n"));
        }
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
                post(*journal, "kafa");
                post(*journal, "gorivo");
                postedSinceClear += 2;
                break;
            case Step::Declined:
                break;
            case Step::ManyPostings:
                journal->startTransaction();
                for (int i = 0; i < 16000; ++i)
                    post(*journal, "kafa");
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
                    post(*journal, "ponovo");
                break;
            case Step::OtherProgram:
            case Step::OtherDeletes:
                changeElsewhere(server, e.step == Step::OtherDeletes);
                journal->refresh();
                break;
            case Step::OddTexts:
                post(*journal, QStringLiteral("Račun\tbr.\r\n12\x01 ") + QString(300, QChar(u'ž')),
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
        data.reset();
    }
};

QTEST_GUILESS_MAIN(TestExportCache)
#include "tst_exportcache.moc"

// The journal's chain through the real window: clearing and restoring archive the journal,
// log the act and leave a journal that verifies; a journal changed behind the program's back
// is reported at the administrator's login, and the program goes on working.
#include "WindowTest.h"

#include "BackupFiles.h"
#include "ChainCheck.h"

#include "desk/JournalChain.h"

#include <QSignalSpy>

class TestChain : public QObject, WindowTest<>
{
    Q_OBJECT

private:
    // The cashier logs in, takes `amount` dinars in and logs out.
    void cashierTakesIn(const QString &amount)
    {
        login("111");
        post("DINARI", "ULAZ", amount);
        form->Glavnimeni1Click();
    }
    void at(int minute) { clock.set(QDateTime(QDate(2026, 12, 7), QTime(14, minute, 0))); }
    desk::chain::Verdict verify()
    {
        return desk::chain::verifyDirectory(data->path(), DataDir::password());
    }
    // The audit log's acts and details, in order.
    QList<QStringList> log()
    {
        QList<QStringList> out;
        data->withTable("promet", [&](engine::Table &journal) {
            for (const QVariantList &row :
                 journal.runBeside(QStringLiteral("SELECT RADNJA, OPIS FROM dorvanta_dnevnik ORDER BY RB")))
                out << QStringList{row.value(0).toString(), row.value(1).toString()};
        });
        return out;
    }
    // Logs the administrator in and waits for the login's check of the journal.
    void adminLogin()
    {
        QSignalSpy answered(form->journalCheck(), &ChainCheck::done);
        login("12345");
        // The check may answer before login() returns: count what came, then wait.
        QTRY_VERIFY_WITH_TIMEOUT(answered.count() > 0, 20000);
        // The window's own slot was queued before the spy counted: let it run.
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        freshData();
        data->addUser("12345", "Admin");
        data->addUser("111", "Petar Petrovic");
        at(0);
    }
    void cleanup() { finish(); }

    void clearedAndRestoredJournalsVerifyAndTheLogNamesTheArchives()
    {
        showForm();
        cashierTakesIn("100");
        cashierTakesIn("200");
        QVERIFY(verify().ok());
        const QByteArray headBefore = verify().head;

        // Clearing with the code: archived first, then a new segment from the old head.
        at(1);
        adminLogin();
        QCOMPARE(dialogs.messages(), QStringList());
        click("BitBtn19");
        dialogs.answerText(QStringLiteral("tovel38"));
        click("BitBtn21");
        const QString archive = QStringLiteral("bck-arhiva-07-12-26-14-01-00.db");
        QVERIFY(backup_files::listBackupNames(data->file("podaci")).contains(archive));
        QVERIFY(verify().ok());
        QCOMPARE(verify().head, headBefore);
        form->Glavnimeni1Click();
        cashierTakesIn("300");
        QCOMPARE(verify().records, 1);
        QVERIFY(verify().ok());
        // The archive verifies on its own, with the two records it saved.
        data->withTable(archive.chopped(3), [&](engine::Table &saved) {
            const desk::chain::Verdict v = desk::chain::verify(saved);
            QVERIFY2(v.ok(), qPrintable(v.text()));
            QCOMPARE(v.records, 2);
            QCOMPARE(v.head, headBefore);
        });

        // A backup, one more posting, and the backup restored.
        at(2);
        adminLogin();
        click("BitBtn19");
        click("BitBtn20");
        form->Glavnimeni1Click();
        at(3);
        cashierTakesIn("400");
        const QByteArray headBeforeRestore = verify().head;
        at(4);
        adminLogin();
        click("BitBtn19");
        find<QLineEdit>("Edit11")->setText(QStringLiteral("bck-07-12-26-14-02-00.db"));
        dialogs.answerYes();
        click("BitBtn23");
        const desk::chain::Verdict restored = verify();
        QVERIFY2(restored.ok(), qPrintable(restored.text()));
        QCOMPARE(restored.records, 1);
        const QList<QStringList> entries = log();
        QStringList acts;
        for (const QStringList &entry : entries)
            acts << entry.front();
        QCOMPARE(acts, (QStringList{"LANAC", "BRISANJE", "POVRACAJ"}));
        const QString details = entries.last().value(1);
        QVERIFY2(details.contains("bck-07-12-26-14-02-00.db") &&
                     details.contains("bck-arhiva-07-12-26-14-04-00.db") &&
                     details.contains(QString::fromLatin1(headBeforeRestore)),
                 qPrintable(details));
        // Every head printed so far is still part of the history the log keeps.
        QVERIFY(desk::chain::verifyDirectory(data->path(), DataDir::password(), headBefore).headFound);
        form->Glavnimeni1Click();
        cashierTakesIn("500");
        QVERIFY(verify().ok());
    }

    void aChangedJournalIsReportedAtTheAdministratorsLogin()
    {
        showForm();
        cashierTakesIn("100");
        cashierTakesIn("200");
        data->withTable("promet", [](engine::Table &journal) {
            journal.runBeside(QStringLiteral("UPDATE promet SET ULAZDIN = 1 WHERE {id} = "
                                             "(SELECT MIN({id}) FROM promet)"));
        });
        adminLogin();
        QCOMPARE(form->pageIndex(), int(PageMenu)); // the page is there, the program goes on
        saidOnce("UPOZORENJE:");
        QVERIFY2(dialogs.messages().front().contains("Zapis 1 (U-2026-000001)"),
                 qPrintable(dialogs.messages().front()));
        // A posting still chains from the stored head; the change stays visible.
        form->Glavnimeni1Click();
        cashierTakesIn("300");
        QCOMPARE(verify().findings.front().position, 1);
    }
};

QTEST_MAIN(TestChain)
#include "tst_chain.moc"

// The cash book through the real window: document numbers on the posting page and a closed
// day that refuses a posting.
#include "WindowTest.h"

#include "desk/CashBook.h"
#include "platform/TextFiles.h"

#include <QComboBox>
#include <QLabel>

class TestCashBook : public QObject, WindowTest<>
{
    Q_OBJECT

private:
    void post(const QString &direction, const QString &amount)
    {
        auto *c3 = find<QComboBox>("ComboBox3");
        c3->setCurrentIndex(c3->findText(direction));
        form->ComboBox3Change();
        find<QLineEdit>("Edit4")->setText(amount);
        find<QLineEdit>("Edit5")->setText(QStringLiteral("Racun"));
        find<QLineEdit>("Edit12")->setText(QStringLiteral("Gorivo"));
        dialogs.answerYes();
        click("BitBtn8");
    }
    QString shownDocument() { return find<QLabel>("LabelDocument")->text(); }

    void closeDay(const QDate &day)
    {
        data->session.setPassword(DataDir::password());
        engine::Table journal(data->session, QStringLiteral("podaci/promet.db"));
        journal.open();
        desk::cashbook::closeDay(journal, day, QStringLiteral("Admin"),
                                 QDateTime(clock.today(), clock.now()));
        data->session.close();
    }

private slots:
    void init()
    {
        freshData();
        data->addUser("12345", "Admin");
        data->addUser("111", "Petar Petrovic");
        QVERIFY(platform::saveLines(data->file("podaci/ftpop.txt"), {"0"}));
    }
    void cleanup() { finish(); }

    // A journal of the previous version is numbered at the first login; each posting then
    // shows its own number.
    void postingsShowTheirNumbersAfterTheOlderOnes()
    {
        data->addPosting("x", "01/12/2026", "1000.00", "0.00", "0.00", "0.00");
        showForm();
        login("111");
        QCOMPARE(dialogs.messages(), QStringList());
        post("ULAZ", "150");
        QCOMPARE(shownDocument(), QStringLiteral("Dokument: U-2026-000002"));
        post("IZLAZ", "20");
        QCOMPARE(shownDocument(), QStringLiteral("Dokument: I-2026-000001"));
        QCOMPARE(data->records("promet").size(), 3);
    }

    // The administrator closes the day while a cashier is still logged in on it: his next
    // posting is refused with the reason, stores nothing and uses no number.
    void aClosedDayRefusesAPostingAndStoresNothing()
    {
        showForm();
        login("111");
        post("ULAZ", "150");
        closeDay(QDate(2026, 12, 7));
        post("ULAZ", "30");
        QCOMPARE(dialogs.messages(),
                 QStringList{"Dan 07/12/2026 je zakljucen (poslednji zakljuceni dan je "
                             "07/12/2026): promena nije proknjizena. Prijavite se ponovo."});
        QCOMPARE(data->records("promet").size(), 1);
        QCOMPARE(find<QLineEdit>("Edit4")->text(), QStringLiteral("30")); // kept for a retry
        QCOMPARE(shownDocument(), QStringLiteral("Dokument: U-2026-000001"));
    }

    // Restoring a backup made before a close keeps the day closed and never gives a number of
    // the year again.
    void aRestoreKeepsTheClosesAndTheNumbersGiven()
    {
        showForm();
        login("111");
        post("ULAZ", "150");
        form->Glavnimeni1Click();
        login("12345");
        click("BitBtn19");
        click("BitBtn20"); // the backup holds U-2026-000001 only
        form->Glavnimeni1Click();
        login("111");
        post("ULAZ", "20");
        QCOMPARE(shownDocument(), QStringLiteral("Dokument: U-2026-000002"));
        closeDay(QDate(2026, 12, 7));

        form->Glavnimeni1Click();
        login("12345");
        click("BitBtn19");
        find<QLineEdit>("Edit11")->setText(QStringLiteral("bck-07-12-26-14-05-09.db"));
        dialogs.answerYes();
        click("BitBtn23");
        QCOMPARE(dialogs.messages().last(), QStringLiteral("Ucitao sam podatke iz back-up fajla!"));
        QCOMPARE(data->records("promet").size(), 1);

        form->Glavnimeni1Click();
        login("111");
        post("ULAZ", "30");
        QVERIFY(dialogs.messages().last().startsWith("Dan 07/12/2026 je zakljucen"));
        QCOMPARE(data->records("promet").size(), 1);
        clock.set(QDateTime(QDate(2026, 12, 8), QTime(8, 0)));
        form->Glavnimeni1Click();
        login("111");
        post("ULAZ", "30");
        QCOMPARE(shownDocument(), QStringLiteral("Dokument: U-2026-000003"));
    }
};

QTEST_MAIN(TestCashBook)
#include "tst_cashbook.moc"

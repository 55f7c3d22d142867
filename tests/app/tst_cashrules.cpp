// The posting page's rules on cash beyond the till, driven through the real widgets: the
// 10,000 EUR cash cap refused before any question and allowed only with the administrator's
// code and reason, a deposit to the bank offered by its button, and the administrator's
// warning of receipts not deposited in time.
#include "WindowTest.h"

#include "desk/CashBook.h"
#include "desk/Rates.h"
#include "engine/Table.h"

#include <QLabel>

class TestCashRules : public QObject, WindowTest<>
{
    Q_OBJECT

private:
    void storeRate(const QDate &day)
    {
        data->withTable("promet", [day](engine::Table &journal) {
            desk::cashbook::prepare(journal);
            desk::rates::store(journal, {{day, desk::rates::Euro, 117173500, QStringLiteral("235"),
                                          QStringLiteral("NBS")}},
                               QStringLiteral("Admin"), false);
        });
    }
    QStringList logged(const QString &act)
    {
        QStringList out;
        data->withTable("promet", [&](engine::Table &journal) {
            for (const QVariantList &row : journal.runBeside(
                     QStringLiteral("SELECT OPIS FROM dorvanta_dnevnik WHERE RADNJA = ?1"), {act}))
                out << row.value(0).toString();
        });
        return out;
    }

private slots:
    void init()
    {
        freshData(); // the clock's day is Monday 07.12.2026
        data->addUser("12345", "Admin");
        data->addUser("111", "Petar Petrovic");
        data->addGroup("Prodaja");
    }
    void cleanup() { finish(); }

    void theCashCapIsRefusedBeforeAnyQuestionUnlessTheAdministratorAllows_data()
    {
        QTest::addColumn<QDate>("rateDay");
        QTest::addColumn<QString>("currency");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QStringList>("script"); // "yes"/"no" to the allowance, then texts
        QTest::addColumn<QString>("first");      // the beginning of the first question
        QTest::addColumn<bool>("stored");
        const QDate monday(2026, 12, 7), friday(2026, 12, 4);
        const QString refused = QStringLiteral("Gotovinska naplata od 10.000 EUR ili vise nije dozvoljena");
        QTest::newRow("euros under the cap") << monday << "EUR" << "9999.99" << QStringList{}
                                             << "Da li ste sigurni?" << true;
        QTest::newRow("euros at it, not allowed")
            << monday << "EUR" << "10000" << QStringList{"no"}
            << refused + " (protivvrednost 1,171,735.00 DIN po srednjem kursu NBS 117.1735 od 07.12.2026)."
            << false;
        QTest::newRow("dinars at it, a wrong code")
            << monday << "DINARI" << "1171735" << QStringList{"yes", "999"} << refused << false;
        QTest::newRow("dinars at it, no reason")
            << monday << "DINARI" << "1171735" << QStringList{"yes", "12345", ""} << refused << false;
        QTest::newRow("dinars at it, allowed")
            << monday << "DINARI" << "1171735" << QStringList{"yes", "12345", "pozajmica vlasnika"}
            << refused << true;
        QTest::newRow("measured against Friday's rate")
            << friday << "DINARI" << "100" << QStringList{}
            << "Za dan 07.12.2026 nema kursa: granica od 10.000 EUR je merena po poslednjem "
               "poznatom srednjem kursu NBS 117.1735 od 04.12.2026."
            << true;
    }
    void theCashCapIsRefusedBeforeAnyQuestionUnlessTheAdministratorAllows()
    {
        QFETCH(QDate, rateDay);
        QFETCH(QString, currency);
        QFETCH(QString, amount);
        QFETCH(QStringList, script);
        QFETCH(QString, first);
        QFETCH(bool, stored);
        storeRate(rateDay);
        showLoggedIn("111");
        fillPosting(currency, "ULAZ", amount, "Prodaja", "Prodaja");
        for (const QString &s : std::as_const(script)) {
            if (s == QLatin1String("yes"))
                dialogs.answerYes();
            else if (s == QLatin1String("no"))
                dialogs.answerNo();
            else
                dialogs.answerText(s);
        }
        if (stored)
            dialogs.answerYes(); // "Da li ste sigurni?"
        click("BitBtn8");
        QVERIFY2(dialogs.questions().value(0).startsWith(first), qPrintable(dialogs.questions().join(" | ")));
        QCOMPARE(data->records("promet").size(), stored ? 1 : 0);
        const bool allowed = script.size() == 3 && !script.last().isEmpty();
        QCOMPARE(logged("GOTOVINA").size(), allowed ? 1 : 0);
        if (allowed)
            QVERIFY(logged("GOTOVINA").first().contains("pozajmica vlasnika"));
        // A refusal asks nothing more of the cashier: never "Da li ste sigurni?".
        if (!stored)
            QVERIFY(!dialogs.questions().join('\n').contains("Da li ste sigurni?"));
    }

    // The deposit's button makes the posting a dinar payment with the slip's reason; the
    // administrator's menu names the receipts older than seven working days until they are
    // deposited.
    void aDepositCoversTheReceiptTheAdministratorIsWarnedOf()
    {
        data->addPosting("Petar Petrovic", "20/11/2026", "12500.00", "0.00", "0.00", "0.00");
        showLoggedIn("12345");
        QCOMPARE(find<QLabel>("LabelDeposits")->text(),
                 QStringLiteral("Pazar od 20.11.2026 (12,500.00 DIN) nije polozen na racun"));

        showLoggedIn("111");
        fillPosting("EUR", "ULAZ", "");
        dialogs.answerText(QStringLiteral("160;42"));
        click("BitBtnDeposit");
        QVERIFY(dialogs.messages().value(0).startsWith("Broj uplatnice \"160;42\" nije ispravan"));
        QCOMPARE(boxText("Edit5"), QStringLiteral("Racun"));
        dialogs.answerText(QStringLiteral("160-42"));
        click("BitBtnDeposit");
        QCOMPARE(boxText("Edit5"), QStringLiteral("POLOG NA RACUN br. 160-42"));
        QCOMPARE(find<QLabel>("Label18")->text(), QStringLiteral("DINARI"));
        QCOMPARE(find<QLabel>("Label21")->text(), QStringLiteral("IZLAZ"));
        find<QLineEdit>("Edit4")->setText("12500");
        dialogs.answerYes();
        click("BitBtn8");
        QCOMPARE(data->records("promet").size(), 2);

        showLoggedIn("12345");
        QCOMPARE(find<QLabel>("LabelDeposits")->text(), QString());
    }
};

QTEST_MAIN(TestCashRules)
#include "tst_cashrules.moc"

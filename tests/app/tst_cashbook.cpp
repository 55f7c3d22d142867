// The cash book through the real window: document numbers on the posting page, the printed
// slip, the CSV of the report page and the day report page. A closed day refusing a posting
// (also after a restore) and the numbers a restore keeps are the backup test's, reversals
// from the journal view and the review window the upload test's.
#include "WindowTest.h"

#include "report/Document.h"

#include <QLabel>

class TestCashBook : public QObject, WindowTest<>
{
    Q_OBJECT

private:
    QString shownDocument() { return find<QLabel>("LabelDocument")->text(); }


private slots:
    void init()
    {
        freshData();
        data->addUser("12345", "Admin");
        data->addUser("111", "Petar Petrovic");
    }
    void cleanup() { finish(); }

    // A journal of the previous version is numbered at the first login, saying nothing; each
    // posting then shows its own number, and "STAMPAJ DOKUMENT" previews the document of the
    // posting just stored, of its kind.
    void postingsShowTheirNumbersAndPrintTheirSlips()
    {
        data->addPosting("x", "01/12/2026", "1000.00", "0.00", "0.00", "0.00");
        showLoggedIn("111");
        click("BitBtnSlip");
        QCOMPARE(dialogs.messages(), QStringList{"Nema proknjizenog dokumenta za stampu"});
        QStringList texts;
        onPreview = [&texts](report::Document &document) { texts = document.pageTexts(1); };
        const struct
        {
            const char *direction, *amount, *number, *title, *shown, *party;
        } cases[] = {
            {"ULAZ", "150", "U-2026-000002", "UPLATNICA br. U-2026-000002", "150.00 DIN",
             "Uplatilac"},
            {"IZLAZ", "20", "I-2026-000001", "ISPLATNICA br. I-2026-000001", "20.00 DIN",
             "Primalac"},
        };
        for (const auto &c : cases) {
            post("DINARI", c.direction, c.amount);
            QCOMPARE(shownDocument(), QStringLiteral("Dokument: ") + c.number);
            click("BitBtnSlip");
            for (const char *text : {c.title, "07/12/2026", "Petar Petrovic", c.shown, "Racun",
                                     "Gorivo", "Blagajnik", c.party})
                QVERIFY2(texts.contains(QString::fromUtf8(text)), qPrintable(texts.join('|')));
        }
        QCOMPARE(previews, 2);
        QCOMPARE(data->records("promet").size(), 3);

        // The next cashier sees no number and prints nothing of the previous one's.
        form->Glavnimeni1Click();
        data->addUser("222", "Marko Markovic");
        login("222");
        QCOMPARE(shownDocument(), QString());
        dialogs.clear();
        click("BitBtnSlip");
        QCOMPARE(dialogs.messages(), QStringList{"Nema proknjizenog dokumenta za stampu"});
        QCOMPARE(previews, 2);
    }

    // The report page's CSV holds the records its criteria choose, with their own numbers:
    // of two equal records in the journal each keeps its number.
    void csvHoldsTheReportsRecordsWithTheirNumbers()
    {
        data->addPosting("Ana", "01/12/2026", "5.00", "0.00", "0.00", "0.00", "Racun", "Gorivo");
        data->addPosting("Ana", "01/12/2026", "7.00", "0.00", "0.00", "0.00", "Racun", "Hrana");
        data->addPosting("Ana", "01/12/2026", "5.00", "0.00", "0.00", "0.00", "Racun", "Gorivo");
        adminOpens("BitBtn5");
        select("RadioButton14");
        click("BitBtnCsv"); // no group chosen: said as the report says it, nothing written
        QCOMPARE(dialogs.messages(), QStringList{"Morate izabrati grupu iz liste!"});
        dialogs.clear();
        find<QLineEdit>("Edit13")->setText(QStringLiteral("Gorivo"));
        dialogs.answerText(QStringLiteral("gorivo.csv"));
        click("BitBtnCsv");
        QCOMPARE(dialogs.messages(),
                 QStringList{"Snimljeno u " + data->file("gorivo.csv") + " (2 zapisa)"});
        const QList<QByteArray> lines = data->readFile("gorivo.csv").split('\n');
        QCOMPARE(lines.size(), 4); // header, two records, the empty rest after the last CR LF
        QVERIFY(lines.at(1).startsWith("U-2026-000001,2026-12-01,10:00:00,Ana,Gorivo,Racun,5.00,"));
        QVERIFY(lines.at(2).startsWith("U-2026-000003,"));
    }

    // The daily report page: the day's state, the preview of the report, and the close after
    // the question.
    void theDayReportPageShowsPreviewsAndClosesTheDay()
    {
        data->addPosting("Ana", "07/12/2026", "5.00", "0.00", "0.00", "0.00");
        adminOpens("BitBtnDayReport");
        QCOMPARE(form->pageIndex(), int(PageDayReport));
        QCOMPARE(find<QLabel>("DayState")->text(), QStringLiteral("NIJE ZAKLJUCEN"));
        QStringList texts;
        onPreview = [&texts](report::Document &document) { texts = document.pageTexts(1); };
        click("DayPreview");
        QCOMPARE(previews, 1);
        QVERIFY2(texts.contains("NIJE ZAKLJUCEN") && texts.contains("U-2026-000001"),
                 qPrintable(texts.join('|')));
        dialogs.answerYes();
        click("DayClose");
        QCOMPARE(dialogs.messages(),
                 QStringList{"Dan 07/12/2026 je zakljucen: izvestaj br. 1/2026."});
        QCOMPARE(find<QLabel>("DayState")->text(),
                 QStringLiteral("ZAKLJUCEN: izvestaj br. 1/2026 (Admin, 07/12/2026 14:05:09)"));
        click("DayPreview");
        QVERIFY(texts.contains("BLAGAJNICKI IZVESTAJ br. 1/2026"));
    }
};

QTEST_MAIN(TestCashBook)
#include "tst_cashbook.moc"

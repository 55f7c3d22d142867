// The review window: the cashier's own postings by period and word, never anyone else's,
// and the review report's titles.
#include "WindowTest.h"

#include "Unit2.h"

#include "desk/CashBook.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "report/Document.h"

#include <QDateEdit>
#include <QLabel>
#include <QRegularExpression>
#include <QTableView>

class TestReview : public QObject, WindowTest<TForm2>
{
    Q_OBJECT

private:
    TForm2 &open(const QString &cashier)
    {
        makeForm();
        form->Label2->setText(cashier);
        form->show();
        form->FormActivate(); // activation follows showing
        return *form;
    }
    int rows() { return form->DBGrid1->model()->rowCount(); }
    QStringList column(int c)
    {
        QStringList out;
        for (int r = 0; r < rows(); ++r)
            out.append(form->DBGrid1->model()->index(r, c).data().toString());
        return out;
    }
    void setPeriod(QDate from, QDate to)
    {
        form->DateTimePicker1->setDate(from);
        form->DateTimePicker2->setDate(to);
    }
    void search(const QString &word)
    {
        form->Edit1->setText(word);
        form->BitBtn2Click();
    }

private slots:
    void init()
    {
        freshData();
        // Petar: one old posting, two in the last 30 days (one on each end), one without a
        // description. Others: postings that a crafted search would reveal.
        data->addPosting("Petar", "01/01/2026", "5.00", "0.00", "0.00", "0.00", "stara uplata");
        data->addPosting("Petar", "07/11/2026", "10.00", "0.00", "0.00", "0.00", "Racun za struju");
        data->addPosting("Petar", "07/12/2026", "0.00", "3.00", "0.00", "0.00", "kafa RACUN");
        data->addPosting("Petar", "01/12/2026", "0.00", "0.00", "1.00", "0.00", "");
        data->addPosting("Marko", "01/12/2026", "99.00", "0.00", "0.00", "0.00", "racun Marko");
        data->addPosting("O'Brien", "02/12/2026", "7.00", "0.00", "0.00", "0.00", "racun O'Brien");
    }
    void cleanup() { finish(); }

    void showingLoadsAllThenActivationTheLastThirtyDaysThenThePeriodChosen()
    {
        makeForm();
        form->Label2->setText("Petar");
        form->FormShow();
        QCOMPARE(rows(), 4);
        QCOMPARE(form->statement(),
                 QStringLiteral("select * from podaci\\promet.db where (korisnik='Petar')"));
        form->FormActivate();
        QCOMPARE(rows(), 3); // both ends of the period are included
        QCOMPARE(form->DateTimePicker1->date(), QDate(2026, 11, 7));
        QCOMPARE(form->DateTimePicker2->date(), QDate(2026, 12, 7));
        QCOMPARE(form->statement(),
                 QStringLiteral("select * from podaci\\promet.db where (korisnik='Petar') and "
                                "(datum between '11/07/2026' and '12/07/2026')"));
        // A period of one day, then one that ends before it begins.
        setPeriod(QDate(2026, 12, 1), QDate(2026, 12, 1));
        form->BitBtn1Click();
        QCOMPARE(column(1), QStringList{"01/12/2026"});
        setPeriod(QDate(2026, 12, 7), QDate(2026, 11, 7));
        form->BitBtn1Click();
        QCOMPARE(rows(), 0);
        QVERIFY(dialogs.messages().isEmpty());
    }

    void cashierWithoutRecentPostings()
    {
        data->addPosting("Jovan", "01/01/2025", "1.00", "0.00", "0.00", "0.00", "davno");
        open("Jovan");
        QCOMPARE(rows(), 0);
        QVERIFY(dialogs.messages().isEmpty());
        form->BitBtn3->click();
        QCOMPARE(dialogs.messages(), QStringList{"Nema zapisa koji bi se stampali!"});
        QCOMPARE(previews, 0);
    }

    void searchIgnoresCaseAndStaysInThePeriod()
    {
        open("Petar");
        search("racun");
        QCOMPARE(column(7), (QStringList{"Racun za struju", "kafa RACUN"}));
        QCOMPARE(form->statement(),
                 QStringLiteral("select * from podaci\\promet.db where (korisnik='Petar') and "
                                "(upper(opis) like upper('%racun%')) and (datum between "
                                "'11/07/2026' and '12/07/2026')"));
        search("");
        QCOMPARE(rows(), 2); // "%%" matches every posting of the period with a description
    }

    void noMatchShowsTheMessageAndReloadsTheLastThirtyDays()
    {
        open("Petar");
        setPeriod(QDate(2026, 12, 1), QDate(2026, 12, 1));
        bool emptyWhileShown = false;
        dialogs.onMessage = [&](const QString &) { emptyWhileShown = rows() == 0; };
        search("nema ovoga");
        QCOMPARE(dialogs.messages(),
                 QStringList{"Ne postoji ni jedan zapis za ovaj kriterijum u zadatom periodu!"});
        QVERIFY(emptyWhileShown);
        QCOMPARE(rows(), 3);
        QCOMPARE(form->DateTimePicker1->date(), QDate(2026, 11, 7));
        QCOMPARE(form->Edit1->text(), QStringLiteral("nema ovoga"));
    }

    void otherCashiersNeverAppear_data()
    {
        QTest::addColumn<QString>("cashier");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("expected");
        QTest::newRow("crafted word") << "Petar" << "x')) or (korisnik like ('%" << 0;
        QTest::newRow("quote in word") << "Petar" << "'" << 0;
        QTest::newRow("wildcards in word") << "Petar" << "%_\\'" << 0;
        QTest::newRow("name with quote") << "O'Brien" << "racun" << 1;
        QTest::newRow("crafted name") << "x') or ('a'='a" << "" << 0;
    }
    void otherCashiersNeverAppear()
    {
        QFETCH(QString, cashier);
        QFETCH(QString, word);
        QFETCH(int, expected);
        open(cashier);
        dialogs.clear();
        search(word);
        // After a no-match message the window reloads the last 30 days of the cashier.
        search(word);
        const int shown = rows();
        for (int r = 0; r < form->query().recordCount(); ++r)
            QCOMPARE(form->query().textAt(r, form->query().fieldIndex("KORISNIK")), cashier);
        if (expected > 0)
            QCOMPARE(shown, expected);
        QVERIFY(!dialogs.messages().join(" ").contains("Syntax"));
    }

    // The titles say what the printed list holds, not what the boxes show since its load.
    void printedTitlesSayWhatWasLoaded_data()
    {
        QTest::addColumn<QString>("word"); // null: no search
        QTest::addColumn<QString>("then");
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("line3");
        const QString period = "Promet dorvante za period od 07/11/2026 do 07/12/2026";
        const QString racun = "Rezultat pretrage po reci za pretragu: racun";
        QTest::newRow("search") << "racun" << "" << period << racun;
        QTest::newRow("search, then all") << "racun" << "all" << period << "";
        QTest::newRow("search, then another word typed") << "racun" << "type" << period << racun;
        QTest::newRow("other dates picked, not loaded") << QString() << "dates" << period << "";
        QTest::newRow("other dates loaded") << QString() << "dates all"
                                            << "Promet dorvante za period od 01/12/2026 do "
                                               "07/12/2026"
                                            << "";
        QTest::newRow("all since showing") << QString() << "shown"
                                           << "Promet dorvante od pocetka pracenja prometa" << "";
    }
    void printedTitlesSayWhatWasLoaded()
    {
        QFETCH(QString, word);
        QFETCH(QString, then);
        QFETCH(QString, line1);
        QFETCH(QString, line3);
        open("Petar");
        if (!word.isNull())
            search(word);
        if (then.startsWith("dates"))
            setPeriod(QDate(2026, 12, 1), QDate(2026, 12, 7));
        if (then.endsWith("all"))
            form->BitBtn1Click();
        if (then == "type")
            form->Edit1->setText("gorivo");
        if (then == "shown")
            form->FormShow();
        QStringList texts;
        onPreview = [&](report::Document &doc) { texts = doc.pageTexts(1); };
        form->BitBtn3->click();
        QCOMPARE(previews, 1);
        QVERIFY2(texts.contains(line1), qPrintable(texts.join('|')));
        QVERIFY(texts.contains("Za dorvantika: Petar"));
        QVERIFY(texts.contains("UKUPNO DINARA"));
        const QStringList searchLines = texts.filter(QRegularExpression("^Rezultat pretrage"));
        QCOMPARE(searchLines, line3.isEmpty() ? QStringList() : QStringList{line3});
    }

    // A reversed row is marked on paper as in the grid; a reversal the list does not hold (in
    // the administrator's name) is printed under the totals with the totals net of it, one the
    // list holds (the cashier's own) is in the totals already.
    void thePrintoutMarksReversedRowsAndNetsReversalsOutsideTheList_data()
    {
        QTest::addColumn<QString>("reversedBy");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("by the administrator")
            << "Admin"
            << QStringList{"STORNIRANO (storno nije u ovom spisku)", "10.00", "POSLE STORNA",
                           "0.00", "-3.00",
                           "Stornirani: U-2026-000002 (storno U-2026-000006, Admin, 07/12/2026)"};
        QTest::newRow("by the cashier himself") << "Petar" << QStringList{};
    }
    void thePrintoutMarksReversedRowsAndNetsReversalsOutsideTheList()
    {
        QFETCH(QString, reversedBy);
        QFETCH(QStringList, printed);
        data->withTable("promet", [&](engine::Table &journal) {
            desk::cashbook::prepare(journal);
            desk::cashbook::reverse(journal, "U-2026-000002", reversedBy, QDate(2026, 12, 7),
                                    "15:00:00", engine::DateTextFormat("dd/MM/yyyy"));
        });
        open("Petar");
        QStringList texts;
        onPreview = [&](report::Document &doc) {
            for (int page = 1; page <= doc.pageCount(); ++page)
                texts << doc.pageTexts(page);
        };
        form->BitBtn3->click();
        QCOMPARE(previews, 1);
        QVERIFY2(texts.contains("U-2026-000002 (storniran): Racun za struju"), qPrintable(texts.join('|')));
        QVERIFY(texts.contains("kafa RACUN")); // not reversed: unmarked
        for (const QString &line : printed)
            QVERIFY2(texts.contains(line), qPrintable(line + " in " + texts.join('|')));
        QCOMPARE(texts.contains("POSLE STORNA"), !printed.isEmpty());
        // The totals above stay those of the list.
        QVERIFY(texts.contains(reversedBy == "Admin" ? "7.00" : "-3.00"));
    }

    // "STAMPAJ NALOG" previews the chosen row's voucher: a receipt's and a payment's, in words.
    void theChosenRowsVoucherIsPreviewed()
    {
        data->withTable("promet", [](engine::Table &journal) { desk::cashbook::prepare(journal); });
        open("Petar");
        QStringList texts;
        onPreview = [&](report::Document &doc) { texts = doc.pageTexts(1); };
        const struct
        {
            int row;
            const char *title, *number, *words;
        } cases[] = {
            {0, "NALOG BLAGAJNI ZA NAPLATU", "U-2026-000002", "slovima: deset dinara"},
            {1, "NALOG BLAGAJNI ZA ISPLATU", "I-2026-000001", "slovima: tri dinara"},
        };
        for (const auto &c : cases) {
            form->DBGrid1->setCurrentIndex(form->DBGrid1->model()->index(c.row, 0));
            form->BitBtnVoucher->click();
            for (const char *text : {c.title, c.number, c.words})
                QVERIFY2(texts.contains(QString::fromLatin1(text)), qPrintable(texts.join('|')));
        }
        QCOMPARE(previews, 2);
    }

    void closingHidesAndClosesTheSession()
    {
        open("Petar");
        QVERIFY(form->query().isOpen());
        form->close();
        QVERIFY(!form->isVisible());
        QVERIFY(!form->query().isOpen());
        QVERIFY(!data->session.hasPassword());
    }

    void postingPageButtonShowsTheWindowForTheCashier()
    {
        data->addUser("111", "Petar");
        TForm1 main(data->session, dialogs, clock, settings);
        makeForm();
        main.setReviewWindow(form.get());
        main.show();
        main.Edit1->setText("111");
        main.BitBtn9Click();
        main.posting().BitBtn18->click();
        QVERIFY(form->isVisible());
        QCOMPARE(form->Label2->text(), QStringLiteral("Petar"));
        QVERIFY(!form->isModal());
        QVERIFY(rows() > 0);
        QVERIFY(form->DBGrid1->editTriggers() == QAbstractItemView::NoEditTriggers);
        // The main window keeps working while the review window is open.
        main.posting().Edit4->setText("1");
        main.posting().Edit5->setText("r");
        main.posting().Edit12->setText("g");
        dialogs.answerYes();
        main.BitBtn8Click();
        QCOMPARE(data->records("promet").size(), 7);

        // Log-out: the next cashier does not find the previous one's postings.
        main.Glavnimeni1Click();
        QVERIFY(!form->isVisible());
        QCOMPARE(rows(), 0);
        form->FormActivate();
        QCOMPARE(rows(), 0);
    }
};

QTEST_MAIN(TestReview)
#include "tst_review.moc"

// The report page: the statement built from the criteria (byte for byte, also with quotes
// in the values), entering the page, the criterion frames, the missing-text and no-record
// messages, the end step, the previewed report of the matching postings and their CSV with
// the document numbers; and the day report page with its close. What the statement finds is
// the dialect's (tests/engine), how the report lays out its records the report engine's
// (tests/report).
#include "WindowTest.h"

#include "desk/CashBook.h"
#include "desk/CashCount.h"
#include "desk/DeskSettings.h"
#include "report/Document.h"
#include "report/TurnoverReport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QLabel>
#include <QListWidget>

using Criteria = TForm1::ReportCriteria;
// Criteria are written with designated initializers: the criteria not named stay unchosen.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

Q_DECLARE_METATYPE(TForm1::ReportCriteria)

namespace {

const QString Base = QStringLiteral("select * from podaci\\promet.db ");
const QString MissingText = QStringLiteral("Morate uneti text za pretragu");
const QString MissingCashier = QStringLiteral("Morate izabrati korisnika iz liste!");
const QString NoRecords = QStringLiteral("Nema zapisa u izvestaju!");

// What a preview showed, taken while it was open.
struct Previewed
{
    int pages = 0;
    int records = 0;
    QList<report::Page> content;

    QStringList all(const char *element) const
    {
        QStringList out;
        for (const report::Page &p : content)
            for (const report::PageItem &item : p.itemsOf(QString::fromLatin1(element)))
                out.append(item.text);
        return out;
    }
};

} // namespace

class TestReport : public QObject, WindowTest<>
{
    Q_OBJECT

private:
    QList<Previewed> shownReports;

    void enterPage()
    {
        if (!form)
            showLoggedIn("12345");
        click("BitBtn5");
        QCOMPARE(form->pageIndex(), int(PageReport));
    }
    bool checked(const char *option) { return find<QRadioButton>(option)->isChecked(); }
    void setText(const char *edit, const QString &value) { find<QLineEdit>(edit)->setText(value); }
    void setPeriod(QDate from, QDate to)
    {
        select("RadioButton7");
        find<QDateEdit>("DateTimePicker1")->setDate(from);
        find<QDateEdit>("DateTimePicker2")->setDate(to);
    }
    void press() { click("BitBtn17"); }

private slots:
    void init()
    {
        freshData();
        data->session.setDurableWrites(false); // the page only reads; no need to wait for the disk
        shownReports.clear();
        onPreview = [this](report::Document &document) {
            Previewed p;
            p.pages = document.pageCount();
            p.records = document.recordCount();
            for (int i = 1; i <= p.pages; ++i)
                p.content.append(document.page(i));
            shownReports.append(p);
        };
        data->addUser("12345", "Admin");
        data->addUser("111", "Petar Petrovic");
        data->addUser("222", "admin");
        data->addUser("333", "Admin 2");
        data->addUser("444", "D'Artanjan");
        data->addActivity("Kupovina robe");
        data->addActivity("Uplata pazara");
        data->addGroup("Gorivo");
        data->addGroup("Pazar");
    }
    void cleanup() { finish(); }

    // ---------------------------------------------------------------------------------
    // The statement

    void statementJoinsTheChosenCriteria_data()
    {
        QTest::addColumn<Criteria>("criteria");
        QTest::addColumn<QString>("statement");
        const QString from = "01/12/2026", to = "07/12/2026";
        const QString between = "where (datum between '12/01/2026' and '12/07/2026')";

        // Each criterion opens the where clause in one row and is joined with "and" in another.
        QTest::newRow("nothing chosen") << Criteria{} << Base;
        QTest::newRow("activity") << Criteria{.activity = true, .activityText = "Uplata pazara"}
                                  << Base + " where (opis = 'Uplata pazara')";
        QTest::newRow("period, group, keyword")
            << Criteria{.period = true, .from = from, .to = to, .group = true,
                        .groupName = "Gorivo", .keyword = true, .keywordText = "racun"}
            << "select * from podaci\\promet.db where (datum between '12/01/2026' and "
               "'12/07/2026') and (grupa = 'Gorivo') and upper(opis) like upper('%racun%')";
        QTest::newRow("group, keyword")
            << Criteria{.group = true, .groupName = "Gorivo", .keyword = true,
                        .keywordText = "racun"}
            << "select * from podaci\\promet.db  where (grupa = 'Gorivo') and upper(opis) like "
               "upper('%racun%')";
        QTest::newRow("all five")
            << Criteria{true, from, to, true, "Ana", true, "Dnevnica", true, "Pazar", true, "put"}
            << Base + between +
                   " and (korisnik = 'Ana') and (opis = 'Dnevnica') and (grupa = 'Pazar') and "
                   "upper(opis) like upper('%put%')";
        QTest::newRow("values with quotes")
            << Criteria{false, "", "", true, "D'Artanjan", true, "Kafa 'Jacobs'", true, "Grupa'",
                        true, "d'o"}
            << Base + " where (korisnik = 'D''Artanjan') and (opis = 'Kafa ''Jacobs''') and "
                      "(grupa = 'Grupa''') and upper(opis) like upper('%d''o%')";
        QTest::newRow("wildcards in the keyword")
            << Criteria{.keyword = true, .keywordText = "10%_\\'"}
            << Base + " where upper(opis) like upper('%10\\%\\_\\\\''%') escape '\\'";
    }
    void statementJoinsTheChosenCriteria()
    {
        QFETCH(Criteria, criteria);
        QFETCH(QString, statement);
        const TForm1::ReportStatement built = TForm1::buildReportStatement(criteria);
        QVERIFY(built.complete);
        QCOMPARE(built.sql, statement);
    }

    void chosenCriterionWithoutTextStopsTheBuild_data()
    {
        QTest::addColumn<Criteria>("criteria");
        QTest::addColumn<QString>("missing");
        QTest::newRow("cashier") << Criteria{.cashier = true} << MissingCashier;
        // An activity and a group are chosen from their lists like a cashier.
        QTest::newRow("activity")
            << Criteria{.cashier = true, .cashierName = "Ana", .activity = true}
                                  << QStringLiteral("Morate izabrati cesti promet iz liste!");
        QTest::newRow("group") << Criteria{.group = true}
                               << QStringLiteral("Morate izabrati grupu iz liste!");
        QTest::newRow("keyword") << Criteria{true, "01/12/2026", "07/12/2026", false, "", false, "",
                                             true, "G", true, ""}
                                 << MissingText;
        QTest::newRow("all empty")
            << Criteria{.cashier = true, .activity = true, .group = true, .keyword = true}
            << MissingCashier;
    }
    void chosenCriterionWithoutTextStopsTheBuild()
    {
        QFETCH(Criteria, criteria);
        QFETCH(QString, missing);
        const TForm1::ReportStatement built = TForm1::buildReportStatement(criteria);
        QVERIFY(!built.complete);
        QVERIFY(built.sql.isEmpty());
        QCOMPARE(built.missing, missing);
    }

    // ---------------------------------------------------------------------------------
    // The page

    void enteringThePageResetsCriteriaAndTheListsFillTheBoxes()
    {
        enterPage();
        QCOMPARE(listLines("ListBox1"),
                 (QStringList{"Petar Petrovic", "admin", "Admin 2", "D'Artanjan"}));
        QCOMPARE(listLines("ListBox2"), (QStringList{"Kupovina robe", "Uplata pazara"}));
        QCOMPARE(listLines("ListBox5"), (QStringList{"Gorivo", "Pazar"}));
        QCOMPARE(boxText("Edit6"), QStringLiteral("07/11/2026"));
        QCOMPARE(boxText("Edit7"), QStringLiteral("07/12/2026"));

        // Change everything, then come back through the menu.
        for (const char *chosen :
             {"RadioButton7", "RadioButton10", "RadioButton12", "RadioButton14", "RadioButton6"})
            select(chosen);
        setPeriod(QDate(2026, 1, 1), QDate(2026, 1, 31));
        setText("Edit8", "Ana");
        setText("Edit9", "Dnevnica");
        setText("Edit13", "Pazar");
        setText("Edit10", "put");
        data->addGroup("Ostalo");
        click("BitBtn12");
        QCOMPARE(form->pageIndex(), int(PageMenu));
        enterPage();

        for (const char *all :
             {"RadioButton8", "RadioButton9", "RadioButton11", "RadioButton13", "RadioButton5"})
            QVERIFY2(checked(all), all);
        QCOMPARE(boxText("Edit6"), QStringLiteral("07/11/2026"));
        QCOMPARE(boxText("Edit7"), QStringLiteral("07/12/2026"));
        QCOMPARE(listLines("ListBox5"), (QStringList{"Gorivo", "Pazar", "Ostalo"}));
        QCOMPARE(listLines("ListBox1").size(), 4);
        // The edit boxes keep their texts.
        QCOMPARE(boxText("Edit8"), QStringLiteral("Ana"));
        QCOMPARE(boxText("Edit13"), QStringLiteral("Pazar"));
        QCOMPARE(boxText("Edit10"), QStringLiteral("put"));
        QVERIFY(!data->session.hasPassword());

        // The lists fill the edit boxes; choosing the search resets cashier and activity.
        select("RadioButton7");
        find<QDateEdit>("DateTimePicker2")->setDate(QDate(2026, 12, 3));
        QCOMPARE(boxText("Edit7"), QStringLiteral("03/12/2026"));
        select("RadioButton10");
        clickLine("ListBox1", "Admin 2");
        QCOMPARE(boxText("Edit8"), QStringLiteral("Admin 2"));
        select("RadioButton12");
        clickLine("ListBox2", "Uplata pazara");
        QCOMPARE(boxText("Edit9"), QStringLiteral("Uplata pazara"));
        select("RadioButton14");
        clickLine("ListBox5", "Pazar");
        QCOMPARE(boxText("Edit13"), QStringLiteral("Pazar"));

        // Choosing the search goes back to every cashier and every activity; choosing a
        // cashier again keeps the search, and both apply.
        select("RadioButton13");
        select("RadioButton8");
        select("RadioButton6");
        QVERIFY(checked("RadioButton9") && checked("RadioButton11"));
        select("RadioButton10");
        QVERIFY(checked("RadioButton6"));
        setText("Edit8", "Petar Petrovic");
        setText("Edit10", "racun");
        QCOMPARE(TForm1::buildReportStatement(form->reportCriteria()).sql,
                 Base +
                     " where (korisnik = 'Petar Petrovic') and upper(opis) like upper('%racun%')");
    }

    void pressPreviewsThePeriodAndGroupWithTitlesTotalsAndBalances()
    {
        data->addPosting("Petar Petrovic", "30/11/2026", "5.00", "0.00", "0.00", "0.00",
                         "Racun pre perioda", "Gorivo");
        data->addPosting("Petar Petrovic", "01/12/2026", "1500.00", "0.00", "0.00", "0.00",
                         "Racun za gorivo", "Gorivo");
        data->addPosting("Ana", "03/12/2026", "0.00", "20.50", "0.00", "12.30", "Gorivo za kombi",
                         "Gorivo");
        data->addPosting("Ana", "03/12/2026", "100.00", "0.00", "0.00", "0.00", "Pazar", "Pazar");
        data->addPosting("Ana", "07/12/2026", "0.00", "0.00", "40.00", "0.00", "Racun", "Gorivo");
        data->addPosting("Ana", "08/12/2026", "9.00", "0.00", "0.00", "0.00", "Posle", "Gorivo");
        enterPage();
        setPeriod(QDate(2026, 12, 1), QDate(2026, 12, 7));
        select("RadioButton14");
        clickLine("ListBox5", "Gorivo");
        setText("Edit8", "ostaje prazno");
        press();

        QCOMPARE(form->reportStatement(),
                 Base +
                     "where (datum between '12/01/2026' and '12/07/2026') and (grupa = 'Gorivo')");
        QVERIFY(dialogs.messages().isEmpty());
        QCOMPARE(shownReports.size(), 1);
        const Previewed &p = shownReports.first();
        QCOMPARE(p.records, 3);
        QCOMPARE(p.all("TitleLine1"),
                 QStringList{"Promet dorvante za period od 01/12/2026 do 07/12/2026"});
        QCOMPARE(p.all("TitleLine2"), QStringList{"Za sve dorvantike"});
        QCOMPARE(p.all("TitleLine3"), QStringList{"Za sve moguce transakcije"});
        QCOMPARE(p.all("TitleLine4"), QStringList{"Za izabranu grupu: Gorivo"});
        QCOMPARE(p.all("Number"), (QStringList{"1", "2", "3"}));
        QCOMPARE(p.all("Date"), (QStringList{"01/12/2026", "03/12/2026", "07/12/2026"}));
        // Amounts read through the query: a field mixed up shows in the sums.
        QCOMPARE(p.all("SumDinarsOut"), QStringList{"20.50"});
        QCOMPARE(p.all("SumEurIn"), QStringList{"40.00"});
        QCOMPARE(p.all("BalanceEur"), QStringList{"27.70"});
        QCOMPARE(p.all("PrintTime"), QStringList{"07/12/2026 14:05:09"}); // the window's clock

        // The end step: the table and session are closed, the cashier, activity and keyword
        // texts emptied; the group text and every option stay.
        QVERIFY(!data->session.hasPassword());
        QCOMPARE(boxText("Edit8"), QString());
        QCOMPARE(boxText("Edit13"), QStringLiteral("Gorivo"));
        QVERIFY(checked("RadioButton7") && checked("RadioButton14"));
        QCOMPARE(boxText("Edit6"), QStringLiteral("01/12/2026"));
    }

    // A cashier chosen without a name is told once; a name picked from the list, a quote in
    // it, finds its postings and titles the report as it reads. (What typed values find is the
    // statement's, above, and the dialect's, tests/engine.)
    void missingTextIsToldOnceAndTheEndStepRuns()
    {
        data->addPosting("D'Artanjan", "02/12/2026", "1.00", "0.00", "0.00", "0.00");
        enterPage();
        select("RadioButton10");
        select("RadioButton12");
        select("RadioButton14");
        setText("Edit9", "Uplata pazara");
        setText("Edit13", "");
        press();
        QCOMPARE(dialogs.messages(), QStringList{MissingCashier});
        QCOMPARE(shownReports.size(), 0);
        QCOMPARE(boxText("Edit9"), QString());                      // emptied by the end step
        QVERIFY(form->reportStatement().contains("01/15/2013")); // nothing was run

        // A cashier picked from the list is emptied by every press, and the list then shows
        // no name chosen: pressing again without a new pick asks for a cashier again.
        dialogs.clear();
        select("RadioButton11");
        select("RadioButton13");
        clickLine("ListBox1", "D'Artanjan");
        press();
        QCOMPARE(shownReports.size(), 1);
        QCOMPARE(shownReports.last().all("Cashier"), QStringList{"D'Artanjan"});
        QCOMPARE(shownReports.last().all("TitleLine2"),
                 QStringList{"Za izabranog dorvantika D'Artanjan"});
        QCOMPARE(boxText("Edit8"), QString());
        QCOMPARE(find<QListWidget>("ListBox1")->selectedItems().size(), 0);
        QCOMPARE(find<QListWidget>("ListBox1")->currentRow(), -1);
        press();
        QCOMPARE(dialogs.messages(), QStringList{MissingCashier});
        QCOMPARE(shownReports.size(), 1);
        clickLine("ListBox1", "D'Artanjan"); // the same name can be picked again
        QCOMPARE(boxText("Edit8"), QStringLiteral("D'Artanjan"));
        // A keyword crafted to leave its quotes finds nothing.
        select("RadioButton6");
        setText("Edit10", "x' or 'a'='a");
        dialogs.clear();
        press();
        QCOMPARE(dialogs.messages(), QStringList{NoRecords});
        QCOMPARE(shownReports.size(), 1);
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
        // The same records in the Serbian form.
        dialogs.clear();
        dialogs.answerText(QStringLiteral("gorivo-sr.csv"));
        click("BitBtnCsvSr");
        QCOMPARE(dialogs.messages(),
                 QStringList{"Snimljeno u " + data->file("gorivo-sr.csv") + " (2 zapisa)"});
        const QList<QByteArray> serbian = data->readFile("gorivo-sr.csv").split('\n');
        QCOMPARE(serbian.size(), 4);
        QVERIFY(serbian.at(0).startsWith("\xEF\xBB\xBF" "BROJ;DATUM;"));
        QVERIFY(serbian.at(1).startsWith("U-2026-000001;01.12.2026;10:00:00;Ana;Gorivo;Racun;5,00;"));
        QVERIFY(serbian.at(1).endsWith("\r"));
    }

    // A keyword search: the header names the word under the other criteria, a long reason
    // prints whole, and the word stays in its box, so the CSV of the same search follows
    // without asking for it again.
    void keywordIsNamedInTheHeaderAndStaysForTheCsvAndLongReasonsPrintWhole()
    {
        const QString longReason =
            "Kupovina papira za stampac i fascikli za arhivu racuna, sa dostavom u magacin na "
            "drugom spratu i odnosenjem starih kutija, po racunu dobavljaca broj 2026-0012345 "
            "od petka";
        data->addPosting("Ana", "01/12/2026", "5.00", "0.00", "0.00", "0.00", longReason, "Gorivo");
        data->addPosting("Ana", "02/12/2026", "7.00", "0.00", "0.00", "0.00", "Papir", "Gorivo");
        data->addPosting("Ana", "03/12/2026", "9.00", "0.00", "0.00", "0.00", "Gorivo", "Gorivo");
        enterPage();
        select("RadioButton6");
        setText("Edit10", "papir");
        press();
        QCOMPARE(shownReports.size(), 1);
        const Previewed &p = shownReports.first();
        QCOMPARE(p.records, 2);
        QCOMPARE(p.all("TitleLine4"), QStringList{"Za sve grupe"});
        QCOMPARE(p.all("TitleLine5"),
                 QStringList{"Rezultat pretrage po reci za pretragu: papir"});
        const QStringList description = p.all("Description"); // how the row grows: tests/report
        QCOMPARE(description.mid(0, description.size() - 1).join(' '), longReason);
        QCOMPARE(boxText("Edit10"), QStringLiteral("papir"));

        dialogs.answerText(QStringLiteral("papir.csv"));
        click("BitBtnCsv");
        QCOMPARE(dialogs.messages(),
                 QStringList{"Snimljeno u " + data->file("papir.csv") + " (2 zapisa)"});

        // Without a search the header has no such line.
        select("RadioButton5");
        press();
        QCOMPARE(shownReports.size(), 2);
        QVERIFY(shownReports.last().all("TitleLine5").isEmpty());
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
        // Without a count of the day the close asks first.
        dialogs.answerYes();
        dialogs.answerYes();
        click("DayClose");
        QCOMPARE(dialogs.questions().value(0),
                 QStringLiteral("Za dan 07/12/2026 nije napravljen popis gotovine. Da li ipak "
                                "zakljucujete dan?"));
        // The close leaves a backup that holds it.
        QCOMPARE(dialogs.messages(),
                 QStringList{"Dan 07/12/2026 je zakljucen: izvestaj br. 1/2026.\n"
                             "Back-up: bck-07-12-26-14-05-09.db"});
        data->withTable("bck-07-12-26-14-05-09", [](engine::Table &backup) {
            QCOMPARE(desk::cashbook::dayClose(backup, QDate(2026, 12, 7))->number, 1);
        });
        QCOMPARE(find<QLabel>("DayState")->text(),
                 QStringLiteral("ZAKLJUCEN: izvestaj br. 1/2026 (Admin, 07/12/2026 14:05:09)"));
        click("DayPreview");
        QVERIFY(texts.contains("BLAGAJNICKI IZVESTAJ br. 1/2026"));
        // A second close is refused before any question.
        dialogs.clear();
        click("DayClose");
        QCOMPARE(dialogs.questions(), QStringList());
        QCOMPARE(dialogs.messages(),
                 QStringList{"Dan 07/12/2026 je vec zakljucen: izvestaj br. 1/2026."});
    }
    // The month report of the chosen day's month and the year's, from the day report page: a
    // row per day (month) and the totals, then the chart page, on the shop's paper with its
    // firm.
    void theMonthAndTheYearReportPreviewFromTheDayReportPage()
    {
        data->addPosting("Ana", "01/12/2026", "5.00", "0.00", "0.00", "0.00");
        data->addPosting("Ana", "07/12/2026", "0.00", "2.00", "3.00", "0.00");
        data->withTable("promet", [](engine::Table &journal) {
            desk::cashbook::prepare(journal);
            desk::settings::Shared shared;
            shared.firmName = QStringLiteral("Radnja Primer d.o.o.");
            shared.paper = desk::settings::Paper::A4;
            desk::settings::write(journal, shared, QStringLiteral("Admin"));
        });
        adminOpens("BitBtnDayReport");
        find<QDateEdit>("DayPicker")->setDate(QDate(2026, 12, 7));
        const struct
        {
            const char *button, *title;
            int records;
            const char *period, *closing;
        } cases[] = {
            {"DayMonthReport", "MESECNI BLAGAJNICKI IZVESTAJ", 31 + 1, "07/12/2026", "3.00"},
            {"DayYearReport", "GODISNJI BLAGAJNICKI IZVESTAJ", 12 + 1, "12/2026", "3.00"},
        };
        for (const auto &c : cases) {
            QSizeF paper;
            int charts = 0;
            onPreview = [&](report::Document &document) {
                paper = document.report().page().paperSize;
                for (const report::PageItem &item : document.page(document.pageCount()).items)
                    charts += item.kind == report::PageItem::Kind::Line;
                shownReports.clear();
                Previewed p;
                p.records = document.recordCount();
                for (int i = 1; i <= document.pageCount(); ++i)
                    p.content.append(document.page(i));
                shownReports.append(p);
            };
            click(c.button);
            QCOMPARE(paper, QSizeF(210.0, 297.0));
            QVERIFY(charts > 10);
            const Previewed &p = shownReports.first();
            QCOMPARE(p.records, c.records);
            QCOMPARE(p.all("MonthReportTitle"), QStringList{c.title});
            QCOMPARE(p.all("FirmName").value(0), QStringLiteral("Radnja Primer d.o.o."));
            const int row = int(p.all("Period").indexOf(c.period));
            QVERIFY2(row >= 0, qPrintable(p.all("Period").join('|')));
            QCOMPARE(p.all("STANJEDIN").value(row), QStringLiteral("3.00"));
            QCOMPARE(p.all("STANJEEUR").value(row), QString::fromLatin1(c.closing));
            QCOMPARE(p.all("Period").last(), QStringLiteral("UKUPNO"));
        }
    }

    // The count on the daily report page: the pieces per denomination give the counted sum, the
    // book balance is shown unless the count is blind, and the count posts its shortage; the
    // day's report then prints it.
    void theCountOnTheDayReportPagePostsItsDifference()
    {
        data->addPosting("Ana", "07/12/2026", "4400.00", "0.00", "0.00", "0.00");
        for (const bool blind : {false, true}) {
            data->withTable("promet", [blind](engine::Table &journal) {
                desk::cashbook::prepare(journal);
                desk::settings::Shared shared;
                shared.blindCount = blind;
                desk::settings::write(journal, shared, QStringLiteral("Admin"));
            });
            adminOpens("BitBtnDayReport");
            const auto *table = find<QTableWidget>("CountTable");
            QCOMPARE(table->rowCount(), 12);
            QCOMPARE(table->item(0, 0)->text(), QStringLiteral("5000"));
            const QString book = find<QLabel>("CountBook")->text();
            QCOMPARE(book.contains("4400.00"), !blind);
            // 2000 x 2 and 100 x 3: 100.00 short.
            qobject_cast<QSpinBox *>(table->cellWidget(1, 1))->setValue(2);
            qobject_cast<QSpinBox *>(table->cellWidget(5, 1))->setValue(blind ? 4 : 3);
            QCOMPARE(find<QLabel>("CountTotal")->text(),
                     blind ? QStringLiteral("Prebrojano: 4400.00 DIN") : QStringLiteral("Prebrojano: 4300.00 DIN"));
            dialogs.clear();
            dialogs.answerYes();
            click("CountPost");
            QCOMPARE(dialogs.messages().value(0),
                     blind ? QStringLiteral("Popis je proknjizen: prebrojano 4400.00 DIN, knjizno stanje "
                                            "4300.00 DIN, visak 100.00 DIN dokumentom U-2026-000002.")
                           : QStringLiteral("Popis je proknjizen: prebrojano 4300.00 DIN, knjizno stanje "
                                            "4400.00 DIN, manjak 100.00 DIN dokumentom I-2026-000001."));
            form->Glavnimeni1Click();
        }
        QCOMPARE(data->records("promet").size(), 3);
        adminOpens("BitBtnDayReport");
        QStringList texts;
        onPreview = [&texts](report::Document &document) { texts = document.pageTexts(1); };
        click("DayPreview");
        for (const char *text : {"Broj priloga: 3", "2000 x 2", "RAZLIKA (MANJAK)", "I-2026-000001",
                                 "RAZLIKA (VISAK)", "U-2026-000002"})
            QVERIFY2(texts.contains(QString::fromLatin1(text)), qPrintable(texts.join('|')));
    }
    // The cashier counts his till from the posting page, Tab and Enter going through the
    // denominations; the question names the difference; the count is his and its difference
    // waits. The administrator sees it on the day report page and posts the difference with
    // his code, in his own name; a wrong code posts nothing, and the day's close then asks.
    void theCashiersCountIsHisAndTheAdministratorPostsItsDifference_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("administrator's code") << "12345";
        QTest::newRow("a cashier's code") << "111";
    }
    void theCashiersCountIsHisAndTheAdministratorPostsItsDifference()
    {
        QFETCH(QString, code);
        data->addPosting("Ana", "07/12/2026", "4319.50", "0.00", "0.00", "0.00");
        showLoggedIn("111");
        click("BitBtnCount");
        QCOMPARE(form->pageIndex(), int(PageCashierCount));
        // 5000 x 0, 2000 x 2, then Enter and Tab past the others to 100 x 3, then on to the end.
        const auto type = [this](const QString &keys, Qt::Key next) {
            QWidget *box = form->focusWidget();
            QVERIFY(box && box->objectName().startsWith("CountPieces"));
            if (!keys.isEmpty())
                QTest::keyClicks(box, keys);
            QTest::keyClick(box, next);
        };
        type("0", Qt::Key_Return);
        type("2", Qt::Key_Tab);
        for (int row = 2; row < 5; ++row)
            type("", row % 2 ? Qt::Key_Tab : Qt::Key_Return);
        type("3", Qt::Key_Return);
        for (int row = 6; row < 12; ++row)
            type("", Qt::Key_Tab);
        QCOMPARE(form->focusWidget(), find<QPushButton>("CashierCountPost"));
        QCOMPARE(find<QLabel>("CashierCountTotal")->text(), QStringLiteral("Prebrojano: 4300.00 DIN"));
        dialogs.answerYes();
        click("CashierCountPost");
        QVERIFY2(dialogs.questions().value(0).startsWith("Manjak 19.50 DIN. Da li ste sigurni?"),
                 qPrintable(dialogs.questions().join('|')));
        QCOMPARE(dialogs.messages(),
                 QStringList{"Popis je proknjizen: prebrojano 4300.00 DIN, knjizno stanje 4319.50 "
                             "DIN, manjak 19.50 DIN; razliku knjizi administrator."});
        QCOMPARE(data->records("promet").size(), 1); // nothing posted by the cashier's count
        data->withTable("promet", [](engine::Table &journal) {
            const QList<desk::cashcount::Count> counts =
                desk::cashcount::ofDay(journal, QDate(2026, 12, 7));
            QCOMPARE(counts.size(), 1);
            QCOMPARE(counts.first().countedBy, QStringLiteral("Petar Petrovic"));
            QVERIFY(counts.first().differencePending());
            QCOMPARE(desk::cashcount::check(journal), QStringList());
        });

        adminOpens("BitBtnDayReport");
        auto *list = find<QListWidget>("CountList");
        QCOMPARE(list->count(), 1);
        QVERIFY2(list->item(0)->text().contains("Petar Petrovic")
                     && list->item(0)->text().endsWith("Manjak 19.50 DIN, RAZLIKA NIJE PROKNJIZENA"),
                 qPrintable(list->item(0)->text()));
        list->setCurrentRow(0);
        dialogs.clear();
        const bool admin = code == "12345";
        dialogs.answerText(code);
        if (admin)
            dialogs.answerYes();
        click("CountPostDifference");
        const QList<QStringList> records = data->records("promet");
        if (admin) {
            QCOMPARE(dialogs.messages().value(0),
                     QStringLiteral("Razlika popisa 1 je proknjizena dokumentom I-2026-000001."));
            QCOMPARE(records.size(), 2);
            QCOMPARE((QStringList{records.last().value(0), records.last().value(3),
                                  records.last().value(6)}),
                     (QStringList{"Admin", "MANJAK po popisu 07/12/2026", "19.50"}));
            QVERIFY(list->item(0)->text().endsWith("dokument I-2026-000001 (Admin)"));
            data->withTable("promet", [](engine::Table &journal) {
                QCOMPARE(desk::cashcount::check(journal), QStringList());
            });
        } else {
            QCOMPARE(dialogs.messages(),
                     QStringList{"Pogresna sifra administratora. Razlika nije proknjizena."});
            QCOMPARE(records.size(), 1);
        }
        dialogs.clear();
        dialogs.answerNo();
        click("DayClose");
        QCOMPARE(dialogs.questions().value(0),
                 admin ? QStringLiteral("Da li ste sigurni? Posle zakljucenja niko ne moze knjiziti "
                                        "na dan 07/12/2026 ni pre njega.")
                       : QStringLiteral("Razlika popisa 1 (Petar Petrovic) nije proknjizena. Da li "
                                        "ipak zakljucujete dan?"));
    }
    void engineErrorEndsThePressWithoutTheEndStep()
    {
        enterPage();
        select("RadioButton10");
        setText("Edit8", "Ana");
        QVERIFY(QFile::remove(data->file("podaci/promet.db")));
        press();
        QCOMPARE(dialogs.messages().size(), 1);
        QVERIFY(dialogs.messages().first().contains("promet.db"));
        QCOMPARE(shownReports.size(), 0);
        QCOMPARE(boxText("Edit8"), QStringLiteral("Ana"));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"

// The master data pages driven through their real widgets: opening and closing the tables,
// editing in the grids with the navigator bars, the read-only journal, and the tables being
// closed by the rest of the program.
#include "WindowTest.h"

#include "DBGrid.h"
#include "DBNavigator.h"
#include "TableModel.h"

#include <QLabel>
#include <QToolButton>

class TestMaster : public QObject, WindowTest<>
{
    Q_OBJECT

private:
    // The administrator's users page with its table open.
    DBGrid *openUsers()
    {
        adminOpens("BitBtn3");
        click("BitBtn2");
        return find<DBGrid>("DBGrid1");
    }
    void navigate(DBNavigator *navigator, DBNavigator::Button which)
    {
        QToolButton *b = navigator->button(which);
        QVERIFY(b->isEnabled());
        b->click();
    }
    // Types a value into a cell through the grid's own cell editor and presses Enter (or
    // leaves the editor open).
    static void typeIntoCell(DBGrid *grid, int row, int column, const QString &text,
                             bool pressEnter = true)
    {
        const QModelIndex index = grid->model()->index(row, column);
        QVERIFY(index.isValid());
        grid->setCurrentIndex(index);
        grid->edit(index);
        QLineEdit *editor = nullptr;
        for (QLineEdit *e : grid->viewport()->findChildren<QLineEdit *>())
            if (e->isVisible())
                editor = e;
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        if (!pressEnter)
            return;
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate writes the cell from the event loop
    }
    static QStringList gridRow(const DBGrid *grid, int row)
    {
        QStringList out;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            out.append(grid->model()->index(row, c).data().toString());
        return out;
    }
    static void verifyClosed(const DBGrid *grid, const DBNavigator *navigator)
    {
        QCOMPARE(grid->model()->rowCount(), 0);
        QCOMPARE(grid->model()->columnCount(), 0);
        for (int i = 0; i < DBNavigator::ButtonCount; ++i)
            QVERIFY(!navigator->button(DBNavigator::Button(i))->isEnabled());
    }

private slots:
    void init()
    {
        freshData();
        data->addUser("12345", "Admin");
        data->addUser("111", "Petar Petrovic");
    }
    void cleanup() { finish(); }

    // The users grid shows each login code as the login box does, a star a character; the
    // cell being edited shows the code itself, and what is typed there is stored as typed.
    void loginCodesAreMaskedExceptInTheCellBeingEdited()
    {
        DBGrid *grid = openUsers();
        int codeColumn = -1;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            if (grid->model()->headerData(c, Qt::Horizontal).toString() == "SIFRA")
                codeColumn = c;
        QVERIFY(codeColumn >= 0);
        const int nameColumn = codeColumn == 0 ? 1 : 0;
        const struct
        {
            int row, column;
            const char *shown;
        } cells[] = {{0, codeColumn, "*****"}, {1, codeColumn, "***"}, {1, nameColumn, nullptr}};
        for (const auto &c : cells) {
            const QModelIndex index = grid->model()->index(c.row, c.column);
            QCOMPARE(grid->shownText(index),
                     c.shown ? QString::fromLatin1(c.shown) : index.data().toString());
        }
        typeIntoCell(grid, 1, codeColumn, "4321", false);
        QLineEdit *editor = nullptr;
        for (QLineEdit *e : grid->viewport()->findChildren<QLineEdit *>())
            if (e->isVisible())
                editor = e;
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("4321"));
        QCOMPARE(editor->echoMode(), QLineEdit::Normal);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(grid->shownText(grid->model()->index(1, codeColumn)), QStringLiteral("****"));
        QCOMPARE(grid->model()->index(1, codeColumn).data().toString(), QStringLiteral("4321"));
    }

    void pagesStayEmptyUntilOpened_data()
    {
        QTest::addColumn<QString>("menuButton");
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("names"); // grid, navigator, open, close
        QTest::newRow("users") << "BitBtn3" << int(PageUsers)
                               << QStringList{"DBGrid1", "DBNavigator1", "BitBtn2", "BitBtn1"};
        QTest::newRow("activities") << "BitBtn4" << int(PageActivities)
                                    << QStringList{"DBGrid2", "DBNavigator2", "BitBtn6", "BitBtn7"};
        QTest::newRow("groups") << "BitBtn24" << int(PageGroups)
                                << QStringList{"DBGrid5", "DBNavigator4", "BitBtn25", "BitBtn26"};
        QTest::newRow("journal") << "BitBtn13" << int(PageJournal)
                                 << QStringList{"DBGrid4", "DBNavigator3", "BitBtn14", "BitBtn15"};
    }
    void pagesStayEmptyUntilOpened()
    {
        QFETCH(QString, menuButton);
        QFETCH(int, page);
        QFETCH(QStringList, names);
        adminOpens(menuButton);
        QCOMPARE(form->pageIndex(), page);
        auto *grid = find<DBGrid>(names[0]);
        auto *navigator = find<DBNavigator>(names[1]);
        verifyClosed(grid, navigator);

        // Closing a table that is not open does nothing.
        find<QPushButton>(names[3])->click();
        verifyClosed(grid, navigator);
        QVERIFY(dialogs.messages().isEmpty());
        find<QPushButton>(names[2])->click();
        QVERIFY(grid->model()->columnCount() > 0);
    }

    // The journal's grid: the document number, then every field in table order, opened again
    // on the record it stood on, and no edit of a record, neither through the model nor by
    // typing into a cell.
    void journalGridShowsEveryFieldInTableOrderAndRefusesEdits()
    {
        data->addPosting("Petar Petrovic", "01/12/2026", "1500.00", "0.00", "0.00", "0.00",
                         "Racun", "Gorivo");
        data->addPosting("Petar Petrovic", "02/12/2026", "0.00", "0.00", "0.00", "20.50");
        adminOpens("BitBtn13");
        auto *grid = find<DBGrid>("DBGrid4");
        click("BitBtn14");
        const QAbstractItemModel *model = grid->model();
        QCOMPARE(model->columnCount(), 12);
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(gridRow(grid, 0).mid(0, 7),
                 (QStringList{"U-2026-000001", "Petar Petrovic", "01/12/2026", "10:00:00", "Racun",
                              "Gorivo", "1500.00"}));
        QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("I-2026-000001"));
        QCOMPARE(model->index(1, 9).data().toString(), QStringLiteral("20.50"));
        QCOMPARE(grid->currentIndex().row(), 0); // opened on the first record

        grid->setCurrentIndex(model->index(1, 0));
        QCOMPARE(form->findChild<DBGrid *>("DBGrid4")->dataSource()->table().recNo(), 1);
        click("BitBtn14");
        QCOMPARE(grid->currentIndex().row(), 1);
        QCOMPARE(model->rowCount(), 2);

        const QModelIndex cell = model->index(0, 4);
        QVERIFY(!(model->flags(cell) & Qt::ItemIsEditable));
        QVERIFY(!grid->model()->setData(cell, "promenjeno"));
        grid->setCurrentIndex(cell);
        QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
        grid->edit(cell);
        QTest::keyClicks(grid, "x");
        QVERIFY(grid->viewport()->findChildren<QLineEdit *>().isEmpty());
        QVERIFY(!find<DBNavigator>("DBNavigator3")->isVisible());
        QCOMPARE(data->records("promet")[0][3], QStringLiteral("Racun"));
    }

    // A user, an activity and a group typed into their grids, each stored its own way: the new
    // user logs in and finds the new activity and group in the posting page's lists.
    void newRecordsTypedInTheGridsReachTheNextLogin()
    {
        auto *grid = openUsers();
        auto *navigator = find<DBNavigator>("DBNavigator1");
        QCOMPARE(grid->model()->rowCount(), 2);

        navigate(navigator, DBNavigator::Insert);
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(grid->currentIndex().row(), 2);
        // The stored record under the cursor still shows its own fields while inserting.
        QCOMPARE(gridRow(grid, 1), (QStringList{"111", "Petar Petrovic"}));
        typeIntoCell(grid, 2, 0, "777");
        typeIntoCell(grid, 2, 1, "Novi Korisnik");
        // Moving to another row stores the new record.
        grid->setCurrentIndex(grid->model()->index(0, 0));
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(data->records("korisnici").size(), 3);
        QCOMPARE(data->records("korisnici").last(), (QStringList{"777", "Novi Korisnik"}));
        QVERIFY(dialogs.messages().isEmpty());

        click("BitBtn10");
        click("BitBtn4");
        click("BitBtn6");
        navigate(find<DBNavigator>("DBNavigator2"), DBNavigator::Insert);
        // Still in the cell editor when the post button is pressed.
        typeIntoCell(find<DBGrid>("DBGrid2"), 0, 0, "Kupovina robe", false);
        navigate(find<DBNavigator>("DBNavigator2"), DBNavigator::Post);
        QCOMPARE(data->records("aktivnost"), (QList<QStringList>{{"Kupovina robe"}}));
        click("BitBtn11");
        click("BitBtn24");
        click("BitBtn25");
        navigate(find<DBNavigator>("DBNavigator4"), DBNavigator::Edit); // empty: starts a record
        typeIntoCell(find<DBGrid>("DBGrid5"), 0, 0, "Gorivo");
        click("BitBtn27"); // leaving the page stores the typed record
        QCOMPARE(data->records("grupe"), (QList<QStringList>{{"Gorivo"}}));

        form->Glavnimeni1Click();
        verifyClosed(grid, navigator);
        login("777");
        QCOMPARE(form->pageIndex(), int(PagePosting));
        QCOMPARE(find<QLabel>("Label10")->text(), QStringLiteral("Novi Korisnik"));
        for (const char *list : {"ComboBox1", "ComboBox4"})
            QCOMPARE(find<QComboBox>(list)->count(), 1);
        QCOMPARE(find<QComboBox>("ComboBox1")->itemText(0), QStringLiteral("Kupovina robe"));
        QCOMPARE(find<QComboBox>("ComboBox4")->itemText(0), QStringLiteral("Gorivo"));
    }

    void editingOneOfTwoIdenticalRowsLeavesTheOther()
    {
        data->addUser("5", "Isti");
        data->addUser("5", "Isti");
        auto *grid = openUsers();
        typeIntoCell(grid, 3, 1, "Drugi");
        QCOMPARE(gridRow(grid, 3), (QStringList{"5", "Drugi"}));
        navigate(find<DBNavigator>("DBNavigator1"), DBNavigator::Post);
        const QList<QStringList> users = data->records("korisnici");
        QCOMPARE(users.size(), 4);
        QCOMPARE(users[2], (QStringList{"5", "Isti"}));
        QCOMPARE(users[3], (QStringList{"5", "Drugi"}));
        QCOMPARE(grid->currentIndex().row(), 3);
    }

    // Only "Yes" deletes a stored record; a new record is dropped without a question, whether
    // deleted or left unchanged, and Cancel gives an edited record back as stored.
    void deleteAsksAndOnlyYesRemovesAndUnpostedChangesAreDropped()
    {
        auto *grid = openUsers();
        auto *navigator = find<DBNavigator>("DBNavigator1");
        grid->setCurrentIndex(grid->model()->index(1, 1));

        dialogs.answerNo();
        navigate(navigator, DBNavigator::Delete);
        QCOMPARE(dialogs.questions(), QStringList{"Da li ste sigurni?"});
        QCOMPARE(data->records("korisnici").size(), 2);
        QCOMPARE(grid->model()->rowCount(), 2);

        dialogs.answerYes();
        navigate(navigator, DBNavigator::Delete);
        QCOMPARE(data->records("korisnici"), (QList<QStringList>{{"12345", "Admin"}}));
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(grid->currentIndex().row(), 0);

        navigate(navigator, DBNavigator::Insert);
        navigate(navigator, DBNavigator::Delete);
        QCOMPARE(dialogs.questions().size(), 2);
        QCOMPARE(grid->model()->rowCount(), 1);
        navigate(navigator, DBNavigator::Insert);
        grid->setCurrentIndex(grid->model()->index(0, 0));
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(grid->currentIndex().row(), 0);

        typeIntoCell(grid, 0, 1, "Pogresno");
        navigate(navigator, DBNavigator::Cancel);
        QCOMPARE(gridRow(grid, 0), (QStringList{"12345", "Admin"}));
        navigate(navigator, DBNavigator::First);
        QCOMPARE(data->records("korisnici"), (QList<QStringList>{{"12345", "Admin"}}));
    }

    // The users page refuses, with its reason, a user the login could not tell apart or that
    // would open or close the administrator menu wrongly, and stores nothing of it, not even
    // when the page is left and another page reads the users. What the data directory held
    // before may stay.
    void usersPageRefusesCollidingUsers_data()
    {
        QTest::addColumn<QStringList>("before"); // further users: code, name, code, name...
        QTest::addColumn<int>("row");            // -1: a new user
        QTest::addColumn<QStringList>("typed");  // code, name; none: the row deleted
        QTest::addColumn<QString>("refusal");    // none: stored
        const QString taken = "Korisnik nije sacuvan: sifru %1 vec ima korisnik %2.";
        const QString empty = "Korisnik nije sacuvan: sifra je prazna";
        const QString secondAdmin = "Korisnik nije sacuvan: korisnik Admin vec postoji";
        const auto row = [](const char *name, QStringList before, int r, QStringList typed,
                            QString refusal) {
            QTest::newRow(name) << before << r << typed << refusal;
        };
        row("new, code taken", {}, -1, {"111", "Marko"}, taken.arg("111", "Petar Petrovic"));
        row("new, no code", {}, -1, {"", "Marko"}, empty);
        row("new, blank code", {}, -1, {"  ", "Marko"}, empty);
        row("new Admin", {}, -1, {"999", "Admin"}, secondAdmin);
        row("code changed to a taken one", {}, 1, {"12345", "Petar Petrovic"},
            taken.arg("12345", "Admin"));
        row("renamed to Admin", {}, 1, {"111", "Admin"}, secondAdmin);
        row("last Admin renamed", {}, 0, {"12345", "Petar"},
            "Korisnik nije sacuvan: Admin se ne moze preimenovati");
        row("last Admin deleted", {}, 0, {}, "Korisnik Admin se ne moze obrisati");
        row("new, free code", {}, -1, {"222", "Marko"}, {});
        row("one of two Admins deleted", {"777", "Admin"}, 0, {}, {});
        row("duplicate code from before, renamed", {"111", "Drugi Petar"}, 2,
            {"111", "Petar Drugi"}, {});
    }
    void usersPageRefusesCollidingUsers()
    {
        QFETCH(QStringList, before);
        QFETCH(int, row);
        QFETCH(QStringList, typed);
        QFETCH(QString, refusal);
        for (int i = 0; i + 1 < before.size(); i += 2)
            data->addUser(before[i], before[i + 1]);
        auto *grid = openUsers();
        auto *navigator = find<DBNavigator>("DBNavigator1");
        QList<QStringList> expected = data->records("korisnici");
        const QList<QStringList> stored = expected;

        if (typed.isEmpty()) {
            grid->setCurrentIndex(grid->model()->index(row, 0));
            if (refusal.isEmpty())
                dialogs.answerYes();
            navigate(navigator, DBNavigator::Delete);
            expected.removeAt(row);
        } else {
            if (row < 0) {
                navigate(navigator, DBNavigator::Insert);
                row = grid->model()->rowCount() - 1;
                expected.append(typed);
            } else {
                expected[row] = typed;
            }
            for (int column : {0, 1}) {
                if (!typed[column].isEmpty())
                    typeIntoCell(grid, row, column, typed[column]);
            }
            navigate(navigator, DBNavigator::Post);
        }
        if (refusal.isEmpty()) {
            QVERIFY2(dialogs.messages().isEmpty(), qPrintable(dialogs.messages().join(" | ")));
            QCOMPARE(data->records("korisnici"), expected);
            return;
        }
        saidOnce(refusal);
        QVERIFY(dialogs.questions().isEmpty()); // refused before "Da li ste sigurni?"
        QCOMPARE(data->records("korisnici"), stored);
        // Leaving the page, and the report page reading the users, store nothing either.
        click("BitBtn10");
        click("BitBtn5");
        dialogs.clear();
        QCOMPARE(data->records("korisnici"), stored);
    }

    void tableThatFailsToReReadAfterAChangeElsewhereIsReported()
    {
        data->addPosting("Petar Petrovic", "01/12/2026", "1500.00", "0.00", "0.00", "0.00");
        adminOpens("BitBtn13");
        click("BitBtn14");
        {
            engine::Table other(data->session, "podaci/promet.db");
            other.open();
            other.insert();
            other.setFieldText("OPIS", "druga kasa");
            other.post();
        }
        // The journal becomes unreadable before the grid's queued re-read runs.
        QFile file(data->file("podaci/promet.db"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.write(QByteArray(100, 'x'));
        file.close();
        QCoreApplication::processEvents();
        QVERIFY(!dialogs.messages().isEmpty());
        dialogs.clear();
    }

    void tablesOpenOnTheirPagesAreFoundClosedAfterAPostingElsewhere()
    {
        data->addActivity("Kupovina robe");
        adminOpens("BitBtn3");
        click("BitBtn2");
        click("BitBtn10");
        click("BitBtn4");
        click("BitBtn6");
        click("BitBtn11");
        click("BitBtn13");
        click("BitBtn14");
        click("BitBtn16");
        // A record half typed on the activities page when the session closes elsewhere.
        click("BitBtn4");
        navigate(find<DBNavigator>("DBNavigator2"), DBNavigator::Insert);
        typeIntoCell(find<DBGrid>("DBGrid2"), 1, 0, "Nedovrseno");
        QVERIFY(find<DBGrid>("DBGrid4")->dataSource()->table().isOpen());

        // The posting handler works elsewhere and closes the session when done.
        find<QLabel>("Label8")->setText("07/12/2026");
        find<QLabel>("Label10")->setText("Petar Petrovic");
        find<QLineEdit>("Edit4")->setText("100.00");
        find<QLineEdit>("Edit5")->setText("Racun");
        find<QLineEdit>("Edit12")->setText("Gorivo");
        dialogs.answerYes();
        form->BitBtn8Click();
        QCOMPARE(data->records("promet").size(), 1);

        verifyClosed(find<DBGrid>("DBGrid1"), find<DBNavigator>("DBNavigator1"));
        verifyClosed(find<DBGrid>("DBGrid2"), find<DBNavigator>("DBNavigator2"));
        verifyClosed(find<DBGrid>("DBGrid4"), find<DBNavigator>("DBNavigator3"));
        // The unposted record was discarded, not stored in part.
        QCOMPARE(data->records("aktivnost"), (QList<QStringList>{{"Kupovina robe"}}));

        // Reopened, the grid works again.
        click("BitBtn6");
        QCOMPARE(find<DBGrid>("DBGrid2")->model()->rowCount(), 1);
    }

    void closingOnOnePageClosesTheOthersAndDropsTheirEdits()
    {
        auto *users = openUsers();
        typeIntoCell(users, 1, 1, "Izmenjeno");
        click("BitBtn2"); // opening again keeps the record being edited
        QCOMPARE(gridRow(users, 1), (QStringList{"111", "Izmenjeno"}));

        form->BitBtn25Click(); // the groups table, opened from its page
        QVERIFY(find<DBGrid>("DBGrid5")->dataSource()->isActive());
        form->BitBtn26Click(); // and closed there
        verifyClosed(users, find<DBNavigator>("DBNavigator1"));
        verifyClosed(find<DBGrid>("DBGrid5"), find<DBNavigator>("DBNavigator4"));
        QCOMPARE(data->records("korisnici")[1], (QStringList{"111", "Petar Petrovic"}));
        QVERIFY(dialogs.messages().isEmpty());
    }

    void recordThatCannotBeStoredKeepsTheGridOnIt()
    {
        auto *grid = openUsers();
        typeIntoCell(grid, 1, 1, "Izmenjeno");
        // Another program removes the record meanwhile.
        data->withTable("korisnici", [](engine::Table &t) {
            t.last();
            t.deleteRecord();
        });
        grid->setCurrentIndex(grid->model()->index(0, 0));
        QCOMPARE(dialogs.messages(),
                 QStringList{"The record was deleted meanwhile in podaci\\korisnici.db"});
        QCOMPARE(grid->currentIndex().row(), 1);
        QCOMPARE(gridRow(grid, 1), (QStringList{"111", "Izmenjeno"}));

        navigate(find<DBNavigator>("DBNavigator1"), DBNavigator::Cancel);
        navigate(find<DBNavigator>("DBNavigator1"), DBNavigator::Refresh);
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(dialogs.messages().size(), 1);
    }

    // A value of the wrong kind for its field: the engine's message, and the grid stays on
    // the row. The master tables hold only text, so an editable grid over the journal table
    // stands in for a table with amount and date fields.
    void refusedValueKeepsTheGridOnTheRow()
    {
        data->addPosting("A", "01/12/2026", "1.00", "0.00", "0.00", "0.00");
        data->addPosting("B", "02/12/2026", "2.00", "0.00", "0.00", "0.00");
        data->session.setPassword(DataDir::password());
        engine::Table journal(data->session, QStringLiteral("podaci/promet.db"));
        TableModel model(journal);
        connect(&model, &TableModel::errorOccurred, this,
                [this](const QString &text) { dialogs.message(text); });
        DBGrid grid;
        grid.setDataSource(&model);
        grid.resize(900, 300);
        grid.show();
        journal.open();

        // Refused while moving to another row: the grid stays.
        typeIntoCell(&grid, 0, 5, "12a", false);
        grid.setCurrentIndex(model.index(1, 5));
        QCOMPARE(dialogs.messages(), QStringList{"'12a' is not a valid amount"});
        QCOMPARE(grid.currentIndex().row(), 0);
        QCOMPARE(journal.recNo(), 0);

        typeIntoCell(&grid, 0, 1, "31/02/2026");
        QCOMPARE(dialogs.messages().size(), 2);
        QVERIFY(dialogs.messages().last().contains("31/02/2026"));
        typeIntoCell(&grid, 0, 0, "C");
        grid.setCurrentIndex(model.index(1, 0));
        QCOMPARE(journal.recNo(), 1);
        QCOMPARE(grid.currentIndex().row(), 1);
        const QList<QStringList> rows = data->records("promet");
        QCOMPARE(rows[0].mid(0, 2), (QStringList{"C", "01/12/2026"}));
        QCOMPARE(rows[0][5], QStringLiteral("1.00"));
        journal.close();
    }
};

QTEST_MAIN(TestMaster)
#include "tst_master.moc"

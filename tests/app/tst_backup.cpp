// The backup and settings page driven through its real widgets: backup names and the
// backup list, backup and restore (also the refused and failing ones), both clearings of
// the journal, the journal's chain and audit log across them, and the FTP option file. The
// shop restored from an off-site copy: by a new computer's first start, and by the page.
#include "WindowTest.h"

#include "BackupFiles.h"
#include "ChainCheck.h"
#include "FirstStart.h"
#include "OffsiteFtp.h"
#include "testsupport/FtpTestSupport.h"

#include "desk/CashBook.h"
#include "desk/DeskSettings.h"
#include "desk/JournalChain.h"
#include "desk/Offsite.h"
#include "desk/OffsiteRestore.h"
#include "desk/SealedBackup.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>

using Kind = platform::ScriptedDialogs::Kind;

Q_DECLARE_METATYPE(std::optional<QString>)

class TestBackup : public QObject, WindowTest<>
{
    Q_OBJECT

private:

    const QString backupName = QStringLiteral("bck-07-12-26-09-05-33.db");

    // Opens the backup page, as the administrator (logging in, with a new window if needed).
    void enterPage()
    {
        if (!form) {
            showForm();
            login("12345");
        } else if (form->pageIndex() != PageMenu) {
            form->Glavnimeni1Click();
            login("12345");
        }
        click("BitBtn19");
        QCOMPARE(form->pageIndex(), int(PageBackup));
    }
    QStringList listed() { return listLines("ListBox3"); }
    void writeFile(const QString &relative, const QByteArray &bytes)
    {
        QVERIFY(data->writeFile(relative, bytes));
    }
    QStringList boxes()
    {
        return {find<QLineEdit>("Edit14")->text(), find<QLineEdit>("Edit15")->text(),
                find<QLineEdit>("Edit16")->text()};
    }
    bool ftpOn() { return find<QRadioButton>("RadioButton15")->isChecked(); }
    bool ftpOff() { return find<QRadioButton>("RadioButton16")->isChecked(); }

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
        clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 33)));
        data->addUser("12345", "Admin");
        data->addUser("111", "Petar Petrovic");
        data->addPosting("x", "01/12/2026", "1000.00", "0.00", "0.00", "0.00");
    }
    void cleanup() { finish(); }

    // A time of two-digit parts is the window's own (the backup test below).
    void backupNameHasDateAndTwoDigitTimeParts_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("name");
        QTest::newRow("one-digit hour") << "9:05:33" << "bck-07-12-26-09-05-33.db";
        QTest::newRow("with suffix") << "9:05:33 AM" << "bck-07-12-26-.db";
    }
    void backupNameHasDateAndTwoDigitTimeParts()
    {
        QFETCH(QString, time);
        QFETCH(QString, name);
        QCOMPARE(backup_files::backupFileName("07/12/2026", time), name);
    }

    // The shared desk settings are saved beside the journal and shown on the next visit; a
    // limit that is not an amount of zero or more saves nothing.
    void deskSettingsAreSavedBesideTheJournal()
    {
        enterPage();
        QCOMPARE(find<QLineEdit>("EditLimitDin")->text(), QStringLiteral("0.00"));
        const struct
        {
            const char *dinars, *euros, *said;
        } cases[] = {
            {"-1", "0", "Blagajnicki maksimum DIN nije ispravan iznos: \"-1\" (0 znaci bez maksimuma)"},
            {"100", "12a", "Blagajnicki maksimum EUR nije ispravan iznos: \"12a\" (0 znaci bez maksimuma)"},
            {"250000", "", "Postavke su snimljene"},
        };
        for (const auto &c : cases) {
            find<QLineEdit>("EditLimitDin")->setText(QString::fromLatin1(c.dinars));
            find<QLineEdit>("EditLimitEur")->setText(QString::fromLatin1(c.euros));
            find<QCheckBox>("CheckBlindCount")->setChecked(true);
            dialogs.clear();
            click("SaveSettings");
            QCOMPARE(dialogs.messages(), QStringList{QString::fromLatin1(c.said)});
        }
        data->withTable("promet", [](engine::Table &journal) {
            const desk::settings::Shared shared = desk::settings::read(journal);
            QCOMPARE(shared.limitDinars.toText(), QStringLiteral("250000.00"));
            QCOMPARE(shared.limitEuros.toText(), QStringLiteral("0.00"));
            QVERIFY(shared.blindCount);
            QVERIFY(!shared.voucherAfterPosting);
        });
        find<QLineEdit>("EditLimitDin")->clear();
        click("BitBtn22");
        click("BitBtn19");
        QCOMPARE(find<QLineEdit>("EditLimitDin")->text(), QStringLiteral("250000.00"));
        QVERIFY(find<QCheckBox>("CheckBlindCount")->isChecked());
    }

    // FIRMA I PAPIR asks for the firm and the paper, each with what is stored; a wrong PIB or MB
    // or paper, or a cancelled question, stores nothing; saving the limits keeps them.
    void theFirmAndThePaperAreAskedForAndKeptWhenTheLimitsAreSaved()
    {
        enterPage();
        const struct
        {
            QList<std::optional<QString>> answers;
            const char *said;
            const char *pib; // stored afterwards
        } cases[] = {
            {{"Radnja Primer d.o.o.", "Knez Mihailova 1", "136695977", "12345678", "A4"},
             "Firma NIJE snimljena: PIB 136695977 nije ispravan: kontrolna cifra ne odgovara", ""},
            {{"Radnja Primer d.o.o.", "Knez Mihailova 1", "136695976", "1234", "A4"},
             "Firma NIJE snimljena: MB 1234 nije ispravan: maticni broj ima 8 cifara", ""},
            {{"Radnja Primer d.o.o.", "Knez Mihailova 1", "136695976", "12345678", "A3"},
             "Firma NIJE snimljena: papir je A4 ili Letter, ne \"A3\"", ""},
            {{"Radnja Primer d.o.o.", std::nullopt}, nullptr, ""},
            {{"Radnja Primer d.o.o.", "Knez Mihailova 1", " 136695976 ", "12345678", "A4"},
             "Firma i papir su snimljeni", "136695976"},
        };
        for (const auto &c : cases) {
            dialogs.clear();
            for (const std::optional<QString> &a : c.answers)
                dialogs.answerText(a);
            click("BitBtnFirm");
            QCOMPARE(dialogs.messages(), c.said ? QStringList{QString::fromLatin1(c.said)} : QStringList());
            data->withTable("promet", [&c](engine::Table &journal) {
                QCOMPARE(desk::settings::read(journal).pib, QString::fromLatin1(c.pib));
            });
        }
        find<QLineEdit>("EditLimitDin")->setText(QStringLiteral("1000"));
        dialogs.clear();
        click("SaveSettings");
        QCOMPARE(dialogs.messages(), QStringList{"Postavke su snimljene"});
        data->withTable("promet", [](engine::Table &journal) {
            const desk::settings::Shared shared = desk::settings::read(journal);
            QCOMPARE(shared.limitDinars.toText(), QStringLiteral("1000.00"));
            QCOMPARE(shared.firmName, QStringLiteral("Radnja Primer d.o.o."));
            QCOMPARE(shared.firmAddress, QStringLiteral("Knez Mihailova 1"));
            QCOMPARE(shared.mb, QStringLiteral("12345678"));
            QCOMPARE(shared.paper, desk::settings::Paper::A4);
        });
    }

    void backupIsAWholeJournalListedOnTheNextVisit()
    {
        enterPage();
        QVERIFY(!listed().contains(backupName));
        // The progress dialog is up before the copy is made and gone when it is there.
        QStringList progress;
        dialogs.onProgress = [&](const QString &step) {
            progress << step + (QFileInfo::exists(data->file("podaci/" + backupName)) ? "+" : "-");
        };
        click("BitBtn20");
        dialogs.onProgress = nullptr;
        QCOMPARE(progress, (QStringList{"Snimanje back-up-a u toku...-", "+"}));
        QCOMPARE(dialogs.messages(), QStringList{"SNIMLJENO"});
        QCOMPARE(form->pageIndex(), int(PageMenu));
        click("BitBtn19");
        QCOMPARE(listed(), QStringList{backupName});
        desk::promet().checkTableFile(data->file("podaci/" + backupName),
                                                     DataDir::password());
        QCOMPARE(data->records(backupName.chopped(3)), data->records("promet"));

        // A second backup in the same second replaces the first: one whole file.
        data->addPosting("x", "02/12/2026", "5.00", "0.00", "0.00", "0.00");
        click("BitBtn20");
        QCOMPARE(data->records(backupName.chopped(3)).size(), 2);
        const QStringList leftovers = QDir(data->file("podaci"))
                                          .entryList({"*bck*"}, QDir::Files | QDir::Hidden);
        QCOMPARE(leftovers, QStringList{backupName});

        enterPage();
        QCOMPARE(listed(), QStringList{backupName});
        QCOMPARE(QDir::currentPath(), form->startDirectory());
    }

    // With an off-site target, the backup is also copied there; a copy that fails is said and
    // leaves the backup standing, and the page shows the last copy's outcome.
    void backupIsCopiedOffSiteAndAFailedCopyIsSaid()
    {
        QTemporaryDir usb;
        const QString copies = desk::offsite::folderOfCopies(usb.path());
        const QString copy = QStringLiteral("2026-12-07-09-05-33.dvr");
        enterPage();
        QVERIFY(find<QLabel>("LabelOffsite")->text().isEmpty());
        // Set up from the page: a folder, no FTP, a new key whose recovery text is shown once.
        dialogs.answerText(usb.path());
        dialogs.answerNo();
        dialogs.answerText(QString());
        click("BitBtnOffsite");
        QVERIFY(dialogs.unanswered.isEmpty());
        const QString recovery = QString::fromLatin1(data->readFile("podaci/rezerva-kljuc.txt")).trimmed();
        QCOMPARE(dialogs.messages(),
                 QStringList{"Kopije van lokacije: fascikla " + copies + "\n\nKljuc rezerve "
                             "(zapisite ga i cuvajte van radnje; bez njega se kopija ne moze "
                             "vratiti):\n\n" + recovery});
        dialogs.clear();
        QCOMPARE(find<QLabel>("LabelOffsite")->text(), QString("Kopija van lokacije jos nije snimljena"));
        click("BitBtn20");
        QCOMPARE(dialogs.messages(),
                 QStringList{"SNIMLJENO\nKopija van lokacije: fascikla " + copies + "/" + copy});
        QVERIFY(QFileInfo(copies + "/" + copy).size() > QFileInfo(data->file("podaci/" + backupName)).size());
        QCOMPARE(dialogs.steps(), (QStringList{"Snimanje back-up-a u toku...", "Kopija van lokacije u toku..."}));
        click("BitBtn19");
        QVERIFY(find<QLabel>("LabelOffsite")->text().startsWith("Poslednja kopija van lokacije: " + copy));

        QVERIFY(QDir(copies).removeRecursively()); // the disk taken away
        dialogs.clear();
        QVERIFY(QFile::remove(data->file("podaci/" + backupName)));
        click("BitBtn20");
        QCOMPARE(dialogs.messages().size(), 1);
        QVERIFY(dialogs.messages().first().startsWith("SNIMLJENO\nKopija van lokacije NIJE snimljena"));
        QVERIFY(QFileInfo::exists(data->file("podaci/" + backupName)));
        click("BitBtn19");
        QVERIFY(find<QLabel>("LabelOffsite")->text().contains("NIJE snimljena"));
        QVERIFY(!QFileInfo::exists(copies));
    }

    // The shop's computer is lost. A new one's first start restores the copy from the folder
    // with the recovery text: the cashier logs in with his code and finds the journal. Back
    // in the shop, the page lists the copies and restores one; a posting made after it is
    // gone, and each login says so until the administrator confirms it was entered again.
    void aCopyRestoresTheShopAtTheFirstStartAndFromThePage()
    {
        QTemporaryDir usb, newComputer;
        enterPage();
        dialogs.answerText(usb.path());
        dialogs.answerNo();
        dialogs.answerText(QString());
        click("BitBtnOffsite");
        click("BitBtn20");
        const QString recovery = QString::fromLatin1(data->readFile("podaci/rezerva-kljuc.txt")).trimmed();
        const QString copied = QStringLiteral("1  Kopija od 07/12/2026 09:05:33, poslednji dokument U-2026-000001");
        dialogs.clear();

        dialogs.answerNo();  // not a new database
        dialogs.answerYes(); // but the copy
        dialogs.answerText(usb.path());
        dialogs.answerText(QStringLiteral("pogresan tekst"));
        dialogs.answerText(recovery.toLower());
        dialogs.answerText(QStringLiteral("2")); // there is one copy only
        dialogs.answerText(QStringLiteral("1"));
        dialogs.answerYes();
        QCOMPARE(FirstStart::run(newComputer.path(), dialogs), FirstStart::Result::Ready);
        QCOMPARE(dialogs.questions().value(1), FirstStart::restoreQuestion);
        QVERIFY2(dialogs.questions().value(2).startsWith(
            "Kopija od 07/12/2026 09:05:33, poslednji dokument U-2026-000001\n\nPromene posle tog vremena"),
                 qPrintable(dialogs.questions().join("|")));
        const QStringList said = dialogs.messages();
        QCOMPARE(said.size(), 3);
        QVERIFY(said.at(0).startsWith("Tekst kljuca"));
        QCOMPARE(said.at(1), QString("Upisite broj od 1 do 1"));
        QVERIFY(said.at(2).endsWith(FirstStart::restored));
        QVERIFY(std::any_of(dialogs.shown.cbegin(), dialogs.shown.cend(), [&](const auto &shown) {
            return shown.kind == Kind::Prompt && shown.text.contains(copied);
        }));
        QVERIFY(desk::checkAdminCode(newComputer.path(), "12345"));
        QCOMPARE(desk::chain::verifyDirectory(newComputer.path(), DataDir::password()).head, verify().head);
        dialogs.clear();

        // Back in the shop: a posting after the copy, then the page's restore.
        form->Glavnimeni1Click();
        cashierTakesIn("7700.00");
        dialogs.clear();
        enterPage();
        dialogs.answerText(QStringLiteral("12345"));
        dialogs.answerText(QStringLiteral("1"));
        dialogs.answerYes();
        click("BitBtn31");
        QVERIFY(dialogs.unanswered.isEmpty());
        QCOMPARE(dialogs.messages().size(), 1);
        QVERIFY(dialogs.messages().first().startsWith("Vracena kopija 2026-12-07-09-05-33.dvr"));
        QCOMPARE(verify().records, 1); // the 7700.00 is gone with the restore
        QVERIFY(verify().ok());
        const QString notice = desk::offsite::notice(data->path());
        QVERIFY(notice.startsWith("Vracena je kopija od 07/12/2026 09:05:33"));
        form->Glavnimeni1Click();
        dialogs.clear();
        login("111");
        QCOMPARE(dialogs.messages(), QStringList{notice});
        form->Glavnimeni1Click();
        dialogs.clear();
        dialogs.answerYes(); // "Uneti su"
        adminLogin();
        QVERIFY(desk::offsite::notice(data->path()).isEmpty());
        QCOMPARE(log().last().value(0), QString("NALOZI UNETI"));
    }

    // The copies on the shop's FTP server: the first start asks for the server instead of a
    // folder, reaches it with what was typed and restores the shop, its own FTP option with it.
    void aCopyOnTheFtpServerRestoresTheShopAtTheFirstStart()
    {
        ftptest::PyFtpServer server;
        if (!server.start())
            QSKIP(qPrintable(server.problem));
        QTemporaryDir usb, newComputer;
        enterPage();
        const QString recovery = desk::offsite::init(data->path(), {usb.path(), false});
        click("BitBtn20");
        const QString copies = desk::offsite::folderOfCopies(usb.path());
        QVERIFY(QDir(server.home()).mkpath("dorvanta-rezerva"));
        for (const QString &copy : QDir(copies).entryList(QDir::Files))
            QVERIFY(QFile::copy(QDir(copies).filePath(copy), QDir(server.home()).filePath("dorvanta-rezerva/" + copy)));
        dialogs.clear();

        dialogs.answerNo();
        dialogs.answerYes();
        for (const QString &typed : {QString(), QString("127.0.0.1"), QString("kasa"), QString("tajna"),
                                     QString::number(server.port), recovery, QString("1")})
            dialogs.answerText(typed);
        dialogs.answerYes();
        offsite_ftp::registerFtpTarget(); // as the program does at its start
        const FirstStart::Result result = FirstStart::run(newComputer.path(), dialogs);
        QVERIFY2(result == FirstStart::Result::Ready, qPrintable(dialogs.messages().join('|')));
        QVERIFY2(dialogs.messages().value(0).endsWith(FirstStart::restored), qPrintable(dialogs.messages().join('|')));
        QVERIFY(desk::checkAdminCode(newComputer.path(), "12345"));
        QCOMPARE(desk::offsite::settings(newComputer.path()).ftp, true);
        QFile options(QDir(newComputer.path()).filePath("podaci/ftpop.txt"));
        QVERIFY(options.open(QIODevice::ReadOnly));
        QCOMPARE(options.readAll(), data->readFile("podaci/ftpop.txt"));
    }

    // A set-up that is cancelled or refused changes nothing: no settings, no key. Once a key
    // is there, the set-up keeps it and asks for none.
    void offsiteSetUpRefusedOrCancelledChangesNothing()
    {
        QTemporaryDir usb;
        struct Step
        {
            const char *name;
            std::optional<QString> folder;
            bool ftp;
            std::optional<QString> keyText;
            QString said; // the start of the one message; empty: none
        };
        const QList<Step> steps = {
            {"cancelled at the folder", std::nullopt, false, std::nullopt, {}},
            {"neither folder nor FTP", QString("  "), false, std::nullopt,
             "Kopija van lokacije NIJE podesena: nije data ni fascikla ni FTP server"},
            {"a folder that is not there", usb.path() + "/nema", false, QString(),
             "Kopija van lokacije NIJE podesena: nema fascikle"},
            {"a mistyped recovery text", usb.path(), false, QString("ABCD-EFGH"),
             "Kopija van lokacije NIJE podesena: "},
            {"cancelled at the key", usb.path(), false, std::nullopt, {}},
        };
        enterPage();
        for (const Step &step : steps) {
            dialogs.clear();
            dialogs.answerText(step.folder);
            if ((step.folder && !step.folder->trimmed().isEmpty()) || step.ftp)
                dialogs.answerText(step.keyText);
            if (step.folder)
                dialogs.answerNo();
            click("BitBtnOffsite");
            QVERIFY2(dialogs.messages().size() == (step.said.isEmpty() ? 0 : 1), step.name);
            if (!step.said.isEmpty())
                QVERIFY2(dialogs.messages().first().startsWith(step.said), step.name);
            QVERIFY2(!QFileInfo::exists(data->file("podaci/rezerva.txt")), step.name);
            QVERIFY2(!QFileInfo::exists(data->file("podaci/rezerva-kljuc.txt")), step.name);
        }

        // A key from another computer is taken as given; a second set-up keeps it.
        const QByteArray key = desk::sealed::newKey();
        dialogs.clear();
        dialogs.answerText(usb.path());
        dialogs.answerNo();
        dialogs.answerText(desk::sealed::recoveryText(key).toLower());
        click("BitBtnOffsite");
        QCOMPARE(desk::offsite::key(data->path()), key);
        QVERIFY(dialogs.messages().value(0).endsWith("Kopije se sifruju postojecim kljucem rezerve."));
        dialogs.clear();
        dialogs.answerText(usb.path());
        dialogs.answerNo();
        click("BitBtnOffsite");
        QVERIFY(dialogs.unanswered.isEmpty() && dialogs.textAnswers.empty());
        QCOMPARE(desk::offsite::key(data->path()), key);
        QCOMPARE(desk::offsite::settings(data->path()).folder, QDir(usb.path()).absolutePath());
    }

    void listOffersPlainFilesBeginningWithLowerCaseBIgnoringCaseInOrder()
    {
        for (const char *name : {"bZeta.txt", "bAlpha", "bck-01.db", "Bupper.db", ".bhidden",
                                 "a.db"})
            writeFile(QStringLiteral("podaci/") + name, "x");
        QDir(data->file("podaci")).mkdir("bdir");
        showLoggedIn("12345");
        auto *edit11 = find<QLineEdit>("Edit11");
        edit11->setText("stari tekst");
        enterPage();
        QCOMPARE(listed(), (QStringList{"bAlpha", "bck-01.db", "bZeta.txt"}));
        QCOMPARE(edit11->text(), QString());
        QCOMPARE(QDir::currentPath(), form->startDirectory());

        clickLine("ListBox3", "bZeta.txt");
        QCOMPARE(edit11->text(), QStringLiteral("bZeta.txt"));
    }

    // A directory where the backup should go, then no journal to copy.
    void backupThatCannotBeWrittenIsReported()
    {
        showLoggedIn("12345");
        QDir(data->file("podaci")).mkdir(backupName);
        for (bool isDir : {true, false}) {
            if (!isDir) {
                QDir(data->file("podaci")).rmdir(backupName);
                QVERIFY(QFile::rename(data->file("podaci/promet.db"), data->file("promet.db")));
            }
            dialogs.clear();
            click("BitBtn19");
            click("BitBtn20");
            saidOnce("Back-up NIJE snimljen: ");
            QCOMPARE(QFileInfo(data->file("podaci/" + backupName)).isDir(), isDir);
            QCOMPARE(QFileInfo::exists(data->file("podaci/" + backupName)), isDir);
        }
    }

    // The restore question counts the journal's records that the backup does not hold.
    void restoreQuestionSaysHowManyPostingsAreLost_data()
    {
        QTest::addColumn<QStringList>("kept");    // posted before the backup
        QTest::addColumn<QString>("afterwards"); // what happens to the journal then
        QTest::addColumn<QStringList>("added");   // posted after that
        QTest::addColumn<QString>("question");
        const QString lost = QStringLiteral("Da li ste sigurni? %1 promena posle ovog back-up-a "
                                            "ce biti izgubljeno");
        QTest::newRow("nothing new") << QStringList{"a", "b"} << "" << QStringList() << lost.arg(0);
        QTest::newRow("two new") << QStringList{"a", "b"} << "" << QStringList{"c", "d"}
                                 << lost.arg(2);
        QTest::newRow("the same text again") << QStringList{"a"} << "" << QStringList{"a"}
                                             << lost.arg(1);
        QTest::newRow("cleared, then one new") << QStringList{"a", "b", "c"} << "clear"
                                               << QStringList{"d"} << lost.arg(1);
        QTest::newRow("no journal") << QStringList{"a"} << "remove" << QStringList()
                                    << "Da li ste sigurni?";
    }
    void restoreQuestionSaysHowManyPostingsAreLost()
    {
        QFETCH(QStringList, kept);
        QFETCH(QString, afterwards);
        QFETCH(QStringList, added);
        QFETCH(QString, question);
        for (const QString &text : kept)
            data->addPosting("Ana", "01/12/2026", "1.00", "0.00", "0.00", "0.00", text);
        QVERIFY(QFile::copy(data->file("podaci/promet.db"), data->file("podaci/" + backupName)));
        if (afterwards == "clear")
            data->withTable("promet", [](engine::Table &t) { t.emptyTable(); });
        else if (afterwards == "remove") {
            QVERIFY(QFile::remove(data->file("podaci/promet.db")));
        }
        for (const QString &text : added)
            data->addPosting("Ana", "01/12/2026", "1.00", "0.00", "0.00", "0.00", text);
        enterPage();
        find<QLineEdit>("Edit11")->setText(backupName);
        dialogs.clear(); // logging in without a journal is told
        dialogs.answerNo();
        click("BitBtn23");
        QCOMPARE(dialogs.questions(), QStringList{question});
        QVERIFY(dialogs.messages().isEmpty());
        QVERIFY(!data->session.hasPassword());
    }

    // A restore gives the backup's records and balance at the next cashier's login, and keeps
    // what the cash book promised since the backup: a closed day stays closed (a posting on it
    // is refused with the reason, stores nothing and uses no number) and no number of the year
    // is given again. The restored journal verifies; the log names the backup, the archive of
    // the replaced journal and its head, which stays part of the history; postings chain on.
    void restoreGivesTheBackupsBalanceAndKeepsClosesAndNumbers()
    {
        enterPage();
        click("BitBtn20"); // the backup holds U-2026-000001 only
        form->Glavnimeni1Click();
        login("111");
        post("DINARI", "IZLAZ", "250");
        QCOMPARE(boxText("Edit2"), QStringLiteral("750.00"));
        QCOMPARE(find<QLabel>("LabelDocument")->text(), QStringLiteral("Dokument: I-2026-000001"));
        data->withTable("promet", [this](engine::Table &journal) {
            desk::cashbook::closeDay(journal, clock.today(), "Admin", clock.currentDateTime());
        });
        const QByteArray headBeforeRestore = verify().head;

        // The backup lacks a posting of the closed day: the question names the day with its
        // figures, and only the administrator's code lets the restore change it.
        const QString changed = QStringLiteral(
            "Dan 07/12/2026 je zakljucen sa stanjem 750.00 DIN, promet sada daje 1000.00 DIN");
        enterPage();
        for (const QString &code : {QStringLiteral("111"), QStringLiteral("12345")}) {
            clickLine("ListBox3", backupName);
            QCOMPARE(boxText("Edit11"), backupName);
            dialogs.clear();
            dialogs.answerYes();
            dialogs.answerText(code);
            click("BitBtn23");
            QCOMPARE(dialogs.questions().size(), 1);
            QVERIFY2(dialogs.questions().front().contains("MENJA ZAKLJUCENE DANE:\n" + changed),
                     qPrintable(dialogs.questions().front()));
            QCOMPARE(dialogs.unanswered, QStringList());
            if (code == QLatin1String("111"))
                QCOMPARE(dialogs.messages(),
                         QStringList{"Back-up NIJE ucitan: sifra administratora nije tacna"});
        }
        QCOMPARE(dialogs.messages(), QStringList{"Ucitao sam podatke iz back-up fajla!"});
        QCOMPARE(dialogs.steps(), QStringList{"Vracanje back-up-a u toku..."});
        QCOMPARE(find<QLineEdit>("Edit11")->text(), QString());
        QVERIFY(QFileInfo::exists(data->file("podaci/" + backupName)));
        const desk::chain::Verdict restored = verify();
        QVERIFY2(restored.chainOk(), qPrintable(restored.text()));
        QCOMPARE(restored.closedDays, QStringList{changed});
        QCOMPARE(restored.records, 1);
        const QList<QStringList> entries = log();
        const QStringList entry = entries.last();
        QCOMPARE(entry.front(), QStringLiteral("POVRACAJ"));
        QCOMPARE(entries.count(entry), 1); // the wrong code restored nothing
        QVERIFY2(entry.at(1).contains(backupName) &&
                     entry.at(1).contains("bck-arhiva-07-12-26-09-05-33.db") &&
                     entry.at(1).contains(QString::fromLatin1(headBeforeRestore)) &&
                     entry.at(1).contains("PROMENJENI ZAKLJUCENI DANI: " + changed),
                 qPrintable(entry.at(1)));
        // The administrator's next login warns about the day.
        dialogs.clear();
        form->Glavnimeni1Click();
        adminLogin();
        QCOMPARE(dialogs.messages().size(), 1);
        QVERIFY2(dialogs.messages().front().startsWith("UPOZORENJE: zakljuceni dani") &&
                     dialogs.messages().front().contains(changed),
                 qPrintable(dialogs.messages().front()));
        QVERIFY(desk::chain::verifyDirectory(data->path(), DataDir::password(), headBeforeRestore)
                    .headFound);

        form->Glavnimeni1Click();
        login("111");
        QCOMPARE(boxText("Edit2"), QStringLiteral("1000.00"));
        QCOMPARE(data->records("promet").size(), 1);
        post("DINARI", "IZLAZ", "30");
        QCOMPARE(dialogs.messages().last(),
                 QStringLiteral("Dan 07/12/2026 je zakljucen: na taj dan se vise ne knjizi. "
                                "Promena nije proknjizena."));
        QCOMPARE(data->records("promet").size(), 1);
        QCOMPARE(boxText("Edit4"), QStringLiteral("30")); // kept for a retry
        clock.set(QDateTime(QDate(2026, 12, 8), QTime(8, 0)));
        form->Glavnimeni1Click();
        login("111");
        post("DINARI", "IZLAZ", "30");
        QCOMPARE(find<QLabel>("LabelDocument")->text(), QStringLiteral("Dokument: I-2026-000002"));
        QVERIFY(verify().chainOk());
    }

    void damagedTablesAreNeverCopiedAndAMissingJournalCanBeRestored()
    {
        // A journal of several pages, so that damage in its middle hits records.
        data->withTable("promet", [](engine::Table &t) {
            t.startTransaction();
            for (int i = 0; i < 400; ++i) {
                t.insert();
                t.setFieldText("OPIS", QString(200, QChar(u'a' + i % 26)));
                t.setFieldText("ULAZDIN", "1.00");
                t.post();
            }
            t.commit();
        });
        const auto damage = [this](const QString &relative) {
            QFile f(data->file(relative));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(f.size() / 2));
            QByteArray noise(16384, Qt::Uninitialized);
            QRandomGenerator random(13);
            for (char &c : noise)
                c = char(random.bounded(256));
            f.write(noise);
        };
        enterPage();
        click("BitBtn20");
        QVERIFY(QFile::copy(data->file("podaci/" + backupName), data->file("podaci/bosteceni.db")));
        damage("podaci/bosteceni.db");
        const QByteArray journal = data->readFile("podaci/promet.db");
        const QByteArray backup = data->readFile("podaci/" + backupName);

        dialogs.clear();
        enterPage();
        find<QLineEdit>("Edit11")->setText("bosteceni.db");
        dialogs.answerYes();
        click("BitBtn23");
        saidOnce("Back-up NIJE ucitan: ");
        QCOMPARE(data->readFile("podaci/promet.db"), journal);

        // A damaged journal gives no backup; the earlier one stays.
        damage("podaci/promet.db");
        dialogs.clear();
        click("BitBtn20");
        saidOnce("Back-up NIJE snimljen: ");
        QCOMPARE(data->readFile("podaci/" + backupName), backup);

        // Without a journal the sound backup still comes back.
        QFile::remove(data->file("podaci/promet.db"));
        dialogs.clear();
        enterPage();
        find<QLineEdit>("Edit11")->setText(backupName);
        dialogs.answerYes();
        click("BitBtn23");
        QCOMPARE(dialogs.messages(), QStringList{"Ucitao sam podatke iz back-up fajla!"});
        QCOMPARE(data->records("promet").size(), 401);
        QCOMPARE(QDir(data->file("podaci")).entryList({".~*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    void restoreRefusesWhatIsNotAJournalOfTheDataDirectory_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("said");
        const QString refused = QStringLiteral("Back-up NIJE ucitan: ");
        QTest::newRow("no name") << "" << "Prvo izaberite neki back-up iz liste!";
        QTest::newRow("text file") << "bogus.txt" << refused;
        QTest::newRow("users table") << "bkor.db" << refused;
        QTest::newRow("other password") << "bpw.db" << refused;
        QTest::newRow("missing") << "bck-nema.db" << refused;
        QTest::newRow("directory") << "bdir" << refused;
        QTest::newRow("parent") << "../outside.db" << refused;
        QTest::newRow("backslash") << "..\\outside.db" << refused;
        QTest::newRow("dot dot") << ".." << refused;
    }
    void restoreRefusesWhatIsNotAJournalOfTheDataDirectory()
    {
        QFETCH(QString, name);
        QFETCH(QString, said);
        writeFile("podaci/bogus.txt", "nije tabela");
        QVERIFY(QFile::copy(data->file("podaci/korisnici.db"), data->file("podaci/bkor.db")));
        desk::promet().createTable(data->file("podaci/bpw.db"), "drugo");
        QDir(data->file("podaci")).mkdir("bdir");
        // A whole journal with the right password, but outside the data directory.
        desk::promet().createTable(data->file("outside.db"), DataDir::password());

        enterPage();
        const QByteArray before = data->readFile("podaci/promet.db");
        find<QLineEdit>("Edit11")->setText(name);
        dialogs.answerYes();
        click("BitBtn23");
        saidOnce(said);
        QCOMPARE(data->readFile("podaci/promet.db"), before);
        QCOMPARE(data->records("promet").size(), 1);
    }

    // Only the exact administrator code clears the journal; an empty journal is cleared
    // again without complaint.
    void administratorCodeGuardsTheClearing_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("left");
        const QString refused = QStringLiteral("SIFRA NIJE TACNA, TABELA NIJE OBRISANA!");
        QTest::newRow("upper case") << std::optional<QString>("TOVEL38") << refused << 2;
        QTest::newRow("trailing blank") << std::optional<QString>("tovel38 ") << refused << 2;
        QTest::newRow("empty") << std::optional<QString>("") << refused << 2;
        QTest::newRow("cancelled") << std::optional<QString>() << refused << 2;
        QTest::newRow("right code") << std::optional<QString>("tovel38")
                                    << "Tabela sa podacima prometa obrisana!" << 0;
    }
    void administratorCodeGuardsTheClearing()
    {
        QFETCH(std::optional<QString>, answer);
        QFETCH(QString, said);
        QFETCH(int, left);
        data->addPosting("y", "02/12/2026", "0.00", "0.00", "3.00", "0.00");
        enterPage();
        dialogs.clear(); // the login's
        for (int time = 0; time < (left == 0 ? 2 : 1); ++time) {
            dialogs.answerText(answer);
            click("BitBtn21");
            QCOMPARE(dialogs.shown.at(0).kind, Kind::Prompt);
            QCOMPARE(dialogs.messages().last(), said);
            QCOMPARE(data->records("promet").size(), left);
        }
    }

    void clearingBehindTheQuestionNeedsTheTablePassword()
    {
        data->addPosting("y", "02/12/2026", "0.00", "0.00", "3.00", "0.00");
        enterPage();
        const auto passwordPrompts = [this] {
            int n = 0;
            for (const auto &s : dialogs.shown)
                n += s.kind == Kind::Password;
            return n;
        };

        dialogs.answerNo();
        click("BitBtn29");
        QCOMPARE(passwordPrompts(), 0);

        dialogs.answerYes();
        dialogs.answerText(std::nullopt); // Cancel
        click("BitBtn29");
        dialogs.answerYes();
        dialogs.answerText(QStringLiteral("pogresna"));
        click("BitBtn29");
        QCOMPARE(passwordPrompts(), 2);
        QCOMPARE(dialogs.messages(), QStringList(2, "Invalid password for table podaci/promet.db"));
        QCOMPARE(data->records("promet").size(), 2);

        dialogs.clear();
        dialogs.answerYes();
        dialogs.answerText(QStringLiteral("kvr604"));
        click("BitBtn29");
        QCOMPARE(passwordPrompts(), 1);
        QVERIFY(dialogs.messages().isEmpty());
        // The session keeps the typed password: the next clearing asks no more.
        dialogs.answerYes();
        click("BitBtn29");
        QCOMPARE(passwordPrompts(), 1);
        QVERIFY(data->records("promet").isEmpty());
    }

    // The journal's chain: clearing archives the journal, logs the act and leaves a journal that
    // verifies and chains on (the record posted at set-up, behind the program, is chained at
    // the first login). A restore's chain and log are the restore test's.
    void aClearedJournalIsArchivedLoggedAndVerifies()
    {
        at(0);
        showForm();
        cashierTakesIn("100");
        cashierTakesIn("200");
        // Only the first login, which chains the journal of an older data directory, shows it.
        QCOMPARE(dialogs.steps(), QStringList{"Povezivanje zapisa u lanac u toku..."});
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
        QCOMPARE(listed(), QStringList{archive}); // the page's list shows it at once
        QVERIFY(verify().ok());
        QCOMPARE(verify().head, headBefore);
        form->Glavnimeni1Click();
        cashierTakesIn("300");
        QCOMPARE(verify().records, 1);
        QVERIFY(verify().ok());
        // The archive verifies on its own, with the three records it saved.
        data->withTable(archive.chopped(3), [&](engine::Table &saved) {
            const desk::chain::Verdict v = desk::chain::verify(saved);
            QVERIFY2(v.ok(), qPrintable(v.text()));
            QCOMPARE(v.records, 3);
            QCOMPARE(v.head, headBefore);
        });

        QStringList acts;
        for (const QStringList &entry : log())
            acts << entry.front();
        QCOMPARE(acts, (QStringList{"LANAC", "NOV KLJUC POTPISA", "BRISANJE"}));
    }

    // A journal changed behind the program's back is reported at the administrator's login,
    // and the program goes on working.
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
    void ftpOptionsWriteTheOptionFileForTheOwnerOnly()
    {
        QFile::setPermissions(data->file("podaci/ftpop.txt"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                  QFile::ReadOther);
        enterPage();
        QVERIFY(ftpOff());
        find<QLineEdit>("Edit14")->setText("ftp.example.com");
        find<QLineEdit>("Edit15")->setText("kasa");
        find<QLineEdit>("Edit16")->setText("tajna");
        select("RadioButton15");
        QVERIFY(ftpOn() && !ftpOff());
        // A new setting is passive; the network lines follow the two TLS lines.
        QCOMPARE(data->readFile("podaci/ftpop.txt"),
                 QByteArray("1\r\nftp.example.com\r\nkasa\r\ntajna\r\n\r\n\r\n1\r\n21\r\n"
                            "public_html/dv/podaci.txt\r\n"));
        QCOMPARE(data->mode("podaci/ftpop.txt"), 0600);

        // Selecting the option already selected writes nothing.
        QFile::remove(data->file("podaci/ftpop.txt"));
        select("RadioButton15");
        QVERIFY(!QFileInfo::exists(data->file("podaci/ftpop.txt")));

        select("RadioButton16");
        QCOMPARE(boxes(), QStringList(3, QString()));
        QCOMPARE(data->readFile("podaci/ftpop.txt"), QByteArray("0\r\n"));
        QCOMPARE(data->mode("podaci/ftpop.txt"), 0600);

        find<QRadioButton>("RadioButton15")->setChecked(true);
        QCOMPARE(data->readFile("podaci/ftpop.txt"),
                 QByteArray("1\r\n\r\n\r\n\r\n\r\n\r\n1\r\n21\r\npublic_html/dv/podaci.txt\r\n"));
        QVERIFY(dialogs.messages().isEmpty());
    }

    // Settings changed while the upload is on are stored however the page is left: for
    // another page, for the login page, or by closing the window; not while it stays shown.
    void changedFtpSettingsAreStoredWhenThePageIsLeft_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("menu button") << "BitBtn22" << QByteArray("nova");
        QTest::newRow("main menu") << "Glavnimeni1" << QByteArray("nova");
        QTest::newRow("closing the window") << "close" << QByteArray("nova");
        QTest::newRow("staying") << "" << QByteArray("stara");
    }
    void changedFtpSettingsAreStoredWhenThePageIsLeft()
    {
        QFETCH(QString, way);
        QFETCH(QByteArray, password);
        QVERIFY(data->writeFile("podaci/ftpop.txt", "1\r\nftp.example.com\r\nkasa\r\nstara\r\n"));
        enterPage();
        QVERIFY(ftpOn());
        find<QLineEdit>("Edit16")->setText("nova");
        if (way == "close")
            QVERIFY(form->close());
        else if (way == "Glavnimeni1")
            form->Glavnimeni1Click();
        else if (!way.isEmpty())
            click(way);
        QCOMPARE(data->readFile("podaci/ftpop.txt"),
                 "1\r\nftp.example.com\r\nkasa\r\n" + password + "\r\n");
        QVERIFY(dialogs.messages().isEmpty());
    }

    void ftpOptionThatCannotBeStoredKeepsThePreviousFile_data()
    {
        QTest::addColumn<qulonglong>("sizeLimit");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("full disk") << qulonglong(5) << "tajna" << "File too large";
        QTest::newRow("outside the code page")
            << qulonglong(RLIM_INFINITY) << QString::fromUtf8("tajna😀ñ中") << "Polje Password";
        QTest::newRow("line break") << qulonglong(RLIM_INFINITY) << "taj\r\nna" << "Polje Password";
    }
    void ftpOptionThatCannotBeStoredKeepsThePreviousFile()
    {
        QFETCH(qulonglong, sizeLimit);
        QFETCH(QString, password);
        QFETCH(QString, message);
        enterPage();
        find<QLineEdit>("Edit14")->setText("ftp.example.com");
        find<QLineEdit>("Edit15")->setText("kasa");
        find<QLineEdit>("Edit16")->setText(password);
        const int failed = runWithFileSizeLimit(rlim_t(sizeLimit), [&] {
            select("RadioButton15");
            qInfo() << dialogs.messages();
            return dialogs.messages().size() == 1 && dialogs.messages().at(0).contains(message) &&
                           ftpOff()
                       ? 0
                       : 1;
        });
        QCOMPARE(failed, 0);
        QCOMPARE(data->readFile("podaci/ftpop.txt"), QByteArray("0\r\n"));
        QCOMPARE(QDir(data->file("podaci")).entryList({".~*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // Entering the page loads the option file and its handler writes the same settings back:
    // a file of four lines is active mode on port 21 and stays four lines; the network lines
    // (passive mode, port, remote path) follow the two TLS lines. A first line other than "1"
    // or "0" changes nothing; a "1" without all its lines fills what is there and reports the
    // missing line; a missing file is reported and the options stay.
    void enteringThePageLoadsTheOptionFile_data()
    {
        QTest::addColumn<bool>("onBefore");   // the option on when the page was last entered
        QTest::addColumn<QByteArray>("file"); // null: no file
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QStringList>("network"); // passive, port, path; empty: not compared
        QTest::addColumn<QByteArray>("written");  // null: not compared
        QTest::addColumn<QString>("said");
        const QStringList kept{"", "ostaje", ""};
        QTest::newRow("four lines")
            << false << QByteArray("1\nsrv\nusr\npwd\n") << QStringList{"srv", "usr", "pwd"} << true
            << QStringList{"0", "21", "public_html/dv/podaci.txt"}
            << QByteArray("1\r\nsrv\r\nusr\r\npwd\r\n") << "";
        QTest::newRow("network lines")
            << false << QByteArray("1\nsrv\nusr\npwd\n\n\n1\n2121\nwww/p.txt\n")
            << QStringList{"srv", "usr", "pwd"} << true << QStringList{"1", "2121", "www/p.txt"}
            << QByteArray("1\r\nsrv\r\nusr\r\npwd\r\n\r\n\r\n1\r\n2121\r\nwww/p.txt\r\n") << "";
        QTest::newRow("TLS, active")
            << false << QByteArray("1\nsrv\nusr\npwd\nFTPS\nsha256//k\n0\nx\n\n")
            << QStringList{"srv", "usr", "pwd"} << true
            << QStringList{"0", "21", "public_html/dv/podaci.txt"}
            << QByteArray("1\r\nsrv\r\nusr\r\npwd\r\nFTPS\r\nsha256//k\r\n") << "";
        QTest::newRow("off") << true << QByteArray("0\r\n") << QStringList(3, QString()) << false
                             << QStringList() << QByteArray() << "";
        QTest::newRow("first line neither") << false << QByteArray("1 \r\nx\r\ny\r\nz\r\n") << kept
                                            << false << QStringList() << QByteArray() << "";
        QTest::newRow("lines missing")
            << false << QByteArray("1\r\nsrv2\r\n") << QStringList{"srv2", "ostaje", ""} << false
            << QStringList() << QByteArray("1\r\nsrv2\r\n") << "List index out of bounds (2)";
        QTest::newRow("no file") << false << QByteArray() << kept << false << QStringList()
                                 << QByteArray() << "Cannot open file";
    }
    void enteringThePageLoadsTheOptionFile()
    {
        QFETCH(bool, onBefore);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, shown);
        QFETCH(bool, on);
        QFETCH(QStringList, network);
        QFETCH(QByteArray, written);
        QFETCH(QString, said);
        if (onBefore)
            writeFile("podaci/ftpop.txt", "1\r\nsrv\r\nusr\r\npwd\r\n");
        enterPage();
        if (!onBefore) // typed while the upload is on, it would be stored on leaving
            find<QLineEdit>("Edit15")->setText("ostaje");
        if (file.isNull())
            QFile::remove(data->file("podaci/ftpop.txt"));
        else
            writeFile("podaci/ftpop.txt", file);
        enterPage();
        QCOMPARE(boxes(), shown);
        QCOMPARE(ftpOn(), on);
        QCOMPARE(ftpOff(), !on);
        if (!network.isEmpty()) {
            QCOMPARE(find<QCheckBox>("CheckBox2")->isChecked(), network.at(0) == "1");
            QCOMPARE(find<QLineEdit>("Edit17")->text(), network.at(1));
            QCOMPARE(find<QLineEdit>("Edit18")->text(), network.at(2));
        }
        if (!written.isNull())
            QCOMPARE(data->readFile("podaci/ftpop.txt"), written);
        if (said.isEmpty())
            QCOMPARE(dialogs.messages(), QStringList());
        else
            saidOnce(said);
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"

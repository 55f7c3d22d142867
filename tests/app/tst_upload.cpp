// The upload of the journal export after a posting or a reversal, against a real FTP server on
// loopback; and the encrypted upload: the option file's optional "FTPS" and key lines, "PROVERI
// VEZU" on the backup page, and the upload after a posting, against pyftpdlib's TLS handler
// (TLS required, self-signed certificate for 127.0.0.1). The uploader's end when the connection
// is cut off in one of its steps is driven through its event calls.
#include "WindowTest.h"
#include "testsupport/FtpTlsServer.h"
#include "testsupport/ScriptedFtpServer.h"
#include "testsupport/UploadServer.h"

#include "Unit2.h"
#include "Uploader.h"
#include "ftp/Ftp.h"

#include "platform/TextFiles.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QTableView>
#include <QTimer>

using namespace ftp;

namespace {
const QString Done = QStringLiteral("Podaci preneti na server!");
const QString Wait = QStringLiteral(
    "Prebacujem podatke na server... posle klika na OK sacekajte poruku da su podaci preneti...");
} // namespace

class TestUpload : public QObject, WindowTest<>
{
    Q_OBJECT

private:
    std::unique_ptr<UploadServer> server;
    std::unique_ptr<ftptest::PyFtpsServer> tlsServer;

    // A new window whose uploads go to `port` (0: the option file's) without waiting to retry.
    void showWithFtp(quint16 port)
    {
        makeForm();
        if (port)
            form->MFtp1->Port = port;
        form->MFtp1->SetRetryInterval(0);
        form->show();
    }
    void startServer(int bytesPerSecond = 0)
    {
        server = std::make_unique<UploadServer>(bytesPerSecond);
        const QString problem = server->start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    void writeOptions(const QStringList &lines)
    {
        QVERIFY(platform::saveLines(data->file("podaci/ftpop.txt"), lines));
    }
    void loginAndPost()
    {
        showWithFtp(server ? server->port : 1);
        login("111");
        post();
    }
    void post(bool yes = true)
    {
        form->posting().Edit4->setText("150");
        form->posting().Edit5->setText("Kupovina");
        form->posting().Edit12->setText("Gorivo");
        yes ? dialogs.answerYes() : dialogs.answerNo();
        form->BitBtn8Click();
    }
    QByteArray exportBytes() { return data->readFile("podaci.txt"); }
    // The posting page's status line says the upload is done.
    bool uploaded() { return form->posting().Label26->text().startsWith(Done); }

private slots:
    void init()
    {
        freshData();
        data->addUser("12345", "Admin");
        data->addUser("111", "Petar Petrovic");
    }
    void cleanup()
    {
        finish();
        server.reset();
        tlsServer.reset();
    }

    // A posting (also one answered No) uploads the export under a temporary name, renames it
    // and deletes the local export. A file of four lines is active mode to the old path; the
    // lines after the TLS lines give passive mode, the port and the path. A server refusing the
    // rename gets the export directly, the temporary copy deleted first; a refused delete is
    // noted and does not make the stored upload a failure.
    void postingUploadsTheExportAndDeletesIt_data()
    {
        QTest::addColumn<QString>("user"); // empty: a file of four lines
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("temporaryLeft");
        const QString direct = Done + QStringLiteral(" Server ne dozvoljava preimenovanje; podaci "
                                                     "su poslati direktno u public_html/dv/drugi.txt");
        QTest::newRow("four lines, answered Yes") << "" << true << Done << false;
        QTest::newRow("four lines, answered No") << "" << false << Done << false;
        QTest::newRow("network lines") << "kasa" << true << Done << false;
        QTest::newRow("rename refused: stored directly") << "bezimena" << true << direct << false;
        QTest::newRow("rename and delete refused: stored directly, copy left")
            << "samopis" << true
            << direct + "; privremena datoteka public_html/dv/.drugi.txt.part ostaje na serveru"
            << true;
    }
    void postingUploadsTheExportAndDeletesIt()
    {
        QFETCH(QString, user);
        QFETCH(bool, yes);
        QFETCH(QString, status);
        QFETCH(bool, temporaryLeft);
        startServer();
        const bool fourLines = user.isEmpty();
        if (fourLines)
            writeOptions({"1", "127.0.0.1", "kasa", "tajna"});
        else
            writeOptions({"1", "127.0.0.1", user, "tajna", "", "", "1",
                          QString::number(server->port), "public_html/dv/drugi.txt"});
        const QString name = fourLines ? "podaci.txt" : "drugi.txt";
        QByteArray written;
        dialogs.onMessage = [&](const QString &text) {
            if (text == Wait)
                written = exportBytes();
        };
        showWithFtp(fourLines ? server->port : 0); // else the port line's
        login("111");
        post(yes);
        QTRY_VERIFY2_WITH_TIMEOUT(uploaded(), qPrintable(form->posting().Label26->text()), 10000);
        QTRY_VERIFY(!QFile::exists(data->file("podaci.txt")));
        QCOMPARE(dialogs.messages(), QStringList{Wait});
        QVERIFY(!written.isEmpty());
        QCOMPARE(server->file("public_html/dv/" + name), written);
        QCOMPARE(server->file("public_html/dv/." + name + ".part") != "<missing>", temporaryLeft);
        QCOMPARE(form->MFtp1->Passive(), !fourLines);
        // Answered No: nothing stored, the inputs kept, the export written again all the same.
        QCOMPARE(written.count("\r\n"), yes ? 7 : 6);
        QCOMPARE(data->records("promet").size(), yes ? 1 : 0);
        QCOMPARE(form->posting().Edit4->text(), yes ? QString() : QStringLiteral("150"));
        QVERIFY(!QFile::exists(data->file("podaci.txt")));
        // The option lines, password among them, are never shown.
        QVERIFY(find<QListWidget>("ListBox6")->isHidden());
        // The outcome stands, the closing connection's texts do not replace it.
        QTest::qWait(100);
        QCOMPARE(form->posting().Label26->text(), status);
    }

    // The option off, a first line not exactly "1", a missing or a short option file: the
    // posting stands, the export stays, no login is started; the last two are reported.
    void optionFileWithoutAnUploadKeepsTheExport_data()
    {
        QTest::addColumn<QStringList>("lines"); // empty: no option file
        QTest::addColumn<QString>("said");
        QTest::newRow("0") << QStringList{"0"} << "";
        QTest::newRow("1 with a blank") << QStringList{"1 ", "127.0.0.1", "kasa", "tajna"} << "";
        QTest::newRow("missing") << QStringList() << "ftpop.txt";
        QTest::newRow("short") << QStringList{"1", "127.0.0.1"} << "List index out of bounds (2)";
    }
    void optionFileWithoutAnUploadKeepsTheExport()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, said);
        startServer();
        if (lines.isEmpty())
            QFile::remove(data->file("podaci/ftpop.txt"));
        else
            writeOptions(lines);
        loginAndPost();
        QCOMPARE(form->MFtp1->CurrentOperation(), opNone);
        QTest::qWait(300);
        QCOMPARE(dialogs.messages().size(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty())
            QVERIFY2(dialogs.messages().first().contains(said),
                     qPrintable(dialogs.messages().first()));
        QCOMPARE(data->records("promet").size(), 1);
        QVERIFY(!server->hasStored());
        QVERIFY(QFile::exists(data->file("podaci.txt")));
    }

    void refusedStoreKeepsTheExport()
    {
        startServer();
        writeOptions({"1", "127.0.0.1", "citac", "tajna"});
        loginAndPost();
        QTRY_VERIFY2_WITH_TIMEOUT(form->MFtp1->CurrentOperation() == opNone &&
                                      !form->MFtp1->OperationOk(),
                                  qPrintable(form->posting().Label26->text() + " | op " +
                                             QString::number(form->MFtp1->CurrentOperation()) +
                                             " | " + form->MFtp1->LastErrorText()),
                                  10000);
        QTest::qWait(200);
        QCOMPARE(dialogs.messages(), QStringList{Wait});
        QVERIFY(QFile::exists(data->file("podaci.txt")));
        QVERIFY(!server->hasStored());
        // The status line says why in Serbian, the component's error text after it.
        QCOMPARE(form->posting().Label26->text(),
                 QStringLiteral("Prenos na server nije uspeo: server nije dozvolio upis datoteke "
                                "public_html/dv/.podaci.txt.part u folder public_html/dv (Access "
                                "denied or file not found)"));
    }

    void failedLoginEndsWithTheErrorWithoutASecondLogin()
    {
        startServer();
        writeOptions({"1", "127.0.0.1", "kasa", "pogresna"});
        makeForm();
        form->MFtp1->Port = server->port;
        form->MFtp1->SetRetries(1);
        form->MFtp1->SetRetryInterval(1);
        // Watch the component's texts beside the window's own handlers; a posting comes
        // while the component waits to retry.
        int logins = 0;
        bool retriesOver = false;
        QString lastError;
        const auto info = form->MFtp1->OnFtpInfo;
        form->MFtp1->OnFtpInfo = [&](TMFtp *sender, FtpInfo kind, const QString &text) {
            info(sender, kind, text);
            logins += kind == infoCommandSent && text.startsWith("USER ");
            retriesOver = retriesOver || kind == infoRetryFinished;
            if (kind == infoRetrying)
                QTimer::singleShot(0, form.get(), [this] { post(); });
        };
        const auto error = form->MFtp1->OnFtpError;
        form->MFtp1->OnFtpError = [&](TMFtp *sender, FtpError kind, const QString &text) {
            error(sender, kind, text);
            lastError = text;
        };
        login("111");
        post();
        QTRY_VERIFY_WITH_TIMEOUT(retriesOver, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(form->MFtp1->CurrentOperation(), opNone, 5000);
        QTest::qWait(200);
        QCOMPARE(logins, 2); // the first attempt and its one retry, none for the second posting
        QCOMPARE(dialogs.messages(), (QStringList{Wait, Wait}));
        QVERIFY(!server->hasStored());
        QVERIFY(QFile::exists(data->file("podaci.txt")));
        // A refused login has no text of its own; the server's refusal stands in for it.
        QVERIFY(lastError.isEmpty());
        QVERIFY2(form->posting().Label26->text().startsWith(
                     QStringLiteral("Prenos na server nije uspeo: server je odbio korisnicko ime "
                                    "ili lozinku (530 ")),
                 qPrintable(form->posting().Label26->text()));
        // The failure stands while the component reports on; a raw reply keeps the status line
        // to its one line.
        form->MFtp1FtpInfo(form->MFtp1, infoReplyReceived, QStringLiteral("220 Ready"));
        QVERIFY(form->posting().Label26->text().startsWith(QStringLiteral("Prenos na server nije uspeo: ")));
        form->MFtp1FtpError(form->MFtp1, errLoginFailed,
                            QStringLiteral("530-Not\r\n530 logged in.\r\n"));
        QCOMPARE(form->posting().Label26->text(),
                 QStringLiteral("Prenos na server nije uspeo: server je odbio korisnicko ime ili "
                                "lozinku (530-Not 530 logged in.)"));
    }

    void postingAfterAFailedAttemptUploadsAfresh()
    {
        startServer();
        const quint16 port = server->port;
        writeOptions({"1", "127.0.0.1", "kasa", "tajna"});
        loginAndPost();
        QTRY_VERIFY_WITH_TIMEOUT(uploaded(), 10000);
        // The server is stopped: the attempt fails and says so, without the byte count of
        // the upload before.
        server.reset();
        dialogs.clear();
        post();
        const QString refused = QStringLiteral("Prenos na server nije uspeo: server ne prihvata "
                                               "vezu (Connection Refused)");
        QTRY_COMPARE_WITH_TIMEOUT(form->posting().Label26->text(), refused, 5000);
        QVERIFY(QFile::exists(data->file("podaci.txt")));
        // Started again: every later posting logs in and uploads, its success replacing the
        // error on the status line.
        server = std::make_unique<UploadServer>();
        QCOMPARE(server->start(port), QString());
        for (int posting = 0; posting < 2; ++posting) {
            dialogs.clear();
            post();
            // The new attempt's progress takes the failure's place at once.
            QVERIFY2(!form->posting().Label26->text().startsWith(QStringLiteral("Prenos na server nije uspeo")),
                     qPrintable(form->posting().Label26->text()));
            QTRY_VERIFY2_WITH_TIMEOUT(uploaded(), qPrintable(form->posting().Label26->text()), 10000);
            QVERIFY(server->hasStored());
            QTRY_VERIFY(!QFile::exists(data->file("podaci.txt")));
            QCOMPARE(dialogs.messages(), QStringList{Wait});
        }
    }

    void secondPostingDuringAnUploadFindsTheComponentBusy()
    {
        // A journal big enough that its upload, slowed to 64 KiB/s, takes a few seconds.
        for (int i = 0; i < 1500; ++i)
            data->addPosting("Neko", "01/12/2026", "1.00", "0.00", "0.00", "0.00");
        startServer(64 * 1024);
        writeOptions({"1", "127.0.0.1", "kasa", "tajna"});
        loginAndPost();
        const qsizetype firstExportSize = exportBytes().size();
        QTRY_VERIFY_WITH_TIMEOUT(form->MFtp1->CurrentOperation() == opUpload, 10000);
        post();
        QVERIFY2(form->posting().Label26->text().contains("The component is busy doing something"),
                 qPrintable(form->posting().Label26->text()));
        QCOMPARE(form->MFtp1->CurrentOperation(), opUpload); // the first store goes on
        QTRY_VERIFY2_WITH_TIMEOUT(uploaded(), qPrintable(form->posting().Label26->text()), 20000);
        // The first store was not cut off by the refused second one.
        QCOMPARE(server->stored().size(), firstExportSize);
    }

    // The server gone in the middle of the store: the status line says in Serbian that the
    // upload failed and why, never a byte count beside the component's own text; the export
    // stays for the next try.
    void serverGoneDuringTheStoreIsAFailure()
    {
        for (int i = 0; i < 1500; ++i)
            data->addPosting("Neko", "01/12/2026", "1.00", "0.00", "0.00", "0.00");
        startServer(64 * 1024);
        writeOptions({"1", "127.0.0.1", "kasa", "tajna"});
        loginAndPost();
        QTRY_VERIFY_WITH_TIMEOUT(form->MFtp1->CurrentOperation() == opUpload
                                     && form->MFtp1->BytesTransferred() > 0,
                                 10000);
        server.reset();
        QTRY_VERIFY_WITH_TIMEOUT(form->MFtp1->CurrentOperation() == opNone, 25000);
        QTest::qWait(200);
        const QString line = form->posting().Label26->text();
        QVERIFY2(line.startsWith(QStringLiteral("Prenos na server nije uspeo: ")), qPrintable(line));
        QVERIFY2(!line.contains(QStringLiteral("preneto")), qPrintable(line));
        QVERIFY(QFile::exists(data->file("podaci.txt")));
        QCOMPARE(dialogs.messages(), QStringList{Wait});
        // The cut-off store is over: closing the window does not ask about it.
        QVERIFY(!form->uploadInProgress());
    }

    // A connection that ends in the middle of a step ends the upload as failed, once, naming
    // the step and its first error (a cut-off delete of the copy is the refused rename), and
    // the step's own end that may come after it is no success: no rename, no store under the
    // target's name, no done.
    void connectionCutOffInAnyStepFailsTheUpload_data()
    {
        QTest::addColumn<int>("steps");    // the steps that ended before the cut
        QTest::addColumn<int>("failedAt"); // Uploader::Step
        QTest::newRow("storing") << 0 << int(Uploader::Step::Storing);
        QTest::newRow("renaming") << 1 << int(Uploader::Step::Renaming);
        QTest::newRow("deleting the copy") << 2 << int(Uploader::Step::Renaming);
    }
    void connectionCutOffInAnyStepFailsTheUpload()
    {
        QFETCH(int, steps);
        QFETCH(int, failedAt);
        TMFtp ftp; // never connected: the commands the uploader gives go nowhere
        Uploader uploader(ftp);
        int done = 0;
        QList<Uploader::Step> failed;
        FtpError failedWith = errUnspecified;
        QString failedText;
        connect(&uploader, &Uploader::done, this, [&] { ++done; });
        connect(&uploader, &Uploader::failed, this,
                [&](Uploader::Step step, FtpError error, const QString &text) {
                    failed << step;
                    failedWith = error;
                    failedText = text;
                });
        uploader.start({data->file("podaci.txt"), "dv/podaci.txt", "dv/.podaci.txt.part",
                        Uploader::RefusedRename::StoreDirectly});
        if (steps >= 1)
            QVERIFY(uploader.fileStored());
        if (steps >= 2) {
            QVERIFY(uploader.error(errCommandFailed, QStringLiteral("550 Not allowed")));
            uploader.fileRenamed();
        }
        QCOMPARE(int(uploader.step()), steps == 0 ? int(Uploader::Step::Storing)
                                       : steps == 1 ? int(Uploader::Step::Renaming)
                                                    : int(Uploader::Step::Deleting));

        uploader.info(infoDisconnected, QStringLiteral("Disconnected"));
        QCOMPARE(failed, QList<Uploader::Step>{Uploader::Step(failedAt)});
        QCOMPARE(failedWith, steps == 2 ? errCommandFailed : errUnspecified);
        QCOMPARE(failedText, steps == 2 ? QStringLiteral("550 Not allowed")
                                        : QStringLiteral("Disconnected"));
        QVERIFY(!uploader.running());
        // What the component may still report for the step: none of it goes on or counts.
        QVERIFY(!uploader.fileStored());
        uploader.fileRenamed();
        uploader.fileDeleted();
        uploader.info(infoDisconnected, QStringLiteral("Disconnected"));
        QVERIFY(!uploader.running());
        QCOMPARE(done, 0);
        QCOMPARE(failed.size(), 1);
    }

    // The upload's outcome takes no keys: the next amount, typed while the upload ends, lands
    // whole in its box. Closing the window while the upload runs asks first, and No keeps it.
    void keysTypedWhileTheUploadEndsAllLandAndClosingAsks()
    {
        for (int i = 0; i < 1500; ++i)
            data->addPosting("Neko", "01/12/2026", "1.00", "0.00", "0.00", "0.00");
        startServer(64 * 1024);
        writeOptions({"1", "127.0.0.1", "kasa", "tajna"});
        loginAndPost();
        QTRY_VERIFY_WITH_TIMEOUT(form->MFtp1->CurrentOperation() == opUpload, 10000);
        dialogs.clear();
        dialogs.answerNo();
        QVERIFY(!form->close());
        QVERIFY(form->isVisible());
        QCOMPARE(dialogs.questions(),
                 QStringList{"Podaci se upravo prenose na server. Ako sada zatvorite program, "
                             "prenos se prekida.\nZatvoriti program?"});

        QString typed;
        int typedBeforeTheEnd = 0;
        for (int keys = 0; !uploaded() && keys < 3000; ++keys) {
            const char digit = char('0' + keys % 10);
            QTest::keyClick(form->posting().Edit4, digit);
            typed += QLatin1Char(digit);
            typedBeforeTheEnd = int(typed.size());
            QTest::qWait(5);
        }
        QTest::keyClicks(form->posting().Edit4, "12345");
        typed += QStringLiteral("12345");
        QVERIFY2(uploaded(), qPrintable(form->posting().Label26->text()));
        QVERIFY(typedBeforeTheEnd > 0);
        QCOMPARE(form->posting().Edit4->text(), typed);
        QCOMPARE(dialogs.messages(), QStringList());
        QVERIFY(form->close()); // nothing is under way any more: no question
        QCOMPARE(dialogs.questions().size(), 1);
    }

    // A reversal is a posting: from the journal view and from the review window alike it
    // reverses the document of the chosen row, told apart from an equal record by the id the
    // row carries, and its export is written and uploaded at once, not at the next posting; a
    // refused second reversal stores and uploads nothing. The journal view stays open with the
    // reversals in it. What a reversal refuses is the cash book's (tests/desk).
    void aReversalUploadsItsExport_data()
    {
        QTest::addColumn<bool>("fromReview");
        QTest::newRow("journal view") << false;
        QTest::newRow("review window") << true;
    }
    void aReversalUploadsItsExport()
    {
        QFETCH(bool, fromReview);
        const QString cashier = QStringLiteral("Petar Petrovic");
        data->addPosting(cashier, "07/12/2026", "5.00", "0.00", "0.00", "0.00");
        data->addPosting(cashier, "07/12/2026", "5.00", "0.00", "0.00", "0.00");
        data->addPosting(cashier, "07/12/2026", "0.00", "0.00", "0.00", "7.00");
        startServer();
        writeOptions({"1", "127.0.0.1", "kasa", "tajna"});
        showWithFtp(server->port);
        TForm2 review(data->session, dialogs, clock, settings);
        form->setReviewWindow(&review);
        login(fromReview ? "111" : "12345"); // numbers the journal
        QTableView *grid = nullptr;
        QPushButton *storno = nullptr;
        if (fromReview) {
            click("BitBtn18");
            review.FormActivate();
            grid = review.DBGrid1;
            storno = review.BitBtnStorno;
        } else {
            click("BitBtn13");
            click("BitBtn14");
            grid = find<QTableView>("DBGrid4");
            storno = find<QPushButton>("BitBtnStorno");
        }
        const struct
        {
            int row;
            QString said;
            QByteArray uploaded; // "" when nothing may be stored
        } steps[] = {
            {1, "Dokument U-2026-000002 je storniran dokumentom U-2026-000003",
             "STORNO U-2026-000002: opis"},
            {0, "Dokument U-2026-000001 je storniran dokumentom U-2026-000004",
             "STORNO U-2026-000001: opis"},
            {1, "Dokument U-2026-000002 je vec storniran (U-2026-000003)", ""},
        };
        for (const auto &step : steps) {
            grid->setCurrentIndex(grid->model()->index(step.row, 0));
            dialogs.clear();
            dialogs.answerYes();
            storno->click();
            if (step.uploaded.isEmpty()) {
                QCOMPARE(dialogs.messages(), QStringList{step.said});
                QCOMPARE(dialogs.questions(), QStringList()); // refused before the question
            } else {
                QTRY_VERIFY2_WITH_TIMEOUT(uploaded(), qPrintable(form->posting().Label26->text()), 10000);
                QCOMPARE(dialogs.messages(), (QStringList{step.said, Wait}));
                QCOMPARE(dialogs.questions(),
                         QStringList{"Da li ste sigurni?\nStorno dokumenta " + step.said.mid(9, 13)
                                     + " od 07/12/2026: ULAZ 5.00 DIN, opis"});
                QVERIFY(server->stored().contains(step.uploaded));
            }
            if (fromReview)
                review.FormActivate(); // reading the journal here ended the shared session
        }
        const QList<QStringList> rows = data->records("promet");
        QCOMPARE(rows.size(), 5); // the refused second reversal stored nothing
        // Stored by whoever is logged in, at the window's clock.
        QCOMPARE(rows.at(3).mid(0, 6),
                 (QStringList{fromReview ? cashier : "Admin", "07/12/2026", "14:05:09",
                              "STORNO U-2026-000002: opis",
                              "grupa", "-5.00"}));
        QCOMPARE(rows.at(4).at(3), QStringLiteral("STORNO U-2026-000001: opis"));
        if (fromReview) // the balance boxes follow the reversals: 5 + 5 - 5 - 5 dinars
            QCOMPARE(find<QLineEdit>("Edit2")->text(), QStringLiteral("0.00"));
        else
            QCOMPARE(grid->model()->rowCount(), 5);
        // Both grids show the documents' numbers, the reversed ones marked.
        QStringList numbers;
        for (int row = 0; row < grid->model()->rowCount(); ++row)
            numbers << grid->model()->index(row, 0).data().toString();
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("DOKUMENT"));
        QCOMPARE(numbers, (QStringList{"U-2026-000001 (storniran)", "U-2026-000002 (storniran)",
                                       "I-2026-000001", "U-2026-000003", "U-2026-000004"}));
        form->setReviewWindow(nullptr);
    }

    // FTP settings changed while the upload is on are stored when PROVERI VEZU logs in with
    // them or when the page is left; after a failed check, only on Yes to the question on
    // leaving. The password box does not show the password.
    void changedFtpSettingsAreStoredAfterASuccessfulCheckOrOnLeaving_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("check");
        QTest::addColumn<bool>("yes"); // the answer on leaving after a failed check
        QTest::addColumn<QString>("stored");
        QTest::newRow("left unchecked") << "tajna" << false << false << "tajna";
        QTest::newRow("checked") << "tajna" << true << false << "tajna";
        QTest::newRow("check failed, dropped") << "pogresna" << true << false << "stara";
        QTest::newRow("check failed, stored on Yes") << "pogresna" << true << true << "pogresna";
    }
    void changedFtpSettingsAreStoredAfterASuccessfulCheckOrOnLeaving()
    {
        QFETCH(QString, password);
        QFETCH(bool, check);
        QFETCH(bool, yes);
        QFETCH(QString, stored);
        startServer();
        writeOptions({"1", "127.0.0.1", "kasa", "stara"});
        const auto file = [](const QString &pwd) {
            return "1\r\n127.0.0.1\r\nkasa\r\n" + pwd.toLatin1() + "\r\n";
        };
        showWithFtp(server->port);
        login("12345");
        form->BitBtn19Click();
        QCOMPARE(find<QLineEdit>("Edit16")->echoMode(), QLineEdit::Password);
        find<QLineEdit>("Edit16")->setText(password);
        const bool works = password == "tajna";
        if (check) {
            click("BitBtn30");
            saidOnce(works ? "Veza je uspesna." : "Server je odbio korisnicko ime ili lozinku.");
            QCOMPARE(data->readFile("podaci/ftpop.txt"), file(works ? password : "stara"));
        }
        dialogs.clear();
        if (check && !works)
            yes ? dialogs.answerYes() : dialogs.answerNo();
        form->BitBtn10Click(); // MENI ADMINISTRATORA
        QCOMPARE(dialogs.questions().size(), check && !works ? 1 : 0);
        QCOMPARE(data->readFile("podaci/ftpop.txt"), file(stored));
        QVERIFY(find<QRadioButton>("RadioButton15")->isChecked());
    }

    // PROVERI VEZU looks for the upload's folder in the listing of the folder holding it: a
    // server without it is said, and the folder is made on Yes, level by level; on No the check
    // counts as failed.
    void checkFindsAMissingFolderAndMakesItOnYes_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QStringList>("made");
        const QString ok = QStringLiteral("Veza je uspesna. Podaci se prenose nesifrovano.");
        QTest::newRow("folder there") << true << false << ok << QStringList();
        QTest::newRow("missing, made") << false << true
                                       << ok + "\nFolder public_html/dv je napravljen."
                                       << QStringList{"MKD public_html", "MKD public_html/dv"};
        QTest::newRow("missing, not made")
            << false << false
            << "Folder public_html/dv nije napravljen: prenos na server nece uspeti dok ga nema."
            << QStringList();
    }
    void checkFindsAMissingFolderAndMakesItOnYes()
    {
        QFETCH(bool, present);
        QFETCH(bool, yes);
        QFETCH(QString, said);
        QFETCH(QStringList, made);
        RemoteFiles remote;
        ScriptedFtpServer ftpServer([&](ScriptedSession &s, int) {
            QString portArgument;
            serveFiles(s, remote, [&](const QString &c) -> QString {
                if (c.startsWith(QLatin1String("PORT ")))
                    portArgument = c.mid(5); // and served as usual
                if (!c.startsWith(QLatin1String("NLST")))
                    return c.startsWith(QLatin1String("MKD ")) ? "257 \"" + c.mid(4) + "\" created"
                                                               : QString();
                if (!s.connectActive(portArgument))
                    return QStringLiteral("425 Cannot open data connection");
                s.reply(QStringLiteral("150 Here comes the listing"));
                s.sendData(c == QLatin1String("NLST public_html") && present ? "index.html\r\ndv\r\n"
                                                                            : "index.html\r\n");
                s.closeData();
                return QStringLiteral("226 Done");
            });
        });
        writeOptions({"1", "127.0.0.1", "kasa", "tajna"});
        showWithFtp(ftpServer.port());
        login("12345");
        form->BitBtn19Click();
        if (!present)
            yes ? dialogs.answerYes() : dialogs.answerNo();
        click("BitBtn30");
        QCOMPARE(dialogs.questions().size(), present ? 0 : 1);
        if (!present)
            QVERIFY(dialogs.questions().first().contains("ne postoji folder public_html/dv"));
        QCOMPARE(dialogs.messages(), QStringList{said});
        QStringList mkd;
        for (const QString &c : ftpServer.commands())
            if (c.startsWith(QLatin1String("MKD ")))
                mkd << c;
        QCOMPARE(mkd, made);
        QVERIFY(ftpServer.commands().contains(QStringLiteral("NLST public_html")));
    }

    // An untrusted server is named by its key and trusted on Yes; the key then stays in the
    // option file (mode 0600), the next check logs in encrypted and a posting uploads over TLS
    // with the option lines. A plain login is refused.
    void checkTrustsTheShownKeyAndPostingsUploadEncrypted()
    {
        writeOptions({"1", "127.0.0.1", "tester", "secret", "FTPS"});
        tlsServer = std::make_unique<ftptest::PyFtpsServer>();
        if (!tlsServer->start()) {
            if (tlsServer->missing)
                QSKIP(qPrintable(tlsServer->problem));
            QFAIL(qPrintable(tlsServer->problem));
        }
        QVERIFY(QDir(tlsServer->home()).mkpath(QStringLiteral("public_html/dv")));
        showWithFtp(tlsServer->port);
        login("12345");
        form->BitBtn19Click();
        QVERIFY(find<QCheckBox>("CheckBox1")->isChecked());
        QVERIFY(find<QRadioButton>("RadioButton15")->isChecked());

        dialogs.answerYes();
        click("BitBtn30");
        QCOMPARE(dialogs.messages().value(0),
                 QStringLiteral("Sertifikat servera nije potvrden. Otisak kljuca servera:\n")
                     + tlsServer->fingerprint());
        QCOMPARE(dialogs.questions(), QStringList{QStringLiteral("Da li verujete ovom serveru?")});
        QCOMPARE(data->readFile("podaci/ftpop.txt"),
                 "1\r\n127.0.0.1\r\ntester\r\nsecret\r\nFTPS\r\n" + tlsServer->fingerprint().toLatin1()
                     + "\r\n");
        QCOMPARE(data->mode("podaci/ftpop.txt"), 0600);

        dialogs.clear();
        click("BitBtn30");
        saidOnce("Veza je uspesna. Podaci se prenose sifrovano (TLSv1.");

        form->Glavnimeni1Click();
        login("111");
        dialogs.clear();
        post();
        QTRY_VERIFY2_WITH_TIMEOUT(uploaded(), qPrintable(form->posting().Label26->text()), 15000);
        QVERIFY(form->MFtp1->TlsFingerprint() == tlsServer->fingerprint());
        QFile stored(tlsServer->home() + QStringLiteral("/public_html/dv/podaci.txt"));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QVERIFY(stored.readAll().contains("Petar Petrovic"));

        // The server takes no login in clear.
        form->Glavnimeni1Click();
        login("12345");
        form->BitBtn19Click();
        dialogs.clear();
        find<QCheckBox>("CheckBox1")->setChecked(false);
        click("BitBtn30");
        QCOMPARE(dialogs.messages().value(0),
                 QStringLiteral("Server je odbio korisnicko ime ili lozinku."));
    }
};

QTEST_MAIN(TestUpload)
#include "tst_upload.moc"

// The encrypted upload: the option file's optional "FTPS" and key lines, "PROVERI VEZU" on
// the backup page, and the upload after a posting, against pyftpdlib's TLS handler on
// loopback (TLS required, self-signed certificate for 127.0.0.1).
#include "WindowTest.h"

#include "Unit1.h"
#include "ftp/Ftp.h"

#include "../ftp/FtpTlsServer.h"

#include "platform/TextFiles.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <sys/stat.h>

#include <memory>

using namespace ftp;

class TestFtps : public QObject, WindowTest<>
{
    Q_OBJECT

private:
    std::unique_ptr<ftptest::PyFtpsServer> server;

    void startServer()
    {
        server = std::make_unique<ftptest::PyFtpsServer>();
        if (!server->start()) {
            if (server->missing)
                QSKIP(qPrintable(server->problem));
            QFAIL(qPrintable(server->problem));
        }
        QVERIFY(QDir(server->home()).mkpath(QStringLiteral("public_html/dv")));
    }
    void open()
    {
        makeForm();
        form->MFtp1->Port = server->port;
        form->MFtp1->SetRetryInterval(0);
        form->show();
    }
    QStringList optionLines()
    {
        QFile f(data->file("podaci/ftpop.txt"));
        if (!f.open(QIODevice::ReadOnly))
            return {QStringLiteral("<missing>")};
        return QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        freshData();
        data->addUser("12345", "Admin");
        data->addUser("111", "Petar Petrovic");
    }
    void cleanup()
    {
        form.reset();
        server.reset();
        finish();
    }

    // An untrusted server is named by its key and trusted on Yes; the key then stays in the
    // option file (mode 0600) and the next check logs in encrypted. A plain login is refused.
    void checkTrustsTheShownKeyOnYes()
    {
        startServer();
        QVERIFY(platform::saveLines(data->file("podaci/ftpop.txt"),
                                    {"1", "127.0.0.1", "tester", "secret", "FTPS"}));
        open();
        login("12345");
        form->BitBtn19Click();
        QVERIFY(form->CheckBox1->isChecked());
        QVERIFY(form->RadioButton15->isChecked());

        dialogs.answerYes();
        form->BitBtn30->click();
        QCOMPARE(dialogs.messages().value(0),
                 QStringLiteral("Sertifikat servera nije potvrden. Otisak kljuca servera:\n")
                     + server->fingerprint());
        QCOMPARE(dialogs.questions(), QStringList{QStringLiteral("Da li verujete ovom serveru?")});
        QCOMPARE(optionLines(), (QStringList{"1", "127.0.0.1", "tester", "secret", "FTPS",
                                             server->fingerprint()}));
        struct stat st{};
        QCOMPARE(::stat(QFile::encodeName(data->file("podaci/ftpop.txt")).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);

        dialogs.clear();
        form->BitBtn30->click();
        QVERIFY2(dialogs.messages().value(0).startsWith(
                     QStringLiteral("Veza je uspesna. Podaci se prenose sifrovano (TLSv1.")),
                 qPrintable(dialogs.messages().join('|')));

        // The server takes no login in clear.
        dialogs.clear();
        form->CheckBox1->setChecked(false);
        form->BitBtn30->click();
        QCOMPARE(dialogs.messages().value(0),
                 QStringLiteral("Server je odbio korisnicko ime ili lozinku."));
    }

    // With "FTPS" and the pinned key in the option file a posting uploads over TLS.
    void postingUploadsEncryptedWithTheOptionLines()
    {
        startServer();
        QVERIFY(platform::saveLines(data->file("podaci/ftpop.txt"),
                                    {"1", "127.0.0.1", "tester", "secret", "FTPS",
                                     server->fingerprint()}));
        open();
        login("111");
        form->Edit4->setText("150");
        form->Edit5->setText("Kupovina");
        form->Edit12->setText("Gorivo");
        dialogs.answerYes();
        form->BitBtn8Click();
        QTRY_VERIFY2_WITH_TIMEOUT(
            dialogs.messages().contains(QStringLiteral("Podaci preneti na server!")),
            qPrintable(form->Label26->text()), 15000);
        QVERIFY(form->MFtp1->TlsFingerprint() == server->fingerprint());
        QFile stored(server->home() + QStringLiteral("/public_html/dv/podaci.txt"));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QVERIFY(stored.readAll().contains("Petar Petrovic"));
    }
};

QTEST_MAIN(TestFtps)
#include "tst_ftps.moc"

// TForm1: "PROVERI VEZU" on the backup page. Logs in with the settings typed in the FTP
// frame (server, port, user name, password, passive mode, "Sifrovana veza (FTPS)" and the
// trusted key) on an FTP component of its own, so that an upload running on MFtp1 is not
// disturbed, waits for the outcome while the window's events go on, and tells it in
// Serbian. A server whose certificate is not trusted shows its key fingerprint; when the
// administrator answers Yes to "Da li verujete ovom serveru?" that key is trusted from then
// on (and stored at once when the upload is switched on). With the upload on, changed
// settings that log in are stored at once; ones that fail are stored on leaving the page only
// when the administrator says so.
#include "Unit1.h"
#include "FtpSettings.h"
#include "ftp/Ftp.h"

#include "platform/Dialogs.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using namespace ftp;

void TForm1::BitBtn30Click()
{
    TMFtp ftp;
    ftp.SetServer(Edit14->text());
    ftp.SetUsername(Edit15->text());
    ftp.SetPassword(Edit16->text());
    ftp.SetTls(CheckBox1->isChecked() ? tlsExplicit : tlsNone);
    // The upload's port: the one typed, or else the component's own (21 unless changed).
    const FtpSettings typed = typedFtpSettings();
    ftp.Port = typed.port != 21 ? typed.port : MFtp1->Port;
    ftp.SetPassive(typed.passive);
    ftp.SetTlsPinnedSha256(CheckBox1->isChecked() ? ftpPinnedKey : QString());
    ftp.SetRetries(0);
    ftp.SetNoopInterval(0);

    bool loggedIn = false;
    bool failed = false;
    bool quit = false;
    FtpError error = errUnspecified;
    QString errorText;
    ftp.OnLoggedIn = [&](TMFtp *) { loggedIn = true; };
    ftp.OnFtpError = [&](TMFtp *, FtpError kind, const QString &text) {
        if (!failed) {
            error = kind;
            errorText = text;
        }
        failed = true;
    };
    ftp.OnFtpQuit = [&](TMFtp *) { quit = true; };

    BitBtn30->setEnabled(false);
    QTimer wake; // the waiting loop looks at the clock at least this often
    wake.start(100);
    const QDeadlineTimer deadline((ftp.TimeOut + 20) * 1000);
    ftp.Login();
    while (!loggedIn && !failed && !quit && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (loggedIn) {
        ftp.Quit();
        const QDeadlineTimer quitDeadline(3000);
        while (!quit && !quitDeadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    ftp.Close();
    BitBtn30->setEnabled(true);

    if (loggedIn) {
        // Settings changed while the upload is on are stored once they have proved to work.
        const bool changed = ftpSettingsChanged();
        if (changed) {
            RadioButton15Click();
            if (!RadioButton15->isChecked())
                restoreFtpOption(RadioButton15); // not stored: the file keeps the upload on
        }
        const QString stored = changed && !ftpSettingsChanged()
                                   ? QStringLiteral("\nPodesavanja su sacuvana.")
                                   : QString();
        dialogs.message((ftp.TlsActive()
                             ? QStringLiteral("Veza je uspesna. Podaci se prenose sifrovano (%1).")
                                   .arg(ftp.TlsProtocol())
                             : QStringLiteral("Veza je uspesna. Podaci se prenose nesifrovano.")) +
                        stored);
        return;
    }
    ftpCheckFailed = true; // leaving the page asks before storing what failed here
    switch (error) {
    case errTlsUntrusted: {
        const QString key = ftp.TlsFingerprint();
        dialogs.message(QStringLiteral("Sertifikat servera nije potvrden. Otisak kljuca servera:\n%1")
                            .arg(key));
        if (key.isEmpty() || !dialogs.confirm(QStringLiteral("Da li verujete ovom serveru?")))
            return;
        ftpPinnedKey = key;
        if (RadioButton15->isChecked())
            RadioButton15Click(); // the option file keeps the key as its sixth line
        dialogs.message(QStringLiteral("Server je zapamcen kao poverljiv."));
        return;
    }
    case errTlsRefused:
        dialogs.message(QStringLiteral("Server ne podrzava sifrovanu vezu (FTPS)."));
        return;
    case errTlsHandshake:
        dialogs.message(QStringLiteral("Sifrovana veza nije uspostavljena: ") + errorText);
        return;
    case errLoginFailed:
        dialogs.message(QStringLiteral("Server je odbio korisnicko ime ili lozinku."));
        return;
    case errNoServer:
        dialogs.message(QStringLiteral("Upisite adresu servera."));
        return;
    case errUnspecified:
        dialogs.message(QStringLiteral("Server ne odgovara."));
        return;
    default:
        dialogs.message(QStringLiteral("Veza sa serverom nije uspela: ")
                        + (errorText.isEmpty() ? QString::number(int(error)) : errorText));
        return;
    }
}

// TForm1: "PROVERI VEZU" on the backup page. Logs in with the settings typed in the FTP
// frame (server, port, user name, password, passive mode, "Sifrovana veza (FTPS)" and the
// trusted key) on an FTP component of its own, so that an upload running on MFtp1 is not
// disturbed, waits for the outcome while the window's events go on, and tells it in
// Serbian. It goes as far as the upload does: once logged in, it makes sure the folder of the
// remote path is on the server, and when it is not, says so and offers to make it. A server whose certificate is not trusted shows its key fingerprint; when the
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

namespace {

// The folder of a remote path ("public_html/dv" of "public_html/dv/podaci.txt"); empty for a
// file in the login's own folder.
QString remoteFolderOf(const QString &remotePath)
{
    const qsizetype slash = remotePath.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QString() : remotePath.left(slash);
}

// The folders to make, outermost first: "a", "a/b", "a/b/c" ("/a", "/a/b" when absolute).
QStringList folderLevels(const QString &folder)
{
    QStringList levels;
    const bool absolute = folder.startsWith(QLatin1Char('/'));
    QString path = absolute ? QStringLiteral("/") : QString();
    for (const QString &part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += (path.isEmpty() || path.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/"))
                + part;
        levels << path;
    }
    return levels;
}

QString oneLine(const QString &text)
{
    return text.simplified();
}

enum class FolderCheck { Present, Missing, Unknown, Made };

// Whether `folder` is there: its name in the listing of the folder that holds it (a listing
// of the folder itself is no proof, since some servers list a missing folder as empty). A
// holding folder that cannot be listed is missing as well when the server says it is not
// there; any other failure leaves it unknown.
template <typename Wait>
FolderCheck folderState(TMFtp &ftp, const QString &folder, bool &done, bool &failed,
                        const Wait &waitUntil)
{
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    const QString parent = slash < 0 ? QString() : slash == 0 ? QStringLiteral("/") : folder.left(slash);
    const QString name = folder.mid(slash + 1);
    done = false;
    ftp.ListNames(parent);
    waitUntil(done);
    if (done && !failed)
        return ftp.NameList().contains(name) ? FolderCheck::Present : FolderCheck::Missing;
    const QString reply = ftp.LastReply();
    return reply.startsWith(QLatin1String("550")) || reply.startsWith(QLatin1String("450"))
               ? FolderCheck::Missing
               : FolderCheck::Unknown;
}

} // namespace

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
    bool done = false; // the folder's listing or making ended
    FtpError error = errUnspecified;
    QString errorText;
    ftp.OnLoggedIn = [&](TMFtp *) { loggedIn = true; };
    ftp.OnFtpError = [&](TMFtp *, FtpError kind, const QString &text) {
        if (!failed) {
            error = kind;
            errorText = text.isEmpty() ? ftp.LastErrorText() : text;
        }
        failed = true;
    };
    ftp.OnFtpQuit = [&](TMFtp *) { quit = true; };
    ftp.OnListingDone = [&](TMFtp *) { done = true; };
    ftp.OnDirectoryCreated = [&](TMFtp *) { done = true; };

    BitBtn30->setEnabled(false);
    QTimer wake; // the waiting loop looks at the clock at least this often
    wake.start(100);
    const QDeadlineTimer deadline((ftp.TimeOut + 20) * 1000);
    const auto waitUntil = [&](const bool &flag) {
        while (!flag && !failed && !quit && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    ftp.Login();
    waitUntil(loggedIn);

    // The check goes as far as the upload: the folder the export is stored in must be there.
    const QString folder = remoteFolderOf(typed.remotePath);
    FolderCheck folderCheck = FolderCheck::Present;
    QString folderText;
    if (loggedIn && !failed && !folder.isEmpty()) {
        folderCheck = folderState(ftp, folder, done, failed, waitUntil);
        if (folderCheck == FolderCheck::Missing) {
            failed = false;
            if (dialogs.confirm(QStringLiteral("Veza je uspesna, ali na serveru ne postoji folder "
                                               "%1, pa prenos ne bi uspeo.\nDa li da napravim "
                                               "folder %1?")
                                    .arg(folder))) {
                for (const QString &level : folderLevels(folder)) {
                    done = false;
                    ftp.MakeDirectory(level, true);
                    waitUntil(done);
                    if (failed || !done) {
                        folderText = QStringLiteral("Server nije dozvolio da se napravi folder "
                                                    "%1: %2")
                                         .arg(level, oneLine(errorText));
                        break;
                    }
                }
                if (folderText.isEmpty())
                    folderCheck = FolderCheck::Made;
            } else {
                folderText = QStringLiteral("Folder %1 nije napravljen: prenos na server nece "
                                            "uspeti dok ga nema.")
                                 .arg(folder);
            }
            failed = false;
        } else if (folderCheck == FolderCheck::Unknown) {
            folderText = QStringLiteral("Veza je uspesna, ali folder %1 na serveru nije "
                                        "pregledan: %2")
                             .arg(folder, oneLine(errorText));
            failed = false;
        }
    }
    if (loggedIn) {
        ftp.Quit();
        const QDeadlineTimer quitDeadline(3000);
        while (!quit && !quitDeadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    ftp.Close();
    BitBtn30->setEnabled(true);

    if (loggedIn && !folderText.isEmpty()) {
        ftpCheckFailed = true; // the upload would fail with these settings as well
        dialogs.message(folderText);
        return;
    }
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
        const QString made = folderCheck == FolderCheck::Made
                                 ? QStringLiteral("\nFolder %1 je napravljen.").arg(folder)
                                 : QString();
        dialogs.message((ftp.TlsActive()
                             ? QStringLiteral("Veza je uspesna. Podaci se prenose sifrovano (%1).")
                                   .arg(ftp.TlsProtocol())
                             : QStringLiteral("Veza je uspesna. Podaci se prenose nesifrovano.")) +
                        made + stored);
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

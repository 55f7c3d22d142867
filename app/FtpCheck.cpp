// FtpCheck: the trial login of "PROVERI VEZU", the check of the remote folder, and the making of
// a missing one.
#include "FtpCheck.h"

#include "FtpSettings.h"

#include "platform/Dialogs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
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

FtpCheck::Outcome FtpCheck::run(const FtpSettings &typed, int defaultPort,
                                platform::Dialogs &dialogs)
{
    TMFtp ftp;
    ftp.SetServer(typed.server);
    ftp.SetUsername(typed.user);
    ftp.SetPassword(typed.password);
    ftp.SetTls(typed.tls ? tlsExplicit : tlsNone);
    // The upload's port: the one typed, or else the component's own (21 unless changed).
    ftp.Port = typed.port != 21 ? typed.port : defaultPort;
    ftp.SetPassive(typed.passive);
    ftp.SetTlsPinnedSha256(typed.tls ? typed.pinnedKey : QString());
    ftp.SetRetries(0);
    ftp.SetNoopInterval(0);

    Outcome out;
    bool loggedIn = false;
    bool failed = false;
    bool quit = false;
    bool done = false; // the folder's listing or making ended
    ftp.OnLoggedIn = [&](TMFtp *) { loggedIn = true; };
    ftp.OnFtpError = [&](TMFtp *, FtpError kind, const QString &text) {
        if (!failed) {
            out.error = kind;
            out.errorText = text.isEmpty() ? ftp.LastErrorText() : text;
        }
        failed = true;
    };
    ftp.OnFtpQuit = [&](TMFtp *) { quit = true; };
    ftp.OnListingDone = [&](TMFtp *) { done = true; };
    ftp.OnDirectoryCreated = [&](TMFtp *) { done = true; };

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
    out.folder = folder;
    if (loggedIn && !failed && !folder.isEmpty()) {
        FolderCheck folderCheck = folderState(ftp, folder, done, failed, waitUntil);
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
                        out.folderText = QStringLiteral("Server nije dozvolio da se napravi folder "
                                                        "%1: %2")
                                             .arg(level, oneLine(out.errorText));
                        break;
                    }
                }
                out.folderMade = out.folderText.isEmpty();
            } else {
                out.folderText = QStringLiteral("Folder %1 nije napravljen: prenos na server nece "
                                                "uspeti dok ga nema.")
                                     .arg(folder);
            }
            failed = false;
        } else if (folderCheck == FolderCheck::Unknown) {
            out.folderText = QStringLiteral("Veza je uspesna, ali folder %1 na serveru nije "
                                            "pregledan: %2")
                                 .arg(folder, oneLine(out.errorText));
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
    out.loggedIn = loggedIn;
    out.tlsActive = ftp.TlsActive();
    out.tlsProtocol = ftp.TlsProtocol();
    out.fingerprint = ftp.TlsFingerprint();
    return out;
}

QString FtpCheck::failureText(const Outcome &outcome)
{
    switch (outcome.error) {
    case errTlsRefused:
        return QStringLiteral("Server ne podrzava sifrovanu vezu (FTPS).");
    case errTlsHandshake:
        return QStringLiteral("Sifrovana veza nije uspostavljena: ") + outcome.errorText;
    case errLoginFailed:
        return QStringLiteral("Server je odbio korisnicko ime ili lozinku.");
    case errNoServer:
        return QStringLiteral("Upisite adresu servera.");
    case errUnspecified:
        return QStringLiteral("Server ne odgovara.");
    default:
        return QStringLiteral("Veza sa serverom nije uspela: ") +
               (outcome.errorText.isEmpty() ? QString::number(int(outcome.error)) : outcome.errorText);
    }
}

#pragma once

// FtpCheck: "PROVERI VEZU" of the backup page as one trial. It logs in with the settings typed
// in the FTP frame on an FTP component of its own, so that an upload running meanwhile is not
// disturbed, and waits for the outcome while the window's events go on. It goes as far as the
// upload does: once logged in, it makes sure the folder of the remote path is on the server,
// and when it is not, says so and offers to make it. What the page does with the outcome
// (storing the settings, trusting a server's key) stays the page's.

#include "ftp/Ftp.h"

#include <QString>

struct FtpSettings;

namespace platform {
class Dialogs;
}

class FtpCheck
{
public:
    struct Outcome
    {
        bool loggedIn = false;
        // Logged in: the folder of the remote path, whether it was made now, and why the
        // upload would still fail (the folder is missing or could not be looked at); empty
        // when it would not.
        QString folder;
        bool folderMade = false;
        QString folderText;
        bool tlsActive = false;
        QString tlsProtocol;
        // Not logged in: the first error, its text, and a server key not trusted.
        ftp::FtpError error = ftp::errUnspecified;
        QString errorText;
        QString fingerprint;
    };

    // Logs in with `typed`; its port, or `defaultPort` when it is 21. Asks before making a
    // missing folder.
    static Outcome run(const FtpSettings &typed, int defaultPort, platform::Dialogs &dialogs);
    // What a failed login says, for every error but an untrusted server key.
    static QString failureText(const Outcome &outcome);
};

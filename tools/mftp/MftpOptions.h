#pragma once
// The command line of mftp: "put LOCAL URL [options]" or "get URL LOCAL [options]", the
// URL being ftp://[user[:password]@]host[:port]/path, or ftps://... for implicit TLS (port
// 990 by default). Parsing is pure: it never touches the network or the file system. A URL
// whose user, password or path holds a line end or a zero byte is refused (it would smuggle
// commands to the server). A password missing from the URL may come from a netrc text
// (~/.netrc).

#include "ftp/FtpTypes.h"

#include <QString>
#include <QStringList>

struct MftpOptions
{
    bool put = false;        // upload (else download)
    QString localFile;
    QString host;
    quint16 port = 21;
    QString user;            // empty: the component's anonymous login
    QString password;
    bool hasPassword = false;
    QString remotePath;      // relative to the login directory
    bool passive = false;
    bool ascii = false;
    bool resume = false;
    ftp::TMFtpProxyType proxyType = ftp::proxyNone;
    QString proxyHost;
    int proxyPort = 21;
    QString proxyUser;
    QString proxyPassword;
    int retries = 0;
    int timeout = 20;
    bool verbose = false;
    ftp::TMFtpTlsMode tls = ftp::tlsNone; // --tls: explicit; an ftps:// URL: implicit
    QString caFile;             // --cacert
    QString pinnedKey;          // --pinnedpubkey, as "sha256//BASE64"
    bool insecure = false;      // --insecure: no chain or host-name check
    bool help = false;          // --help: nothing else was looked at
    bool version = false;       // --version: likewise

    // Fills the options from the arguments after the program name (options in any place,
    // "--name value" or "--name=value"); on failure returns false with a message in error.
    static bool parse(const QStringList &args, MftpOptions &out, QString &error);
    // Takes user and password for host from a netrc text when the URL gave no password:
    // the first "machine" entry for host (or else "default") whose login matches the URL's
    // user, when it named one; an entry whose login or password holds a zero byte gives
    // nothing. Returns whether a password was taken.
    bool applyNetrc(const QString &netrcText);
    static QString usage();
};

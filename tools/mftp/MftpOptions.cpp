// Parsing of mftp's command line; see MftpOptions.h.

#include "MftpOptions.h"

#include "ftp/FtpTls.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QUrl>

using namespace ftp;

namespace {

bool parseProxyType(const QString &text, TMFtpProxyType &type)
{
    const QString t = text.toLower();
    if (t == QLatin1String("none"))
        type = proxyNone;
    else if (t == QLatin1String("host"))
        type = proxyHost;
    else if (t == QLatin1String("hostuser") || t == QLatin1String("host-user"))
        type = proxyHostUser;
    else if (t == QLatin1String("open"))
        type = proxyOpen;
    else if (t == QLatin1String("site"))
        type = proxySite;
    else if (t == QLatin1String("usersite") || t == QLatin1String("user-site"))
        type = proxyUserSite;
    else
        return false;
    return true;
}

// The URL as an error message may show it: a password between "//user:" and "@" becomes
// "***", whether or not the rest of the URL is valid. Terminals and logs keep messages.
QString withoutPassword(const QString &url)
{
    static const QRegularExpression password(QStringLiteral("^([^/]*//[^/@:]*:).*@"));
    QString shown = url;
    shown.replace(password, QStringLiteral("\\1***@"));
    return shown;
}

bool parseUrl(const QString &text, MftpOptions &out, QString &error)
{
    const bool implicitTls = text.startsWith(QLatin1String("ftps://"), Qt::CaseInsensitive);
    if (!text.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive) && !implicitTls) {
        error = QStringLiteral("not an ftp:// or ftps:// URL: %1").arg(withoutPassword(text));
        return false;
    }
    if (implicitTls)
        out.tls = tlsImplicit;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        error = QStringLiteral("bad URL: %1").arg(withoutPassword(text));
        return false;
    }
    out.host = url.host();
    const int port = url.port(implicitTls ? 990 : 21);
    if (port <= 0 || port > 65535) {
        error = QStringLiteral("bad port in URL: %1").arg(withoutPassword(text));
        return false;
    }
    out.port = static_cast<quint16>(port);
    out.user = url.userName(QUrl::FullyDecoded);
    out.password = url.password(QUrl::FullyDecoded);
    out.hasPassword = !url.password().isNull();
    // The path after the host names the file relative to the login directory.
    QString path = url.path(QUrl::FullyDecoded);
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.isEmpty() || path.endsWith(QLatin1Char('/'))) {
        error = QStringLiteral("the URL names no file: %1").arg(withoutPassword(text));
        return false;
    }
    out.remotePath = path;
    for (const QString *part : {&out.user, &out.password, &out.remotePath}) {
        if (part->contains(QLatin1Char('\r')) || part->contains(QLatin1Char('\n'))
            || part->contains(QChar(0))) {
            error = QStringLiteral("the URL's user, password or path holds a line end or a zero byte");
            return false;
        }
    }
    return true;
}

bool parseHostPort(const QString &text, QString &host, int &port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        host = text;
        return !host.isEmpty();
    }
    bool ok = false;
    port = text.mid(colon + 1).toInt(&ok);
    host = text.left(colon);
    return ok && port > 0 && port <= 65535 && !host.isEmpty();
}

} // namespace

QString MftpOptions::usage()
{
    return QStringLiteral(
        "usage: mftp put LOCAL URL [options]\n"
        "       mftp get URL LOCAL [options]\n"
        "URL: ftp://[user[:password]@]host[:port]/path (ftps://: implicit TLS, port 990)\n"
        "options:\n"
        "  --passive                 passive data connections (default: active)\n"
        "  --ascii                   ASCII transfer type (default: binary): local files\n"
        "                            have LF line ends, the server gets CR LF\n"
        "  --resume                  resume a partial file instead of overwriting it\n"
        "  --proxy-type KIND         none, host, hostuser, open, site, usersite\n"
        "  --proxy HOST[:PORT]       the proxy to connect to\n"
        "  --proxy-user U            user name at the proxy\n"
        "  --proxy-password P        password at the proxy\n"
        "  --retries N               connect attempts after the first, 2 s apart (default 0)\n"
        "  --timeout S               time-out of every wait (lookup, connect, reply, a\n"
        "                            stalled transfer) in seconds (default 20)\n"
        "  --verbose                 show the conversation on standard error\n"
        "  --tls                     require explicit TLS (AUTH TLS) for login and data\n"
        "  --cacert FILE             trust the certificates in FILE (PEM) as well\n"
        "  --pinnedpubkey sha256//B64  trust only the server key with this SHA-256\n"
        "  -k, --insecure            do not check the certificate chain or host name\n"
        "  -h, --help                show this text;  --version  show the version\n"
        "An option's value may also follow it after \"=\" (--retries=3).\n"
        "A password not in the URL is taken from ~/.netrc (or $NETRC) when it has one for\n"
        "the host; the exit status is 0 only when the whole file arrived.\n");
}

bool MftpOptions::parse(const QStringList &args, MftpOptions &out, QString &error)
{
    const auto option = [](QStringList names, const char *valueName = nullptr) {
        return QCommandLineOption(names, QString(),
                                  valueName ? QString::fromLatin1(valueName) : QString());
    };
    const QCommandLineOption passive = option({QStringLiteral("passive")});
    const QCommandLineOption ascii = option({QStringLiteral("ascii")});
    const QCommandLineOption resume = option({QStringLiteral("resume")});
    const QCommandLineOption verbose = option({QStringLiteral("verbose")});
    const QCommandLineOption tls = option({QStringLiteral("tls")});
    const QCommandLineOption insecure = option({QStringLiteral("k"), QStringLiteral("insecure")});
    const QCommandLineOption caFile = option({QStringLiteral("cacert")}, "FILE");
    const QCommandLineOption pinnedKey = option({QStringLiteral("pinnedpubkey")}, "KEY");
    const QCommandLineOption proxyType = option({QStringLiteral("proxy-type")}, "KIND");
    const QCommandLineOption proxy = option({QStringLiteral("proxy")}, "HOST");
    const QCommandLineOption proxyUser = option({QStringLiteral("proxy-user")}, "U");
    const QCommandLineOption proxyPassword = option({QStringLiteral("proxy-password")}, "P");
    const QCommandLineOption retries = option({QStringLiteral("retries")}, "N");
    const QCommandLineOption timeout = option({QStringLiteral("timeout")}, "S");
    const QCommandLineOption help = option({QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version = option({QStringLiteral("version")});

    QCommandLineParser parser;
    parser.addOptions({passive, ascii, resume, verbose, tls, insecure, caFile, pinnedKey,
                       proxyType, proxy, proxyUser, proxyPassword, retries, timeout, help,
                       version});
    if (!parser.parse(QStringList{QStringLiteral("mftp")} + args)) {
        error = parser.errorText();
        return false;
    }
    out.help = parser.isSet(help);
    out.version = parser.isSet(version);
    if (out.help || out.version)
        return true;

    out.passive = parser.isSet(passive);
    out.ascii = parser.isSet(ascii);
    out.resume = parser.isSet(resume);
    out.verbose = parser.isSet(verbose);
    out.insecure = parser.isSet(insecure);
    out.caFile = parser.value(caFile);
    out.proxyUser = parser.value(proxyUser);
    out.proxyPassword = parser.value(proxyPassword);
    if (parser.isSet(pinnedKey)) {
        const QString v = parser.value(pinnedKey);
        out.pinnedKey = TMTlsChannel::NormalizePin(v);
        if (!v.startsWith(QLatin1String("sha256//")) || out.pinnedKey.isEmpty()) {
            error = QStringLiteral("--pinnedpubkey needs sha256// and a Base64 SHA-256, "
                                   "not \"%1\"").arg(v);
            return false;
        }
    }
    if (parser.isSet(proxyType) && !parseProxyType(parser.value(proxyType), out.proxyType)) {
        error = QStringLiteral("unknown proxy type \"%1\"").arg(parser.value(proxyType));
        return false;
    }
    if (parser.isSet(proxy) && !parseHostPort(parser.value(proxy), out.proxyHost, out.proxyPort)) {
        error = QStringLiteral("bad proxy \"%1\"").arg(parser.value(proxy));
        return false;
    }
    const auto number = [&](const QCommandLineOption &o, int &n, int min) {
        if (!parser.isSet(o))
            return true;
        const QString v = parser.value(o);
        bool ok = false;
        n = v.toInt(&ok);
        if (ok && n >= min)
            return true;
        error = QStringLiteral("--%1 needs a number, not \"%2\"").arg(o.names().constFirst(), v);
        return false;
    };
    if (!number(retries, out.retries, 0) || !number(timeout, out.timeout, 1))
        return false;
    // The proxy's host, user and password go into commands as the URL's parts do.
    for (const QString *part : {&out.proxyHost, &out.proxyUser, &out.proxyPassword}) {
        if (part->contains(QLatin1Char('\r')) || part->contains(QLatin1Char('\n'))
            || part->contains(QChar(0))) {
            error = QStringLiteral("the proxy's host, user or password holds a line end or a zero byte");
            return false;
        }
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 3) {
        error = QStringLiteral("expected a command and two arguments");
        return false;
    }
    if (out.ascii && out.resume) {
        error = QStringLiteral("--resume cannot be used with --ascii (sizes differ by line ends)");
        return false;
    }
    // Explicit TLS on an ftp:// URL; an ftps:// URL is implicit TLS whatever --tls says.
    if (parser.isSet(tls))
        out.tls = tlsExplicit;
    if (positional[0] == QLatin1String("put")) {
        out.put = true;
        out.localFile = positional[1];
        return parseUrl(positional[2], out, error);
    }
    if (positional[0] == QLatin1String("get")) {
        out.put = false;
        out.localFile = positional[2];
        return parseUrl(positional[1], out, error);
    }
    error = QStringLiteral("unknown command \"%1\"").arg(positional[0]);
    return false;
}

bool MftpOptions::applyNetrc(const QString &netrcText)
{
    if (hasPassword)
        return false;
    const QStringList words = netrcText.split(QRegularExpression(QStringLiteral("\\s+")),
                                              Qt::SkipEmptyParts);
    // Entries in order: each is a machine name (empty for "default"), a login, a password.
    struct Entry
    {
        bool any = false;
        QString machine, login, password;
        bool hasPassword = false;
    };
    QList<Entry> entries;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &w = words.at(i);
        const QString next = words.value(i + 1);
        if (w == QLatin1String("machine")) {
            entries.append(Entry{false, next, {}, {}, false});
            ++i;
        } else if (w == QLatin1String("default")) {
            entries.append(Entry{true, {}, {}, {}, false});
        } else if (w == QLatin1String("macdef")) {
            break; // macros run to a blank line; nothing after them is read
        } else if (!entries.isEmpty() && w == QLatin1String("login")) {
            entries.last().login = next;
            ++i;
        } else if (!entries.isEmpty() && w == QLatin1String("password")) {
            entries.last().password = next;
            entries.last().hasPassword = true;
            ++i;
        } else if (w == QLatin1String("account")) {
            ++i;
        }
    }
    for (const Entry &e : entries) {
        if (!e.any && e.machine.compare(host, Qt::CaseInsensitive) != 0)
            continue;
        if (!user.isEmpty() && !e.login.isEmpty() && e.login != user)
            continue;
        if (!e.hasPassword)
            return false;
        // A zero byte would end up in USER or PASS, as the URL's own are refused for.
        if (e.login.contains(QChar(0)) || e.password.contains(QChar(0)))
            return false;
        if (user.isEmpty())
            user = e.login;
        password = e.password;
        hasPassword = true;
        return true;
    }
    return false;
}

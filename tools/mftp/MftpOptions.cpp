// Parsing of mftp's command line; see MftpOptions.h.

#include "MftpOptions.h"

#include "ftp/FtpTls.h"

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

bool parseUrl(const QString &text, MftpOptions &out, QString &error)
{
    const bool implicitTls = text.startsWith(QLatin1String("ftps://"), Qt::CaseInsensitive);
    if (!text.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive) && !implicitTls) {
        error = QStringLiteral("not an ftp:// or ftps:// URL: %1").arg(text);
        return false;
    }
    if (implicitTls)
        out.tls = tlsImplicit;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        error = QStringLiteral("bad URL: %1").arg(text);
        return false;
    }
    out.host = url.host();
    const int port = url.port(implicitTls ? 990 : 21);
    if (port <= 0 || port > 65535) {
        error = QStringLiteral("bad port in URL: %1").arg(text);
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
        error = QStringLiteral("the URL names no file: %1").arg(text);
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
        "  --timeout S               lookup and connect time-out in seconds (default 20)\n"
        "  --verbose                 show the conversation on standard error\n"
        "  --tls                     require explicit TLS (AUTH TLS) for login and data\n"
        "  --cacert FILE             trust the certificates in FILE (PEM) as well\n"
        "  --pinnedpubkey sha256//B64  trust only the server key with this SHA-256\n"
        "  --insecure                do not check the certificate chain or host name\n"
        "A password not in the URL is taken from ~/.netrc (or $NETRC) when it has one for\n"
        "the host; the exit status is 0 only when the whole file arrived.\n");
}

bool MftpOptions::parse(const QStringList &args, MftpOptions &out, QString &error)
{
    QStringList positional;
    bool tlsOption = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        auto value = [&](QString &v) {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            v = args.at(++i);
            return true;
        };
        auto number = [&](int &n, int min) {
            QString v;
            if (!value(v))
                return false;
            bool ok = false;
            n = v.toInt(&ok);
            if (!ok || n < min) {
                error = QStringLiteral("%1 needs a number, not \"%2\"").arg(a, v);
                return false;
            }
            return true;
        };
        if (a == QLatin1String("--passive")) {
            out.passive = true;
        } else if (a == QLatin1String("--ascii")) {
            out.ascii = true;
        } else if (a == QLatin1String("--resume")) {
            out.resume = true;
        } else if (a == QLatin1String("--verbose")) {
            out.verbose = true;
        } else if (a == QLatin1String("--tls")) {
            tlsOption = true;
        } else if (a == QLatin1String("--insecure") || a == QLatin1String("-k")) {
            out.insecure = true;
        } else if (a == QLatin1String("--cacert")) {
            if (!value(out.caFile))
                return false;
        } else if (a == QLatin1String("--pinnedpubkey")) {
            QString v;
            if (!value(v))
                return false;
            out.pinnedKey = TMTlsChannel::NormalizePin(v);
            if (!v.startsWith(QLatin1String("sha256//")) || out.pinnedKey.isEmpty()) {
                error = QStringLiteral("--pinnedpubkey needs sha256// and a Base64 SHA-256, "
                                       "not \"%1\"").arg(v);
                return false;
            }
        } else if (a == QLatin1String("--proxy-type")) {
            QString v;
            if (!value(v))
                return false;
            if (!parseProxyType(v, out.proxyType)) {
                error = QStringLiteral("unknown proxy type \"%1\"").arg(v);
                return false;
            }
        } else if (a == QLatin1String("--proxy")) {
            QString v;
            if (!value(v))
                return false;
            if (!parseHostPort(v, out.proxyHost, out.proxyPort)) {
                error = QStringLiteral("bad proxy \"%1\"").arg(v);
                return false;
            }
        } else if (a == QLatin1String("--proxy-user")) {
            if (!value(out.proxyUser))
                return false;
        } else if (a == QLatin1String("--proxy-password")) {
            if (!value(out.proxyPassword))
                return false;
        } else if (a == QLatin1String("--retries")) {
            if (!number(out.retries, 0))
                return false;
        } else if (a == QLatin1String("--timeout")) {
            if (!number(out.timeout, 1))
                return false;
        } else if (a.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option %1").arg(a);
            return false;
        } else {
            positional.append(a);
        }
    }
    if (positional.size() != 3) {
        error = QStringLiteral("expected a command and two arguments");
        return false;
    }
    if (out.ascii && out.resume) {
        error = QStringLiteral("--resume cannot be used with --ascii (sizes differ by line ends)");
        return false;
    }
    // Explicit TLS on an ftp:// URL; an ftps:// URL is implicit TLS whatever --tls says.
    const auto url = [&](const QString &text) {
        if (tlsOption)
            out.tls = tlsExplicit;
        return parseUrl(text, out, error);
    };
    if (positional[0] == QLatin1String("put")) {
        out.put = true;
        out.localFile = positional[1];
        return url(positional[2]);
    }
    if (positional[0] == QLatin1String("get")) {
        out.put = false;
        out.localFile = positional[2];
        return url(positional[1]);
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
        if (user.isEmpty())
            user = e.login;
        password = e.password;
        hasPassword = true;
        return true;
    }
    return false;
}

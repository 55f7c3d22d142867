#pragma once
// The FTP upload's settings as the option file "podaci\ftpop.txt" holds them when its first
// line is "1": server, user name, password; optionally "FTPS" and the trusted server key;
// optionally passive mode ("1"), the port and the remote path. A file of four or six lines
// means what it always meant (active mode, port 21, "public_html/dv/podaci.txt"), and
// settings that mean no more than that are written as such a file again.

#include <QString>
#include <QStringList>

struct FtpSettings
{
    static inline const QString DefaultRemotePath = QStringLiteral("public_html/dv/podaci.txt");

    QString server, user, password;
    bool tls = false;
    QString pinnedKey;
    bool passive = false;
    quint16 port = 21;
    QString remotePath = DefaultRemotePath;

    // From the lines of a file whose first line is "1" and which has at least four lines.
    // A port that is not 1 to 65535 counts as 21, an empty path as the default one.
    static FtpSettings fromLines(const QStringList &lines)
    {
        FtpSettings s;
        s.server = lines.value(1);
        s.user = lines.value(2);
        s.password = lines.value(3);
        s.tls = lines.value(4).trimmed().compare(QLatin1String("FTPS"), Qt::CaseInsensitive) == 0;
        s.pinnedKey = s.tls ? lines.value(5).trimmed() : QString();
        s.passive = lines.value(6).trimmed() == QLatin1String("1");
        bool ok = false;
        const uint port = lines.value(7).trimmed().toUInt(&ok);
        s.port = ok && port >= 1 && port <= 65535 ? static_cast<quint16>(port) : 21;
        const QString path = lines.value(8).trimmed();
        s.remotePath = path.isEmpty() ? DefaultRemotePath : path;
        return s;
    }

    QStringList toLines() const
    {
        QStringList lines{QStringLiteral("1"), server, user, password};
        const bool network = passive || port != 21 || remotePath != DefaultRemotePath;
        if (tls || network) {
            lines.append(tls ? QStringLiteral("FTPS") : QString());
            lines.append(tls ? pinnedKey : QString());
        }
        if (network) {
            lines.append(passive ? QStringLiteral("1") : QStringLiteral("0"));
            lines.append(QString::number(port));
            lines.append(remotePath);
        }
        while (lines.size() > 4 && lines.size() <= 6 && lines.last().isEmpty())
            lines.removeLast(); // "FTPS" without a key: five lines, as before
        return lines;
    }

    // The temporary name an upload stores under, in the same remote folder, before it is
    // renamed over the remote path.
    QString temporaryPath() const
    {
        const qsizetype slash = remotePath.lastIndexOf(QLatin1Char('/'));
        return remotePath.left(slash + 1) + QStringLiteral(".") + remotePath.mid(slash + 1)
               + QStringLiteral(".part");
    }
};

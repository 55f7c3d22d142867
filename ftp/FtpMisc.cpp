// Pure text helpers of the FTP component; see FtpMisc.h. None of them reads past its input
// or writes past a fixed number of fields.

#include "FtpMisc.h"

#include <QStringList>

namespace ftp::misc {

namespace {
constexpr int MaxDirectoryLength = 999;
}

QString QuotedDirectory(const QString &reply)
{
    const qsizetype first = reply.indexOf(QLatin1Char('"'));
    if (first < 0)
        return QString();
    const qsizetype second = reply.indexOf(QLatin1Char('"'), first + 1);
    if (second < 0)
        return QString();
    return reply.mid(first + 1, second - first - 1).left(MaxDirectoryLength);
}

QString StripDrivePrefix(const QString &directory)
{
    if (directory.startsWith(QLatin1Char('/')))
        return directory.mid(3).left(MaxDirectoryLength);
    QString result = directory.mid(2);
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result.left(MaxDirectoryLength);
}

bool ParsePasvAddress(const QString &reply, QString &host, quint16 &port)
{
    const qsizetype open = reply.indexOf(QLatin1Char('('));
    if (open < 0)
        return false;
    const qsizetype close = reply.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0)
        return false;
    const QStringList fields = reply.mid(open + 1, close - open - 1).trimmed().split(
        QLatin1Char(','));
    if (fields.size() != 6)
        return false;
    int values[6];
    for (int i = 0; i < 6; ++i) {
        const QString f = fields.at(i).trimmed();
        bool ok = false;
        const int v = f.toInt(&ok, 10);
        if (!ok || f.isEmpty() || v < 0 || v > 255 || f.startsWith(QLatin1Char('+')))
            return false;
        values[i] = v;
    }
    host = QStringLiteral("%1.%2.%3.%4").arg(values[0]).arg(values[1]).arg(values[2]).arg(
        values[3]);
    port = static_cast<quint16>(values[4] * 256 + values[5]);
    return true;
}

QString PortArgument(const QString &dottedAddress, quint16 port)
{
    QString a = dottedAddress;
    a.replace(QLatin1Char('.'), QLatin1Char(','));
    return a + QLatin1Char(',') + QString::number(port / 256) + QLatin1Char(',')
           + QString::number(port % 256);
}

bool ParseEpsvPort(const QString &reply, quint16 &port)
{
    const qsizetype open = reply.indexOf(QLatin1Char('('));
    const qsizetype close = open < 0 ? -1 : reply.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0)
        return false;
    const QString inside = reply.mid(open + 1, close - open - 1);
    if (inside.size() < 5)
        return false;
    const QChar d = inside.at(0);
    if (d.unicode() < 33 || d.unicode() > 126 || inside.at(1) != d || inside.at(2) != d
        || inside.back() != d)
        return false;
    const QString number = inside.mid(3, inside.size() - 4);
    bool ok = false;
    const uint value = number.toUInt(&ok, 10);
    if (!ok || number.isEmpty() || !number.at(0).isDigit() || value == 0 || value > 65535)
        return false;
    port = static_cast<quint16>(value);
    return true;
}

QString EprtArgument(const QString &address, quint16 port)
{
    const bool v6 = address.contains(QLatin1Char(':'));
    return QStringLiteral("|%1|%2|%3|").arg(v6 ? 2 : 1).arg(address).arg(port);
}

} // namespace ftp::misc

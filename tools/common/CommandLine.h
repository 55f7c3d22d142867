#pragma once

// What the Dorvanta command-line tools share around QCommandLineParser: the application's name
// and version, and how a run ends with a reason on standard error - status 2 for a wrong
// command line (with the usage), 1 for work that was refused or failed. --help and --version
// answer with status 0. Each tool's target defines DORVANTA_VERSION.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QTextStream>

#include <optional>

namespace toolcli {

class CommandLine
{
public:
    // `usage` follows the reason of a wrong command line.
    CommandLine(const char *name, QString usage) : m_name(QString::fromLatin1(name)), m_usage(std::move(usage))
    {
        QCoreApplication::setApplicationName(m_name);
        QCoreApplication::setApplicationVersion(QStringLiteral(DORVANTA_VERSION));
    }

    int wrong(const QString &reason) const
    {
        QTextStream(stderr) << m_name << ": " << reason << "\n" << m_usage;
        return 2;
    }
    int failed(const QString &reason) const
    {
        QTextStream(stderr) << m_name << ": " << reason << "\n";
        return 1;
    }

    // Adds --help and --version and parses the application's arguments: nullopt to go on, or
    // the status to end with (a wrong command line; --help and --version end the run here).
    std::optional<int> parse(QCommandLineParser &parser) const
    {
        parser.addHelpOption();
        parser.addVersionOption();
        if (!parser.parse(QCoreApplication::arguments()))
            return wrong(parser.errorText());
        if (parser.isSet(QStringLiteral("help")))
            parser.showHelp(0);
        if (parser.isSet(QStringLiteral("version")))
            parser.showVersion();
        return std::nullopt;
    }

private:
    QString m_name;
    QString m_usage;
};

// Whether `hex` is 64 hex digits, in either case: a chain head, a key's fingerprint.
inline bool isSha256Hex(const QByteArray &hex)
{
    return hex.size() == 64 && QByteArray::fromHex(hex).toHex() == hex.toLower();
}

// Ends a check with its report: on standard output when it passed (status 0), on standard
// error otherwise.
inline int reported(int status, const QString &report)
{
    QTextStream(status == 0 ? stdout : stderr) << report << "\n";
    return status;
}

} // namespace toolcli

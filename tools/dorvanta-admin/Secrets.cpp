// Secrets read without putting them on a command line (Secrets.h).

#include "Secrets.h"

#include <QFile>
#include <QTextStream>

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <string>

namespace admin {

namespace {

QString withoutLineEnd(std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

// The first line of `path`, which its owner alone may read.
std::optional<QString> readOwnersFile(const QString &path, QString &error)
{
    struct stat info{};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = QStringLiteral("cannot read %1").arg(path);
        return std::nullopt;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        error = QStringLiteral("%1 may be read by others (mode %2): chmod 600 it first")
                    .arg(path)
                    .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

} // namespace

SecretOption::SecretOption(const QString &name, const QString &description,
                           const QString &valueName)
    : m_name(name),
      m_value(name, description + QStringLiteral(" (\"-\": read from standard input)"), valueName),
      m_file(name + QStringLiteral("-file"),
             QStringLiteral("Read --%1 from the first line of FILE, readable by its owner only.")
                 .arg(name),
             QStringLiteral("FILE"))
{
}

bool SecretOption::isSet(const QCommandLineParser &parser) const
{
    return parser.isSet(m_value) || parser.isSet(m_file);
}

std::optional<QString> SecretOption::read(const QCommandLineParser &parser, const QString &prompt,
                                          bool askWhenMissing, QString &error) const
{
    error.clear();
    if (parser.isSet(m_value) && parser.isSet(m_file)) {
        error = QStringLiteral("--%1 and --%1-file do not go together").arg(m_name);
        return std::nullopt;
    }
    if (parser.isSet(m_file))
        return readOwnersFile(parser.value(m_file), error);
    if (parser.isSet(m_value)) {
        const QString value = parser.value(m_value);
        if (value == QLatin1String("-")) {
            std::string line;
            std::getline(std::cin, line);
            return withoutLineEnd(line);
        }
        QTextStream(stderr) << QStringLiteral(
                                   "dorvanta-admin: warning: --%1 on the command line is seen by "
                                   "every user of this computer (ps); give \"-\" and the value on "
                                   "standard input, or --%1-file FILE\n")
                                   .arg(m_name);
        return value;
    }
    if (!askWhenMissing)
        return std::nullopt;
    if (std::optional<QString> typed = askOnTerminal(prompt))
        return typed;
    error = QStringLiteral("--%1 is missing, and there is no terminal to ask on (give \"-\" and "
                           "the value on standard input, or --%1-file FILE)")
                .arg(m_name);
    return std::nullopt;
}

std::optional<QString> askOnTerminal(const QString &prompt)
{
    if (!::isatty(STDIN_FILENO))
        return std::nullopt;
    std::cerr << prompt.toStdString() << std::flush;
    termios old{};
    ::tcgetattr(STDIN_FILENO, &old);
    termios quiet = old;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::string line;
    std::getline(std::cin, line);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::cerr << "\n";
    return withoutLineEnd(line);
}

} // namespace admin

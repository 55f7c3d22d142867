#pragma once

// Secrets on the command line of dorvanta-admin (the administrator's code, the recovery text
// of the off-site key): every local user sees a command line with ps, so a secret is read
//   - from the terminal without echo, when its option is missing and the command needs it;
//   - from one line of standard input, when the option's value is "-";
//   - from the first line of a file readable by its owner only (--NAME-file FILE), for cron;
//   - from the command line itself (--NAME VALUE), as older scripts give it, with a warning on
//     standard error.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <optional>

namespace admin {

class SecretOption
{
public:
    // --NAME VALUE and --NAME-file FILE.
    SecretOption(const QString &name, const QString &description, const QString &valueName);

    const QCommandLineOption &option() const { return m_value; }
    const QCommandLineOption &fileOption() const { return m_file; }
    // Whether the secret is given in any of its ways.
    bool isSet(const QCommandLineParser &parser) const;

    // The secret, or nullopt with `error` saying why (a file that others may read, one that
    // cannot be read, both ways given, no terminal to ask on). `prompt` asks on the terminal
    // when the option is missing and `askWhenMissing`; otherwise a missing secret is an empty
    // nullopt with no error.
    std::optional<QString> read(const QCommandLineParser &parser, const QString &prompt,
                                bool askWhenMissing, QString &error) const;

private:
    QString m_name;
    QCommandLineOption m_value;
    QCommandLineOption m_file;
};

// One line from the terminal without echo (after `prompt` on standard error); nullopt when
// standard input is no terminal.
std::optional<QString> askOnTerminal(const QString &prompt);

} // namespace admin

#pragma once

// CommandRun: one run of a dorvanta-admin command as its function sees it: the command line as
// parsed, the command's name, the data directory and its commands, the standard output, the
// checks every command makes (which options go with it, the administrator's code) and its ways
// to end. The journal's commands (main.cpp) and the off-site ones (OffsiteCommands.cpp) each
// derive their Run from it with their own options.

#include "AdminCommands.h"
#include "Secrets.h"

#include "tools/common/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>
#include <utility>

namespace admin {

class CommandRun
{
public:
    // `commandOptions`: every option but --dir, in the order a wrong one is named; `secrets`:
    // the secrets the commands take, whose file form goes wherever the secret itself may.
    CommandRun(const toolcli::CommandLine &line, const QCommandLineParser &parser,
               const QCommandLineOption &dir, QList<const QCommandLineOption *> commandOptions,
               QList<const SecretOption *> secrets)
        : parser(parser), positional(parser.positionalArguments()), command(positional.first()),
          data(QDir(parser.value(dir)).absolutePath()), commands(data), m_line(line),
          m_commandOptions(std::move(commandOptions)), m_secrets(std::move(secrets))
    {
    }
    CommandRun(const CommandRun &) = delete;
    CommandRun &operator=(const CommandRun &) = delete;

    int wrong(const QString &reason) const { return m_line.wrong(reason); }
    int failed(const QString &reason) const { return m_line.failed(reason); }

    // Options that belong to the command; any other one set is a wrong command line.
    QString only(QList<const QCommandLineOption *> allowed) const
    {
        for (const SecretOption *secret : m_secrets)
            if (allowed.contains(&secret->option()))
                allowed << &secret->fileOption();
        for (const QCommandLineOption *option : m_commandOptions) {
            if (parser.isSet(*option) && !allowed.contains(option))
                return QStringLiteral("--%1 does not go with %2").arg(option->names().first(), command);
        }
        return {};
    }
    // The administrator's code, read (Secrets.h) and checked: nullopt to go on, or the status
    // to end with.
    std::optional<int> adminChecked(const SecretOption &adminSecret)
    {
        QString error;
        const std::optional<QString> code =
            adminSecret.read(parser, QStringLiteral("Admin code: "), true, error);
        if (!code)
            return adminSecret.isSet(parser) ? failed(error) : wrong(error);
        if (const QString e = commands.checkAdminCode(*code); !e.isEmpty())
            return failed(e);
        return std::nullopt;
    }
    // Ends the work of a command that tells a summary: the failure's reason when there is one,
    // the summary otherwise.
    int told(const QString &error, const QString &summary)
    {
        if (!error.isEmpty())
            return failed(error);
        out << summary << "\n";
        return 0;
    }

    const QCommandLineParser &parser;
    const QStringList positional;
    const QString command;
    const QString data; // the data directory, absolute
    AdminCommands commands;
    QTextStream out{stdout};

private:
    const toolcli::CommandLine &m_line;
    const QList<const QCommandLineOption *> m_commandOptions;
    const QList<const SecretOption *> m_secrets;
};

} // namespace admin

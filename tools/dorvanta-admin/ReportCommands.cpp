// dorvanta-admin's shop settings and month report commands.
#include "ReportCommands.h"
#include "Secrets.h"

#include "AdminCommands.h"
#include "CashBookPrints.h"

#include "desk/CashBook.h"
#include "desk/DeskSettings.h"
#include "desk/DeskTables.h"
#include "desk/MonthFigures.h"
#include "engine/EngineError.h"
#include "report/Output.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QTextStream>

namespace admin {

const char ReportUsage[] =
    "  settings [--firm TEXT] [--address TEXT] [--pib N] [--mb N] [--paper A4|Letter] "
    "--admin-code CODE\n"
    "  month-report (--month YYYY-MM | --year YYYY) --pdf FILE\n";

namespace {

const QStringList Commands = {QStringLiteral("settings"), QStringLiteral("month-report")};

QString settingsText(const desk::settings::Shared &s)
{
    const auto shown = [](const QString &v) { return v.isEmpty() ? QStringLiteral("-") : v; };
    return QStringLiteral("Firma: %1\nAdresa: %2\nPIB: %3\nMB: %4\nPapir: %5")
        .arg(shown(s.firmName), shown(s.firmAddress), shown(s.pib), shown(s.mb),
             desk::settings::paperName(s.paper));
}

} // namespace

std::optional<int> runReportCommand(const toolcli::CommandLine &line)
{
    QCommandLineParser parser;
    const QCommandLineOption dir(QStringLiteral("dir"), QString(), QStringLiteral("DIR"),
                                 QStringLiteral("."));
    const QCommandLineOption firm(QStringLiteral("firm"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption pib(QStringLiteral("pib"), QString(), QStringLiteral("N"));
    const QCommandLineOption mb(QStringLiteral("mb"), QString(), QStringLiteral("N"));
    const QCommandLineOption paper(QStringLiteral("paper"), QString(), QStringLiteral("A4|Letter"));
    const SecretOption adminSecret(QStringLiteral("admin-code"), QString(), QStringLiteral("CODE"));
    const QCommandLineOption &adminCode = adminSecret.option();
    const QCommandLineOption &adminCodeFile = adminSecret.fileOption();
    const QCommandLineOption month(QStringLiteral("month"), QString(), QStringLiteral("YYYY-MM"));
    const QCommandLineOption year(QStringLiteral("year"), QString(), QStringLiteral("YYYY"));
    const QCommandLineOption pdf(QStringLiteral("pdf"), QString(), QStringLiteral("FILE"));
    parser.addOptions({dir, firm, address, pib, mb, paper, adminCode, adminCodeFile, month, year, pdf});
    const QStringList arguments = QCoreApplication::arguments();
    const bool ours = std::any_of(arguments.begin() + 1, arguments.end(),
                                  [](const QString &a) { return Commands.contains(a); });
    if (!ours || !parser.parse(arguments))
        return std::nullopt; // another command's options: its parser says what is wrong
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty() || !Commands.contains(positional.first()))
        return std::nullopt;
    const QString command = positional.first();
    const auto only = [&](QList<const QCommandLineOption *> allowed) -> QString {
        if (allowed.contains(&adminCode))
            allowed << &adminCodeFile;
        for (const QCommandLineOption *o :
             {&firm, &address, &pib, &mb, &paper, &adminCode, &adminCodeFile, &month, &year, &pdf})
            if (parser.isSet(*o) && !allowed.contains(o))
                return QStringLiteral("--%1 does not go with %2").arg(o->names().first(), command);
        return {};
    };
    if (positional.size() != 1)
        return line.wrong(QStringLiteral("%1 takes no arguments").arg(command));
    const QString data = QDir(parser.value(dir)).absolutePath();
    QTextStream out(stdout);

    if (command == QLatin1String("settings")) {
        if (const QString e = only({&firm, &address, &pib, &mb, &paper, &adminCode}); !e.isEmpty())
            return line.wrong(e);
        const std::optional<desk::settings::Paper> chosenPaper =
            desk::settings::paperNamed(parser.value(paper));
        if (parser.isSet(paper) && !chosenPaper)
            return line.wrong(QStringLiteral("settings needs --admin-code CODE, and --paper is A4 "
                                             "or Letter"));
        // A wrong number is refused before anything is asked of the journal.
        if (const QString e = desk::settings::pibRefusal(parser.value(pib)); !e.isEmpty())
            return line.failed(e);
        if (const QString e = desk::settings::mbRefusal(parser.value(mb)); !e.isEmpty())
            return line.failed(e);
        AdminCommands commands(data);
        QString secretError;
        const std::optional<QString> code =
            adminSecret.read(parser, QStringLiteral("Admin code: "), true, secretError);
        if (!code)
            return adminSecret.isSet(parser) ? line.failed(secretError) : line.wrong(secretError);
        if (const QString e = commands.checkAdminCode(*code); !e.isEmpty())
            return line.failed(e);
        QString summary;
        QString e;
        const bool ok = desk::inJournalOf(
            data,
            [&](engine::Table &journal) {
                desk::cashbook::prepare(journal);
                desk::settings::Shared s = desk::settings::read(journal);
                if (parser.isSet(firm))
                    s.firmName = parser.value(firm).trimmed();
                if (parser.isSet(address))
                    s.firmAddress = parser.value(address).trimmed();
                if (parser.isSet(pib))
                    s.pib = parser.value(pib);
                if (parser.isSet(mb))
                    s.mb = parser.value(mb);
                if (chosenPaper)
                    s.paper = *chosenPaper;
                // Without a change the settings are only shown, and nothing is logged.
                if (parser.isSet(firm) || parser.isSet(address) || parser.isSet(pib) ||
                    parser.isSet(mb) || parser.isSet(paper))
                    desk::settings::write(journal, s, QStringLiteral("Admin"));
                summary = settingsText(s);
            },
            &e);
        if (!ok)
            return line.failed(e);
        out << summary << "\n";
        return 0;
    }

    // month-report
    if (const QString e = only({&month, &year, &pdf}); !e.isEmpty())
        return line.wrong(e);
    static const QRegularExpression monthForm(QStringLiteral("^(\\d{4})-(\\d{2})$"));
    static const QRegularExpression yearForm(QStringLiteral("^\\d{4}$"));
    const QRegularExpressionMatch m = monthForm.match(parser.value(month));
    const bool byYear = parser.isSet(year);
    const int monthNumber = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (parser.isSet(month) == byYear || !parser.isSet(pdf) ||
        (byYear && !yearForm.match(parser.value(year)).hasMatch()) ||
        (!byYear && (!m.hasMatch() || monthNumber < 1 || monthNumber > 12)))
        return line.wrong(QStringLiteral("month-report needs --month YYYY-MM or --year YYYY, and "
                                         "--pdf FILE"));
    const int y = byYear ? parser.value(year).toInt() : m.captured(1).toInt();
    if (y < 1)
        return line.wrong(QStringLiteral("month-report needs a year from 0001 on"));
    std::optional<report::Document> document;
    QString e;
    const bool ok = desk::inJournalOf(
        data,
        [&](engine::Table &journal) {
            desk::cashbook::prepare(journal);
            const desk::month::Figures figures = byYear ? desk::month::ofYear(journal, y)
                                                        : desk::month::ofMonth(journal, y, monthNumber);
            document = cash_prints::monthReport(figures, byYear, QDateTime::currentDateTime(),
                                                desk::settings::read(journal));
        },
        &e);
    if (!ok)
        return line.failed(e);
    QString error;
    if (!report::writePdf(*document, parser.value(pdf), &error))
        return line.failed(QStringLiteral("cannot write %1: %2").arg(parser.value(pdf), error));
    return 0;
}

} // namespace admin

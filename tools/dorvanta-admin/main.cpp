// dorvanta-admin [--dir DIR] COMMAND ...: the administrator's work on a data directory from the
// command line (for cron as well): the journal as CSV, closing a day. Exit status 0 on success,
// 1 when the work was refused or failed (the reason on standard error), 2 for a wrong command
// line. A file it writes is either the old one or the complete new one.

#include "AdminCommands.h"
#include "OffsiteCommands.h"
#include "RateCommands.h"
#include "OffsiteFtp.h"
#include "ReportCommands.h"
#include "Secrets.h"

#include "desk/DeskTables.h"

#include "platform/AtomicFile.h"
#include "tools/common/CommandLine.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QDateTime>
#include <QTextStream>

#include <csignal>
#include <cstdio>

namespace {

const char Usage[] =
    "usage: dorvanta-admin [--dir DIR] COMMAND\n"
    "  export-csv [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--output FILE] [--sr]\n"
    "  close-day --date YYYY-MM-DD --admin-code CODE\n"
    "  day-report --date YYYY-MM-DD [--currency DIN|EUR] --pdf FILE\n"
    "  reverse NUMBER --admin-code CODE\n"
    "  voucher NUMBER --pdf FILE\n"
    "  count --date YYYY-MM-DD --currency DIN|EUR --pieces LIST --admin-code CODE\n"
    "  limit [--din AMOUNT] [--eur AMOUNT] --admin-code CODE\n"
    "  backup [--keep N]\n"
    "  restore NAME --admin-code CODE [--change-closed-days]\n"
    "  verify [--head HEX] [--file BACKUP]\n"
    "  A secret (--admin-code CODE, --key-text TEXT) left out is asked on the terminal; \"-\"\n"
    "  reads it from standard input, --admin-code-file FILE (--key-text-file) from a file only\n"
    "  its owner may read. On the command line every user sees it with ps.\n";

} // namespace

int main(int argc, char *argv[])
{
    // A file size limit (ulimit -f) makes a write fail with an error the command reports and
    // cleans up after, rather than end the process half-way with SIGXFSZ.
    std::signal(SIGXFSZ, SIG_IGN);
    // Standard error carries the tool's own reasons only, not Qt's notes about the session.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "dorvanta-admin: %s\n", qPrintable(text));
    });
    // The report is painted without a display (cron has none).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // A data directory whose baza.txt names a server keeps its four tables there, as the
    // window's do.
    desk::placeTablesOnServer();
    offsite_ftp::registerFtpTarget();
    const toolcli::CommandLine line("dorvanta-admin",
                                    QString::fromLatin1(Usage) + QString::fromLatin1(admin::OffsiteUsage) +
                                        QString::fromLatin1(admin::ReportUsage) +
                                        QString::fromLatin1(admin::RateUsage));
    if (const std::optional<int> end = admin::runOffsiteCommand(line))
        return *end;
    if (const std::optional<int> end = admin::runReportCommand(line))
        return *end;
    if (const std::optional<int> end = admin::runRateCommand(line))
        return *end;
    QTextStream out(stdout);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The administrator's work on a Dorvanta data directory.\n") +
        QString::fromLatin1(Usage));
    const QCommandLineOption dir(QStringLiteral("dir"),
                                 QStringLiteral("The data directory (default: the current one)."),
                                 QStringLiteral("DIR"), QStringLiteral("."));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("First day."),
                                  QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Last day."),
                                QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("Write to FILE (default: standard output)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption date(QStringLiteral("date"), QStringLiteral("The day."),
                                  QStringLiteral("YYYY-MM-DD"));
    const admin::SecretOption adminSecret(QStringLiteral("admin-code"),
                                          QStringLiteral("The login code of the user Admin."),
                                          QStringLiteral("CODE"));
    const QCommandLineOption &adminCode = adminSecret.option();
    const QCommandLineOption &adminCodeFile = adminSecret.fileOption();
    const QCommandLineOption currency(QStringLiteral("currency"),
                                      QStringLiteral("DIN or EUR (default: both)."),
                                      QStringLiteral("DIN|EUR"));
    const QCommandLineOption pdf(QStringLiteral("pdf"), QStringLiteral("The PDF file to write."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption pieces(QStringLiteral("pieces"),
                                    QStringLiteral("The counted pieces, e.g. 5000x3,1000x12,50x7."),
                                    QStringLiteral("LIST"));
    const QCommandLineOption din(QStringLiteral("din"),
                                 QStringLiteral("The cash limit in dinars (0: none)."),
                                 QStringLiteral("AMOUNT"));
    const QCommandLineOption eur(QStringLiteral("eur"),
                                 QStringLiteral("The cash limit in euros (0: none)."),
                                 QStringLiteral("AMOUNT"));
    const QCommandLineOption keep(QStringLiteral("keep"),
                                  QStringLiteral("Keep only the N newest backups."), QStringLiteral("N"));
    const QCommandLineOption head(QStringLiteral("head"),
                                  QStringLiteral("A chain head printed earlier, to look for in the history."),
                                  QStringLiteral("HEX"));
    const QCommandLineOption file(QStringLiteral("file"),
                                  QStringLiteral("Verify this backup file instead of the journal."),
                                  QStringLiteral("BACKUP"));
    const QCommandLineOption serbian(
        QStringLiteral("sr"),
        QStringLiteral("The Serbian form: semicolons, decimal comma, dd.mm.yyyy, UTF-8 with a BOM."));
    const QCommandLineOption changeClosedDays(
        QStringLiteral("change-closed-days"),
        QStringLiteral("Restore also a backup that changes what closed days were closed as."));
    parser.addOptions(
        {dir, from, to, output, date, adminCode, adminCodeFile, currency, pdf, pieces, din, eur, keep,
         head, file, changeClosedDays, serbian});
    parser.addPositionalArgument(QStringLiteral("COMMAND"),
                                 QStringLiteral("export-csv, close-day, day-report, reverse, voucher, count, limit, backup, restore or verify"));
    if (const std::optional<int> end = line.parse(parser))
        return *end;
    const auto wrong = [&line](const QString &reason) { return line.wrong(reason); };
    const auto failed = [&line](const QString &reason) { return line.failed(reason); };
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return wrong(QStringLiteral("no command given"));
    const QString command = positional.first();

    // A day option: nullopt when not given; a wrong one ends the run as a wrong command line.
    bool badDay = false;
    const auto day = [&](const QCommandLineOption &option) -> std::optional<QDate> {
        if (!parser.isSet(option))
            return std::nullopt;
        const QDate d = QDate::fromString(parser.value(option), Qt::ISODate);
        if (!d.isValid() || parser.value(option).size() != 10)
            badDay = true;
        return d;
    };
    // Options that belong to the command; any other one set is a wrong command line.
    const auto only = [&](QList<const QCommandLineOption *> allowed) -> QString {
        if (allowed.contains(&adminCode))
            allowed << &adminCodeFile;
        for (const QCommandLineOption *o :
             {&from, &to, &output, &date, &adminCode, &adminCodeFile, &currency, &pdf, &pieces,
              &din, &eur, &keep, &head, &file, &changeClosedDays, &serbian}) {
            if (parser.isSet(*o) && !allowed.contains(o))
                return QStringLiteral("--%1 does not go with %2").arg(o->names().first(), command);
        }
        return {};
    };

    admin::AdminCommands commands(parser.value(dir));
    // The administrator's code, read (Secrets.h) and checked: nullopt to go on, or the status
    // to end with.
    const auto adminChecked = [&]() -> std::optional<int> {
        QString error;
        const std::optional<QString> code =
            adminSecret.read(parser, QStringLiteral("Admin code: "), true, error);
        if (!code)
            return adminSecret.isSet(parser) ? failed(error) : wrong(error);
        if (const QString e = commands.checkAdminCode(*code); !e.isEmpty())
            return failed(e);
        return std::nullopt;
    };
    if (command == QLatin1String("export-csv")) {
        if (positional.size() != 1)
            return wrong(QStringLiteral("export-csv takes no arguments"));
        if (const QString e = only({&from, &to, &output, &serbian}); !e.isEmpty())
            return wrong(e);
        const auto first = day(from);
        const auto last = day(to);
        if (badDay)
            return wrong(QStringLiteral("a day is written YYYY-MM-DD"));
        // Written as it is read: to a temporary file beside FILE that replaces it only when
        // whole, or to the standard output.
        if (parser.isSet(output)) {
            platform::AtomicWriter writer(parser.value(output));
            const QString e = commands.exportCsv(
                first, last, [&](QByteArrayView piece) { return writer.write(piece); }, QString(),
                parser.isSet(serbian));
            if (!e.isEmpty())
                return failed(e);
            if (!writer.commit())
                return failed(QStringLiteral("cannot write %1: %2").arg(parser.value(output), writer.errorString()));
            return 0;
        }
        const QString e = commands.exportCsv(
            first, last,
            [](QByteArrayView piece) {
                return std::fwrite(piece.data(), 1, size_t(piece.size()), stdout) == size_t(piece.size());
            },
            QStringLiteral("cannot write the standard output"), parser.isSet(serbian));
        if (!e.isEmpty())
            return failed(e);
        if (std::fflush(stdout) != 0)
            return failed(QStringLiteral("cannot write the standard output"));
        return 0;
    }
    if (command == QLatin1String("close-day")) {
        if (positional.size() != 1)
            return wrong(QStringLiteral("close-day takes no arguments"));
        if (const QString e = only({&date, &adminCode}); !e.isEmpty())
            return wrong(e);
        const auto closed = day(date);
        if (!closed || badDay)
            return wrong(QStringLiteral("close-day needs --date YYYY-MM-DD and --admin-code CODE"));
        if (const std::optional<int> end = adminChecked())
            return *end;
        QString summary;
        if (const QString e = commands.closeDay(*closed, QDateTime::currentDateTime(), summary);
            !e.isEmpty())
            return failed(e);
        out << summary << "\n";
        return 0;
    }
    if (command == QLatin1String("verify")) {
        if (positional.size() != 1)
            return wrong(QStringLiteral("verify takes no arguments"));
        if (const QString e = only({&head, &file}); !e.isEmpty())
            return wrong(e);
        const QByteArray wanted = parser.value(head).toLatin1();
        if (parser.isSet(head) && !toolcli::isSha256Hex(wanted))
            return wrong(QStringLiteral("--head takes the 64 hex digits of a chain head"));
        QString report;
        return toolcli::reported(commands.verify(parser.value(file), wanted, report), report);
    }
    if (command == QLatin1String("backup")) {
        if (const QString e = only({&keep}); !e.isEmpty())
            return wrong(e);
        bool ok = true;
        const int newest = parser.isSet(keep) ? parser.value(keep).toInt(&ok) : 0;
        if (positional.size() != 1 || !ok || (parser.isSet(keep) && newest < 1))
            return wrong(QStringLiteral("backup takes --keep N with N at least 1"));
        QString summary;
        if (const QString e = commands.backup(QDateTime::currentDateTime(), newest, summary);
            !e.isEmpty())
            return failed(e);
        out << summary << "\n";
        return 0;
    }
    if (command == QLatin1String("reverse")) {
        if (const QString e = only({&adminCode}); !e.isEmpty())
            return wrong(e);
        if (positional.size() != 2)
            return wrong(QStringLiteral("reverse needs the document's NUMBER and --admin-code CODE"));
        if (const std::optional<int> end = adminChecked())
            return *end;
        QString summary;
        if (const QString e = commands.reverse(positional.at(1), QDateTime::currentDateTime(), summary);
            !e.isEmpty())
            return failed(e);
        out << summary << "\n";
        return 0;
    }
    if (command == QLatin1String("restore")) {
        if (const QString e = only({&adminCode, &changeClosedDays}); !e.isEmpty())
            return wrong(e);
        if (positional.size() != 2)
            return wrong(QStringLiteral("restore needs the backup's NAME and --admin-code CODE"));
        if (const std::optional<int> end = adminChecked())
            return *end;
        QString summary;
        if (const QString e = commands.restore(positional.at(1), QDateTime::currentDateTime(),
                                               parser.isSet(changeClosedDays), summary);
            !e.isEmpty())
            return failed(e);
        out << summary << "\n";
        return 0;
    }
    if (command == QLatin1String("count")) {
        if (positional.size() != 1)
            return wrong(QStringLiteral("count takes no arguments"));
        if (const QString e = only({&date, &currency, &pieces, &adminCode}); !e.isEmpty())
            return wrong(e);
        const auto counted = day(date);
        const QString money = parser.value(currency);
        if (!counted || badDay || !parser.isSet(pieces) ||
            (money != QLatin1String("DIN") && money != QLatin1String("EUR")))
            return wrong(QStringLiteral("count needs --date YYYY-MM-DD, --currency DIN or EUR, "
                                        "--pieces LIST and --admin-code CODE"));
        if (const std::optional<int> end = adminChecked())
            return *end;
        QString summary;
        if (const QString e = commands.count(*counted, money, parser.value(pieces),
                                             QDateTime::currentDateTime(), summary);
            !e.isEmpty())
            return failed(e);
        out << summary << "\n";
        return 0;
    }
    if (command == QLatin1String("limit")) {
        if (const QString e = only({&din, &eur, &adminCode}); !e.isEmpty())
            return wrong(e);
        const auto amount = [&](const QCommandLineOption &o) -> std::optional<engine::Money> {
            return parser.isSet(o) ? engine::Money::tryParse(parser.value(o)) : std::nullopt;
        };
        const std::optional<engine::Money> dinars = amount(din), euros = amount(eur);
        if (positional.size() != 1 ||
            (!parser.isSet(din) && !parser.isSet(eur)) || (parser.isSet(din) && !dinars) ||
            (parser.isSet(eur) && !euros) || (dinars && *dinars < engine::Money()) ||
            (euros && *euros < engine::Money()))
            return wrong(QStringLiteral("limit needs --din AMOUNT and/or --eur AMOUNT (0 or "
                                        "more, 0: no limit) and --admin-code CODE"));
        if (const std::optional<int> end = adminChecked())
            return *end;
        QString summary;
        if (const QString e = commands.limit(dinars, euros, summary); !e.isEmpty())
            return failed(e);
        out << summary << "\n";
        return 0;
    }
    if (command == QLatin1String("voucher")) {
        if (const QString e = only({&pdf}); !e.isEmpty())
            return wrong(e);
        if (positional.size() != 2 || !parser.isSet(pdf))
            return wrong(QStringLiteral("voucher needs the document's NUMBER and --pdf FILE"));
        if (const QString e = commands.voucher(positional.at(1), QDateTime::currentDateTime(),
                                               parser.value(pdf));
            !e.isEmpty())
            return failed(e);
        return 0;
    }
    if (command == QLatin1String("day-report")) {
        if (positional.size() != 1)
            return wrong(QStringLiteral("day-report takes no arguments"));
        if (const QString e = only({&date, &currency, &pdf}); !e.isEmpty())
            return wrong(e);
        const auto reported = day(date);
        const QString money = parser.value(currency);
        if (!reported || badDay || !parser.isSet(pdf) ||
            (parser.isSet(currency) && money != QLatin1String("DIN") && money != QLatin1String("EUR")))
            return wrong(QStringLiteral("day-report needs --date YYYY-MM-DD, --pdf FILE and "
                                        "optionally --currency DIN or EUR"));
        if (const QString e = commands.dayReport(*reported, money, QDateTime::currentDateTime(),
                                                 parser.value(pdf));
            !e.isEmpty())
            return failed(e);
        return 0;
    }
    return wrong(QStringLiteral("unknown command %1").arg(command));
}

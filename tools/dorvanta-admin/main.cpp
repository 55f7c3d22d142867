// dorvanta-admin [--dir DIR] COMMAND ...: the administrator's work on a data directory from the
// command line (for cron as well): the journal as CSV, closing a day. Exit status 0 on success,
// 1 when the work was refused or failed (the reason on standard error), 2 for a wrong command
// line. A file it writes is either the old one or the complete new one.
// The off-site, paper and rate commands parse their own command lines (OffsiteCommands.h,
// ReportCommands.h, RateCommands.h); the journal's are the table Commands below, one function
// each over the parsed Run.

#include "AdminCommands.h"
#include "CommandRun.h"
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
#include <QList>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <optional>

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


// The options of the journal's commands, in the order --help lists them after --dir.
struct Options
{
    Options() = default;
    Options(const Options &) = delete;
    Options &operator=(const Options &) = delete;

    const QCommandLineOption dir{QStringLiteral("dir"),
                                 QStringLiteral("The data directory (default: the current one)."),
                                 QStringLiteral("DIR"), QStringLiteral(".")};
    const QCommandLineOption from{QStringLiteral("from"), QStringLiteral("First day."),
                                  QStringLiteral("YYYY-MM-DD")};
    const QCommandLineOption to{QStringLiteral("to"), QStringLiteral("Last day."),
                                QStringLiteral("YYYY-MM-DD")};
    const QCommandLineOption output{QStringLiteral("output"),
                                    QStringLiteral("Write to FILE (default: standard output)."),
                                    QStringLiteral("FILE")};
    const QCommandLineOption date{QStringLiteral("date"), QStringLiteral("The day."),
                                  QStringLiteral("YYYY-MM-DD")};
    const admin::SecretOption adminSecret{QStringLiteral("admin-code"),
                                          QStringLiteral("The login code of the user Admin."),
                                          QStringLiteral("CODE")};
    const QCommandLineOption &adminCode = adminSecret.option();
    const QCommandLineOption &adminCodeFile = adminSecret.fileOption();
    const QCommandLineOption currency{QStringLiteral("currency"),
                                      QStringLiteral("DIN or EUR (default: both)."),
                                      QStringLiteral("DIN|EUR")};
    const QCommandLineOption pdf{QStringLiteral("pdf"), QStringLiteral("The PDF file to write."),
                                 QStringLiteral("FILE")};
    const QCommandLineOption pieces{QStringLiteral("pieces"),
                                    QStringLiteral("The counted pieces, e.g. 5000x3,1000x12,50x7."),
                                    QStringLiteral("LIST")};
    const QCommandLineOption din{QStringLiteral("din"),
                                 QStringLiteral("The cash limit in dinars (0: none)."),
                                 QStringLiteral("AMOUNT")};
    const QCommandLineOption eur{QStringLiteral("eur"),
                                 QStringLiteral("The cash limit in euros (0: none)."),
                                 QStringLiteral("AMOUNT")};
    const QCommandLineOption keep{QStringLiteral("keep"),
                                  QStringLiteral("Keep only the N newest backups."), QStringLiteral("N")};
    const QCommandLineOption head{QStringLiteral("head"),
                                  QStringLiteral("A chain head printed earlier, to look for in the history."),
                                  QStringLiteral("HEX")};
    const QCommandLineOption file{QStringLiteral("file"),
                                  QStringLiteral("Verify this backup file instead of the journal."),
                                  QStringLiteral("BACKUP")};
    const QCommandLineOption changeClosedDays{
        QStringLiteral("change-closed-days"),
        QStringLiteral("Restore also a backup that changes what closed days were closed as.")};
    const QCommandLineOption serbian{
        QStringLiteral("sr"),
        QStringLiteral("The Serbian form: semicolons, decimal comma, dd.mm.yyyy, UTF-8 with a BOM.")};

    // Every option but --dir, each of which belongs to some commands only.
    QList<const QCommandLineOption *> commandOptions() const
    {
        return {&from, &to, &output, &date, &adminCode, &adminCodeFile, &currency, &pdf, &pieces,
                &din, &eur, &keep, &head, &file, &changeClosedDays, &serbian};
    }
};

// One run of a journal command: what every command's function asks of it (CommandRun.h),
// with the journal commands' options and their day check.
class Run : public admin::CommandRun
{
public:
    Run(const toolcli::CommandLine &line, const Options &options, const QCommandLineParser &parser)
        : CommandRun(line, parser, options.dir, options.commandOptions(), {&options.adminSecret}),
          o(options)
    {
    }

    // A day option: nullopt when not given; a wrong one sets badDay, which ends the run as a
    // wrong command line.
    std::optional<QDate> day(const QCommandLineOption &option)
    {
        if (!parser.isSet(option))
            return std::nullopt;
        const QDate d = QDate::fromString(parser.value(option), Qt::ISODate);
        if (!d.isValid() || parser.value(option).size() != 10)
            badDay = true;
        return d;
    }
    std::optional<int> adminChecked() { return CommandRun::adminChecked(o.adminSecret); }

    const Options &o;
    bool badDay = false;
};

int exportCsv(Run &run)
{
    const Options &o = run.o;
    if (run.positional.size() != 1)
        return run.wrong(QStringLiteral("export-csv takes no arguments"));
    if (const QString e = run.only({&o.from, &o.to, &o.output, &o.serbian}); !e.isEmpty())
        return run.wrong(e);
    const auto first = run.day(o.from);
    const auto last = run.day(o.to);
    if (run.badDay)
        return run.wrong(QStringLiteral("a day is written YYYY-MM-DD"));
    const bool serbian = run.parser.isSet(o.serbian);
    // Written as it is read: to a temporary file beside FILE that replaces it only when whole,
    // or to the standard output.
    if (run.parser.isSet(o.output)) {
        const QString path = run.parser.value(o.output);
        platform::AtomicWriter writer(path);
        const QString e = run.commands.exportCsv(
            first, last, [&](QByteArrayView piece) { return writer.write(piece); }, QString(), serbian);
        if (!e.isEmpty())
            return run.failed(e);
        if (!writer.commit())
            return run.failed(QStringLiteral("cannot write %1: %2").arg(path, writer.errorString()));
        return 0;
    }
    const QString e = run.commands.exportCsv(
        first, last,
        [](QByteArrayView piece) {
            return std::fwrite(piece.data(), 1, size_t(piece.size()), stdout) == size_t(piece.size());
        },
        QStringLiteral("cannot write the standard output"), serbian);
    if (!e.isEmpty())
        return run.failed(e);
    if (std::fflush(stdout) != 0)
        return run.failed(QStringLiteral("cannot write the standard output"));
    return 0;
}

int closeDay(Run &run)
{
    const Options &o = run.o;
    if (run.positional.size() != 1)
        return run.wrong(QStringLiteral("close-day takes no arguments"));
    if (const QString e = run.only({&o.date, &o.adminCode}); !e.isEmpty())
        return run.wrong(e);
    const auto closed = run.day(o.date);
    if (!closed || run.badDay)
        return run.wrong(QStringLiteral("close-day needs --date YYYY-MM-DD and --admin-code CODE"));
    if (const std::optional<int> end = run.adminChecked())
        return *end;
    QString summary;
    return run.told(run.commands.closeDay(*closed, QDateTime::currentDateTime(), summary), summary);
}

int verify(Run &run)
{
    const Options &o = run.o;
    if (run.positional.size() != 1)
        return run.wrong(QStringLiteral("verify takes no arguments"));
    if (const QString e = run.only({&o.head, &o.file}); !e.isEmpty())
        return run.wrong(e);
    const QByteArray wanted = run.parser.value(o.head).toLatin1();
    if (run.parser.isSet(o.head) && !toolcli::isSha256Hex(wanted))
        return run.wrong(QStringLiteral("--head takes the 64 hex digits of a chain head"));
    QString report;
    return toolcli::reported(run.commands.verify(run.parser.value(o.file), wanted, report), report);
}

int backup(Run &run)
{
    const Options &o = run.o;
    if (const QString e = run.only({&o.keep}); !e.isEmpty())
        return run.wrong(e);
    const bool keeping = run.parser.isSet(o.keep);
    bool ok = true;
    const int newest = keeping ? run.parser.value(o.keep).toInt(&ok) : 0;
    if (run.positional.size() != 1 || !ok || (keeping && newest < 1))
        return run.wrong(QStringLiteral("backup takes --keep N with N at least 1"));
    QString summary;
    return run.told(run.commands.backup(QDateTime::currentDateTime(), newest, summary), summary);
}

int reverse(Run &run)
{
    if (const QString e = run.only({&run.o.adminCode}); !e.isEmpty())
        return run.wrong(e);
    if (run.positional.size() != 2)
        return run.wrong(QStringLiteral("reverse needs the document's NUMBER and --admin-code CODE"));
    if (const std::optional<int> end = run.adminChecked())
        return *end;
    QString summary;
    return run.told(run.commands.reverse(run.positional.at(1), QDateTime::currentDateTime(), summary),
                    summary);
}

int restore(Run &run)
{
    const Options &o = run.o;
    if (const QString e = run.only({&o.adminCode, &o.changeClosedDays}); !e.isEmpty())
        return run.wrong(e);
    if (run.positional.size() != 2)
        return run.wrong(QStringLiteral("restore needs the backup's NAME and --admin-code CODE"));
    if (const std::optional<int> end = run.adminChecked())
        return *end;
    QString summary;
    return run.told(run.commands.restore(run.positional.at(1), QDateTime::currentDateTime(),
                                         run.parser.isSet(o.changeClosedDays), summary),
                    summary);
}

int count(Run &run)
{
    const Options &o = run.o;
    if (run.positional.size() != 1)
        return run.wrong(QStringLiteral("count takes no arguments"));
    if (const QString e = run.only({&o.date, &o.currency, &o.pieces, &o.adminCode}); !e.isEmpty())
        return run.wrong(e);
    const auto counted = run.day(o.date);
    const QString money = run.parser.value(o.currency);
    if (!counted || run.badDay || !run.parser.isSet(o.pieces) ||
        (money != QLatin1String("DIN") && money != QLatin1String("EUR")))
        return run.wrong(QStringLiteral("count needs --date YYYY-MM-DD, --currency DIN or EUR, "
                                        "--pieces LIST and --admin-code CODE"));
    if (const std::optional<int> end = run.adminChecked())
        return *end;
    QString summary;
    return run.told(run.commands.count(*counted, money, run.parser.value(o.pieces),
                                       QDateTime::currentDateTime(), summary),
                    summary);
}

int limit(Run &run)
{
    const Options &o = run.o;
    if (const QString e = run.only({&o.din, &o.eur, &o.adminCode}); !e.isEmpty())
        return run.wrong(e);
    const QCommandLineParser &parser = run.parser;
    const auto amount = [&](const QCommandLineOption &option) -> std::optional<engine::Money> {
        return parser.isSet(option) ? engine::Money::tryParse(parser.value(option)) : std::nullopt;
    };
    const std::optional<engine::Money> dinars = amount(o.din), euros = amount(o.eur);
    if (run.positional.size() != 1 ||
        (!parser.isSet(o.din) && !parser.isSet(o.eur)) || (parser.isSet(o.din) && !dinars) ||
        (parser.isSet(o.eur) && !euros) || (dinars && *dinars < engine::Money()) ||
        (euros && *euros < engine::Money()))
        return run.wrong(QStringLiteral("limit needs --din AMOUNT and/or --eur AMOUNT (0 or "
                                        "more, 0: no limit) and --admin-code CODE"));
    if (const std::optional<int> end = run.adminChecked())
        return *end;
    QString summary;
    return run.told(run.commands.limit(dinars, euros, summary), summary);
}

int voucher(Run &run)
{
    const Options &o = run.o;
    if (const QString e = run.only({&o.pdf}); !e.isEmpty())
        return run.wrong(e);
    if (run.positional.size() != 2 || !run.parser.isSet(o.pdf))
        return run.wrong(QStringLiteral("voucher needs the document's NUMBER and --pdf FILE"));
    if (const QString e = run.commands.voucher(run.positional.at(1), QDateTime::currentDateTime(),
                                               run.parser.value(o.pdf));
        !e.isEmpty())
        return run.failed(e);
    return 0;
}

int dayReport(Run &run)
{
    const Options &o = run.o;
    if (run.positional.size() != 1)
        return run.wrong(QStringLiteral("day-report takes no arguments"));
    if (const QString e = run.only({&o.date, &o.currency, &o.pdf}); !e.isEmpty())
        return run.wrong(e);
    const auto reported = run.day(o.date);
    const QString money = run.parser.value(o.currency);
    if (!reported || run.badDay || !run.parser.isSet(o.pdf) ||
        (run.parser.isSet(o.currency) && money != QLatin1String("DIN") && money != QLatin1String("EUR")))
        return run.wrong(QStringLiteral("day-report needs --date YYYY-MM-DD, --pdf FILE and "
                                        "optionally --currency DIN or EUR"));
    if (const QString e = run.commands.dayReport(*reported, money, QDateTime::currentDateTime(),
                                                 run.parser.value(o.pdf));
        !e.isEmpty())
        return run.failed(e);
    return 0;
}

struct Command
{
    const char *name;
    int (*run)(Run &);
};

// The journal's commands, as the usage lists them.
constexpr Command Commands[] = {
    {"export-csv", exportCsv}, {"close-day", closeDay}, {"day-report", dayReport},
    {"reverse", reverse},      {"voucher", voucher},    {"count", count},
    {"limit", limit},          {"backup", backup},      {"restore", restore},
    {"verify", verify},
};

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
    // The commands with parsers of their own first: each answers only a command of its own.
    for (const auto runOwn : {admin::runOffsiteCommand, admin::runReportCommand, admin::runRateCommand}) {
        if (const std::optional<int> end = runOwn(line))
            return *end;
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The administrator's work on a Dorvanta data directory.\n") +
        QString::fromLatin1(Usage));
    const Options options;
    parser.addOption(options.dir);
    for (const QCommandLineOption *option : options.commandOptions())
        parser.addOption(*option);
    parser.addPositionalArgument(QStringLiteral("COMMAND"),
                                 QStringLiteral("export-csv, close-day, day-report, reverse, voucher, count, limit, backup, restore or verify"));
    if (const std::optional<int> end = line.parse(parser))
        return *end;
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return line.wrong(QStringLiteral("no command given"));
    for (const Command &command : Commands) {
        if (positional.first() == QLatin1String(command.name)) {
            Run run(line, options, parser);
            return command.run(run);
        }
    }
    return line.wrong(QStringLiteral("unknown command %1").arg(positional.first()));
}

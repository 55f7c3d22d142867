// dorvanta-admin's off-site, numbering and archive commands: the table Commands below, one
// function each over the parsed Run.
#include "OffsiteCommands.h"

#include "AdminCommands.h"
#include "ArchiveCommands.h"
#include "CommandRun.h"
#include "Secrets.h"

#include "desk/Offsite.h"
#include "desk/OffsiteRestore.h"
#include "desk/SealedBackup.h"
#include "engine/EngineError.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <algorithm>

namespace admin {

const char OffsiteUsage[] =
    "  offsite-init [--folder PATH] [--ftp] [--key-text TEXT]\n"
    "  offsite-list [--folder PATH] [--key-text TEXT]\n"
    "  restore-offsite NAME --admin-code CODE [--key-text TEXT] [--folder PATH] "
    "[--change-closed-days]\n"
    "  numbers --skip NUMBER --admin-code CODE\n"
    "  archive --year YYYY --output DIR\n"
    "  verify-archive DIR [--fingerprint HEX]\n";

namespace {

// The options of these commands. main.cpp's parser lists them for --help; this one only reads
// them.
struct Options
{
    Options() = default;
    Options(const Options &) = delete;
    Options &operator=(const Options &) = delete;

    const QCommandLineOption dir{QStringLiteral("dir"), QString(), QStringLiteral("DIR"),
                                 QStringLiteral(".")};
    const QCommandLineOption folder{QStringLiteral("folder"), QString(), QStringLiteral("PATH")};
    const QCommandLineOption ftp{QStringLiteral("ftp"), QString()};
    const SecretOption keySecret{QStringLiteral("key-text"), QString(), QStringLiteral("TEXT")};
    const SecretOption adminSecret{QStringLiteral("admin-code"), QString(), QStringLiteral("CODE")};
    const QCommandLineOption &keyText = keySecret.option();
    const QCommandLineOption &keyTextFile = keySecret.fileOption();
    const QCommandLineOption &adminCode = adminSecret.option();
    const QCommandLineOption &adminCodeFile = adminSecret.fileOption();
    const QCommandLineOption changeClosedDays{QStringLiteral("change-closed-days"), QString()};
    const QCommandLineOption year{QStringLiteral("year"), QString(), QStringLiteral("YYYY")};
    const QCommandLineOption output{QStringLiteral("output"), QString(), QStringLiteral("DIR")};
    const QCommandLineOption fingerprint{QStringLiteral("fingerprint"), QString(),
                                         QStringLiteral("HEX")};
    const QCommandLineOption skip{QStringLiteral("skip"), QString(), QStringLiteral("NUMBER")};

    // Every option but --dir, in the order a wrong one is named.
    QList<const QCommandLineOption *> commandOptions() const
    {
        return {&folder, &ftp, &keyText, &keyTextFile, &adminCode, &adminCodeFile,
                &changeClosedDays, &year, &output, &fingerprint, &skip};
    }
};

// One run of one of these commands: what every command's function asks of it (CommandRun.h),
// with the off-site commands' options, the key given and the targets chosen.
class Run : public CommandRun
{
public:
    Run(const toolcli::CommandLine &line, const Options &options, const QCommandLineParser &parser)
        : CommandRun(line, parser, options.dir, options.commandOptions(),
                     {&options.keySecret, &options.adminSecret}),
          o(options)
    {
    }

    std::optional<int> adminChecked() { return CommandRun::adminChecked(o.adminSecret); }
    // The off-site key given as its recovery text, never asked for: `key` is left empty when
    // it is not given. nullopt to go on, or the status to end with.
    std::optional<int> keyGiven(std::optional<QByteArray> &key) const
    {
        QString error;
        const std::optional<QString> text = o.keySecret.read(parser, {}, false, error);
        if (!error.isEmpty())
            return failed(error);
        if (text)
            key = desk::sealed::keyFromRecoveryText(*text);
        return std::nullopt;
    }
    // The targets to read: the one given, or those set up.
    desk::offsite::Settings chosen() const
    {
        if (parser.isSet(o.folder))
            return desk::offsite::Settings{QDir(parser.value(o.folder)).absolutePath(), false};
        return desk::offsite::settings(data);
    }
    const Options &o;
};

int offsiteInit(Run &run)
{
    const Options &o = run.o;
    const QCommandLineParser &parser = run.parser;
    if (const QString e = run.only({&o.folder, &o.ftp, &o.keyText}); !e.isEmpty())
        return run.wrong(e);
    if (run.positional.size() != 1 || (!parser.isSet(o.folder) && !parser.isSet(o.ftp)))
        return run.wrong(QStringLiteral("offsite-init needs --folder PATH and/or --ftp"));
    const bool hadKey = desk::offsite::hasKey(run.data);
    std::optional<QByteArray> given;
    if (const std::optional<int> end = run.keyGiven(given))
        return *end;
    const QString text = desk::offsite::init(
        run.data,
        {parser.isSet(o.folder) ? QDir(parser.value(o.folder)).absolutePath() : QString(),
         parser.isSet(o.ftp)},
        given.value_or(QByteArray()));
    for (const auto &target : desk::offsite::targets(run.data, desk::offsite::settings(run.data)))
        run.out << "Cilj: " << target->label() << "\n";
    if (hadKey || given) {
        run.out << "Kopije se sifruju postojecim kljucem (podaci/rezerva-kljuc.txt).\n";
    } else {
        run.out << "Kljuc rezerve (zapisite ga i cuvajte van radnje; bez njega se kopija ne "
                   "moze vratiti):\n\n    "
                << text << "\n\n";
    }
    return 0;
}

int offsiteList(Run &run)
{
    const Options &o = run.o;
    if (const QString e = run.only({&o.folder, &o.keyText}); !e.isEmpty())
        return run.wrong(e);
    if (run.positional.size() != 1)
        return run.wrong(QStringLiteral("offsite-list takes no arguments"));
    const desk::offsite::Settings s = run.chosen();
    // With the key, each copy is read whole and its sealed moment shown.
    std::optional<QByteArray> given;
    if (const std::optional<int> end = run.keyGiven(given))
        return *end;
    QByteArray listKey;
    if (given)
        listKey = *given;
    else if (desk::offsite::hasKey(run.data))
        listKey = desk::offsite::key(run.data);
    if (!s.any())
        return run.failed(QStringLiteral("no off-site target is set up (offsite-init)"));
    // Each target on its own: one that cannot be read (a disk not mounted, a server down) is
    // said, and the others are still listed.
    int status = 0;
    for (const desk::offsite::Settings &one :
         {desk::offsite::Settings{s.folder, false}, desk::offsite::Settings{QString(), s.ftp}}) {
        if (!one.any())
            continue;
        try {
            const auto target = std::move(desk::offsite::targets(run.data, one).front());
            const QList<desk::offsite::Copy> copies = desk::offsite::list(run.data, one);
            run.out << target->label() << ":" << (copies.isEmpty() ? " nema kopija\n" : "\n");
            if (listKey.isEmpty()) {
                for (const desk::offsite::Copy &c : copies)
                    run.out << "  " << c.name << "\n";
                continue;
            }
            for (const desk::offsite::CopyLabel &c : desk::offsite::labels(run.data, one, listKey))
                run.out << "  " << c.name << "  "
                        << (c.error.isEmpty() ? desk::offsite::copyQuestion(c.name, c.label)
                                              : QStringLiteral("NE CITA SE: ") + c.error)
                        << "\n";
        } catch (const engine::EngineError &e) {
            run.out.flush();
            status = run.failed(e.message());
        }
    }
    return status;
}

int restoreOffsite(Run &run)
{
    const Options &o = run.o;
    if (const QString e = run.only({&o.adminCode, &o.keyText, &o.folder, &o.changeClosedDays});
        !e.isEmpty())
        return run.wrong(e);
    if (run.positional.size() != 2)
        return run.wrong(QStringLiteral("restore-offsite needs the copy's NAME and --admin-code CODE"));
    if (const std::optional<int> end = run.adminChecked())
        return *end;
    std::optional<QByteArray> given;
    if (const std::optional<int> end = run.keyGiven(given))
        return *end;
    const QByteArray key = given ? *given : desk::offsite::key(run.data);
    const QString name = run.positional.at(1);
    const desk::offsite::Settings s = run.chosen();
    if (!s.any())
        return run.failed(QStringLiteral("no off-site target is set up (offsite-init, or give "
                                         "--folder PATH)"));
    // The copy fetched, checked and unpacked beside the data; the journal it carries is
    // checked as any backup before anything is replaced.
    desk::offsite::OffsiteRestore restoring(run.data, s, name, key);
    run.out << restoring.question() << "\n";
    run.out.flush();
    const QString localPath =
        QDir(run.data).filePath(QStringLiteral("podaci/") + restoring.journalBackup());
    QString report;
    if (run.commands.verify(localPath, {}, report) != 0)
        return run.failed(QStringLiteral("the copy %1 does not verify, nothing changed:\n").arg(name) +
                          report);
    QStringList days;
    for (const desk::cashbook::ClosedDayDrift &d : restoring.closedDays())
        days += d.lines();
    if (!days.isEmpty() && !run.parser.isSet(o.changeClosedDays))
        return run.failed(QStringLiteral("%1 would change closed days, nothing changed (give "
                                         "--change-closed-days to restore it all the same):\n")
                              .arg(name) +
                          days.join(u'\n'));
    const QString summary = restoring.run(QStringLiteral("Admin"), QDateTime::currentDateTime());
    run.out << "Kopija " << name << " proverena: " << report << "\n" << summary << "\n";
    if (!days.isEmpty())
        run.out << "Promenjeni zakljuceni dani:\n" << days.join(u'\n') << "\n";
    return 0;
}

int numbers(Run &run)
{
    const Options &o = run.o;
    if (const QString e = run.only({&o.skip, &o.adminCode}); !e.isEmpty())
        return run.wrong(e);
    if (run.positional.size() != 1 || !run.parser.isSet(o.skip))
        return run.wrong(QStringLiteral("numbers needs --skip NUMBER and --admin-code CODE"));
    if (const std::optional<int> end = run.adminChecked())
        return *end;
    run.out << desk::offsite::skipNumber(run.data, run.parser.value(o.skip), QStringLiteral("Admin"))
            << "\n";
    return 0;
}

int archive(Run &run)
{
    const Options &o = run.o;
    if (const QString e = run.only({&o.year, &o.output}); !e.isEmpty())
        return run.wrong(e);
    bool ok = false;
    const QString yearText = run.parser.value(o.year);
    const int year = yearText.toInt(&ok);
    if (run.positional.size() != 1 || !ok || yearText.size() != 4 || !run.parser.isSet(o.output))
        return run.wrong(QStringLiteral("archive needs --year YYYY and --output DIR"));
    QString summary;
    return run.told(writeArchive(run.data, year, run.parser.value(o.output), summary), summary);
}

int verifyArchive(Run &run)
{
    const Options &o = run.o;
    if (const QString e = run.only({&o.fingerprint}); !e.isEmpty())
        return run.wrong(e);
    const QByteArray hex = run.parser.value(o.fingerprint).toLatin1();
    if (run.positional.size() != 2 || (run.parser.isSet(o.fingerprint) && !toolcli::isSha256Hex(hex)))
        return run.wrong(QStringLiteral("verify-archive needs the archive's DIR and optionally "
                                        "--fingerprint with 64 hex digits"));
    QString report;
    const int status = admin::verifyArchive(run.positional.at(1), run.parser.value(o.fingerprint), report);
    return toolcli::reported(status, report);
}

struct Command
{
    const char *name;
    int (*run)(Run &);
};

// These commands, as the usage lists them.
constexpr Command Commands[] = {
    {"offsite-init", offsiteInit}, {"offsite-list", offsiteList}, {"restore-offsite", restoreOffsite},
    {"numbers", numbers},          {"archive", archive},          {"verify-archive", verifyArchive},
};

// The command named `name`; nullptr when it is none of these.
const Command *commandNamed(const QString &name)
{
    const auto found = std::find_if(std::begin(Commands), std::end(Commands),
                                    [&](const Command &c) { return name == QLatin1String(c.name); });
    return found == std::end(Commands) ? nullptr : found;
}

} // namespace

std::optional<int> runOffsiteCommand(const toolcli::CommandLine &line)
{
    const QStringList arguments = QCoreApplication::arguments();
    const bool ours = std::any_of(arguments.begin() + 1, arguments.end(),
                                  [](const QString &a) { return commandNamed(a) != nullptr; });
    if (!ours)
        return std::nullopt;
    QCommandLineParser parser;
    const Options options;
    parser.addOption(options.dir);
    for (const QCommandLineOption *option : options.commandOptions())
        parser.addOption(*option);
    if (!parser.parse(arguments))
        return std::nullopt; // another command's options: its parser says what is wrong
    const QStringList positional = parser.positionalArguments();
    const Command *command = positional.isEmpty() ? nullptr : commandNamed(positional.first());
    if (!command)
        return std::nullopt;
    Run run(line, options, parser);
    try {
        return command->run(run);
    } catch (const engine::EngineError &e) {
        return run.failed(e.message());
    }
}

} // namespace admin

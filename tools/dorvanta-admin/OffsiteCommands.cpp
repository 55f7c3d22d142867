// dorvanta-admin's off-site, numbering and archive commands.
#include "OffsiteCommands.h"

#include "AdminCommands.h"
#include "ArchiveCommands.h"
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

const QStringList Commands = {QStringLiteral("offsite-init"), QStringLiteral("offsite-list"),
                              QStringLiteral("restore-offsite"), QStringLiteral("archive"),
                              QStringLiteral("verify-archive"), QStringLiteral("numbers")};

} // namespace

std::optional<int> runOffsiteCommand(const toolcli::CommandLine &line)
{
    QCommandLineParser parser;
    const QCommandLineOption dir(QStringLiteral("dir"), QString(), QStringLiteral("DIR"),
                                 QStringLiteral("."));
    const QCommandLineOption folder(QStringLiteral("folder"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption ftp(QStringLiteral("ftp"), QString());
    const SecretOption keySecret(QStringLiteral("key-text"), QString(), QStringLiteral("TEXT"));
    const SecretOption adminSecret(QStringLiteral("admin-code"), QString(), QStringLiteral("CODE"));
    const QCommandLineOption &keyText = keySecret.option();
    const QCommandLineOption &keyTextFile = keySecret.fileOption();
    const QCommandLineOption &adminCode = adminSecret.option();
    const QCommandLineOption &adminCodeFile = adminSecret.fileOption();
    const QCommandLineOption changeClosedDays(QStringLiteral("change-closed-days"), QString());
    const QCommandLineOption year(QStringLiteral("year"), QString(), QStringLiteral("YYYY"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption fingerprint(QStringLiteral("fingerprint"), QString(), QStringLiteral("HEX"));
    const QCommandLineOption skip(QStringLiteral("skip"), QString(), QStringLiteral("NUMBER"));
    parser.addOptions({dir, folder, ftp, keyText, keyTextFile, adminCode, adminCodeFile,
                       changeClosedDays, year, output, fingerprint, skip});
    const QStringList arguments = QCoreApplication::arguments();
    const bool ours = std::any_of(arguments.begin() + 1, arguments.end(),
                                  [](const QString &a) { return Commands.contains(a); });
    if (!ours)
        return std::nullopt;
    if (!parser.parse(arguments))
        return std::nullopt; // another command's options: its parser says what is wrong
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty() || !Commands.contains(positional.first()))
        return std::nullopt;
    const QString command = positional.first();
    const auto only = [&](QList<const QCommandLineOption *> allowed) -> QString {
        if (allowed.contains(&keyText))
            allowed << &keyTextFile;
        if (allowed.contains(&adminCode))
            allowed << &adminCodeFile;
        for (const QCommandLineOption *o : {&folder, &ftp, &keyText, &keyTextFile, &adminCode,
                                            &adminCodeFile, &changeClosedDays, &year, &output,
                                            &fingerprint, &skip})
            if (parser.isSet(*o) && !allowed.contains(o))
                return QStringLiteral("--%1 does not go with %2").arg(o->names().first(), command);
        return {};
    };
    const QString data = QDir(parser.value(dir)).absolutePath();
    QTextStream out(stdout);
    // The targets to read: the one given, or those set up.
    const auto chosen = [&] {
        if (parser.isSet(folder))
            return desk::offsite::Settings{QDir(parser.value(folder)).absolutePath(), false};
        return desk::offsite::settings(data);
    };
    try {
        if (command == QLatin1String("archive")) {
            if (const QString e = only({&year, &output}); !e.isEmpty())
                return line.wrong(e);
            bool ok = false;
            const int y = parser.value(year).toInt(&ok);
            if (positional.size() != 1 || !ok || parser.value(year).size() != 4 || !parser.isSet(output))
                return line.wrong(QStringLiteral("archive needs --year YYYY and --output DIR"));
            QString summary;
            if (const QString e = writeArchive(data, y, parser.value(output), summary); !e.isEmpty())
                return line.failed(e);
            out << summary << "\n";
            return 0;
        }
        if (command == QLatin1String("verify-archive")) {
            if (const QString e = only({&fingerprint}); !e.isEmpty())
                return line.wrong(e);
            const QByteArray hex = parser.value(fingerprint).toLatin1();
            if (positional.size() != 2 ||
                (parser.isSet(fingerprint) && !toolcli::isSha256Hex(hex)))
                return line.wrong(QStringLiteral("verify-archive needs the archive's DIR and optionally "
                                                 "--fingerprint with 64 hex digits"));
            QString report;
            const int status = verifyArchive(positional.at(1), parser.value(fingerprint), report);
            return toolcli::reported(status, report);
        }
        if (command == QLatin1String("numbers")) {
            if (const QString e = only({&skip, &adminCode}); !e.isEmpty())
                return line.wrong(e);
            if (positional.size() != 1 || !parser.isSet(skip))
                return line.wrong(QStringLiteral("numbers needs --skip NUMBER and --admin-code CODE"));
            AdminCommands commands(data);
            QString secretError;
            const std::optional<QString> code =
                adminSecret.read(parser, QStringLiteral("Admin code: "), true, secretError);
            if (!code)
                return adminSecret.isSet(parser) ? line.failed(secretError) : line.wrong(secretError);
            if (const QString e = commands.checkAdminCode(*code); !e.isEmpty())
                return line.failed(e);
            out << desk::offsite::skipNumber(data, parser.value(skip), QStringLiteral("Admin")) << "\n";
            return 0;
        }
        if (command == QLatin1String("offsite-init")) {
            if (const QString e = only({&folder, &ftp, &keyText}); !e.isEmpty())
                return line.wrong(e);
            if (positional.size() != 1 || (!parser.isSet(folder) && !parser.isSet(ftp)))
                return line.wrong(QStringLiteral("offsite-init needs --folder PATH and/or --ftp"));
            const bool hadKey = desk::offsite::hasKey(data);
            QString secretError;
            const std::optional<QString> keyGiven = keySecret.read(parser, {}, false, secretError);
            if (!secretError.isEmpty())
                return line.failed(secretError);
            const QByteArray given =
                keyGiven ? desk::sealed::keyFromRecoveryText(*keyGiven) : QByteArray();
            const QString text = desk::offsite::init(
                data, {parser.isSet(folder) ? QDir(parser.value(folder)).absolutePath() : QString(),
                       parser.isSet(ftp)},
                given);
            for (const auto &target : desk::offsite::targets(data, desk::offsite::settings(data)))
                out << "Cilj: " << target->label() << "\n";
            if (hadKey || keyGiven) {
                out << "Kopije se sifruju postojecim kljucem (podaci/rezerva-kljuc.txt).\n";
            } else {
                out << "Kljuc rezerve (zapisite ga i cuvajte van radnje; bez njega se kopija ne "
                       "moze vratiti):\n\n    "
                    << text << "\n\n";
            }
            return 0;
        }
        if (command == QLatin1String("offsite-list")) {
            if (const QString e = only({&folder, &keyText}); !e.isEmpty())
                return line.wrong(e);
            if (positional.size() != 1)
                return line.wrong(QStringLiteral("offsite-list takes no arguments"));
            const desk::offsite::Settings s = chosen();
            // With the key, each copy is read whole and its sealed moment shown.
            QByteArray listKey;
            QString secretError;
            const std::optional<QString> keyGiven = keySecret.read(parser, {}, false, secretError);
            if (!secretError.isEmpty())
                return line.failed(secretError);
            if (keyGiven)
                listKey = desk::sealed::keyFromRecoveryText(*keyGiven);
            else if (desk::offsite::hasKey(data))
                listKey = desk::offsite::key(data);
            if (!s.any())
                return line.failed(QStringLiteral("no off-site target is set up (offsite-init)"));
            // Each target on its own: one that cannot be read (a disk not mounted, a server
            // down) is said, and the others are still listed.
            int status = 0;
            for (const desk::offsite::Settings &one :
                 {desk::offsite::Settings{s.folder, false}, desk::offsite::Settings{QString(), s.ftp}}) {
                if (!one.any())
                    continue;
                try {
                    const auto target = std::move(desk::offsite::targets(data, one).front());
                    const QList<desk::offsite::Copy> copies = desk::offsite::list(data, one);
                    out << target->label() << ":" << (copies.isEmpty() ? " nema kopija\n" : "\n");
                    if (listKey.isEmpty()) {
                        for (const desk::offsite::Copy &c : copies)
                            out << "  " << c.name << "\n";
                        continue;
                    }
                    for (const desk::offsite::CopyLabel &c : desk::offsite::labels(data, one, listKey))
                        out << "  " << c.name << "  "
                            << (c.error.isEmpty() ? desk::offsite::copyQuestion(c.name, c.label)
                                                  : QStringLiteral("NE CITA SE: ") + c.error)
                            << "\n";
                } catch (const engine::EngineError &e) {
                    out.flush();
                    status = line.failed(e.message());
                }
            }
            return status;
        }
        // restore-offsite
        if (const QString e = only({&adminCode, &keyText, &folder, &changeClosedDays}); !e.isEmpty())
            return line.wrong(e);
        if (positional.size() != 2)
            return line.wrong(QStringLiteral("restore-offsite needs the copy's NAME and --admin-code CODE"));
        AdminCommands commands(data);
        QString secretError;
        const std::optional<QString> code =
            adminSecret.read(parser, QStringLiteral("Admin code: "), true, secretError);
        if (!code)
            return adminSecret.isSet(parser) ? line.failed(secretError) : line.wrong(secretError);
        if (const QString e = commands.checkAdminCode(*code); !e.isEmpty())
            return line.failed(e);
        const std::optional<QString> keyGiven = keySecret.read(parser, {}, false, secretError);
        if (!secretError.isEmpty())
            return line.failed(secretError);
        const QByteArray key = keyGiven ? desk::sealed::keyFromRecoveryText(*keyGiven)
                                        : desk::offsite::key(data);
        const QString name = positional.at(1);
        const desk::offsite::Settings s = chosen();
        if (!s.any())
            return line.failed(QStringLiteral("no off-site target is set up (offsite-init, or give "
                                              "--folder PATH)"));
        // The copy fetched, checked and unpacked beside the data; the journal it carries is
        // checked as any backup before anything is replaced.
        desk::offsite::OffsiteRestore restoring(data, s, name, key);
        out << restoring.question() << "\n";
        out.flush();
        const QString localPath = QDir(data).filePath(QStringLiteral("podaci/") + restoring.journalBackup());
        QString report;
        if (commands.verify(localPath, {}, report) != 0)
            return line.failed(QStringLiteral("the copy %1 does not verify, nothing changed:\n").arg(name) +
                               report);
        QStringList days;
        for (const desk::cashbook::ClosedDayDrift &d : restoring.closedDays())
            days += d.lines();
        if (!days.isEmpty() && !parser.isSet(changeClosedDays))
            return line.failed(QStringLiteral("%1 would change closed days, nothing changed (give "
                                              "--change-closed-days to restore it all the same):\n")
                                   .arg(name) +
                               days.join(u'\n'));
        const QString summary = restoring.run(QStringLiteral("Admin"), QDateTime::currentDateTime());
        out << "Kopija " << name << " proverena: " << report << "\n" << summary << "\n";
        if (!days.isEmpty())
            out << "Promenjeni zakljuceni dani:\n" << days.join(u'\n') << "\n";
        return 0;
    } catch (const engine::EngineError &e) {
        return line.failed(e.message());
    }
}

} // namespace admin

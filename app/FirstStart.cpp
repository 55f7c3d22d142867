// The first start: the offer to make a new data directory where the program started.
#include "FirstStart.h"

#include "FtpSettings.h"

#include "desk/DataDirectory.h"
#include "desk/OffsiteRestore.h"
#include "desk/SealedBackup.h"
#include "engine/EngineError.h"

#include "platform/Dialogs.h"
#include "platform/TextFiles.h"

#include <QDir>

namespace FirstStart {

namespace {

constexpr int MaxCodeLength = 5; // what the login page's code field takes

// The administrator's code, typed twice alike; nullopt when the user cancels either prompt.
std::optional<QString> askAdminCode(platform::Dialogs &dialogs)
{
    for (;;) {
        const std::optional<QString> code = dialogs.password(caption, codeLabel);
        if (!code)
            return std::nullopt;
        if (code->isEmpty() || code->size() > MaxCodeLength) {
            dialogs.message(badLength);
            continue;
        }
        const std::optional<QString> again = dialogs.password(caption, repeatLabel);
        if (!again)
            return std::nullopt;
        if (*again == *code)
            return code;
        dialogs.message(mismatch);
    }
}

// The key of the recovery text typed from paper; nullopt when the user cancels.
std::optional<QByteArray> askKey(platform::Dialogs &dialogs)
{
    for (;;) {
        const std::optional<QString> text = dialogs.password(restoreCaption, keyLabel);
        if (!text)
            return std::nullopt;
        try {
            return desk::sealed::keyFromRecoveryText(*text);
        } catch (const engine::EngineError &e) {
            dialogs.message(e.message());
        }
    }
}

// A new computer: a data directory made for the copy, the copy's folder set up with the
// typed key, then the choice and the restore. Whatever fails leaves no podaci/ behind.
Result restoreFirst(const QString &startDir, platform::Dialogs &dialogs)
{
    const QDir root(startDir);
    const std::optional<QString> folder = dialogs.prompt(restoreCaption, folderLabel, QString());
    if (!folder)
        return Result::Declined;
    std::optional<FtpSettings> server;
    if (folder->trimmed().isEmpty()) {
        // The copies on the shop's FTP server: the upload option's server, as it was set up.
        FtpSettings s;
        s.passive = true; // behind a router only passive mode works
        const std::optional<QString> address = dialogs.prompt(restoreCaption, QStringLiteral("FTP server:"), QString());
        if (!address || address->trimmed().isEmpty())
            return Result::Declined;
        const std::optional<QString> user = dialogs.prompt(restoreCaption, QStringLiteral("Korisnik:"), QString());
        if (!user)
            return Result::Declined;
        const std::optional<QString> password = dialogs.password(restoreCaption, QStringLiteral("Lozinka:"));
        if (!password)
            return Result::Declined;
        const std::optional<QString> port = dialogs.prompt(restoreCaption, QStringLiteral("Port:"), QStringLiteral("21"));
        if (!port)
            return Result::Declined;
        s.server = address->trimmed();
        s.user = *user;
        s.password = *password;
        const uint number = port->trimmed().toUInt();
        s.port = number >= 1 && number <= 65535 ? quint16(number) : 21;
        server = s;
    }
    const std::optional<QByteArray> key = askKey(dialogs);
    if (!key)
        return Result::Declined;
    const auto fail = [&](const QString &reason) {
        QDir(root.filePath(QStringLiteral("podaci"))).removeRecursively();
        dialogs.message(QStringLiteral("Podaci NISU vraceni: %1").arg(reason));
        return Result::Failed;
    };
    const desk::offsite::Settings targets =
        server ? desk::offsite::Settings{QString(), true}
               : desk::offsite::Settings{QDir(folder->trimmed()).absolutePath(), false};
    if (!server && !QDir(desk::offsite::folderOfCopies(targets.folder)).exists())
        return fail(QStringLiteral("u fascikli %1 nema kopija (dorvanta-rezerva)").arg(targets.folder));
    desk::InitOptions options;
    options.directory = root.absolutePath();
    // The copy brings the shop's users back, the administrator's code with them: the code the
    // directory is made with is never used.
    options.adminCode = QString::fromLatin1(desk::sealed::newKey().toHex().left(5));
    if (const QString error = desk::DataDirectory::create(options); !error.isEmpty())
        return fail(error);
    if (server) {
        // The copy brings the shop's own option file back; until then this one reaches it.
        QString error;
        if (!platform::saveLines(root.filePath(QStringLiteral("podaci/ftpop.txt")), server->toLines(), &error,
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return fail(error);
    }
    try {
        desk::offsite::init(root.absolutePath(), targets, *key);
    } catch (const engine::EngineError &e) {
        return fail(e.message());
    }
    const std::optional<QString> lines = chooseAndRestore(root.absolutePath(), targets, *key, dialogs,
                                                          QStringLiteral("Admin"),
                                                          QDateTime::currentDateTime());
    if (!lines) {
        QDir(root.filePath(QStringLiteral("podaci"))).removeRecursively();
        return Result::Declined;
    }
    dialogs.message(*lines + u'\n' + restored);
    return Result::Ready;
}

} // namespace

std::optional<QString> chooseAndRestore(const QString &dir, const desk::offsite::Settings &targets,
                                        const QByteArray &key, platform::Dialogs &dialogs,
                                        const QString &who, const QDateTime &now)
{
    try {
        std::optional<QList<desk::offsite::CopyLabel>> copies;
        {
            const platform::ProgressShown busy(dialogs, QStringLiteral("Citanje kopija van lokacije..."));
            copies = desk::offsite::labels(dir, targets, key);
        }
        QStringList lines;
        QStringList readable;
        for (const desk::offsite::CopyLabel &c : std::as_const(*copies)) {
            if (!c.error.isEmpty())
                continue;
            readable += c.name;
            lines += QStringLiteral("%1  %2").arg(readable.size()).arg(desk::offsite::copyQuestion(c.name, c.label));
        }
        if (readable.isEmpty()) {
            dialogs.message(copies->isEmpty()
                                ? QStringLiteral("Nema kopija van lokacije")
                                : QStringLiteral("Nijedna kopija se ne moze procitati ovim kljucem: ") +
                                      copies->first().error);
            return std::nullopt;
        }
        std::optional<int> chosen;
        while (!chosen) {
            const std::optional<QString> answer = dialogs.prompt(
                restoreCaption, QStringLiteral("Kopije van lokacije (najnovija prva):\n") +
                                    lines.join(u'\n') + QStringLiteral("\n\nBroj kopije:"),
                QStringLiteral("1"));
            if (!answer)
                return std::nullopt;
            bool ok = false;
            const int n = answer->trimmed().toInt(&ok);
            if (ok && n >= 1 && n <= readable.size())
                chosen = n - 1;
            else
                dialogs.message(QStringLiteral("Upisite broj od 1 do %1").arg(readable.size()));
        }
        desk::offsite::OffsiteRestore restoring(dir, targets, readable.at(*chosen), key);
        QString question = restoring.question();
        QStringList days;
        for (const desk::cashbook::ClosedDayDrift &d : restoring.closedDays())
            days += d.lines();
        if (!days.isEmpty())
            question += QStringLiteral("\n\nOva kopija MENJA ZAKLJUCENE DANE:\n") + days.join(u'\n');
        question += QStringLiteral("\n\nPromene posle tog vremena treba uneti ponovo iz naloga. "
                                   "Vratiti ovu kopiju?");
        if (!dialogs.confirm(question))
            return std::nullopt;
        const platform::ProgressShown busy(dialogs, QStringLiteral("Vracanje kopije u toku..."));
        return restoring.run(who, now);
    } catch (const engine::EngineError &e) {
        dialogs.message(QStringLiteral("Kopija NIJE vracena: ") + e.message());
        return std::nullopt;
    }
}

QString question(const QString &startDir)
{
    return QStringLiteral("U direktorijumu %1 nema podataka programa (podaci).\n"
                          "Napraviti ovde novu bazu podataka?")
        .arg(QDir::toNativeSeparators(QDir(startDir).absolutePath()));
}

Result run(const QString &startDir, platform::Dialogs &dialogs)
{
    const QDir root(startDir);
    if (root.exists(QStringLiteral("podaci")))
        return Result::Ready;
    if (!dialogs.confirmWithButtons(question(startDir), QStringLiteral("Da"),
                                    QStringLiteral("Ne"))) {
        if (!dialogs.confirmWithButtons(restoreQuestion, QStringLiteral("Da"), QStringLiteral("Ne")))
            return Result::Declined;
        return restoreFirst(startDir, dialogs);
    }
    const std::optional<QString> code = askAdminCode(dialogs);
    if (!code)
        return Result::Declined;

    desk::InitOptions options;
    options.directory = root.absolutePath();
    options.adminCode = *code;
    const QString error = desk::DataDirectory::create(options);
    if (!error.isEmpty()) {
        // podaci/ did not exist before, so whatever is in it now is a half-made directory
        // that would stop the next start from offering again.
        QDir(root.filePath(QStringLiteral("podaci"))).removeRecursively();
        dialogs.message(QStringLiteral("Baza podataka nije napravljena: %1").arg(error));
        return Result::Failed;
    }
    dialogs.message(created);
    return Result::Ready;
}

} // namespace FirstStart

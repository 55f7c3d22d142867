// The first start: the offer to make a new data directory where the program started.
#include "FirstStart.h"

#include "desk/DataDirectory.h"

#include "platform/Dialogs.h"

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

} // namespace

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
                                    QStringLiteral("Ne")))
        return Result::Declined;
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

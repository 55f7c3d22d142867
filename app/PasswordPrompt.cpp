// The engine's password prompt, answered through Dialogs::password: the caption names the
// request, the label names the table as the caller gave its path.
#include "PasswordPrompt.h"

#include "engine/Session.h"
#include "platform/Dialogs.h"

void installPasswordPrompt(engine::Session &session, platform::Dialogs &dialogs)
{
    session.setPasswordPrompt([&dialogs](const QString &tablePath) {
        return dialogs.password(QStringLiteral("Enter password"),
                                QStringLiteral("Password for table %1:").arg(tablePath));
    });
}

#pragma once

// One cash desk for the window benchmarks: the real main window over a session, with scripted
// dialogs, a fixed clock (07/12/2026 14:05:09) and fixed settings, in the current directory.

#include "Unit1.h"

#include "engine/Session.h"
#include "testsupport/FixedClock.h"
#include "testsupport/ScriptedDialogs.h"
#include "testsupport/FixedSettings.h"

#include <QLineEdit>

namespace bench {

// The parts the window is made of; the session has its date form before the window sees it.
struct DeskParts
{
    DeskParts() { session.setShortDateFormat(QStringLiteral("dd/MM/yyyy")); }
    engine::Session session;
    platform::ScriptedDialogs dialogs;
    platform::FixedClock clock{QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9))};
    platform::FixedSettings settings;
};

struct Desk : DeskParts
{
    Desk() : form(session, dialogs, clock, settings) {}

    // Logs in with `code`; true when the window reached `page`, else prints what it said.
    bool logIn(const QString &code, int page)
    {
        form.Edit1->setText(code);
        form.BitBtn9Click();
        if (form.pageIndex() == page)
            return true;
        std::fprintf(stderr, "login failed: %s\n",
                     qPrintable(dialogs.messages().join(QStringLiteral("; "))));
        return false;
    }

    TForm1 form;
};

} // namespace bench

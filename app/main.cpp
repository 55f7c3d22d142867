// The cash-desk program: one engine session for the whole process, the main window, then
// the event loop. The program takes no arguments; it works in the current directory.
#include "Unit1.h"

#include "engine/Session.h"
#include "platform/Clock.h"
#include "platform/QtDialogs.h"
#include "platform/SystemSettings.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dorvanta"));

    engine::Session session;
    platform::QtDialogs dialogs;
    platform::SystemClock clock;
    platform::LocaleSettings settings;

    TForm1 form1(session, dialogs, clock, settings);
    dialogs.setParent(&form1);
    form1.show();
    return app.exec();
}

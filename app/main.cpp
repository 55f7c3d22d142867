// The cash-desk program: one engine session for the whole process, the main window, the
// review window (hidden), then the event loop. The program takes no arguments; it works in the current directory.
#include "Unit1.h"
#include "Unit2.h"

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
    TForm2 form2(session, dialogs, clock, settings);
    form1.setReviewWindow(&form2);
    form1.show();
    return app.exec();
}

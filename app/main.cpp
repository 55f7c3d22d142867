// The cash-desk program: one engine session for the whole process, the main window, the
// review window (hidden), then the event loop. The program takes no arguments; it works in the
// current directory, and offers to create podaci/ there when it is missing (FirstStart).
#include "FirstStart.h"
#include "Unit1.h"
#include "Unit2.h"

#include "engine/Session.h"
#include "platform/Clock.h"
#include "platform/QtDialogs.h"
#include "platform/SystemSettings.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dorvanta"));
    QGuiApplication::setDesktopFileName(QStringLiteral("dorvanta"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("dorvanta")));

    engine::Session session;
    platform::QtDialogs dialogs;
    platform::SystemClock clock;
    platform::LocaleSettings settings;

    // No podaci/ here: offer to create the data directory before the login page.
    if (const auto start = FirstStart::run(QDir::currentPath(), dialogs);
        start != FirstStart::Result::Ready)
        return start == FirstStart::Result::Declined ? 0 : 1;

    TForm1 form1(session, dialogs, clock, settings);
    dialogs.setParent(&form1);
    TForm2 form2(session, dialogs, clock, settings);
    form1.setReviewWindow(&form2);
    form1.show();
    return app.exec();
}

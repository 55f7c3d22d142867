// The cash-desk program: one engine session for the whole process, the main window, the
// review window (hidden), then the event loop. It works in the current directory, and offers
// to create podaci/ there when it is missing (FirstStart). --help and --version answer on
// standard output before anything else: no window, no display and no podaci/ are needed.
#include "FirstStart.h"
#include "OffsiteFtp.h"
#include "Unit1.h"
#include "Unit2.h"

#include "engine/Session.h"
#include "platform/Clock.h"
#include "platform/QtDialogs.h"
#include "platform/SystemSettings.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

const char Usage[] =
    "Usage: dorvanta [--help] [--version]\n"
    "The cash-desk journal of a small shop; its user interface is Serbian.\n"
    "It works in the current directory: the tables are in podaci/ there, and when podaci/\n"
    "is missing it offers to create it. The system's short date form must be dd/MM/yyyy\n"
    "(LC_TIME=en_GB.UTF-8) with a decimal point (LC_NUMERIC=C); dorvanta-start sets both\n"
    "and starts the program in ~/Dorvanta or $DORVANTA_DIR.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n";

bool given(int argc, char **argv, const char *shortForm, const char *longForm)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], shortForm) == 0 || std::strcmp(argv[i], longForm) == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    // A file size limit (ulimit -f) fails a write with an error the program shows and cleans
    // up after, rather than end it in the middle of a backup with SIGXFSZ.
    std::signal(SIGXFSZ, SIG_IGN);
    if (given(argc, argv, "-h", "--help")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (given(argc, argv, "-v", "--version")) {
        std::fputs("dorvanta " DORVANTA_VERSION "\n", stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dorvanta"));
    QGuiApplication::setDesktopFileName(QStringLiteral("dorvanta"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("dorvanta")));
    offsite_ftp::registerFtpTarget();

    engine::Session session;
    platform::QtDialogs dialogs;
    platform::SystemClock clock;
    platform::LocaleSettings settings;

    // The window checks the system's date form first: with a wrong one it says so and the
    // program ends, without offering a data directory that it could not use.
    TForm1 form1(session, dialogs, clock, settings);
    // No podaci/ here: offer to create the data directory before the login page.
    if (form1.dateFormatAccepted()) {
        if (const auto start = FirstStart::run(QDir::currentPath(), dialogs);
            start != FirstStart::Result::Ready)
            return start == FirstStart::Result::Declined ? 0 : 1;
    }
    dialogs.setParent(&form1);
    TForm2 form2(session, dialogs, clock, settings);
    form1.setReviewWindow(&form2);
    form1.show();
    return app.exec();
}

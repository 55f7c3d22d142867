// dorvanta-init DIR [--admin-code CODE] [--demo] [--help] [--version]
// Creates a Dorvanta data directory DIR/podaci (see DataDirectory) and prints the login codes
// it set. Refuses, and changes nothing, when DIR/podaci already holds any of the tables.

#include "DataDirectory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

using dorvanta_init::DataDirectory;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dorvanta-init"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DORVANTA_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Creates DIR/podaci with the four empty tables, the user Admin and "
                       "ftpop.txt (upload off)."));
    const QCommandLineOption adminCode(
        QStringLiteral("admin-code"),
        QStringLiteral("The administrator's login code, 1 to 5 characters (default 12345)."),
        QStringLiteral("CODE"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Also add a cashier, activities and groups."));
    parser.addOption(adminCode);
    parser.addOption(demo);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("The directory to create podaci/ in."));

    // A wrong command line ends with its reason and status 2; --help and --version with 0.
    const auto wrong = [&err](const QString &reason) {
        err << "dorvanta-init: " << reason << "\n"
            << "usage: dorvanta-init DIR [--admin-code CODE] [--demo]  (--help for more)\n";
        return 2;
    };
    if (!parser.parse(app.arguments()))
        return wrong(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return wrong(positional.isEmpty() ? QStringLiteral("no directory given")
                                          : QStringLiteral("one directory only"));

    dorvanta_init::InitOptions options;
    options.directory = positional.first();
    options.demo = parser.isSet(demo);
    if (parser.isSet(adminCode))
        options.adminCode = parser.value(adminCode);
    // The login page takes at most five characters, so a longer code could never be typed.
    if (options.adminCode.isEmpty() || options.adminCode.size() > 5)
        return wrong(QStringLiteral("the admin code must be 1 to 5 characters long"));

    const QStringList existing = DataDirectory::existingTables(options.directory);
    if (!existing.isEmpty()) {
        err << "dorvanta-init: tables already exist, nothing changed: " << existing.join(", ")
            << "\n";
        return 1;
    }
    const QString error = DataDirectory::create(options);
    if (!error.isEmpty()) {
        err << "dorvanta-init: " << error << "\n";
        return 1;
    }
    out << "Created " << options.directory << "/podaci\n";
    out << "Admin code: " << options.adminCode << "\n";
    if (options.demo)
        out << "Cashier " << DataDirectory::demoCashierName()
            << " code: " << DataDirectory::demoCashierCode() << "\n";
    return 0;
}

// dorvanta-init DIR [--admin-code CODE] [--demo] [--help] [--version]
// Creates a Dorvanta data directory DIR/podaci (see DataDirectory) and prints the login codes
// it set. Refuses, and changes nothing, when DIR/podaci already holds any of the tables.
// With --server URI the tables are made on that PostgreSQL server and DIR/podaci/baza.txt
// names it; --server URI --import DIR copies DIR's tables to the server instead; --join URI DIR
// makes DIR a desk of the server.

#include "desk/DataDirectory.h"

#include "desk/CashBook.h"
#include "desk/DeskTables.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

using desk::DataDirectory;

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
                       "ftpop.txt (upload off).\n"
                       "  dorvanta-init --server URI [--admin-code CODE] [--demo] DIR\n"
                       "    the same with the tables on the PostgreSQL server URI "
                       "(DIR/podaci/baza.txt names it)\n"
                       "  dorvanta-init --server URI --import DIR\n"
                       "    copies DIR/podaci's tables to the server (its tables must be empty)\n"
                       "  dorvanta-init --join URI DIR\n"
                       "    makes DIR a desk of the server: writes DIR/podaci/baza.txt and "
                       "ftpop.txt"));
    const QCommandLineOption adminCode(
        QStringLiteral("admin-code"),
        QStringLiteral("The administrator's login code, 1 to 5 characters (default 12345)."),
        QStringLiteral("CODE"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Also add a cashier, activities and groups."));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Keep the tables on this PostgreSQL server."),
                                    QStringLiteral("URI"));
    const QCommandLineOption import(QStringLiteral("import"),
                                    QStringLiteral("With --server: copy DIR/podaci's tables there."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption join(QStringLiteral("join"),
                                  QStringLiteral("Make DIR a desk of the server at URI."),
                                  QStringLiteral("URI"));
    parser.addOptions({adminCode, demo, server, import, join});
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("The directory to create podaci/ in."));

    // A wrong command line ends with its reason and status 2; --help and --version with 0.
    const auto wrong = [&err](const QString &reason) {
        err << "dorvanta-init: " << reason << "\n"
            << "usage: dorvanta-init DIR [--admin-code CODE] [--demo] [--server URI]  "
               "(--help for more)\n";
        return 2;
    };
    // A refused or failed action ends with its reason and status 1.
    const auto failed = [&err](const QString &reason) {
        err << "dorvanta-init: " << reason << "\n";
        return 1;
    };
    if (!parser.parse(app.arguments()))
        return wrong(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return wrong(QStringLiteral("one directory only"));

    if (parser.isSet(import)) {
        if (!parser.isSet(server) || !positional.isEmpty() || parser.isSet(join))
            return wrong(QStringLiteral("--import DIR goes with --server URI and nothing else"));
        const QString importDir = parser.value(import);
        if (const QString error = DataDirectory::importToServer(parser.value(server), importDir);
            !error.isEmpty())
            return failed(error);
        out << "Copied the tables of " << importDir << "/podaci to the server\n";
        return 0;
    }
    if (positional.isEmpty())
        return wrong(QStringLiteral("no directory given"));
    if (parser.isSet(join)) {
        if (parser.isSet(server))
            return wrong(QStringLiteral("--join and --server do not go together"));
        if (const QString error = DataDirectory::join(parser.value(join), positional.first());
            !error.isEmpty())
            return failed(error);
        if (const QString error = desk::cashbook::prepareDirectory(positional.first(),
                                                                   desk::tablePassword());
            !error.isEmpty())
            return failed(error);
        out << positional.first() << "/podaci now keeps its tables on the server\n";
        return 0;
    }

    desk::InitOptions options;
    options.directory = positional.first();
    options.demo = parser.isSet(demo);
    options.server = parser.value(server);
    if (parser.isSet(adminCode))
        options.adminCode = parser.value(adminCode);
    // The login page takes at most five characters, so a longer code could never be typed.
    if (options.adminCode.isEmpty() || options.adminCode.size() > 5)
        return wrong(QStringLiteral("the admin code must be 1 to 5 characters long"));

    const QStringList existing = DataDirectory::existingTables(options.directory);
    if (!existing.isEmpty())
        return failed(QStringLiteral("tables already exist, nothing changed: ") +
                      existing.join(QStringLiteral(", ")));
    if (const QString error = DataDirectory::create(options); !error.isEmpty())
        return failed(error);
    // The cash book's tables beside the journal (document numbers, day closes).
    if (const QString error = desk::cashbook::prepareDirectory(options.directory,
                                                               desk::tablePassword());
        !error.isEmpty())
        return failed(error);
    out << "Created " << options.directory << "/podaci\n";
    out << "Admin code: " << options.adminCode << "\n";
    if (options.demo)
        out << "Cashier " << DataDirectory::demoCashierName()
            << " code: " << DataDirectory::demoCashierCode() << "\n";
    return 0;
}

// dorvanta-init DIR [--admin-code CODE] [--demo]
// Creates a Dorvanta data directory DIR/podaci (see DataDirectory) and prints the login codes
// it set. Refuses, and changes nothing, when DIR/podaci already holds any of the tables.
// With --server URI the tables are made on that PostgreSQL server and DIR/podaci/baza.txt
// names it; --server URI --import DIR copies DIR's tables to the server instead; --join URI DIR
// makes DIR a desk of the server.

#include "DataDirectory.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

using dorvanta_init::DataDirectory;

namespace {

int usage(QTextStream &err)
{
    err << "usage: dorvanta-init DIR [--admin-code CODE] [--demo]\n"
           "  creates DIR/podaci with the four empty tables, the user Admin (code 12345 unless\n"
           "  --admin-code is given) and ftpop.txt; --demo adds a cashier, activities and groups\n"
           "       dorvanta-init --server URI [--admin-code CODE] [--demo] DIR\n"
           "  the same with the tables on the PostgreSQL server URI (DIR/podaci/baza.txt)\n"
           "       dorvanta-init --server URI --import DIR\n"
           "  copies DIR/podaci's tables to the server (its tables must be empty)\n"
           "       dorvanta-init --join URI DIR\n"
           "  makes DIR a desk of the server: writes DIR/podaci/baza.txt and ftpop.txt\n";
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    dorvanta_init::InitOptions options;
    QString importDir;
    QString joinUri;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--demo")) {
            options.demo = true;
        } else if (arg == QLatin1String("--admin-code")) {
            if (i + 1 >= args.size())
                return usage(err);
            options.adminCode = args[++i];
        } else if (arg == QLatin1String("--server") || arg == QLatin1String("--import") ||
                   arg == QLatin1String("--join")) {
            if (i + 1 >= args.size())
                return usage(err);
            (arg == QLatin1String("--server") ? options.server
             : arg == QLatin1String("--import") ? importDir
                                                 : joinUri) = args[++i];
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            usage(out);
            return 0;
        } else if (arg.startsWith(QLatin1Char('-')) || !options.directory.isEmpty()) {
            return usage(err);
        } else {
            options.directory = arg;
        }
    }
    if (!importDir.isEmpty()) {
        if (options.server.isEmpty() || !options.directory.isEmpty())
            return usage(err);
        const QString error = DataDirectory::importToServer(options.server, importDir);
        if (!error.isEmpty()) {
            err << "dorvanta-init: " << error << "\n";
            return 1;
        }
        out << "Copied the tables of " << importDir << "/podaci to the server\n";
        return 0;
    }
    if (!joinUri.isEmpty()) {
        if (!options.server.isEmpty() || options.directory.isEmpty())
            return usage(err);
        const QString error = DataDirectory::join(joinUri, options.directory);
        if (!error.isEmpty()) {
            err << "dorvanta-init: " << error << "\n";
            return 1;
        }
        out << options.directory << "/podaci now keeps its tables on the server\n";
        return 0;
    }
    if (options.directory.isEmpty())
        return usage(err);
    // The login page takes at most five characters, so a longer code could never be typed.
    if (options.adminCode.isEmpty() || options.adminCode.size() > 5) {
        err << "dorvanta-init: the admin code must be 1 to 5 characters long\n";
        return 2;
    }

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

// dorvanta-init DIR [--admin-code CODE] [--demo]
// Creates a Dorvanta data directory DIR/podaci (see DataDirectory) and prints the login codes
// it set. Refuses, and changes nothing, when DIR/podaci already holds any of the tables.

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
           "  --admin-code is given) and ftpop.txt; --demo adds a cashier, activities and groups\n";
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    dorvanta_init::InitOptions options;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--demo")) {
            options.demo = true;
        } else if (arg == QLatin1String("--admin-code")) {
            if (i + 1 >= args.size())
                return usage(err);
            options.adminCode = args[++i];
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            usage(out);
            return 0;
        } else if (arg.startsWith(QLatin1Char('-')) || !options.directory.isEmpty()) {
            return usage(err);
        } else {
            options.directory = arg;
        }
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

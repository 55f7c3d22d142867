// dorvanta-init DIR [--admin-code CODE] [--demo] [--help] [--version]
// Creates a Dorvanta data directory DIR/podaci (see DataDirectory) and prints the login codes
// it set. Refuses, and changes nothing, when DIR/podaci already holds any of the tables.
// With --server URI the tables are made on that PostgreSQL server and DIR/podaci/baza.txt
// names it; --server URI --import DIR copies DIR's tables to the server instead; --join URI DIR
// makes DIR a desk of the server; --server URI --roles sets up the administrator's and the
// desks' roles there. A password the server asks for and the URI lacks is read from the
// terminal (not echoed) or, when standard input is no terminal, as one line of it; none need
// appear on the command line, and no URI is shown with its password.

#include "desk/DataDirectory.h"

#include "desk/CashBook.h"
#include "desk/JournalChain.h"
#include "desk/DeskTables.h"
#include "desk/SigningKey.h"
#include "engine/EngineError.h"
#include "engine/ServerLink.h"
#include "engine/ServerRoles.h"
#include "tools/common/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QStringList>
#include <QTextStream>

#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <string>

using desk::DataDirectory;

namespace {

// One line from the terminal without echo (after `prompt` on standard error), or from
// standard input when it is no terminal.
QString readSecret(const QString &prompt)
{
    std::string line;
    if (::isatty(STDIN_FILENO)) {
        std::cerr << prompt.toStdString() << std::flush;
        termios old{};
        ::tcgetattr(STDIN_FILENO, &old);
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        std::getline(std::cin, line);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
        std::cerr << "\n";
    } else {
        std::getline(std::cin, line);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

// `uri`, with the password read as above when the server asks for one the URI, PGPASSFILE
// and ~/.pgpass do not give.
QString withAskedPassword(const QString &uri)
{
    if (!engine::serverlink::asksForPassword(uri))
        return uri;
    return engine::serverlink::withPassword(
        uri, readSecret(QStringLiteral("Password for %1: ").arg(engine::serverlink::withoutPassword(uri))));
}

// The rights of the desks' role: reading the master tables (of the users, their names only),
// the password records, the shared settings and the exchange rates (the administrator saves
// them), appending to the journal (the server gives each record its id), the posting keys and
// the cash counts, and
// reading the cash book's other tables, which a desk appends to only through the server's
// functions (desk::server::setUpStatements(), run after these grants); nothing else. No row a
// desk can reach may be changed or deleted by it: what removed records leave behind is cleared
// by the administrator's acts (restore, clear, import and setting the roles up), and the
// counters are kept by appending (desk::cashbook::tidy()).
QList<engine::ServerGrant> deskGrants()
{
    const QString read = QStringLiteral("SELECT");
    const QString append = QStringLiteral("SELECT, INSERT");
    return {{QStringLiteral("korisnici"), QStringLiteral("SELECT (id, imeiprezime)")},
            {QStringLiteral("aktivnost"), read},
            {QStringLiteral("grupe"), read},              {QStringLiteral("dorvanta_password"), read},
            {QStringLiteral("promet"), append},           {QStringLiteral("dorvanta_kljuc"), append},
            {QStringLiteral("dorvanta_dokument"), read},  {QStringLiteral("dorvanta_brojac"), read},
            {QStringLiteral("dorvanta_izdat"), read},     {QStringLiteral("dorvanta_zakljucak"), read},
            {QStringLiteral("dorvanta_lanac"), read},     {QStringLiteral("dorvanta_dnevnik"), read},
            {QStringLiteral("dorvanta_popis"), append},   {QStringLiteral("dorvanta_popis_apoen"), append},
            {QStringLiteral("dorvanta_postavke"), read},  {QStringLiteral("dorvanta_prijava_zeton"), QString()},
            {QStringLiteral("dorvanta_kurs"), read}};
}

// Writes a baza.txt naming `uri`, readable by its owner only.
bool writeBaza(const QString &path, const QString &uri)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return file.write(uri.toUtf8() + '\n') > 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const toolcli::CommandLine line(
        "dorvanta-init",
        QStringLiteral("usage: dorvanta-init DIR [--admin-code CODE] [--demo] [--server URI]  "
                       "(--help for more)\n"));
    QTextStream out(stdout);

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
                       "ftpop.txt\n"
                       "  dorvanta-init --server URI --roles\n"
                       "    makes the roles dorvanta_admin (owns the tables) and dorvanta_kasa (the "
                       "desks': reads, and appends to the journal); asks for their passwords\n"
                       "A password the server asks for is read from the terminal, or from standard "
                       "input (one line each), unless PGPASSFILE or ~/.pgpass gives it."));
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
    const QCommandLineOption roles(QStringLiteral("roles"),
                                   QStringLiteral("With --server: set up the administrator's and "
                                                  "the desks' roles."));
    parser.addOptions({adminCode, demo, server, import, join, roles});
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("The directory to create podaci/ in."));
    // A wrong command line ends with its reason and status 2, a refused or failed action with
    // its reason and status 1; --help and --version with 0.
    if (const std::optional<int> end = line.parse(parser))
        return *end;
    const auto wrong = [&line](const QString &reason) { return line.wrong(reason); };
    const auto failed = [&line](const QString &reason) { return line.failed(reason); };
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return wrong(QStringLiteral("one directory only"));

    if (parser.isSet(roles)) {
        if (!parser.isSet(server) || !positional.isEmpty() || parser.isSet(join) || parser.isSet(import))
            return wrong(QStringLiteral("--roles goes with --server URI and nothing else"));
        const QString uri = withAskedPassword(parser.value(server));
        const engine::ServerRole admin{QStringLiteral("dorvanta_admin"),
                                       readSecret(QStringLiteral("New password for dorvanta_admin: "))};
        const engine::ServerRole cashier{QStringLiteral("dorvanta_kasa"),
                                      readSecret(QStringLiteral("New password for dorvanta_kasa: "))};
        if (admin.password.isEmpty() || cashier.password.isEmpty())
            return failed(QStringLiteral("a role needs a password, nothing changed"));
        // The cash book's own tables are made, tidied and the journal's records numbered first,
        // so that the desks' role gets its rights on them too and finds nothing it would have
        // to remove.
        QTemporaryDir probe;
        if (!probe.isValid() || !QDir().mkpath(probe.filePath(QStringLiteral("podaci"))) ||
            !writeBaza(probe.filePath(QStringLiteral("podaci/baza.txt")), uri))
            return failed(QStringLiteral("cannot make a temporary directory"));
        desk::placeTablesOnServer();
        if (QString error; !desk::cashbook::tidyDirectory(probe.path(), desk::tablePassword(), &error))
            return failed(engine::serverlink::withoutSecret(error, uri));
        try {
            engine::setUpServerRoles(uri, admin, cashier, deskGrants(),
                                     desk::server::setUpStatements());
        } catch (const engine::EngineError &e) {
            return failed(engine::serverlink::withoutSecret(e.message(), uri));
        }
        if (QString error; !desk::chain::logDirectory(
                probe.path(), desk::tablePassword(), QStringLiteral("SERVER"),
                QStringLiteral("Uloge dorvanta_admin i dorvanta_kasa postavljene na serveru ") +
                    engine::serverlink::withoutSecret(uri, uri), &error))
            return failed(engine::serverlink::withoutSecret(error, uri));
        out << "The administrator (master data, clearing, restoring): "
            << engine::serverUriAs(uri, admin.name) << "\n"
            << "Every cashier desk (dorvanta-init --join): " << engine::serverUriAs(uri, cashier.name)
            << "\n";
        return 0;
    }
    if (parser.isSet(import)) {
        if (!parser.isSet(server) || !positional.isEmpty() || parser.isSet(join))
            return wrong(QStringLiteral("--import DIR goes with --server URI and nothing else"));
        const QString importDir = parser.value(import);
        const QString uri = withAskedPassword(parser.value(server));
        if (const QString error = DataDirectory::importToServer(uri, importDir); !error.isEmpty())
            return failed(error);
        // The imported journal gets its numbers and its chain on the server now, as one the
        // server had made before (its chain begun over no records) would not at a desk's start.
        QTemporaryDir probe;
        if (!probe.isValid() || !QDir().mkpath(probe.filePath(QStringLiteral("podaci"))) ||
            !writeBaza(probe.filePath(QStringLiteral("podaci/baza.txt")), uri))
            return failed(QStringLiteral("cannot make a temporary directory"));
        QString error;
        if (!desk::cashbook::tidyDirectory(probe.path(), desk::tablePassword(), &error) ||
            !desk::chain::chainAppended(probe.path(), desk::tablePassword(), QStringLiteral("UVOZ"),
                                        QStringLiteral("Uvezeno %1 zapisa iz ") + importDir, &error))
            return failed(engine::serverlink::withoutSecret(error, uri));
        out << "Copied the tables of " << importDir << "/podaci to the server\n";
        return 0;
    }
    if (positional.isEmpty())
        return wrong(QStringLiteral("no directory given"));
    if (parser.isSet(join)) {
        if (parser.isSet(server))
            return wrong(QStringLiteral("--join and --server do not go together"));
        if (const QString error = DataDirectory::join(withAskedPassword(parser.value(join)), positional.first());
            !error.isEmpty())
            return failed(error);
        if (QString error; !desk::cashbook::prepareDirectory(positional.first(),
                                                                   desk::tablePassword(), &error))
            return failed(error);
        if (QString error; !desk::chain::logDirectory(
                positional.first(), desk::tablePassword(), QStringLiteral("SERVER"),
                QStringLiteral("Kasa prikljucena na server ") +
                    engine::serverlink::withoutSecret(parser.value(join), parser.value(join)), &error))
            return failed(error);
        out << positional.first() << "/podaci now keeps its tables on the server\n";
        return 0;
    }

    desk::InitOptions options;
    options.directory = positional.first();
    options.demo = parser.isSet(demo);
    if (parser.isSet(server))
        options.server = withAskedPassword(parser.value(server));
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
    if (QString error; !desk::cashbook::prepareDirectory(options.directory,
                                                               desk::tablePassword(), &error))
        return failed(error);
    // The shop's key for signing its yearly archives.
    try {
        desk::signing::ensureKey(options.directory);
    } catch (const engine::EngineError &e) {
        return failed(e.message());
    }
    if (!options.server.isEmpty()) {
        if (QString error; !desk::chain::logDirectory(
                options.directory, desk::tablePassword(), QStringLiteral("SERVER"),
                QStringLiteral("Tabele napravljene na serveru ") +
                    engine::serverlink::withoutSecret(options.server, options.server), &error))
            return failed(error);
    }
    out << "Created " << options.directory << "/podaci\n";
    out << "Admin code: " << options.adminCode << "\n";
    if (options.demo)
        out << "Cashier " << DataDirectory::demoCashierName()
            << " code: " << DataDirectory::demoCashierCode() << "\n";
    return 0;
}

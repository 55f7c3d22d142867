// DataDirectory: creates the tables through the engine (so they carry the password record and
// the documented layout), fills them through engine::Table, and writes ftpop.txt atomically,
// readable by its owner only since it will later hold the FTP password.

#include "desk/DataDirectory.h"

#include "desk/CashBook.h"
#include "desk/DeskTables.h"
#include "desk/JournalColumns.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableStores.h"
#include "engine/Transaction.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>

namespace desk {

namespace {

void addUser(engine::Session &session, const QString &code, const QString &name)
{
    engine::Table users(session, QStringLiteral("podaci/korisnici.db"));
    users.open();
    users.insert();
    users.setFieldText(columns::UserCode, code);
    users.setFieldText(columns::UserName, name);
    users.post();
    users.close();
}

// Writes a file of the data directory readable by its owner only; "" or the reason.
QString writeOptionFile(const QString &path, const QByteArray &content)
{
    QString error;
    if (!platform::writeFileAtomically(path, content, &error,
                                       QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return QStringLiteral("cannot write %1: %2").arg(path, error);
    return {};
}

} // namespace

void DataDirectory::addRecords(engine::Session &session, const QString &table,
                               const QString &field, const QStringList &values)
{
    engine::Table t(session, QStringLiteral("podaci/") + table);
    t.open();
    for (const QString &value : values) {
        t.insert();
        t.setFieldText(field, value);
        t.post();
    }
    t.close();
}

QStringList DataDirectory::existingTables(const QString &directory)
{
    placeTablesOnServer();
    QStringList existing;
    const QDir data(QDir(directory).filePath(QStringLiteral("podaci")));
    try {
        for (const engine::TableSchema &schema : tableSchemas()) {
            const QString file = data.filePath(schema.name() + QStringLiteral(".db"));
            if (engine::tableExists(file))
                existing << file;
        }
    } catch (const engine::EngineError &) {
        return {};
    }
    return existing;
}

QString DataDirectory::join(const QString &uri, const QString &directory)
{
    placeTablesOnServer();
    const QString dataPath = QDir(directory).filePath(QStringLiteral("podaci"));
    const bool hadData = QDir(dataPath).exists();
    if (!QDir().mkpath(dataPath))
        return QStringLiteral("cannot create the directory %1").arg(dataPath);
    const QDir data(dataPath);
    const QString baza = data.filePath(QStringLiteral("baza.txt"));
    // A refused join leaves the desk as it was, also the server it named before.
    std::optional<QByteArray> previous;
    if (QFile old(baza); old.exists()) {
        if (!old.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read %1").arg(baza);
        previous = old.readAll();
    }
    QString error = writeOptionFile(baza, uri.toUtf8() + '\n');
    if (!error.isEmpty())
        return error;
    try {
        if (!engine::tableExists(data.filePath(QStringLiteral("promet.db"))))
            error = QStringLiteral("the server has no Dorvanta tables (make them with --server)");
        else
            for (const engine::TableSchema &schema : tableSchemas())
                schema.checkTableFile(data.filePath(schema.name() + QStringLiteral(".db")),
                                      tablePassword());
    } catch (const engine::EngineError &e) {
        error = e.message();
    }
    if (!error.isEmpty()) {
        if (previous)
            writeOptionFile(baza, *previous);
        else
            QFile::remove(baza);
        if (!hadData)
            QDir().rmdir(dataPath);
        return error;
    }
    const QString ftpOptions = data.filePath(QStringLiteral("ftpop.txt"));
    return QFile::exists(ftpOptions) ? QString() : writeOptionFile(ftpOptions, "0\r\n");
}

QString DataDirectory::importToServer(const QString &uri, const QString &directory)
{
    placeTablesOnServer();
    const QDir data(QDir(directory).filePath(QStringLiteral("podaci")));
    QStringList files;
    for (const engine::TableSchema &schema : tableSchemas()) {
        const QString file = data.filePath(schema.name() + QStringLiteral(".db"));
        if (!QFile::exists(file))
            return QStringLiteral("%1 does not exist").arg(file);
        files << file;
    }
    if (data.exists(QStringLiteral("baza.txt")))
        return QStringLiteral("%1 already keeps its tables on a server").arg(data.path());
    try {
        engine::importTablesToServer(uri, files);
    } catch (const engine::EngineError &e) {
        return e.message();
    }
    // The imported records keep their document numbers, those without get theirs in stored
    // order, and the closed days stay closed, as in the table files. The server's journal is
    // reached through a directory of its own that names it.
    QTemporaryDir probe;
    const QString notNumbered = QStringLiteral("the tables are on the server, but the document "
                                               "numbers are not: ");
    if (!probe.isValid() || !QDir().mkpath(probe.filePath(QStringLiteral("podaci"))))
        return notNumbered + QStringLiteral("cannot make a temporary directory");
    if (const QString error =
            writeOptionFile(probe.filePath(QStringLiteral("podaci/baza.txt")), uri.toUtf8() + '\n');
        !error.isEmpty())
        return notNumbered + error;
    engine::Session here;
    here.setBaseDir(QDir(directory).absolutePath());
    here.setPassword(tablePassword());
    engine::Session there;
    there.setBaseDir(probe.path());
    there.setPassword(tablePassword());
    try {
        engine::Table source(here, QStringLiteral("podaci/promet.db"));
        engine::Table target(there, QStringLiteral("podaci/promet.db"));
        source.open();
        target.open();
        cashbook::copyBook(source, target);
        target.runBeside(QStringLiteral("ANALYZE dorvanta_dokument"));
    } catch (const engine::EngineError &e) {
        return notNumbered + e.message();
    }
    return {};
}

namespace {

// Removes tables made by a failed creation; a failure to remove one leaves it for the reason
// already being reported.
void removeTables(const QStringList &tables)
{
    for (const QString &table : tables) {
        try {
            engine::removeTable(table);
        } catch (const engine::EngineError &) {
        }
    }
}

} // namespace

QString DataDirectory::createTables(const QString &directory)
{
    placeTablesOnServer();
    const QString dataPath = QDir(directory).filePath(QStringLiteral("podaci"));
    if (!QDir().mkpath(dataPath))
        return QStringLiteral("cannot create the directory %1").arg(dataPath);
    const QDir data(dataPath);
    QStringList created;
    try {
        for (const engine::TableSchema &schema : tableSchemas()) {
            const QString file = data.filePath(schema.name() + QStringLiteral(".db"));
            schema.createTable(file, tablePassword());
            created << file;
        }
    } catch (const engine::EngineError &e) {
        removeTables(created);
        return e.message();
    }
    return {};
}

QString DataDirectory::create(const InitOptions &options)
{
    placeTablesOnServer();
    const QDir root(options.directory);
    const QString dataPath = root.filePath(QStringLiteral("podaci"));
    if (!QDir().mkpath(dataPath))
        return QStringLiteral("cannot create the directory %1").arg(dataPath);
    const QDir data(dataPath);
    const QString baza = data.filePath(QStringLiteral("baza.txt"));
    if (!options.server.isEmpty()) {
        if (const QString error = writeOptionFile(baza, options.server.toUtf8() + '\n');
            !error.isEmpty())
            return error;
    }
    const auto undo = [&] {
        removeTables(existingTables(options.directory));
        if (!options.server.isEmpty())
            QFile::remove(baza);
    };
    if (const QString error = createTables(options.directory); !error.isEmpty()) {
        if (!options.server.isEmpty())
            QFile::remove(baza);
        return error;
    }

    try {
        engine::Session session;
        session.setBaseDir(root.absolutePath());
        session.setPassword(tablePassword());
        addUser(session, options.adminCode, QStringLiteral("Admin"));
        if (options.demo) {
            addUser(session, demoCashierCode(), demoCashierName());
            addRecords(session, QStringLiteral("aktivnost.db"), columns::Activity,
                       {QStringLiteral("Uplata pazara"), QStringLiteral("Kupovina goriva"),
                        QStringLiteral("Placanje racuna"), QStringLiteral("Kancelarijski materijal"),
                        QStringLiteral("Zamena valute")});
            addRecords(session, QStringLiteral("grupe.db"), columns::GroupName,
                       {QStringLiteral("Pazar"), QStringLiteral("Gorivo"),
                        QStringLiteral("Racuni"), QStringLiteral("Kancelarija"),
                        QStringLiteral("Ostalo")});
        }
        session.close();
    } catch (const engine::EngineError &e) {
        undo();
        return e.message();
    }

    try {
        identity(options.directory);
    } catch (const engine::EngineError &e) {
        undo();
        return e.message();
    }

    const QString ftpOptions = data.filePath(QStringLiteral("ftpop.txt"));
    return QFile::exists(ftpOptions) ? QString()
                                     : writeOptionFile(ftpOptions, QByteArrayLiteral("0\r\n"));
}

namespace {

const QString IdentityKey = QStringLiteral("IDENTITET");

void storeIdentity(engine::Table &journal, const QString &id)
{
    journal.runBeside(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS dorvanta_postavke (KLJUC text PRIMARY KEY, VREDNOST text)"));
    journal.runBeside(QStringLiteral("INSERT INTO dorvanta_postavke (KLJUC, VREDNOST) VALUES (?1, ?2) "
                                     "ON CONFLICT (KLJUC) DO UPDATE SET VREDNOST = excluded.VREDNOST"),
                      {IdentityKey, id});
}

} // namespace

QString DataDirectory::identity(const QString &directory)
{
    QString id;
    const auto stored = [](engine::Table &journal) {
        return journal
            .runBeside(QStringLiteral("SELECT VREDNOST FROM dorvanta_postavke WHERE KLJUC = ?1"),
                       {IdentityKey})
            .value(0)
            .value(0)
            .toString();
    };
    onJournalOf(directory, [&](engine::Table &journal) {
        // Read first: a desk of a server, which may not create tables, reads the one the
        // administrator's set-up made.
        try {
            id = stored(journal);
        } catch (const engine::EngineError &) {
        }
        if (!id.isEmpty())
            return;
        engine::Transaction transaction(journal);
        journal.runBeside(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS dorvanta_postavke (KLJUC text PRIMARY KEY, VREDNOST text)"));
        id = stored(journal);
        if (id.isEmpty()) {
            QByteArray bytes(16, '\0');
            QFile random(QStringLiteral("/dev/urandom"));
            if (!random.open(QIODevice::ReadOnly) || random.read(bytes.data(), 16) != 16)
                throw engine::EngineError(engine::EngineError::Kind::File, QStringLiteral("/dev/urandom se ne moze procitati"));
            id = QString::fromLatin1(bytes.toHex());
            storeIdentity(journal, id);
        }
        transaction.commit();
    });
    return id;
}

void DataDirectory::adoptIdentity(const QString &directory, const QString &id)
{
    onJournalOf(directory, [&](engine::Table &journal) {
        engine::Transaction transaction(journal);
        storeIdentity(journal, id);
        transaction.commit();
    });
}

} // namespace desk

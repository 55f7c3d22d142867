// DataDirectory: creates the tables through the engine (so they carry the password record and
// the documented layout), fills them through engine::Table, and writes ftpop.txt atomically,
// readable by its owner only since it will later hold the FTP password.

#include "DataDirectory.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableSchema.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>

namespace dorvanta_init {

namespace {

const QList<engine::TableSchema> &schemas()
{
    static const QList<engine::TableSchema> all = {
        engine::TableSchema::korisnici(), engine::TableSchema::aktivnost(),
        engine::TableSchema::promet(), engine::TableSchema::grupe()};
    return all;
}

void addUser(engine::Session &session, const QString &code, const QString &name)
{
    engine::Table users(session, QStringLiteral("podaci/korisnici.db"));
    users.open();
    users.insert();
    users.setFieldText(QStringLiteral("SIFRA"), code);
    users.setFieldText(QStringLiteral("IMEIPREZIME"), name);
    users.post();
    users.close();
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
    QStringList existing;
    const QDir data(QDir(directory).filePath(QStringLiteral("podaci")));
    for (const engine::TableSchema &schema : schemas()) {
        const QString file = schema.name() + QStringLiteral(".db");
        if (data.exists(file))
            existing << data.filePath(file);
    }
    return existing;
}

QString DataDirectory::createTables(const QString &directory)
{
    const QString dataPath = QDir(directory).filePath(QStringLiteral("podaci"));
    if (!QDir().mkpath(dataPath))
        return QStringLiteral("cannot create the directory %1").arg(dataPath);
    const QDir data(dataPath);
    QStringList created;
    try {
        for (const engine::TableSchema &schema : schemas()) {
            const QString file = data.filePath(schema.name() + QStringLiteral(".db"));
            schema.createTable(file, tablePassword());
            created << file;
        }
    } catch (const engine::EngineError &e) {
        for (const QString &file : std::as_const(created))
            QFile::remove(file);
        return e.message();
    }
    return {};
}

QString DataDirectory::create(const InitOptions &options)
{
    const QDir root(options.directory);
    if (const QString error = createTables(options.directory); !error.isEmpty())
        return error;
    const QDir data(root.filePath(QStringLiteral("podaci")));

    try {
        engine::Session session;
        session.setBaseDir(root.absolutePath());
        session.setPassword(tablePassword());
        addUser(session, options.adminCode, QStringLiteral("Admin"));
        if (options.demo) {
            addUser(session, demoCashierCode(), demoCashierName());
            addRecords(session, QStringLiteral("aktivnost.db"), QStringLiteral("AKTIVNOST"),
                       {QStringLiteral("Uplata pazara"), QStringLiteral("Kupovina goriva"),
                        QStringLiteral("Placanje racuna"), QStringLiteral("Kancelarijski materijal"),
                        QStringLiteral("Zamena valute")});
            addRecords(session, QStringLiteral("grupe.db"), QStringLiteral("GRUPA"),
                       {QStringLiteral("Pazar"), QStringLiteral("Gorivo"),
                        QStringLiteral("Racuni"), QStringLiteral("Kancelarija"),
                        QStringLiteral("Ostalo")});
        }
        session.close();
    } catch (const engine::EngineError &e) {
        for (const QString &file : existingTables(options.directory))
            QFile::remove(file);
        return e.message();
    }

    const QString ftpOptions = data.filePath(QStringLiteral("ftpop.txt"));
    if (!QFile::exists(ftpOptions)) {
        QString error;
        if (!platform::writeFileAtomically(ftpOptions, QByteArrayLiteral("0\r\n"), &error,
                                           QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return QStringLiteral("cannot write %1: %2").arg(ftpOptions, error);
    }
    return {};
}

} // namespace dorvanta_init

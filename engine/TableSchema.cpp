// TableSchema: the four standard tables; creating a protected table file in one transaction
// (nothing is left behind on failure); checking a file against a layout and a password; and
// copying a table file consistently with SQLite's backup API into a temporary file that is
// renamed over the target.

#include "engine/TableSchema.h"

#include "engine/EngineError.h"
#include "engine/PasswordRecord.h"
#include "engine/TableFile.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace engine {

namespace {

FieldDef text(const char *name)
{
    return {QString::fromLatin1(name), FieldType::Text};
}

FieldDef money(const char *name)
{
    return {QString::fromLatin1(name), FieldType::Money};
}

// Marks the file as a table file for tools that look at the header ("DVNT").
constexpr int applicationId = 0x44564E54;

} // namespace

TableSchema::TableSchema(QString name, QList<FieldDef> fields, QList<IndexDef> indexes)
    : m_name(std::move(name)), m_fields(std::move(fields)), m_indexes(std::move(indexes))
{
}

TableSchema TableSchema::korisnici()
{
    return TableSchema(QStringLiteral("korisnici"), {text("SIFRA"), text("IMEIPREZIME")});
}

TableSchema TableSchema::aktivnost()
{
    return TableSchema(QStringLiteral("aktivnost"), {text("AKTIVNOST")});
}

TableSchema TableSchema::grupe()
{
    return TableSchema(QStringLiteral("grupe"), {text("GRUPA")});
}

TableSchema TableSchema::promet()
{
    return TableSchema(QStringLiteral("promet"),
                       {text("KORISNIK"), {QStringLiteral("DATUM"), FieldType::Date},
                        {QStringLiteral("VREME"), FieldType::Time}, text("OPIS"), text("GRUPA"),
                        money("ULAZDIN"), money("IZLAZDIN"), money("ULAZEUR"), money("IZLAZEUR"),
                        money("STANJEDIN"), money("STANJEEUR")},
                       {{QStringLiteral("promet_amounts"),
                         {QStringLiteral("ULAZDIN"), QStringLiteral("IZLAZDIN"),
                          QStringLiteral("ULAZEUR"), QStringLiteral("IZLAZEUR")}}});
}

void TableSchema::createTable(const QString &filePath, const QString &password) const
{
    if (QFileInfo::exists(filePath))
        throw EngineError(QStringLiteral("Table already exists: %1").arg(filePath));
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(filePath).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    auto failure = [&](const QString &reason) {
        sqlite3_close(db);
        QFile::remove(filePath);
        return EngineError(QStringLiteral("Cannot create table %1: %2").arg(filePath, reason));
    };
    if (rc != SQLITE_OK)
        throw failure(QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));

    QStringList columns;
    for (const FieldDef &f : m_fields)
        columns << TableFile::quoteIdentifier(f.name) + QLatin1Char(' ') + fieldTypeName(f.type);
    QString indexes;
    for (const IndexDef &index : m_indexes) {
        QStringList quoted;
        for (const QString &field : index.fields)
            quoted << TableFile::quoteIdentifier(field);
        indexes += QStringLiteral("CREATE INDEX %1 ON %2 (%3);")
                       .arg(TableFile::quoteIdentifier(index.name), TableFile::quoteIdentifier(m_name),
                            quoted.join(QStringLiteral(", ")));
    }
    const QString ddl =
        // The page size must be set before anything is written.
        QStringLiteral("PRAGMA page_size = 16384;" // fewer, larger pages: faster walks and sums
                       "PRAGMA application_id = %1;"
                       "PRAGMA synchronous = OFF;"
                       "BEGIN;"
                       "CREATE TABLE %2 (%3);"
                       "CREATE TABLE dorvanta_password (SALT BLOB NOT NULL, HASH BLOB NOT NULL);"
                       "%4")
            .arg(applicationId)
            .arg(TableFile::quoteIdentifier(m_name), columns.join(QStringLiteral(", ")), indexes);
    if (sqlite3_exec(db, ddl.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw failure(QString::fromUtf8(sqlite3_errmsg(db)));

    const PasswordRecord record = PasswordRecord::create(password);
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO dorvanta_password (SALT, HASH) VALUES (?, ?)", -1,
                           &stmt, nullptr) != SQLITE_OK)
        throw failure(QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_bind_blob(stmt, 1, record.salt().constData(), int(record.salt().size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_blob(stmt, 2, record.hash().constData(), int(record.hash().size()),
                      SQLITE_TRANSIENT);
    const int stepped = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (stepped != SQLITE_DONE || sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw failure(QString::fromUtf8(sqlite3_errmsg(db)));
    if (sqlite3_close(db) != SQLITE_OK) {
        db = nullptr;
        throw failure(QStringLiteral("cannot close the file"));
    }
    // Written without a flush per statement; one flush of the finished file instead.
    const int fd = ::open(QFile::encodeName(filePath).constData(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) {
        if (fd >= 0)
            ::close(fd);
        db = nullptr;
        throw failure(QStringLiteral("cannot flush the file"));
    }
    ::close(fd);
}

QString TableSchema::checkTableFile(const QString &filePath, const QString &password) const
{
    try {
        const TableFile file(filePath, filePath);
        if (!file.passwordRecord().matches(password))
            return QStringLiteral("Invalid password for table %1").arg(filePath);
        bool same = file.fields().size() == m_fields.size();
        for (qsizetype i = 0; same && i < m_fields.size(); ++i)
            same = file.fields()[i].name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0 &&
                   file.fields()[i].type == m_fields[i].type;
        if (!same)
            return QStringLiteral("%1 is not a %2 table").arg(filePath, m_name);
        return {};
    } catch (const EngineError &e) {
        return e.message();
    }
}

namespace {

// SQLite's first finding of its integrity check on the file; empty when the file is whole.
QString integrityFinding(const QString &filePath)
{
    sqlite3 *db = nullptr;
    QString reason;
    if (sqlite3_open_v2(QFile::encodeName(filePath).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        reason = QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check(1)", -1, &stmt, nullptr) != SQLITE_OK) {
            reason = QString::fromUtf8(sqlite3_errmsg(db));
        } else {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_ROW) {
                const QString answer = QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
                if (answer != QLatin1String("ok"))
                    reason = answer;
            } else {
                reason = QString::fromUtf8(sqlite3_errmsg(db));
            }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return reason;
}

} // namespace

QString checkTableIntegrity(const QString &filePath)
{
    const QString finding = integrityFinding(filePath);
    return finding.isEmpty() ? QString()
                             : QStringLiteral("%1 is damaged: %2").arg(filePath, finding);
}

void copyTableFile(const QString &sourcePath, const QString &targetPath)
{
    const QFileInfo source(sourcePath);
    if (!source.exists() || !source.isFile())
        throw EngineError(QStringLiteral("Table does not exist: %1").arg(sourcePath));

    const auto failure = [&](const QString &reason) {
        return EngineError(
            QStringLiteral("Cannot copy table %1 to %2: %3").arg(sourcePath, targetPath, reason));
    };
    platform::TemporaryFile temp(targetPath);
    if (!temp.isOpen())
        throw failure(temp.errorString());

    sqlite3 *from = nullptr;
    sqlite3 *to = nullptr;
    QString reason;
    if (sqlite3_open_v2(QFile::encodeName(sourcePath).constData(), &from, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        reason = QString::fromUtf8(sqlite3_errmsg(from));
    } else if (sqlite3_open_v2(QFile::encodeName(temp.path()).constData(), &to,
                               SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        reason = QString::fromUtf8(sqlite3_errmsg(to));
    } else {
        sqlite3_busy_timeout(from, 5000);
        sqlite3_backup *backup = sqlite3_backup_init(to, "main", from, "main");
        if (!backup) {
            reason = QString::fromUtf8(sqlite3_errmsg(to));
        } else {
            const int rc = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
            if (rc != SQLITE_DONE)
                reason = QString::fromUtf8(sqlite3_errstr(rc));
        }
    }
    sqlite3_close(from);
    if (sqlite3_close(to) != SQLITE_OK && reason.isEmpty())
        reason = QStringLiteral("cannot close the copy");
    if (reason.isEmpty() && ::fsync(temp.handle()) != 0)
        reason = qt_error_string(errno);
    // A damaged source gives a damaged copy: it never replaces the target.
    if (reason.isEmpty()) {
        const QString finding = integrityFinding(temp.path());
        if (!finding.isEmpty())
            reason = QStringLiteral("%1 is damaged: %2").arg(sourcePath, finding);
    }
    if (reason.isEmpty())
        QFile::setPermissions(temp.path(), source.permissions());
    if (reason.isEmpty() && !temp.renameTo(targetPath))
        reason = temp.errorString();
    if (!reason.isEmpty())
        throw failure(reason);
}

} // namespace engine

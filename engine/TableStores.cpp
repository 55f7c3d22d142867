// TableStores: chooses the store of a table (a file, or the server when the folder's baza.txt
// names one and the table is placed there) and runs the operations on whole tables over the
// stores' own functions. The only file that knows both stores.

#include "engine/TableStores.h"

#include "engine/EngineError.h"
#include "engine/ServerTable.h"
#include "engine/TableFile.h"
#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <mutex>

#include <unistd.h>

namespace engine {

namespace {

std::mutex placementMutex;
QStringList placedOnServer;

QStringList serverTables()
{
    const std::lock_guard lock(placementMutex);
    return placedOnServer;
}

// Writes `source` (a table on the server) to the table file `targetPath` as one snapshot: a
// temporary file beside the target, renamed over it when whole.
void copyToFile(TableStore &source, const QString &sourcePath, const QString &targetPath)
{
    const auto failure = [&](const QString &reason) {
        return EngineError(
            QStringLiteral("Cannot copy table %1 to %2: %3").arg(sourcePath, targetPath, reason));
    };
    const TableSchema schema(source.tableName(), source.fields(), source.readIndexes());
    platform::TemporaryFile temp(targetPath);
    if (!temp.isOpen())
        throw failure(temp.errorString());
    createTableFile(temp.path(), schema, source.passwordRecord(), true);
    {
        TableFile file(temp.path(), temp.path());
        file.setDurableWrites(false);
        file.replaceAll(source);
    }
    if (::fsync(temp.handle()) != 0)
        throw failure(qt_error_string(errno));
    if (!temp.renameTo(targetPath))
        throw failure(temp.errorString());
}

} // namespace

void setServerTables(const QStringList &names)
{
    const std::lock_guard lock(placementMutex);
    placedOnServer = names;
}

std::optional<QString> serverUriFor(const QString &tablePath)
{
    QFile file(QFileInfo(tablePath).absolutePath() + QStringLiteral("/baza.txt"));
    if (!file.exists())
        return std::nullopt;
    const QStringList placed = serverTables();
    if (placed.isEmpty())
        throw EngineError(EngineError::Kind::Unavailable,
                          QStringLiteral("%1 names a server, but no tables are placed there")
                              .arg(file.fileName()));
    if (!placed.contains(serverTableName(tablePath)))
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.readLine()).trimmed();
}

std::unique_ptr<TableStore> openTableStore(const QString &absolutePath, const QString &displayPath)
{
    if (const auto uri = serverUriFor(absolutePath))
        return openServerTable(*uri, absolutePath, displayPath);
    return std::make_unique<TableFile>(absolutePath, displayPath);
}

void createTableStore(const QString &filePath, const TableSchema &schema, const QString &password)
{
    if (const auto uri = serverUriFor(filePath))
        return createServerTable(*uri, filePath, schema, PasswordRecord::create(password));
    createTableFile(filePath, schema, PasswordRecord::create(password));
}

bool tableExists(const QString &path)
{
    if (!serverUriFor(path))
        return QFileInfo::exists(path);
    try {
        openTableStore(path, path);
    } catch (const EngineError &e) {
        if (e.kind() == EngineError::Kind::NotFound)
            return false;
        throw;
    }
    return true;
}

void removeTable(const QString &path)
{
    if (const auto uri = serverUriFor(path))
        return dropServerTable(*uri, path);
    QFile::remove(path);
}

void checkTableIntegrity(const QString &filePath)
{
    if (serverUriFor(filePath))
        return; // the server keeps its tables whole
    const QString finding = tableFileFinding(filePath);
    if (!finding.isEmpty())
        throw EngineError(EngineError::Kind::Damaged,
                          QStringLiteral("%1 is damaged: %2").arg(filePath, finding));
}

void copyTableFile(const QString &sourcePath, const QString &targetPath)
{
    if (const auto uri = serverUriFor(sourcePath)) {
        const auto source = openServerTable(*uri, sourcePath, sourcePath);
        return copyToFile(*source, sourcePath, targetPath);
    }
    if (const auto uri = serverUriFor(targetPath)) {
        checkTableIntegrity(sourcePath);
        TableFile source(sourcePath, sourcePath);
        openServerTable(*uri, targetPath, targetPath)->replaceAll(source);
        return;
    }
    copyWholeTableFile(sourcePath, targetPath);
}

void importTablesToServer(const QString &uri, const QStringList &tableFiles)
{
    std::vector<std::unique_ptr<TableStore>> files;
    std::vector<TableStore *> sources;
    for (const QString &file : tableFiles) {
        files.push_back(std::make_unique<TableFile>(file, file));
        sources.push_back(files.back().get());
    }
    importToServer(uri, sources);
}

} // namespace engine

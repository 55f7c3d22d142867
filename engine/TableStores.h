#pragma once

// TableStores: where a table is stored, and the operations on whole tables. A table path
// names a table file (SQLite, TableFile.h) unless its folder holds "baza.txt" and the table is
// one of those placed on the server (setServerTables): then the table is on the PostgreSQL
// server named by the file's first line (ServerTable.h). Every function here chooses the store
// and leaves the work to it; callers never see which store it is. Every failure throws
// EngineError.

#include "engine/TableSchema.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace engine {

class TableStore;

// The tables (by name, "promet") that live on the server when their folder holds baza.txt;
// any other table of such a folder (a backup beside them) stays a file. The program sets them
// once before it opens a table. While none are set, a folder with baza.txt is refused
// (EngineError Unavailable) rather than its tables silently read from files.
void setServerTables(const QStringList &names);

// The connection URI of the server holding the table `tablePath`: the first line of baza.txt
// in the table's folder; nullopt when there is no such file or the table stays a file.
std::optional<QString> serverUriFor(const QString &tablePath);

// Opens the stored table `absolutePath` (never creating one); `displayPath` names it in
// messages. Throws EngineError (NotFound) "Table does not exist: <displayPath>" when there is
// none and (Damaged) "<displayPath> is not a table file" when the file is not one.
std::unique_ptr<TableStore> openTableStore(const QString &absolutePath, const QString &displayPath);

// Creates the table `filePath` with the layout of `schema` and the password record for
// `password`; see TableSchema::createTable.
void createTableStore(const QString &filePath, const TableSchema &schema, const QString &password);

// Whether the table at `path` exists (EngineError when the server is away).
bool tableExists(const QString &path);

// Removes the table at `path` (the file, or the table and its password record on the server).
void removeTable(const QString &path);

// Runs SQLite's integrity check on the table file at `filePath` in a connection of its own
// (a table on the server is kept whole by the server). Throws EngineError (Damaged)
// "<path> is damaged: <the first finding>" (or why it could not be read) unless it is whole.
void checkTableIntegrity(const QString &filePath);

// Writes a consistent copy of the table `sourcePath` to `targetPath`, each on its own store:
// - file to file: SQLite's backup API (a table written meanwhile through the engine is copied
//   either wholly before or wholly after that write);
// - server to file: one snapshot of the server's table, with its indexes;
// - file to server: replaces every record of the server's table in one transaction (the source
//   must pass checkTableIntegrity and have the table's layout).
// A file target is written to a temporary file of platform::TemporaryFile beside it, checked
// (structurally, SQLite's quick check: a file to copy from outside is checked first),
// flushed and renamed over the target, so the target is always either the old or the new whole
// file and a copy killed midway leaves only a temporary file the start-up clean-up removes.
// A damaged source is never copied over the target. Throws EngineError naming the table when
// the source is missing, damaged, or the copy fails; the temporary file is then removed.
void copyTableFile(const QString &sourcePath, const QString &targetPath);

// Copies the table files `tableFiles` to the server at `uri` in one transaction: every record
// in stored order, with its password record and indexes; a table missing on the server is
// created. Throws EngineError, and changes nothing, when a table on the server is not empty or
// has another layout.
void importTablesToServer(const QString &uri, const QStringList &tableFiles);

} // namespace engine

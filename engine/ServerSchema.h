#pragma once

// ServerSchema: the statements that lay out the server's tables: a table of a layout with its
// password record, the kept record count, the table of posting keys and the write lock; and
// how the engine's field types map to the server's column types. Text only, except
// createServerTableIn(), which runs its statements on a connection and fails as the
// connection's statements do (ServerConnection.h).

#include "engine/FieldType.h"
#include "engine/PasswordRecord.h"
#include "engine/TableSchema.h"

#include <QString>
#include <QStringList>

namespace engine {

// The statement that takes the write lock of the server table `table` for the transaction:
// a lock that needs no rights on the table (a desk may only read and append), held by every
// writer of the table from its begin to its end.
QString serverWriteLock(const QString &table);

// The statement that makes the table of posting keys (dorvanta_kljuc) when it is missing.
QString serverKeyTableStatement();

// The statements, for one transaction of the table's owner, after which the server keeps the
// number of records of its table `name` (lower case) as records come and go: a row of
// dorvanta_broj, started from the records there are, and kept by statement triggers of the
// table. Counting the table then reads that row instead of every record. Run again, they
// start the count anew.
QStringList keptCountStatements(const QString &name);

namespace server {

class Connection;

// A table, column or index name as the server's statements write it: lower case, quoted.
QString quote(const QString &name);

// The server's column type of a field type, and back (from format_type()).
QString columnType(FieldType type);
FieldType fieldTypeOfColumn(const QString &dataType);

// The names of the triggers that keep a table's count, as SQL literals ('name').
QStringList keptCountTriggerLiterals();

// Creates the table with the layout of `schema`, its kept count and its password record
// inside the open transaction of `conn`. Throws EngineError "Table already exists:
// <displayPath>" when it does.
void createServerTableIn(Connection &conn, const QString &displayPath, const TableSchema &schema,
                         const PasswordRecord &password);

} // namespace server

} // namespace engine

#pragma once

// ServerTable: the table store on a PostgreSQL server (see TableStore.h), the one place in the
// engine that talks to libpq. A data folder whose "baza.txt" exists keeps the tables placed
// on the server (TableStores.h) on the server named by the file's first line (a connection
// URI); the table "podaci/promet.db" is then the server's table "promet". On the server each
// table has its fields as columns with lower-case names (DATE as date, TIME as time, MONEY as
// bigint hundredths, TEXT as text) and a hidden "id bigserial" whose order is the stored
// order; the password records of all tables are the rows of "dorvanta_password" (tabela,
// salt, hash).
//
// One connection per thread and server, opened on first use and opened again when it broke.
// When the server cannot be reached, or the connection breaks during an operation, the
// operation fails with "Server baze podataka nije dostupan: <reason>"; a transaction that was
// open then is gone on the server, nothing of it is stored, and the next action tries again.
// begin() locks the table against other writers (readers go on) until commit or rollback; a
// desk that does not get the lock within a short wait fails with "Table <path> is busy". No
// wait for the server lasts longer than the answer time-out (ServerLink.h). A posting begun
// with beginPosting() stores its key in dorvanta_kljuc; when the answer to its COMMIT is lost,
// commit() ends the old session on a new connection and looks for the key (stored: returns;
// not stored: Unavailable; cannot tell: OutcomeUnknown), and never sends ROLLBACK there.
//
// In three files: the store (here), its connection and transaction (ServerConnection.h) and
// the statements that lay its tables out (ServerSchema.h, also for the roles' set-up).

#include "engine/ServerSchema.h"
#include "engine/TableStore.h"

#include <vector>

namespace engine {

// The server's name for the table at `tablePath`: the file's base name in lower case.
QString serverTableName(const QString &tablePath);

std::unique_ptr<TableStore> openServerTable(const QString &uri, const QString &absolutePath,
                                            const QString &displayPath);

// Creates the table with the layout of `schema` and the password record on the server, in one
// transaction. Throws EngineError "Table already exists: <displayPath>" when it does.
void createServerTable(const QString &uri, const QString &displayPath, const TableSchema &schema,
                       const PasswordRecord &password);

// Drops the table and its password record.
void dropServerTable(const QString &uri, const QString &displayPath);

// Copies every record of `sources` (open stores of other tables) to the server at `uri` in one
// transaction, each to the server's table of its name (created when missing, with the
// source's layout, indexes and password record). Throws EngineError, and changes nothing,
// when a table on the server is not empty or has another layout.
void importToServer(const QString &uri, const std::vector<TableStore *> &sources);

// The bytes this process has received from the servers over its open connections so far
// (as TCP counts them; 0 for a connection that is not over TCP): for measurements.
qint64 serverBytesReceived();

} // namespace engine

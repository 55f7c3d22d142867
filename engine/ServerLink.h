#pragma once

// ServerLink: the wire under ServerTable. It connects to a PostgreSQL server with bounded
// waits and runs statements so that no wait for the server lasts longer than the answer
// time-out: connecting, every statement and every reply. It also keeps passwords out of
// everything the program shows: URIs and libpq's own texts are shown without them.
//
// The answer time-out (default 10 s, from a line "timeout=N" in baza.txt, N seconds from 1 to
// 60) bounds each wait in which no byte comes from the server. The server is told the same
// bounds, so that a desk gone silent never holds the journal's lock: a statement runs at most
// the time-out less a second, a transaction left idle ends after half of it, and TCP
// keep-alives and the TCP user time-out drop a connection whose peer stopped answering, on
// both ends.

#include <QByteArray>
#include <QString>

#include <vector>

// libpq's handles, as libpq-fe.h declares them (users of the URI helpers need no libpq).
typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace engine::serverlink {

constexpr int defaultAnswerSeconds = 10;

// The answer time-out set in the baza.txt at `bazaPath` (default when the file has no valid
// "timeout=N" line).
int answerSecondsFrom(const QString &bazaPath);

// Connects to `uri` within the time-out and sets the session's limits; returns the connection
// or nullptr with the reason (its password taken out) in `reason`.
PGconn *connect(const QString &uri, int answerSeconds, QString *reason);

// How a bounded statement ended.
enum class Outcome { Answered, Broken, TimedOut };

// Sends `sql` with text parameters (`values[i]` nullptr for NULL) and waits for its results,
// at most `answerSeconds` without a byte from the server. Answered: `result` holds the last
// result (the first error, when one failed). Broken: the connection broke. TimedOut: the server
// did not answer in time; the connection is then of no more use. A `sql` without parameters
// may hold several statements.
Outcome exec(PGconn *conn, const QByteArray &sql, int count, const char *const *values,
             int answerSeconds, PGresult **result);

// One statement of a batch: its text and its text parameters (nullptr for NULL).
struct BatchStatement
{
    QByteArray sql;
    std::vector<const char *> values;
};

// Sends `statements` at once and waits for all their results (one round trip instead of one
// each), bounded as exec() is. Answered: `results` holds one result per statement; after the
// first that failed, the server skipped the others (PGRES_PIPELINE_ABORTED). Broken and
// TimedOut as for exec(); the connection is then of no more use.
Outcome execBatch(PGconn *conn, const std::vector<BatchStatement> &statements, int answerSeconds,
                  std::vector<PGresult *> &results);

// Whether the failed result `r` says the server is ending the session (a FATAL or PANIC
// error: terminated, shut down, crashed); the connection is then of no more use, even while
// libpq still counts it as open.
bool endsSession(const PGresult *r);

// `uri` with its password (in the user part or as a "password" parameter) taken out.
QString withoutPassword(const QString &uri);
// `text` (a libpq message about `uri`) with every form of the URI's password taken out.
QString withoutSecret(const QString &text, const QString &uri);
// `uri` with `password` as its "password" parameter (percent-encoded), replacing one given.
QString withPassword(const QString &uri, const QString &password);
// Whether connecting to `uri` fails only for want of a password (none in the URI, and none
// for it in PGPASSFILE or ~/.pgpass).
bool asksForPassword(const QString &uri);

} // namespace engine::serverlink

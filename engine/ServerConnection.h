#pragma once

// ServerConnection: the process's connection to one PostgreSQL server (one per thread and
// server), the statements run on it and its transaction. Internal to the server store
// (ServerTable.h); the only place that keeps the state of a connection: whether a transaction
// is open, whether it was lost with the connection, the session's identity on the server.
//
// How it fails: every failure throws EngineError. A server that cannot be reached, a connection
// that breaks and a server that does not answer within the answer time-out (ServerLink.h) throw
// Unavailable "Server baze podataka nije dostupan: <reason>"; a transaction open then is gone on
// the server, and every statement on the connection fails so until the transaction is ended
// (commit or roll-back), after which the next statement connects again. A statement the
// server refuses throws "<context> <path>: <server's reason>", a write lock not had in time
// Busy "Table <path> is busy: another desk is writing it, try again".

#include "engine/Cell.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <libpq-fe.h>

#include <vector>

namespace engine::server {

// Throws EngineError (Unavailable) "Server baze podataka nije dostupan: <reason>".
[[noreturn]] void unavailable(const QString &reason);

// Parameters of a statement, as text (nullptr for NULL).
class Params
{
public:
    Params() = default;
    // One parameter per cell, in order.
    explicit Params(const std::vector<Cell> &cells);
    void add(const Cell &cell);
    void add(qint64 value) { add(Cell::fromInteger(value)); }
    int size() const { return int(m_values.size()); }
    std::vector<const char *> pointers() const;

private:
    std::vector<QByteArray> m_values;
    std::vector<bool> m_null;
};

// A statement's result, cleared with the object.
class Result
{
public:
    explicit Result(PGresult *r) : m_r(r) {}
    ~Result() { PQclear(m_r); }
    Result(const Result &) = delete;
    Result &operator=(const Result &) = delete;
    Result(Result &&o) noexcept : m_r(o.m_r) { o.m_r = nullptr; }
    PGresult *get() const { return m_r; }
    int rows() const { return PQntuples(m_r); }
    bool isNull(int row, int col) const { return PQgetisnull(m_r, row, col); }
    QByteArrayView bytes(int row, int col) const
    {
        return QByteArrayView(PQgetvalue(m_r, row, col), PQgetlength(m_r, row, col));
    }
    QString text(int row, int col) const { return QString::fromUtf8(bytes(row, col)); }
    // Every row, each value as its text (NULL as an empty cell).
    std::vector<std::vector<Cell>> textRows() const;

private:
    PGresult *m_r;
};

class Connection
{
public:
    Connection(QString uri, int answerSeconds);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    const QString &uri() const { return m_uri; }
    int answerSeconds() const { return m_answerSeconds; }
    // What TCP has received on every open connection of the process so far.
    static qint64 bytesReceivedByAll();

    // Runs `sql` (connecting first when there is no connection or it broke).
    Result run(const QString &sql, const Params &params, const QString &context,
               const QString &path);
    Result run(const QString &sql, const QString &context, const QString &path)
    {
        return run(sql, Params(), context, path);
    }
    // Runs the statements in one round trip; their results in order. The first that failed
    // throws, as run() would.
    std::vector<Result> runTogether(const std::vector<QByteArray> &sql,
                                    const std::vector<Params> &params, const QString &context,
                                    const QString &path);
    // Whether the server has a table (or other relation) of the name.
    bool exists(const QString &name, const QString &context, const QString &path);
    // Makes the table of posting keys when an older set-up lacks it (once per connection).
    void ensureKeyTable(const QString &context, const QString &path);

    // Opens the transaction with `sql` (its BEGIN and what is sent with it) and returns the
    // result of its last statement. When it fails, no transaction is left open.
    Result begin(const QString &sql, const QString &context, const QString &path);
    bool inTransaction() const { return m_transaction; }

    // How a COMMIT ended.
    struct CommitAnswer
    {
        enum Outcome
        {
            Committed,
            RolledBack,
            AnswerLost
        } outcome = Committed;
        // RolledBack: the server's reason (empty when it just rolled back a transaction that
        // had failed); AnswerLost: why no answer came.
        QString reason;
        // AnswerLost: the server session that was sent the COMMIT (pid 0 when not known),
        // for making sure of its end on another connection.
        int pid = 0;
        QByteArray backendStart;
    };
    // Ends the transaction with COMMIT: the transaction is over whatever the answer. Throws
    // Unavailable, sending nothing, when the connection broke during the transaction. After a
    // lost answer the connection is given up.
    CommitAnswer commit();
    // Ends the transaction with ROLLBACK; none is sent when none is open or it was lost with
    // the connection. Throws "Cannot roll back table <path>: <reason>".
    void rollback(const QString &path);
    void rollbackQuietly() noexcept;

private:
    PGconn *get();
    void drop();
    // After a failed statement: whether the connection broke (then a transaction is lost).
    bool broke();
    [[noreturn]] void failed(PGconn *conn, const Result &r, const QString &context,
                             const QString &path);
    qint64 bytesReceived() const;

    QString m_uri;
    int m_answerSeconds;
    PGconn *m_conn = nullptr;
    bool m_transaction = false;
    bool m_lost = false; // the transaction was lost with the connection
    bool m_keyTableReady = false;
    // The server session of the connection: its process id and start time.
    int m_pid = 0;
    QByteArray m_backendStart;
};

// The connection to `uri` of this thread; `bazaPath` (the baza.txt naming it) gives its answer
// time-out when it is made.
Connection &connectionTo(const QString &uri, const QString &bazaPath = {});

} // namespace engine::server

// ServerConnection: a connection to a PostgreSQL server over libpq, bounded by ServerLink.
// Every statement runs with text parameters and text results; a value reaches the SQL only as a
// parameter.

#include "engine/ServerConnection.h"

#include "engine/EngineError.h"
#include "engine/ServerLink.h"
#include "engine/ServerSchema.h"
#include "engine/ServerTable.h"

#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

namespace engine {

qint64 serverBytesReceived()
{
    return server::Connection::bytesReceivedByAll();
}

namespace server {

namespace {

// Every connection of the process, for serverBytesReceived(); never destroyed, since
// connections end with the process's static objects.
std::set<Connection *> &registry()
{
    static auto *all = new std::set<Connection *>;
    return *all;
}

std::mutex &registryLock()
{
    static auto *lock = new std::mutex;
    return *lock;
}

QString noAnswer(int seconds)
{
    return QStringLiteral("server ne odgovara (%1 s)").arg(seconds);
}

} // namespace

void unavailable(const QString &reason)
{
    throw EngineError(EngineError::Kind::Unavailable,
                      QStringLiteral("Server baze podataka nije dostupan: ") + reason.simplified());
}

Params::Params(const std::vector<Cell> &cells)
{
    for (const Cell &c : cells)
        add(c);
}

void Params::add(const Cell &cell)
{
    switch (cell.kind) {
    case Cell::Null:
        m_values.emplace_back();
        m_null.push_back(true);
        return;
    case Cell::Integer:
        m_values.push_back(QByteArray::number(cell.integer));
        break;
    case Cell::Text:
        m_values.push_back(cell.text.toUtf8());
        break;
    case Cell::Date:
        m_values.push_back(cell.isoText().toUtf8());
        break;
    }
    m_null.push_back(false);
}

std::vector<const char *> Params::pointers() const
{
    std::vector<const char *> out;
    for (size_t i = 0; i < m_values.size(); ++i)
        out.push_back(m_null[i] ? nullptr : m_values[i].constData());
    return out;
}

std::vector<std::vector<Cell>> Result::textRows() const
{
    std::vector<std::vector<Cell>> rows;
    const int columns = PQnfields(m_r);
    for (int row = 0; row < this->rows(); ++row) {
        std::vector<Cell> &cells = rows.emplace_back();
        for (int c = 0; c < columns; ++c)
            cells.push_back(isNull(row, c) ? Cell() : Cell::fromText(text(row, c)));
    }
    return rows;
}

Connection::Connection(QString uri, int answerSeconds)
    : m_uri(std::move(uri)), m_answerSeconds(answerSeconds)
{
    const std::lock_guard<std::mutex> hold(registryLock());
    registry().insert(this);
}

Connection::~Connection()
{
    PQfinish(m_conn);
    const std::lock_guard<std::mutex> hold(registryLock());
    registry().erase(this);
}

qint64 Connection::bytesReceivedByAll()
{
    qint64 total = 0;
    const std::lock_guard<std::mutex> hold(registryLock());
    for (const Connection *connection : registry())
        total += connection->bytesReceived();
    return total;
}

qint64 Connection::bytesReceived() const
{
    if (!m_conn || PQsocket(m_conn) < 0)
        return 0;
    tcp_info info{};
    socklen_t size = sizeof info;
    if (getsockopt(PQsocket(m_conn), IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return 0;
    return qint64(info.tcpi_bytes_received);
}

// The open connection, connecting when there is none or it broke.
PGconn *Connection::get()
{
    if (m_lost)
        unavailable(QStringLiteral("the connection broke during the transaction"));
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
        return m_conn;
    // An empty URI would make libpq try its defaults (a local server) instead.
    if (m_uri.isEmpty())
        unavailable(QStringLiteral("baza.txt names no server"));
    drop();
    QString reason;
    m_conn = serverlink::connect(m_uri, m_answerSeconds, &reason);
    if (!m_conn)
        unavailable(reason);
    // Who this session is on the server, to make sure of its end after a lost reply.
    PGresult *r = nullptr;
    if (serverlink::exec(m_conn,
                         "SELECT backend_start::text FROM pg_stat_activity WHERE pid = "
                         "pg_backend_pid()",
                         0, nullptr, m_answerSeconds, &r) == serverlink::Outcome::Answered &&
        PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1) {
        m_pid = PQbackendPID(m_conn);
        m_backendStart = QByteArray(PQgetvalue(r, 0, 0));
    }
    PQclear(r);
    m_keyTableReady = false;
    return m_conn;
}

// Gives the connection up (after a time-out it is of no more use).
void Connection::drop()
{
    PQfinish(m_conn);
    m_conn = nullptr;
}

bool Connection::broke()
{
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
        return false;
    if (m_transaction)
        m_lost = true;
    return true;
}

// Throws for the failed result `r` of a statement: "<context> <path>: <server's reason>", the
// busy text or the unavailable text.
void Connection::failed(PGconn *conn, const Result &r, const QString &context, const QString &path)
{
    const QString reason =
        QString::fromUtf8(r.get() ? PQresultErrorMessage(r.get()) : PQerrorMessage(conn)).trimmed();
    // A session the server ends answers with a FATAL error before the connection closes:
    // that is a break, never a failure of the statement (a table "missing", a password
    // "wrong").
    const QString shown = reason.isEmpty() ? QString::fromUtf8(PQerrorMessage(conn)) : reason;
    if (serverlink::endsSession(r.get()))
        drop();
    if (broke())
        unavailable(shown);
    const char *state = PQresultErrorField(r.get(), PG_DIAG_SQLSTATE);
    if (state && qstrcmp(state, "55P03") == 0) // lock_not_available
        throw EngineError(
            EngineError::Kind::Busy,
            QStringLiteral("Table %1 is busy: another desk is writing it, try again").arg(path));
    throw EngineError(QStringLiteral("%1 %2: %3").arg(context, path, reason));
}

Result Connection::run(const QString &sql, const Params &params, const QString &context,
                       const QString &path)
{
    PGconn *conn = get();
    const QByteArray text = sql.toUtf8();
    const auto values = params.pointers();
    PGresult *raw = nullptr;
    const serverlink::Outcome outcome = serverlink::exec(
        conn, text, params.size(), values.empty() ? nullptr : values.data(), m_answerSeconds, &raw);
    Result r(raw);
    if (outcome == serverlink::Outcome::TimedOut) {
        drop();
        broke();
        unavailable(noAnswer(m_answerSeconds));
    }
    const auto status = PQresultStatus(r.get());
    if (outcome == serverlink::Outcome::Answered &&
        (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK))
        return r;
    failed(conn, r, context, path);
}

std::vector<Result> Connection::runTogether(const std::vector<QByteArray> &sql,
                                            const std::vector<Params> &params,
                                            const QString &context, const QString &path)
{
    std::vector<serverlink::BatchStatement> batch;
    for (size_t i = 0; i < sql.size(); ++i)
        batch.push_back({sql[i], params[i].pointers()});
    std::vector<PGresult *> raw;
    PGconn *conn = get();
    const serverlink::Outcome outcome = serverlink::execBatch(conn, batch, m_answerSeconds, raw);
    std::vector<Result> results;
    for (PGresult *r : raw)
        results.emplace_back(r);
    if (outcome != serverlink::Outcome::Answered) {
        // A pipeline left half read is of no more use; the transaction went with it.
        drop();
        broke();
        unavailable(outcome == serverlink::Outcome::TimedOut
                        ? noAnswer(m_answerSeconds)
                        : QStringLiteral("the connection broke"));
    }
    for (const Result &r : results) {
        const auto status = PQresultStatus(r.get());
        // The first that failed says why (the server skipped the ones after it).
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            failed(conn, r, context, path);
    }
    return results;
}

bool Connection::exists(const QString &name, const QString &context, const QString &path)
{
    Params p;
    p.add(Cell::fromText(name));
    return run(QStringLiteral("SELECT to_regclass($1) IS NOT NULL"), p, context, path)
               .bytes(0, 0) == "t";
}

// The desk role may not make it: dorvanta-init --roles makes it then.
void Connection::ensureKeyTable(const QString &context, const QString &path)
{
    if (m_keyTableReady)
        return;
    if (!exists(QStringLiteral("dorvanta_kljuc"), context, path))
        run(serverKeyTableStatement(), context, path);
    m_keyTableReady = true;
}

Result Connection::begin(const QString &sql, const QString &context, const QString &path)
{
    // Open from the first byte sent: a connection that breaks now loses the transaction.
    m_transaction = true;
    try {
        return run(sql, context, path);
    } catch (...) {
        rollbackQuietly();
        throw;
    }
}

Connection::CommitAnswer Connection::commit()
{
    m_transaction = false;
    if (std::exchange(m_lost, false))
        unavailable(QStringLiteral("the connection broke during the transaction"));
    PGconn *conn = get();
    PGresult *raw = nullptr;
    const serverlink::Outcome outcome =
        serverlink::exec(conn, "COMMIT", 0, nullptr, m_answerSeconds, &raw);
    const Result r(raw);
    CommitAnswer answer;
    if (outcome == serverlink::Outcome::Answered && PQstatus(conn) == CONNECTION_OK &&
        !serverlink::endsSession(r.get())) {
        // A transaction that failed earlier ends in a rollback.
        if (PQresultStatus(r.get()) == PGRES_COMMAND_OK &&
            qstrcmp(PQcmdStatus(r.get()), "COMMIT") == 0)
            return answer;
        answer.outcome = CommitAnswer::RolledBack;
        if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
            answer.reason = QString::fromUtf8(PQresultErrorMessage(r.get())).trimmed();
        return answer;
    }
    // The COMMIT went out, but its answer never came: the server may have stored it.
    answer.outcome = CommitAnswer::AnswerLost;
    answer.reason =
        outcome == serverlink::Outcome::TimedOut
            ? noAnswer(m_answerSeconds)
            : QString::fromUtf8(r.get() ? PQresultErrorMessage(r.get()) : PQerrorMessage(conn))
                  .simplified();
    answer.pid = m_pid;
    answer.backendStart = m_backendStart;
    drop();
    return answer;
}

void Connection::rollback(const QString &path)
{
    const bool open = std::exchange(m_transaction, false);
    const bool lost = std::exchange(m_lost, false);
    // After a commit, or a connection lost meanwhile, there is nothing to roll back; a
    // ROLLBACK then would only go to a new connection.
    if (open && !lost)
        run(QStringLiteral("ROLLBACK"), QStringLiteral("Cannot roll back table"), path);
}

void Connection::rollbackQuietly() noexcept
{
    try {
        rollback({});
    } catch (...) {
    }
}

Connection &connectionTo(const QString &uri, const QString &bazaPath)
{
    // Per thread: a check that runs beside the window has its own connection.
    static thread_local std::map<QString, std::unique_ptr<Connection>> connections;
    auto &c = connections[uri];
    if (!c)
        c = std::make_unique<Connection>(uri, bazaPath.isEmpty()
                                                  ? serverlink::defaultAnswerSeconds
                                                  : serverlink::answerSecondsFrom(bazaPath));
    return *c;
}

} // namespace server

} // namespace engine

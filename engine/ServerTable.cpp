// ServerTable: the table store on a PostgreSQL server over libpq. Every statement runs with
// text parameters and text results; a value reaches the SQL only as a parameter.

#include "engine/ServerTable.h"

#include "engine/EngineError.h"
#include "engine/Money.h"
#include "engine/ServerLink.h"
#include "engine/SqlGenerator.h"
#include "platform/DecimalText.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <libpq-fe.h>

#include <netinet/in.h>
#include <linux/tcp.h>
#include <sys/socket.h>

#include <QUuid>

#include <limits>
#include <map>
#include <optional>
#include <mutex>
#include <set>
#include <utility>

namespace engine {

namespace {

[[noreturn]] void unavailable(const QString &reason)
{
    throw EngineError(EngineError::Kind::Unavailable,
                      QStringLiteral("Server baze podataka nije dostupan: ") + reason.simplified());
}

// The process's connection to one server.
class Connection
{
public:
    Connection(QString uri, int answerSeconds) : m_uri(std::move(uri)), m_answerSeconds(answerSeconds)
    {
        const std::lock_guard<std::mutex> hold(registryLock());
        registry().insert(this);
    }
    ~Connection()
    {
        PQfinish(m_conn);
        const std::lock_guard<std::mutex> hold(registryLock());
        registry().erase(this);
    }

    // Every connection of the process, for serverBytesReceived(); never destroyed, since
    // connections end with the process's static objects.
    static std::set<Connection *> &registry()
    {
        static auto *all = new std::set<Connection *>;
        return *all;
    }
    static std::mutex &registryLock()
    {
        static auto *lock = new std::mutex;
        return *lock;
    }

    // The open connection, connecting when there is none or it broke.
    PGconn *get()
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
        if (serverlink::exec(m_conn, "SELECT backend_start::text FROM pg_stat_activity WHERE pid = "
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

    // After a failed statement: whether the connection broke (then a transaction is lost).
    bool broke()
    {
        if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
            return false;
        if (m_transaction)
            m_lost = true;
        return true;
    }

    // Gives the connection up (after a time-out it is of no more use).
    void drop()
    {
        PQfinish(m_conn);
        m_conn = nullptr;
    }

    const QString &uri() const { return m_uri; }
    // What TCP has received on the open connection (0 when none or not over TCP).
    qint64 bytesReceived() const
    {
        if (!m_conn || PQsocket(m_conn) < 0)
            return 0;
        tcp_info info{};
        socklen_t size = sizeof info;
        if (getsockopt(PQsocket(m_conn), IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
            return 0;
        return qint64(info.tcpi_bytes_received);
    }
    int answerSeconds() const { return m_answerSeconds; }

    bool m_transaction = false;
    bool m_lost = false; // the transaction was lost with the connection; cleared by rollback
    bool m_keyTableReady = false;
    // The server session of the connection: its process id and start time.
    int m_pid = 0;
    QByteArray m_backendStart;

private:
    QString m_uri;
    int m_answerSeconds;
    PGconn *m_conn = nullptr;
};

// The connection to `uri`; `bazaPath` (the baza.txt naming it) gives its answer time-out.
Connection &connectionTo(const QString &uri, const QString &bazaPath = {})
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

QString quote(const QString &name)
{
    return quoteIdentifier(name.toLower());
}

// Parameters of a statement, as text (nullptr for NULL).
class Params
{
public:
    void add(const Cell &cell)
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
    void add(qint64 value) { add(Cell::fromInteger(value)); }
    int size() const { return int(m_values.size()); }
    std::vector<const char *> pointers() const
    {
        std::vector<const char *> out;
        for (size_t i = 0; i < m_values.size(); ++i)
            out.push_back(m_null[i] ? nullptr : m_values[i].constData());
        return out;
    }

private:
    std::vector<QByteArray> m_values;
    std::vector<bool> m_null;
};

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

private:
    PGresult *m_r;
};

// Throws for the failed result `r` of a statement: "<context> <path>: <server's reason>", the
// busy text or the unavailable text.
[[noreturn]] void failed(Connection &connection, PGconn *conn, const Result &r,
                         const QString &context, const QString &path)
{
    const QString reason = QString::fromUtf8(r.get() ? PQresultErrorMessage(r.get())
                                                     : PQerrorMessage(conn))
                               .trimmed();
    // A session the server ends answers with a FATAL error before the connection closes:
    // that is a break, never a failure of the statement (a table "missing", a password
    // "wrong").
    const QString shown = reason.isEmpty() ? QString::fromUtf8(PQerrorMessage(conn)) : reason;
    if (serverlink::endsSession(r.get()))
        connection.drop();
    if (connection.broke())
        unavailable(shown);
    const char *state = PQresultErrorField(r.get(), PG_DIAG_SQLSTATE);
    if (state && qstrcmp(state, "55P03") == 0) // lock_not_available
        throw EngineError(EngineError::Kind::Busy,
                          QStringLiteral("Table %1 is busy: another desk is writing it, try again")
                              .arg(path));
    throw EngineError(QStringLiteral("%1 %2: %3").arg(context, path, reason));
}

// Runs `sql`; throws "<context> <path>: <server's reason>", the busy text or the unavailable
// text.
Result run(Connection &connection, const QString &sql, const Params &params,
           const QString &context, const QString &path)
{
    PGconn *conn = connection.get();
    const QByteArray text = sql.toUtf8();
    const auto values = params.pointers();
    PGresult *raw = nullptr;
    const serverlink::Outcome outcome =
        serverlink::exec(conn, text, params.size(), values.empty() ? nullptr : values.data(),
                         connection.answerSeconds(), &raw);
    Result r(raw);
    if (outcome == serverlink::Outcome::TimedOut) {
        connection.drop();
        connection.broke();
        unavailable(QStringLiteral("server ne odgovara (%1 s)").arg(connection.answerSeconds()));
    }
    const auto status = PQresultStatus(r.get());
    if (outcome == serverlink::Outcome::Answered &&
        (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK))
        return r;
    failed(connection, conn, r, context, path);
}

Result run(Connection &connection, const QString &sql, const QString &context, const QString &path)
{
    return run(connection, sql, Params(), context, path);
}

// A statement beside a table as the server takes it: ?N becomes $N (a ? inside a quoted
// literal is left alone) and {id} the hidden id.
QString serverParameters(const QString &sql)
{
    QString text;
    bool quoted = false;
    for (const QChar c : sql) {
        if (c == u'\'')
            quoted = !quoted;
        text += !quoted && c == u'?' ? u'$' : c;
    }
    return text.replace(QLatin1String("{id}"), QLatin1String("id"));
}

Cell cellOf(const Result &r, int row, int col, FieldType type)
{
    if (r.isNull(row, col))
        return {};
    const QByteArrayView bytes = r.bytes(row, col);
    switch (type) {
    case FieldType::Money:
        return Cell::fromInteger(bytes.toLongLong());
    case FieldType::Date: {
        int year = 0, month = 0, day = 0;
        if (platform::readIsoDate(reinterpret_cast<const unsigned char *>(bytes.data()),
                                  int(bytes.size()), year, month, day))
            return Cell::fromYmd(year, month, day);
        break;
    }
    default:
        break;
    }
    return Cell::fromText(QString::fromUtf8(bytes));
}

QString columnType(FieldType type)
{
    switch (type) {
    case FieldType::Date:
        return QStringLiteral("date");
    case FieldType::Time:
        return QStringLiteral("time");
    case FieldType::Money:
        return QStringLiteral("bigint");
    case FieldType::Text:
        break;
    }
    return QStringLiteral("text");
}

FieldType fieldTypeOfColumn(const QString &dataType)
{
    if (dataType == QLatin1String("date"))
        return FieldType::Date;
    if (dataType.startsWith(QLatin1String("time")) && !dataType.startsWith(QLatin1String("timestamp")))
        return FieldType::Time;
    if (dataType == QLatin1String("bigint"))
        return FieldType::Money;
    return FieldType::Text;
}

} // namespace

// An advisory lock keyed by the table's name (FNV-1a, the same on every desk).
QString serverWriteLock(const QString &table)
{
    quint64 h = 14695981039346656037ull;
    for (const char c : (QByteArrayLiteral("dorvanta:") + table.toUtf8())) {
        h ^= quint8(c);
        h *= 1099511628211ull;
    }
    return QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(qint64(h));
}

namespace {

// The keys of stored postings: a posting's random key is stored in its transaction, so that
// a desk that lost the answer to its COMMIT can ask whether it was stored.
} // namespace

qint64 serverBytesReceived()
{
    qint64 total = 0;
    const std::lock_guard<std::mutex> hold(Connection::registryLock());
    for (const Connection *connection : Connection::registry())
        total += connection->bytesReceived();
    return total;
}

QString serverKeyTableStatement()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS dorvanta_kljuc (kljuc uuid PRIMARY KEY)");
}

namespace {

// The triggers that keep a table's row of dorvanta_broj: every statement that adds or removes
// records changes the count by as many, in the same transaction.
const char *const KeptCountTriggers[][2] = {
    {"dorvanta_broj_dodaj", "AFTER INSERT ON %1 REFERENCING NEW TABLE AS nova"},
    {"dorvanta_broj_brisi", "AFTER DELETE ON %1 REFERENCING OLD TABLE AS stara"},
    {"dorvanta_broj_prazni", "AFTER TRUNCATE ON %1"},
};

} // namespace

QStringList keptCountStatements(const QString &name)
{
    const QString table = quote(name);
    QString literal = name;
    literal.replace(QLatin1Char('\''), QLatin1String("''"));
    QStringList out{
        QStringLiteral("CREATE TABLE IF NOT EXISTS dorvanta_broj (tabela text PRIMARY KEY, "
                       "zapisa bigint NOT NULL)"),
        // No record comes or goes between the count and the triggers.
        QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(table),
        // Made once, by whoever makes the first table. It runs with its owner's rights, so
        // that a role which may add records (a desk) need not, and may not, write the counts.
        QStringLiteral(
            "DO $d$ BEGIN IF to_regproc('dorvanta_broj_menja') IS NULL THEN "
            "CREATE FUNCTION dorvanta_broj_menja() RETURNS trigger LANGUAGE plpgsql "
            "SECURITY DEFINER SET search_path = public, pg_temp AS $f$ "
            "BEGIN "
            "IF TG_OP = 'INSERT' THEN UPDATE dorvanta_broj SET zapisa = zapisa + "
            "(SELECT count(*) FROM nova) WHERE tabela = TG_TABLE_NAME; "
            "ELSIF TG_OP = 'DELETE' THEN UPDATE dorvanta_broj SET zapisa = zapisa - "
            "(SELECT count(*) FROM stara) WHERE tabela = TG_TABLE_NAME; "
            "ELSE UPDATE dorvanta_broj SET zapisa = 0 WHERE tabela = TG_TABLE_NAME; "
            "END IF; RETURN NULL; END $f$; END IF; END $d$"),
    };
    for (const auto &trigger : KeptCountTriggers) {
        const QString triggerName = QString::fromLatin1(trigger[0]);
        out << QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(triggerName, table)
            << QStringLiteral("CREATE TRIGGER %1 %2 FOR EACH STATEMENT EXECUTE FUNCTION "
                              "dorvanta_broj_menja()")
                   .arg(triggerName, QString::fromLatin1(trigger[1]).arg(table));
    }
    out << QStringLiteral("INSERT INTO dorvanta_broj (tabela, zapisa) SELECT '%1', count(*) FROM "
                          "%2 ON CONFLICT (tabela) DO UPDATE SET zapisa = excluded.zapisa")
               .arg(literal, table);
    return out;
}

namespace {

class ResultRecord final : public RecordView
{
public:
    // `first` is the result's column of the record's first field.
    ResultRecord(const Result &r, int columns, int first = 0)
        : m_r(r), m_columns(columns), m_first(first)
    {
    }
    int fieldCount() const override { return m_columns; }
    bool isNull(int index) const override { return m_r.isNull(m_row, index + m_first); }
    qint64 integer(int index) const override
    {
        return m_r.bytes(m_row, index + m_first).toLongLong();
    }
    QByteArrayView utf8(int index) const override { return m_r.bytes(m_row, index + m_first); }
    int m_row = 0;

private:
    const Result &m_r;
    int m_columns;
    int m_first;
};

class ServerTable final : public TableStore
{
public:
    ServerTable(const QString &uri, const QString &absolutePath, const QString &displayPath)
        : TableStore(absolutePath, displayPath), m_conn(connectionTo(uri, QFileInfo(absolutePath).absolutePath() + QStringLiteral("/baza.txt")))
    {
        m_tableName = serverTableName(absolutePath);
        Params p;
        p.add(Cell::fromText(m_tableName));
        // From the catalogue itself: the information schema's view of it costs the server
        // milliseconds, and every desk opens the journal for every posting.
        const Result columns = exec(
            QStringLiteral("SELECT attname, format_type(atttypid, atttypmod) FROM pg_attribute "
                           "WHERE attrelid = to_regclass(quote_ident($1)) AND attnum > 0 "
                           "AND NOT attisdropped AND attname <> 'id' ORDER BY attnum"),
            p, QStringLiteral("Cannot open table"));
        const Result password = exec(
            QStringLiteral("SELECT encode(salt, 'hex'), encode(hash, 'hex') FROM "
                           "dorvanta_password WHERE tabela = $1"),
            p, QStringLiteral("Cannot open table"), true);
        if (columns.rows() == 0 || !password.get() || password.rows() != 1)
            throw EngineError(EngineError::Kind::NotFound,
                              QStringLiteral("Table does not exist: %1").arg(displayPath));
        for (int i = 0; i < columns.rows(); ++i) {
            // Every statement names the columns in lower case; a column named otherwise could
            // never be read or written.
            const QString column = columns.text(i, 0);
            if (column != column.toLower())
                throw EngineError(EngineError::Kind::Layout,
                                  QStringLiteral("%1 is not a %2 table (column %3 is not in lower case)")
                                      .arg(displayPath, m_tableName, column));
            m_fields.append({column.toUpper(), fieldTypeOfColumn(columns.text(i, 1))});
        }
        m_password = PasswordRecord(QByteArray::fromHex(password.bytes(0, 0).toByteArray()),
                                    QByteArray::fromHex(password.bytes(0, 1).toByteArray()));
        QStringList names;
        for (const FieldDef &f : m_fields)
            names << quote(f.name);
        m_columnList = names.join(QStringLiteral(", "));
    }

    ~ServerTable() override
    {
        if (m_inTransaction)
            rollbackQuietly();
    }

    void setDurableWrites(bool durable) override
    {
        exec(durable ? QStringLiteral("SET synchronous_commit = on")
                     : QStringLiteral("SET synchronous_commit = off"),
             {}, QStringLiteral("Cannot open table"));
    }

    void readIds(std::deque<qint64> &ids) override
    {
        ids.clear();
        const Result r = exec(QStringLiteral("SELECT id FROM %1 ORDER BY id").arg(table()), {},
                              QStringLiteral("Cannot read table"));
        for (int i = 0; i < r.rows(); ++i)
            ids.push_back(r.bytes(i, 0).toLongLong());
    }

    void readRecords(qint64 id, bool inclusive, int limit, std::vector<qint64> &ids,
                     std::vector<Cell> &cells) override
    {
        Params p;
        p.add(id);
        p.add(qint64(limit));
        const Result r = exec(QStringLiteral("SELECT id, %1 FROM %2 WHERE id %3 $1 ORDER BY id LIMIT $2")
                                  .arg(m_columnList, table(),
                                       inclusive ? QStringLiteral(">=") : QStringLiteral(">")),
                              p, QStringLiteral("Cannot read table"));
        const int columns = int(m_fields.size());
        for (int i = 0; i < r.rows(); ++i) {
            ids.push_back(r.bytes(i, 0).toLongLong());
            for (int c = 0; c < columns; ++c)
                cells.push_back(cellOf(r, i, c + 1, m_fields[c].type));
        }
    }

    qint64 insertRecord(const std::vector<Cell> &cells) override
    {
        return insertRecords(cells, 1);
    }

    // Stores `rows` records (their cells one after the other) after every other in one
    // statement; returns the id of the last.
    qint64 insertRecords(const std::vector<Cell> &cells, int rows)
    {
        const int n = int(m_fields.size());
        QStringList tuples;
        Params p;
        for (int row = 0; row < rows; ++row) {
            QStringList marks;
            for (int i = 0; i < n; ++i) {
                p.add(cells[size_t(row * n + i)]);
                marks << QStringLiteral("$%1").arg(p.size());
            }
            tuples << QLatin1Char('(') + marks.join(u',') + QLatin1Char(')');
        }
        const Result r = exec(QStringLiteral("INSERT INTO %1 (%2) VALUES %3 RETURNING id")
                                  .arg(table(), m_columnList, tuples.join(u',')),
                              p, QStringLiteral("Cannot write table"));
        return r.rows() ? r.bytes(r.rows() - 1, 0).toLongLong() : 0;
    }

    bool updateRecord(qint64 id, const std::vector<Cell> &cells) override
    {
        QStringList sets;
        Params p;
        for (qsizetype i = 0; i < m_fields.size(); ++i) {
            p.add(cells[size_t(i)]);
            sets << QStringLiteral("%1 = $%2").arg(quote(m_fields[i].name)).arg(i + 1);
        }
        p.add(id);
        const Result r = exec(QStringLiteral("UPDATE %1 SET %2 WHERE id = $%3")
                                  .arg(table(), sets.join(QStringLiteral(", ")))
                                  .arg(p.size()),
                              p, QStringLiteral("Cannot write table"));
        return qstrcmp(PQcmdTuples(r.get()), "0") != 0;
    }

    void deleteRecord(qint64 id) override
    {
        Params p;
        p.add(id);
        exec(QStringLiteral("DELETE FROM %1 WHERE id = $1").arg(table()), p,
             QStringLiteral("Cannot write table"));
    }

    void deleteAll() override
    {
        exec(QStringLiteral("DELETE FROM %1").arg(table()), {}, QStringLiteral("Cannot empty table"));
    }

    QList<Money> sumMoney(const QList<int> &fields, const QStringList &names) override
    {
        QStringList sums;
        for (const int field : fields)
            sums << QStringLiteral("SUM(%1)").arg(quote(m_fields[field].name));
        const Result r = exec(QStringLiteral("SELECT %1 FROM %2").arg(sums.join(QStringLiteral(", ")), table()),
                              {}, QStringLiteral("Cannot read table"));
        QList<Money> out;
        for (qsizetype i = 0; i < fields.size(); ++i)
            out << (r.isNull(0, int(i)) ? Money() : sumOf(r.bytes(0, int(i)), names[i]));
        return out;
    }

    void scan(const std::function<void(const RecordView &)> &visit) override
    {
        const Result r = exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY id").arg(m_columnList, table()),
                              {}, QStringLiteral("Cannot read table"));
        ResultRecord record(r, int(m_fields.size()));
        for (record.m_row = 0; record.m_row < r.rows(); ++record.m_row)
            visit(record);
    }

    void scanAfter(qint64 id, const std::function<void(qint64, const RecordView &)> &visit) override
    {
        // Batches by id keep the desk's memory bounded; a record stored meanwhile with a
        // higher id is seen by a later batch, as a scan started after it would see it.
        constexpr int batch = 5000;
        const QString sql = QStringLiteral("SELECT id, %1 FROM %2 WHERE id > $1 ORDER BY id LIMIT %3")
                                .arg(m_columnList, table())
                                .arg(batch);
        for (;;) {
            Params p;
            p.add(id);
            const Result r = exec(sql, p, QStringLiteral("Cannot read table"));
            ResultRecord record(r, int(m_fields.size()), 1);
            for (record.m_row = 0; record.m_row < r.rows(); ++record.m_row) {
                id = r.bytes(record.m_row, 0).toLongLong();
                visit(id, record);
            }
            if (r.rows() < batch)
                return;
        }
    }

    qint64 countThrough(qint64 id) override
    {
        Params p;
        const bool all = id == std::numeric_limits<qint64>::max();
        if (all) {
            if (const std::optional<qint64> kept = keptCount())
                return *kept;
        } else {
            p.add(id);
        }
        const Result r = exec(all ? QStringLiteral("SELECT count(*) FROM %1").arg(table())
                                  : QStringLiteral("SELECT count(*) FROM %1 WHERE id <= $1").arg(table()),
                              p, QStringLiteral("Cannot read table"));
        return r.bytes(0, 0).toLongLong();
    }

    // The count the server keeps of the table's records, while all of its triggers are there
    // and enabled; none for a table made by an older version (its records are counted).
    std::optional<qint64> keptCount()
    {
        if (m_keptCount == KeptCount::Absent)
            return std::nullopt;
        const QString context = QStringLiteral("Cannot read table");
        if (m_keptCount == KeptCount::Unknown) {
            const bool there =
                exec(QStringLiteral("SELECT to_regclass('dorvanta_broj') IS NOT NULL"), {}, context)
                    .bytes(0, 0) == "t";
            m_keptCount = there ? KeptCount::There : KeptCount::Absent;
            if (!there)
                return std::nullopt;
        }
        QStringList triggers;
        for (const auto &trigger : KeptCountTriggers)
            triggers << QStringLiteral("'%1'").arg(QLatin1String(trigger[0]));
        Params p;
        p.add(Cell::fromText(m_tableName));
        const Result r = exec(
            QStringLiteral("SELECT b.zapisa FROM dorvanta_broj b WHERE b.tabela = $1 AND "
                           "(SELECT count(*) FROM pg_trigger t WHERE t.tgrelid = "
                           "to_regclass(quote_ident($1)) AND t.tgenabled = 'O' AND t.tgname IN "
                           "(%1)) = %2")
                .arg(triggers.join(QStringLiteral(", ")))
                .arg(triggers.size()),
            p, context);
        if (r.rows() == 0)
            return std::nullopt;
        return r.bytes(0, 0).toLongLong();
    }

    QList<IndexDef> readIndexes() override
    {
        Params p;
        p.add(Cell::fromText(m_tableName));
        const Result r = exec(
            QStringLiteral("SELECT i.relname, a.attname FROM pg_index x "
                           "JOIN pg_class i ON i.oid = x.indexrelid "
                           "JOIN pg_attribute a ON a.attrelid = x.indrelid AND a.attnum = ANY(x.indkey) "
                           "WHERE x.indrelid = to_regclass($1) AND NOT x.indisprimary "
                           "ORDER BY i.relname, array_position(x.indkey::int2[], a.attnum)"),
            p, QStringLiteral("Cannot read table"));
        QList<IndexDef> indexes;
        for (int i = 0; i < r.rows(); ++i) {
            if (indexes.isEmpty() || indexes.back().name != r.text(i, 0))
                indexes.append({r.text(i, 0), {}});
            indexes.back().fields << r.text(i, 1).toUpper();
        }
        return indexes;
    }

    void replaceAll(TableStore &source) override
    {
        requireFieldsOf(*this, source);
        begin();
        try {
            deleteAll();
            appendAll(source);
            commit();
        } catch (...) {
            rollbackQuietly();
            throw;
        }
    }

    // Appends every record of `source` (of this table's layout) in stored order, in batches.
    void appendAll(TableStore &source)
    {
        std::vector<Cell> batch;
        int rows = 0;
        auto flush = [&] {
            if (rows)
                insertRecords(batch, rows);
            batch.clear();
            rows = 0;
        };
        source.scan([&](const RecordView &record) {
            appendCells(record, m_fields, batch);
            if (++rows == 1000)
                flush();
        });
        flush();
    }

    void begin() override { beginPosting({}); }

    void beginReading() override
    {
        // One snapshot for every statement until the end; writers are not held up.
        m_conn.m_transaction = m_inTransaction = true;
        try {
            exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"), {},
                 QStringLiteral("Cannot start a transaction on table"));
        } catch (...) {
            rollbackQuietly();
            throw;
        }
    }

    bool beginPosting(const QString &key) override
    {
        QString sql = QStringLiteral("BEGIN; ") + serverWriteLock(m_tableName);
        if (!key.isEmpty()) {
            ensureKeyTable();
            // The key is the caller's own UUID text: hex digits and dashes only.
            if (QUuid::fromString(key).isNull())
                throw EngineError(QStringLiteral("'%1' is not a posting key").arg(key));
            sql += QStringLiteral("; INSERT INTO dorvanta_kljuc (kljuc) VALUES ('%1') ON CONFLICT "
                                  "DO NOTHING").arg(QUuid::fromString(key).toString(QUuid::WithoutBraces));
        }
        m_conn.m_transaction = m_inTransaction = true;
        try {
            // One round trip. Other desks still read; a second writer waits in the lock until
            // this one ends.
            const Result r = exec(sql, {}, QStringLiteral("Cannot start a transaction on table"));
            if (!key.isEmpty() && qstrcmp(PQcmdTuples(r.get()), "0") == 0) {
                rollback(); // stored already, by an earlier attempt whose answer was lost
                return false;
            }
        } catch (...) {
            rollbackQuietly();
            throw;
        }
        m_key = key;
        return true;
    }

    void commit() override
    {
        const bool lost = m_conn.m_lost;
        const QString key = std::exchange(m_key, QString());
        m_conn.m_transaction = m_inTransaction = false;
        m_conn.m_lost = false;
        if (lost)
            unavailable(QStringLiteral("the connection broke during the transaction"));
        PGconn *conn = m_conn.get();
        PGresult *raw = nullptr;
        const serverlink::Outcome outcome =
            serverlink::exec(conn, "COMMIT", 0, nullptr, m_conn.answerSeconds(), &raw);
        const Result r(raw);
        if (outcome == serverlink::Outcome::Answered && PQstatus(conn) == CONNECTION_OK &&
            !serverlink::endsSession(r.get())) {
            // A transaction that failed earlier ends in a rollback.
            if (PQresultStatus(r.get()) == PGRES_COMMAND_OK && qstrcmp(PQcmdStatus(r.get()), "COMMIT") == 0)
                return;
            throw EngineError(QStringLiteral("Cannot commit table %1: the transaction was rolled back")
                                  .arg(m_displayPath));
        }
        // The COMMIT went out, but its answer never came: the server may have stored it.
        const QString reason = outcome == serverlink::Outcome::TimedOut
                                   ? QStringLiteral("server ne odgovara (%1 s)").arg(m_conn.answerSeconds())
                                   : QString::fromUtf8(r.get() ? PQresultErrorMessage(r.get())
                                                               : PQerrorMessage(conn))
                                         .simplified();
        const int pid = m_conn.m_pid;
        const QByteArray started = m_conn.m_backendStart;
        m_conn.drop();
        if (key.isEmpty() || pid == 0)
            outcomeUnknown(reason);
        askWhetherStored(key, pid, started, reason);
    }

    void rollback() override
    {
        const bool lost = m_conn.m_lost;
        const bool open = std::exchange(m_inTransaction, false);
        m_conn.m_transaction = false;
        m_conn.m_lost = false;
        m_key.clear();
        // After a commit, or a connection lost meanwhile, there is nothing to roll back; a
        // ROLLBACK then would only go to a new connection.
        if (open && !lost)
            exec(QStringLiteral("ROLLBACK"), {}, QStringLiteral("Cannot roll back table"));
    }

    void rollbackQuietly() noexcept override
    {
        try {
            rollback();
        } catch (...) {
        }
    }

    // One wait for the answers to all statements, in a pipeline: numbering a posting takes
    // several statements inside the journal's lock, and every round trip there is time no
    // other desk can post.
    std::vector<std::vector<std::vector<Cell>>>
    runBesideTogether(const std::vector<BesideStatement> &statements) override
    {
        std::vector<QByteArray> texts;
        std::vector<Params> params(statements.size());
        std::vector<std::vector<const char *>> pointers;
        std::vector<serverlink::BatchStatement> batch;
        for (size_t i = 0; i < statements.size(); ++i) {
            texts.push_back(serverParameters(statements[i].first).toUtf8());
            for (const Cell &c : statements[i].second)
                params[i].add(c);
            batch.push_back({texts.back(), params[i].pointers()});
        }
        std::vector<PGresult *> raw;
        PGconn *conn = m_conn.get();
        const serverlink::Outcome outcome =
            serverlink::execBatch(conn, batch, m_conn.answerSeconds(), raw);
        std::vector<Result> results;
        for (PGresult *r : raw)
            results.emplace_back(r);
        if (outcome != serverlink::Outcome::Answered) {
            // A pipeline left half read is of no more use; the transaction went with it.
            m_conn.drop();
            m_conn.broke();
            unavailable(outcome == serverlink::Outcome::TimedOut
                            ? QStringLiteral("server ne odgovara (%1 s)").arg(m_conn.answerSeconds())
                            : QStringLiteral("the connection broke"));
        }
        std::vector<std::vector<std::vector<Cell>>> rows(results.size());
        for (size_t i = 0; i < results.size(); ++i) {
            const Result &r = results[i];
            const auto status = PQresultStatus(r.get());
            // The first that failed says why (the server skipped the ones after it).
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
                failed(m_conn, conn, r, QStringLiteral("Cannot access table"), m_displayPath);
            const int columns = PQnfields(r.get());
            for (int row = 0; row < r.rows(); ++row) {
                std::vector<Cell> &cells = rows[i].emplace_back();
                for (int c = 0; c < columns; ++c)
                    cells.push_back(r.isNull(row, c) ? Cell() : Cell::fromText(r.text(row, c)));
            }
        }
        return rows;
    }

    void select(const SqlSelect &statement, std::vector<SqlResultColumn> &columns,
                std::vector<Cell> &cells) override
    {
        GeneratedSql generated = SqlGenerator::generate(statement, *this, SqlDialect::Postgres);
        Params p;
        for (const Cell &c : generated.parameters)
            p.add(c);
        const Result r = exec(generated.sql, p, QStringLiteral("Cannot read table"));
        const int width = int(generated.columns.size());
        for (int row = 0; row < r.rows(); ++row) {
            for (int c = 0; c < width; ++c) {
                const SqlResultColumn &column = generated.columns[size_t(c)];
                if (column.name.startsWith(QLatin1String("SUM(")) && !r.isNull(row, c))
                    cells.push_back(Cell::fromInteger(
                        sumOf(r.bytes(row, c), column.name.mid(4, column.name.size() - 5))
                            .hundredths()));
                else
                    cells.push_back(cellOf(r, row, c, column.type));
            }
        }
        columns = std::move(generated.columns);
    }

    void selectIds(const SqlSelect &statement, std::vector<SqlResultColumn> &columns,
                   std::vector<qint64> &ids) override
    {
        GeneratedSql generated = SqlGenerator::generate(statement, *this, SqlDialect::Postgres);
        Params p;
        for (const Cell &c : generated.parameters)
            p.add(c);
        const Result r = exec(generated.idsSql, p, QStringLiteral("Cannot read table"));
        ids.reserve(ids.size() + size_t(r.rows()));
        for (int row = 0; row < r.rows(); ++row)
            ids.push_back(r.bytes(row, 0).toLongLong());
        columns = std::move(generated.columns);
    }

    void selectRange(const SqlSelect &statement, qint64 fromId, qint64 toId,
                     std::vector<qint64> &ids, std::vector<Cell> &cells) override
    {
        const GeneratedSql generated = SqlGenerator::generate(statement, *this, SqlDialect::Postgres);
        Params p;
        for (const Cell &c : generated.parameters)
            p.add(c);
        p.add(fromId);
        p.add(toId);
        const Result r = exec(generated.rangeSql, p, QStringLiteral("Cannot read table"));
        const int width = int(generated.columns.size()) - 1; // the fields, then the id
        for (int row = 0; row < r.rows(); ++row) {
            for (int c = 0; c < width; ++c)
                cells.push_back(cellOf(r, row, c, generated.columns[size_t(c)].type));
            ids.push_back(r.bytes(row, width).toLongLong());
        }
    }

    // A statement beside the table as the server takes it: ?N becomes $N (a ? inside a
    // quoted literal is left alone) and {id} the hidden id. Empty when the statement makes a
    // table that is there already: the server asks for the right to create tables even then,
    // and a desk's role, which has no such right, skips it.
    QString besideStatement(const QString &sql)
    {
        const QString text = serverParameters(sql);
        static const QRegularExpression createIfMissing(
            QStringLiteral("^\\s*CREATE TABLE IF NOT EXISTS\\s+(\\w+)"),
            QRegularExpression::CaseInsensitiveOption);
        if (const auto m = createIfMissing.match(text); m.hasMatch()) {
            Params name;
            name.add(Cell::fromText(m.captured(1).toLower()));
            if (exec(QStringLiteral("SELECT to_regclass($1) IS NOT NULL"), name,
                     QStringLiteral("Cannot access table"))
                    .bytes(0, 0) == "t")
                return {};
        }
        return text;
    }

    std::vector<std::vector<Cell>> runBeside(const QString &sql,
                                             const std::vector<Cell> &params) override
    {
        const QString text = besideStatement(sql);
        if (text.isEmpty())
            return {};
        Params p;
        for (const Cell &c : params)
            p.add(c);
        const Result r = exec(text, p, QStringLiteral("Cannot access table"));
        std::vector<std::vector<Cell>> rows;
        const int columns = PQnfields(r.get());
        for (int row = 0; row < r.rows(); ++row) {
            std::vector<Cell> &cells = rows.emplace_back();
            for (int c = 0; c < columns; ++c)
                cells.push_back(r.isNull(row, c) ? Cell() : Cell::fromText(r.text(row, c)));
        }
        return rows;
    }

    void scanBeside(const QString &sql, const std::vector<Cell> &params,
                    const std::function<void(const RecordView &)> &visit) override
    {
        const QString text = besideStatement(sql);
        if (text.isEmpty())
            return;
        Params p;
        for (const Cell &c : params)
            p.add(c);
        const Result r = exec(text, p, QStringLiteral("Cannot access table"));
        ResultRecord record(r, PQnfields(r.get()));
        for (record.m_row = 0; record.m_row < r.rows(); ++record.m_row)
            visit(record);
    }

    Result exec(const QString &sql, const Params &p, const QString &context, bool mayFail = false)
    {
        if (!mayFail)
            return run(m_conn, sql, p, context, m_displayPath);
        // Reading the password record of a table that is not there: a missing password table
        // just means no table.
        try {
            return run(m_conn, sql, p, context, m_displayPath);
        } catch (const EngineError &e) {
            if (e.kind() == EngineError::Kind::Unavailable)
                throw;
            return Result(nullptr);
        }
    }

private:
    // A server sum (exact) as money; too large for 64 bits is an error.
    Money sumOf(QByteArrayView digits, const QString &name) const
    {
        bool ok = false;
        const qint64 value = digits.toLongLong(&ok);
        if (!ok)
            throw EngineError(EngineError::Kind::Value,
                              QStringLiteral("The sum of %1 in %2 is too large").arg(name, m_displayPath));
        return Money::fromHundredths(value);
    }

    QString table() const { return quote(m_tableName); }

    // Makes the table of posting keys when an older set-up lacks it (the desk role may not:
    // dorvanta-init --roles makes it then).
    void ensureKeyTable()
    {
        if (m_conn.m_keyTableReady)
            return;
        const Result r = exec(QStringLiteral("SELECT to_regclass('dorvanta_kljuc') IS NOT NULL"), {},
                              QStringLiteral("Cannot start a transaction on table"));
        if (r.bytes(0, 0) != "t")
            exec(serverKeyTableStatement(), {}, QStringLiteral("Cannot start a transaction on table"));
        m_conn.m_keyTableReady = true;
    }

    [[noreturn]] void outcomeUnknown(const QString &reason)
    {
        throw EngineError(EngineError::Kind::OutcomeUnknown,
                          QStringLiteral("Server baze podataka nije dostupan: %1; whether the change "
                                         "of %2 was stored is unknown")
                              .arg(reason, m_displayPath));
    }

    // After a lost answer to COMMIT: on a new connection, makes sure the old session has ended
    // (so that its COMMIT can no longer arrive), then looks for the posting's key. Returns when
    // it is stored; throws "unavailable" when it is not and "unknown" when it cannot tell.
    void askWhetherStored(const QString &key, int pid, const QByteArray &started, const QString &reason)
    {
        bool stored = false;
        try {
            Params old;
            old.add(pid);
            old.add(Cell::fromText(QString::fromLatin1(started)));
            old.add(qint64(m_conn.answerSeconds()) * 1000);
            const Result ended = exec(
                QStringLiteral("SELECT pg_terminate_backend(pid, $3) FROM pg_stat_activity "
                               "WHERE pid = $1 AND backend_start = $2::timestamptz"),
                old, QStringLiteral("Cannot read table"));
            if (ended.rows() != 0 && ended.bytes(0, 0) != "t")
                outcomeUnknown(reason);
            Params p;
            p.add(Cell::fromText(key));
            const Result found = exec(
                QStringLiteral("SELECT count(*) FROM dorvanta_kljuc WHERE kljuc = $1::uuid"), p,
                QStringLiteral("Cannot read table"));
            stored = found.bytes(0, 0) != "0";
        } catch (const EngineError &e) {
            if (e.kind() == EngineError::Kind::OutcomeUnknown)
                throw;
            outcomeUnknown(reason);
        }
        if (!stored)
            unavailable(reason); // nothing of it is stored, as with any other break
    }

    Connection &m_conn;
    QString m_key; // the posting key of the open transaction
    enum class KeptCount { Unknown, There, Absent };
    KeptCount m_keptCount = KeptCount::Unknown; // whether the server has dorvanta_broj
    QString m_columnList;
    bool m_inTransaction = false;
};

} // namespace

QString serverTableName(const QString &tablePath)
{
    return QFileInfo(tablePath).completeBaseName().toLower();
}

std::unique_ptr<TableStore> openServerTable(const QString &uri, const QString &absolutePath,
                                            const QString &displayPath)
{
    return std::make_unique<ServerTable>(uri, absolutePath, displayPath);
}

namespace {

// Runs `work` in one transaction of the connection: committed when it returns, rolled back
// when it throws.
void inTransaction(Connection &conn, const QString &context, const QString &path,
                   const std::function<void()> &work)
{
    run(conn, QStringLiteral("BEGIN"), context, path);
    conn.m_transaction = true;
    bool committing = false;
    try {
        work();
        conn.m_transaction = false;
        committing = true;
        const Result r = run(conn, QStringLiteral("COMMIT"), context, path);
        if (qstrcmp(PQcmdStatus(r.get()), "COMMIT") != 0)
            throw EngineError(QStringLiteral("%1 %2: the transaction was rolled back").arg(context, path));
    } catch (...) {
        const bool lost = conn.m_lost;
        conn.m_transaction = conn.m_lost = false;
        // After COMMIT the transaction has ended either way.
        if (!lost && !committing) {
            try {
                run(conn, QStringLiteral("ROLLBACK"), context, path);
            } catch (...) {
            }
        }
        throw;
    }
}

// Creates the table inside the open transaction.
void createInTransaction(Connection &conn, const QString &displayPath, const TableSchema &schema,
                         const PasswordRecord &password)
{
    const QString context = QStringLiteral("Cannot create table");
    const QString name = schema.name().toLower();
    {
        run(conn,
            QStringLiteral("CREATE TABLE IF NOT EXISTS dorvanta_password (tabela text PRIMARY KEY, "
                           "salt bytea NOT NULL, hash bytea NOT NULL)"),
            context, displayPath);
        run(conn, serverKeyTableStatement(), context, displayPath);
        Params p;
        p.add(Cell::fromText(name));
        const Result exists = run(conn, QStringLiteral("SELECT to_regclass($1) IS NOT NULL"), p,
                                  context, displayPath);
        if (exists.bytes(0, 0) == "t")
            throw EngineError(EngineError::Kind::AlreadyExists,
                              QStringLiteral("Table already exists: %1").arg(displayPath));
        for (const QString &statement : createTableStatements(schema, quote, columnType,
                                                              QStringLiteral("id bigserial PRIMARY KEY")))
            run(conn, statement, context, displayPath);
        for (const QString &statement : keptCountStatements(name))
            run(conn, statement, context, displayPath);
        Params record;
        record.add(Cell::fromText(name));
        record.add(Cell::fromText(QString::fromLatin1(password.salt().toHex())));
        record.add(Cell::fromText(QString::fromLatin1(password.hash().toHex())));
        run(conn,
            QStringLiteral("INSERT INTO dorvanta_password (tabela, salt, hash) VALUES "
                           "($1, decode($2, 'hex'), decode($3, 'hex')) ON CONFLICT (tabela) DO "
                           "UPDATE SET salt = excluded.salt, hash = excluded.hash"),
            record, context, displayPath);
    }
}

} // namespace

void createServerTable(const QString &uri, const QString &displayPath, const TableSchema &schema,
                       const PasswordRecord &password)
{
    Connection &conn = connectionTo(uri);
    inTransaction(conn, QStringLiteral("Cannot create table"), displayPath,
                  [&] { createInTransaction(conn, displayPath, schema, password); });
}

void dropServerTable(const QString &uri, const QString &displayPath)
{
    Connection &conn = connectionTo(uri);
    const QString name = serverTableName(displayPath);
    const QString context = QStringLiteral("Cannot remove table");
    inTransaction(conn, context, displayPath, [&] {
        run(conn, QStringLiteral("DROP TABLE IF EXISTS %1").arg(quote(name)), context, displayPath);
        Params p;
        p.add(Cell::fromText(name));
        run(conn, QStringLiteral("DELETE FROM dorvanta_password WHERE tabela = $1"), p, context,
            displayPath);
        if (run(conn, QStringLiteral("SELECT to_regclass('dorvanta_broj') IS NOT NULL"), context,
                displayPath)
                .bytes(0, 0) == "t")
            run(conn, QStringLiteral("DELETE FROM dorvanta_broj WHERE tabela = $1"), p, context,
                displayPath);
    });
}

void importToServer(const QString &uri, const std::vector<TableStore *> &sources)
{
    Connection &conn = connectionTo(uri);
    const QString context = QStringLiteral("Cannot import tables to the server");
    inTransaction(conn, context, serverlink::withoutPassword(uri), [&] {
        for (TableStore *source : sources) {
            const QString &file = source->displayPath();
            const QString name = serverTableName(source->location());
            Params p;
            p.add(Cell::fromText(name));
            const Result exists = run(conn, QStringLiteral("SELECT to_regclass($1) IS NOT NULL"),
                                      p, context, file);
            if (exists.bytes(0, 0) != "t")
                createInTransaction(conn, file,
                                    TableSchema(name, source->fields(), source->readIndexes()),
                                    source->passwordRecord());
            ServerTable server(uri, source->location(), file);
            server.exec(serverWriteLock(name), {}, context);
            if (server.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(quote(name)), {}, context).rows())
                throw EngineError(QStringLiteral("The table %1 on the server is not empty").arg(name));
            requireFieldsOf(server, *source);
            server.appendAll(*source);
            // Planned from statistics of the filled table at once, not after the server's
            // own analysis comes round: a statement on a range of ids otherwise reads all.
            server.exec(QStringLiteral("ANALYZE %1").arg(quote(name)), {}, context);
        }
    });
}

} // namespace engine

// ServerTable: the table store on a PostgreSQL server, over the connection of ServerConnection.h
// and the layouts of ServerSchema.h.

#include "engine/ServerTable.h"

#include "engine/EngineError.h"
#include "engine/Money.h"
#include "engine/ServerConnection.h"
#include "engine/ServerLink.h"
#include "engine/ServerSchema.h"
#include "engine/SqlGenerator.h"
#include "engine/Transaction.h"
#include "platform/DecimalText.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <functional>
#include <limits>
#include <optional>
#include <utility>

namespace engine {

namespace {

using server::Connection;
using server::fieldTypeOfColumn;
using server::keptCountTriggerLiterals;
using server::Params;
using server::quote;
using server::Result;
using server::unavailable;

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
        : TableStore(absolutePath, displayPath),
          m_conn(server::connectionTo(uri, QFileInfo(absolutePath).absolutePath() +
                                               QStringLiteral("/baza.txt")))
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
                m_conn.exists(QStringLiteral("dorvanta_broj"), context, m_displayPath);
            m_keptCount = there ? KeptCount::There : KeptCount::Absent;
            if (!there)
                return std::nullopt;
        }
        const QStringList triggers = keptCountTriggerLiterals();
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
        Transaction transaction(*this);
        deleteAll();
        appendAll(source);
        transaction.commit();
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
        m_conn.begin(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"),
                     QStringLiteral("Cannot start a transaction on table"), m_displayPath);
        m_inTransaction = true;
    }

    bool beginPosting(const QString &key) override
    {
        const QString context = QStringLiteral("Cannot start a transaction on table");
        QString sql = QStringLiteral("BEGIN; ") + serverWriteLock(m_tableName);
        if (!key.isEmpty()) {
            m_conn.ensureKeyTable(context, m_displayPath);
            // The key is the caller's own UUID text: hex digits and dashes only.
            if (QUuid::fromString(key).isNull())
                throw EngineError(QStringLiteral("'%1' is not a posting key").arg(key));
            sql += QStringLiteral("; INSERT INTO dorvanta_kljuc (kljuc) VALUES ('%1') ON CONFLICT "
                                  "DO NOTHING").arg(QUuid::fromString(key).toString(QUuid::WithoutBraces));
        }
        // One round trip. Other desks still read; a second writer waits in the lock until
        // this one ends.
        const Result r = m_conn.begin(sql, context, m_displayPath);
        m_inTransaction = true;
        if (!key.isEmpty() && qstrcmp(PQcmdTuples(r.get()), "0") == 0) {
            rollback(); // stored already, by an earlier attempt whose answer was lost
            return false;
        }
        m_key = key;
        return true;
    }

    void commit() override
    {
        const QString key = std::exchange(m_key, QString());
        m_inTransaction = false;
        const Connection::CommitAnswer answer = m_conn.commit();
        switch (answer.outcome) {
        case Connection::CommitAnswer::Committed:
            return;
        case Connection::CommitAnswer::RolledBack:
            throw EngineError(QStringLiteral("Cannot commit table %1: the transaction was rolled back")
                                  .arg(m_displayPath));
        case Connection::CommitAnswer::AnswerLost:
            break;
        }
        if (key.isEmpty() || answer.pid == 0)
            outcomeUnknown(answer.reason);
        askWhetherStored(key, answer.pid, answer.backendStart, answer.reason);
    }

    void rollback() override
    {
        if (!std::exchange(m_inTransaction, false))
            return;
        m_key.clear();
        m_conn.rollback(m_displayPath);
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
        std::vector<Params> params;
        for (const auto &[sql, cells] : statements) {
            texts.push_back(serverParameters(sql).toUtf8());
            params.emplace_back(cells);
        }
        const std::vector<Result> results =
            m_conn.runTogether(texts, params, QStringLiteral("Cannot access table"), m_displayPath);
        std::vector<std::vector<std::vector<Cell>>> rows;
        for (const Result &r : results)
            rows.push_back(r.textRows());
        return rows;
    }

    void select(const SqlSelect &statement, std::vector<SqlResultColumn> &columns,
                std::vector<Cell> &cells) override
    {
        GeneratedSql generated = SqlGenerator::generate(statement, *this, SqlDialect::Postgres);
        Params p(generated.parameters);
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
        Params p(generated.parameters);
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
        Params p(generated.parameters);
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
            if (m_conn.exists(m.captured(1).toLower(), QStringLiteral("Cannot access table"),
                              m_displayPath))
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
        return exec(text, Params(params), QStringLiteral("Cannot access table")).textRows();
    }

    void scanBeside(const QString &sql, const std::vector<Cell> &params,
                    const std::function<void(const RecordView &)> &visit) override
    {
        const QString text = besideStatement(sql);
        if (text.isEmpty())
            return;
        const Result r = exec(text, Params(params), QStringLiteral("Cannot access table"));
        ResultRecord record(r, PQnfields(r.get()));
        for (record.m_row = 0; record.m_row < r.rows(); ++record.m_row)
            visit(record);
    }

    Result exec(const QString &sql, const Params &p, const QString &context, bool mayFail = false)
    {
        if (!mayFail)
            return m_conn.run(sql, p, context, m_displayPath);
        // Reading the password record of a table that is not there: a missing password table
        // just means no table.
        try {
            return m_conn.run(sql, p, context, m_displayPath);
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

// One transaction of a connection outside any table's: making, dropping, importing tables.
class ConnectionTransaction final : public Transactional
{
public:
    ConnectionTransaction(Connection &conn, const QString &context, const QString &path)
        : m_conn(conn), m_context(context), m_path(path)
    {
    }
    void begin() override { m_conn.begin(QStringLiteral("BEGIN"), m_context, m_path); }
    void commit() override
    {
        const Connection::CommitAnswer answer = m_conn.commit();
        if (answer.outcome == Connection::CommitAnswer::AnswerLost)
            unavailable(answer.reason);
        if (answer.outcome == Connection::CommitAnswer::RolledBack)
            throw EngineError(QStringLiteral("%1 %2: %3")
                                  .arg(m_context, m_path,
                                       answer.reason.isEmpty()
                                           ? QStringLiteral("the transaction was rolled back")
                                           : answer.reason));
    }
    void rollbackQuietly() noexcept override { m_conn.rollbackQuietly(); }

private:
    Connection &m_conn;
    QString m_context;
    QString m_path;
};

// Runs `work` in one transaction of the connection: committed when it returns, rolled back
// when it throws.
void inTransaction(Connection &conn, const QString &context, const QString &path,
                   const std::function<void()> &work)
{
    ConnectionTransaction connection(conn, context, path);
    Transaction transaction(connection);
    work();
    transaction.commit();
}

} // namespace

void createServerTable(const QString &uri, const QString &displayPath, const TableSchema &schema,
                       const PasswordRecord &password)
{
    Connection &conn = server::connectionTo(uri);
    inTransaction(conn, QStringLiteral("Cannot create table"), displayPath,
                  [&] { server::createServerTableIn(conn, displayPath, schema, password); });
}

void dropServerTable(const QString &uri, const QString &displayPath)
{
    Connection &conn = server::connectionTo(uri);
    const QString name = serverTableName(displayPath);
    const QString context = QStringLiteral("Cannot remove table");
    inTransaction(conn, context, displayPath, [&] {
        conn.run(QStringLiteral("DROP TABLE IF EXISTS %1").arg(quote(name)), context, displayPath);
        Params p;
        p.add(Cell::fromText(name));
        conn.run(QStringLiteral("DELETE FROM dorvanta_password WHERE tabela = $1"), p, context,
                 displayPath);
        if (conn.exists(QStringLiteral("dorvanta_broj"), context, displayPath))
            conn.run(QStringLiteral("DELETE FROM dorvanta_broj WHERE tabela = $1"), p, context,
                     displayPath);
    });
}

void importToServer(const QString &uri, const std::vector<TableStore *> &sources)
{
    Connection &conn = server::connectionTo(uri);
    const QString context = QStringLiteral("Cannot import tables to the server");
    inTransaction(conn, context, serverlink::withoutPassword(uri), [&] {
        for (TableStore *source : sources) {
            const QString &file = source->displayPath();
            const QString name = serverTableName(source->location());
            if (!conn.exists(name, context, file))
                server::createServerTableIn(
                    conn, file, TableSchema(name, source->fields(), source->readIndexes()),
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

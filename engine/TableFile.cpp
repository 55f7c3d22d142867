// TableFile: the table store over an SQLite file. Opens a table file without ever creating one,
// reads its layout and password record, and registers the engine's SQL functions:
//   dorvanta_upper(x)          upper case of all letters (not only ASCII); NULL stays NULL
//   dorvanta_like(pattern, x)  case-sensitive LIKE: % any run of characters, _ one character,
//                              every other character matches only itself; NULL if either is NULL
//   dorvanta_like(pattern, x, escape)  the same, with the character after escape matching only
//                              itself (an escape at the end of the pattern is an error)
// Records are rows of the file's one table and their ids SQLite's rowids. Here too: creating a
// protected table file in one transaction (nothing is left behind on failure), SQLite's
// integrity check, and the consistent copy of a table file with SQLite's backup API into a
// temporary file that is renamed over the target.

#include "engine/TableFile.h"

#include "engine/Money.h"
#include "engine/SqlGenerator.h"
#include "platform/AtomicFile.h"
#include "platform/DecimalText.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

namespace {

// How long a statement waits for another program's lock on the file before the table is busy.
constexpr int busyTimeoutMs = 2000;

// Marks the file as a table file for tools that look at the header ("DVNT").
constexpr int applicationId = 0x44564E54;

// Steps one UTF-8 character forward.
const unsigned char *nextChar(const unsigned char *p, const unsigned char *end)
{
    ++p;
    while (p < end && (*p & 0xC0) == 0x80)
        ++p;
    return p;
}

// Wildcard match with % and _ over UTF-8 text; linear backtracking to the last %. With an
// escape character (esc..escEnd, empty for none), the character after it matches only itself.
bool likeMatch(const unsigned char *pat, const unsigned char *patEnd, const unsigned char *str,
               const unsigned char *strEnd, const unsigned char *esc, const unsigned char *escEnd)
{
    const auto escapeAt = [&](const unsigned char *p) {
        return esc < escEnd && patEnd - p >= escEnd - esc && std::equal(esc, escEnd, p);
    };
    const unsigned char *starPat = nullptr;
    const unsigned char *starStr = nullptr;
    while (str < strEnd) {
        const bool escaped = pat < patEnd && escapeAt(pat);
        const unsigned char *lit = escaped ? pat + (escEnd - esc) : pat;
        const unsigned char *litEnd = lit < patEnd ? nextChar(lit, patEnd) : lit;
        const unsigned char *strNext = nextChar(str, strEnd);
        if (!escaped && pat < patEnd && *pat == '%') {
            starPat = ++pat;
            starStr = str;
        } else if (!escaped && pat < patEnd && *pat == '_') {
            pat = litEnd;
            str = strNext;
        } else if (lit < patEnd && std::equal(lit, litEnd, str, strNext)) {
            pat = litEnd;
            str = strNext;
        } else if (starPat) {
            pat = starPat;
            starStr = nextChar(starStr, strEnd);
            str = starStr;
        } else {
            return false;
        }
    }
    while (pat < patEnd && *pat == '%' && !escapeAt(pat))
        ++pat;
    return pat == patEnd;
}

// True when an escape character ends the pattern with nothing after it to stand for.
bool endsInEscape(const unsigned char *pat, const unsigned char *patEnd, const unsigned char *esc,
                  const unsigned char *escEnd)
{
    while (pat < patEnd) {
        if (patEnd - pat >= escEnd - esc && std::equal(esc, escEnd, pat)) {
            pat += escEnd - esc;
            if (pat == patEnd)
                return true;
        }
        pat = nextChar(pat, patEnd);
    }
    return false;
}

void likeFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    }
    const auto *pat = sqlite3_value_text(argv[0]);
    const int patLen = sqlite3_value_bytes(argv[0]);
    const auto *str = sqlite3_value_text(argv[1]);
    const int strLen = sqlite3_value_bytes(argv[1]);
    const unsigned char *esc = argc > 2 ? sqlite3_value_text(argv[2]) : pat;
    const int escLen = argc > 2 ? sqlite3_value_bytes(argv[2]) : 0;
    if (escLen > 0 && endsInEscape(pat, pat + patLen, esc, esc + escLen)) {
        sqlite3_result_error(context, "LIKE pattern must not end with escape character", -1);
        return;
    }
    sqlite3_result_int(context,
                       likeMatch(pat, pat + patLen, str, str + strLen, esc, esc + escLen) ? 1 : 0);
}

void upperFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const int len = sqlite3_value_bytes(argv[0]);
    QByteArray bytes(text, len);
    bool ascii = true;
    for (char &c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    if (!ascii)
        bytes = QString::fromUtf8(text, len).toUpper().toUtf8();
    sqlite3_result_text(context, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

// Registers dorvanta_upper(x) and dorvanta_like(pattern, value[, escape]) on a connection.
void registerFunctions(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(db, "dorvanta_upper", 1, flags, nullptr, upperFunction, nullptr,
                               nullptr, nullptr);
    for (const int argc : {2, 3})
        sqlite3_create_function_v2(db, "dorvanta_like", argc, flags, nullptr, likeFunction,
                                   nullptr, nullptr, nullptr);
}

// A record of a scan: the current row of the scanning statement.
class StatementRecord final : public RecordView
{
public:
    // `first` is the statement's column of the record's first field.
    explicit StatementRecord(const TableFile::Statement &stmt, int first = 0)
        : m_stmt(stmt), m_first(first)
    {
    }
    int fieldCount() const override { return m_stmt.columnCount() - m_first; }
    bool isNull(int index) const override { return m_stmt.columnIsNull(index + m_first); }
    qint64 integer(int index) const override { return m_stmt.columnInteger(index + m_first); }
    QByteArrayView utf8(int index) const override { return m_stmt.columnUtf8(index + m_first); }

private:
    const TableFile::Statement &m_stmt;
    int m_first;
};

} // namespace

TableFile::TableFile(const QString &absolutePath, const QString &displayPath)
    : TableStore(absolutePath, displayPath)
{
    const QFileInfo info(absolutePath);
    if (!info.exists() || !info.isFile())
        throw EngineError(EngineError::Kind::NotFound,
                          QStringLiteral("Table does not exist: %1").arg(displayPath));
    const int rc = sqlite3_open_v2(absolutePath.toUtf8().constData(), &m_db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                                    : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw EngineError(QStringLiteral("Cannot open table %1: %2").arg(displayPath, reason));
    }
    sqlite3_busy_timeout(m_db, busyTimeoutMs);
    registerFunctions(m_db);
    try {
        readLayout();
        QStringList names;
        for (const FieldDef &f : m_fields)
            names << quoteIdentifier(f.name);
        m_columnList = names.join(QStringLiteral(", "));
    } catch (...) {
        sqlite3_close(m_db);
        m_db = nullptr;
        throw;
    }
}

TableFile::~TableFile()
{
    m_readAfter.reset();
    m_readFrom.reset();
    sqlite3_close_v2(m_db);
}

void TableFile::readLayout()
{
    const EngineError notATable(EngineError::Kind::Damaged,
                                QStringLiteral("%1 is not a table file").arg(m_displayPath));
    sqlite3_stmt *stmt = nullptr;
    // Any failure here (a file that is not a database, a missing password table) means the
    // file is not a table file.
    auto prepare = [&](const QByteArray &sql) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
            throw notATable;
    };
    try {
        // Tables named dorvanta_... are kept beside the table (its password record, and what
        // the program keeps with the journal); the one other table is the table itself.
        prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
                "AND name NOT LIKE 'dorvanta\\_%' ESCAPE '\\'");
        QStringList names;
        int rc = 0;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        if (rc != SQLITE_DONE || names.size() != 1)
            throw notATable;
        m_tableName = names.front();

        prepare("PRAGMA table_info(" + quoteIdentifier(m_tableName).toUtf8() + ")");
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            FieldDef field;
            field.name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1)));
            const QString declared =
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 2)));
            field.type = fieldTypeFromName(declared).value_or(FieldType::Text);
            m_fields.append(field);
        }
        if (rc != SQLITE_DONE || m_fields.isEmpty())
            throw notATable;

        prepare("SELECT SALT, HASH FROM dorvanta_password");
        if (sqlite3_step(stmt) != SQLITE_ROW)
            throw notATable;
        auto blob = [&](int column) {
            return QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, column)),
                              sqlite3_column_bytes(stmt, column));
        };
        m_password = PasswordRecord(blob(0), blob(1));
        sqlite3_finalize(stmt);
    } catch (...) {
        sqlite3_finalize(stmt);
        throw;
    }
}

void TableFile::exec(const char *sql, const QString &context) const
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(context);
}

void TableFile::fail(const QString &context, EngineError::Kind kind) const
{
    if ((sqlite3_errcode(m_db) & 0xff) == SQLITE_BUSY)
        throw EngineError(EngineError::Kind::Busy,
                          QStringLiteral("Table %1 is busy: another desk is writing it, try again")
                              .arg(m_displayPath));
    throw EngineError(kind, QStringLiteral("%1 %2: %3")
                                .arg(context, m_displayPath, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

TableFile::Statement::Statement(const TableFile &file, const QString &sql) : m_file(file)
{
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(file.m_db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) !=
        SQLITE_OK)
        file.fail(QStringLiteral("Cannot read table"));
}

TableFile::Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

bool TableFile::Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    m_file.fail(QStringLiteral("Cannot access table"));
}

void TableFile::Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void TableFile::Statement::bind(int index, const Cell &value)
{
    switch (value.kind) {
    case Cell::Null:
        sqlite3_bind_null(m_stmt, index);
        break;
    case Cell::Integer:
        sqlite3_bind_int64(m_stmt, index, value.integer);
        break;
    case Cell::Text:
        bindText(index, value.text);
        break;
    case Cell::Date:
        bindText(index, value.isoText());
        break;
    }
}

void TableFile::Statement::bindInteger(int index, qint64 value)
{
    sqlite3_bind_int64(m_stmt, index, value);
}

void TableFile::Statement::bindText(int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

int TableFile::Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

Cell TableFile::Statement::column(int index) const
{
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return Cell::fromInteger(sqlite3_column_int64(m_stmt, index));
    case SQLITE_FLOAT:
        // Not written by the engine; a value put there by another tool reads as hundredths.
        return Cell::fromInteger(qRound64(sqlite3_column_double(m_stmt, index) * 100.0));
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
        return Cell::fromText(QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, index)));
    }
    }
}

Cell TableFile::Statement::column(int index, FieldType type) const
{
    if (type == FieldType::Date && sqlite3_column_type(m_stmt, index) == SQLITE_TEXT) {
        const auto *s = sqlite3_column_text(m_stmt, index);
        int year = 0, month = 0, day = 0;
        if (platform::readIsoDate(s, sqlite3_column_bytes(m_stmt, index), year, month, day))
            return Cell::fromYmd(year, month, day);
    }
    return column(index);
}

qint64 TableFile::Statement::columnInteger(int index) const
{
    return sqlite3_column_int64(m_stmt, index);
}

bool TableFile::Statement::columnIsNull(int index) const
{
    return sqlite3_column_type(m_stmt, index) == SQLITE_NULL;
}

QByteArrayView TableFile::Statement::columnUtf8(int index) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt, index));
}

void TableFile::bindRecord(Statement &stmt, const std::vector<Cell> &cells) const
{
    for (size_t i = 0; i < cells.size(); ++i)
        stmt.bind(int(i + 1), cells[i]);
}

void TableFile::setDurableWrites(bool durable)
{
    exec(durable ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = OFF",
         QStringLiteral("Cannot open table"));
}

void TableFile::readIds(std::deque<qint64> &ids)
{
    ids.clear();
    Statement stmt(*this, QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(table()));
    while (stmt.step())
        ids.push_back(stmt.columnInteger(0));
}

void TableFile::readRecords(qint64 id, bool inclusive, int limit, std::vector<qint64> &ids,
                            std::vector<Cell> &cells)
{
    std::unique_ptr<Statement> &stmt = inclusive ? m_readFrom : m_readAfter;
    if (!stmt)
        stmt = std::make_unique<Statement>(
            *this, QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid %3 ? ORDER BY rowid LIMIT ?")
                       .arg(m_columnList, table(),
                            inclusive ? QStringLiteral(">=") : QStringLiteral(">")));
    stmt->bindInteger(1, id);
    stmt->bindInteger(2, limit);
    const int columns = int(m_fields.size());
    try {
        while (stmt->step()) {
            ids.push_back(stmt->columnInteger(0));
            for (int c = 0; c < columns; ++c)
                cells.push_back(stmt->column(c + 1, m_fields[c].type));
        }
    } catch (...) {
        stmt->reset();
        throw;
    }
    stmt->reset();
}

qint64 TableFile::insertRecord(const std::vector<Cell> &cells)
{
    QStringList marks;
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        marks << QStringLiteral("?");
    Statement stmt(*this, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                              .arg(table(), m_columnList, marks.join(u',')));
    bindRecord(stmt, cells);
    stmt.step();
    return sqlite3_last_insert_rowid(m_db);
}

bool TableFile::updateRecord(qint64 id, const std::vector<Cell> &cells)
{
    QStringList sets;
    for (const FieldDef &f : m_fields)
        sets << quoteIdentifier(f.name) + QStringLiteral(" = ?");
    Statement stmt(*this, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                              .arg(table(), sets.join(QStringLiteral(", "))));
    bindRecord(stmt, cells);
    stmt.bindInteger(int(m_fields.size()) + 1, id);
    stmt.step();
    return sqlite3_changes(m_db) != 0;
}

void TableFile::deleteRecord(qint64 id)
{
    Statement stmt(*this, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(table()));
    stmt.bindInteger(1, id);
    stmt.step();
}

void TableFile::deleteAll()
{
    exec(QStringLiteral("DELETE FROM %1").arg(table()).toUtf8().constData(),
         QStringLiteral("Cannot empty table"));
}

QList<Money> TableFile::sumMoney(const QList<int> &fields, const QStringList &names)
{
    auto sumOf = [this](int field) {
        return QStringLiteral("SUM(%1)").arg(quoteIdentifier(m_fields[field].name));
    };
    QStringList sums;
    for (const int field : fields)
        sums << sumOf(field);
    Statement stmt(*this, QStringLiteral("SELECT %1 FROM %2").arg(sums.join(QStringLiteral(", ")), table()));
    try {
        stmt.step();
    } catch (const EngineError &) {
        // SQLite stops an integer sum that leaves the 64-bit range instead of giving a
        // wrong figure; name the first field whose sum does.
        for (qsizetype i = 0; i < fields.size(); ++i) {
            Statement one(*this, QStringLiteral("SELECT %1 FROM %2").arg(sumOf(fields[i]), table()));
            try {
                one.step();
            } catch (const EngineError &) {
                throw EngineError(EngineError::Kind::Value,
                                  QStringLiteral("The sum of %1 in %2 is too large")
                                      .arg(names[i], m_displayPath));
            }
        }
        throw;
    }
    QList<Money> out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (stmt.columnIsNull(int(i))) {
            out << Money();
            continue;
        }
        // A value written by another tool as a fraction or a text makes the sum one too:
        // that is an error, not a figure rounded to whole hundredths.
        bool whole = false;
        const qint64 sum = stmt.columnUtf8(int(i)).toByteArray().toLongLong(&whole);
        if (!whole)
            throw EngineError(
                EngineError::Kind::Value,
                QStringLiteral("The sum of %1 in %2 is not an amount").arg(names[i], m_displayPath));
        out << Money::fromHundredths(sum);
    }
    return out;
}

void TableFile::scan(const std::function<void(const RecordView &)> &visit)
{
    Statement stmt(*this, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(m_columnList, table()));
    const StatementRecord record(stmt);
    while (stmt.step())
        visit(record);
}

void TableFile::scanAfter(qint64 id, const std::function<void(qint64, const RecordView &)> &visit)
{
    Statement stmt(*this, QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid > ? ORDER BY rowid")
                              .arg(m_columnList, table()));
    stmt.bindInteger(1, id);
    const StatementRecord record(stmt, 1);
    while (stmt.step())
        visit(stmt.columnInteger(0), record);
}

qint64 TableFile::countThrough(qint64 id)
{
    // Without a condition SQLite counts the table's pages instead of visiting every row.
    if (id == std::numeric_limits<qint64>::max()) {
        Statement all(*this, QStringLiteral("SELECT count(*) FROM %1").arg(table()));
        all.step();
        return all.columnInteger(0);
    }
    Statement stmt(*this, QStringLiteral("SELECT count(*) FROM %1 WHERE rowid <= ?").arg(table()));
    stmt.bindInteger(1, id);
    stmt.step();
    return stmt.columnInteger(0);
}

std::vector<std::vector<Cell>> TableFile::runBeside(const QString &sql,
                                                    const std::vector<Cell> &params)
{
    Statement stmt(*this, QString(sql).replace(QLatin1String("{id}"), QLatin1String("rowid")));
    for (size_t i = 0; i < params.size(); ++i)
        stmt.bind(int(i + 1), params[i]);
    std::vector<std::vector<Cell>> rows;
    while (stmt.step()) {
        std::vector<Cell> &row = rows.emplace_back();
        for (int c = 0; c < stmt.columnCount(); ++c)
            row.push_back(stmt.column(c));
    }
    return rows;
}

void TableFile::scanBeside(const QString &sql, const std::vector<Cell> &params,
                           const std::function<void(const RecordView &)> &visit)
{
    Statement stmt(*this, QString(sql).replace(QLatin1String("{id}"), QLatin1String("rowid")));
    for (size_t i = 0; i < params.size(); ++i)
        stmt.bind(int(i + 1), params[i]);
    const StatementRecord record(stmt);
    while (stmt.step())
        visit(record);
}

QList<IndexDef> TableFile::readIndexes()
{
    QList<IndexDef> indexes;
    Statement list(*this, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                         "tbl_name = ?1 AND sql IS NOT NULL ORDER BY name"));
    list.bindText(1, m_tableName);
    while (list.step())
        indexes.append({QString::fromUtf8(list.columnUtf8(0)), {}});
    for (IndexDef &index : indexes) {
        Statement info(*this, QStringLiteral("SELECT name FROM pragma_index_info(?1) ORDER BY seqno"));
        info.bindText(1, index.name);
        while (info.step())
            index.fields << QString::fromUtf8(info.columnUtf8(0));
    }
    return indexes;
}

void TableFile::replaceAll(TableStore &source)
{
    requireFieldsOf(*this, source);
    Transaction transaction(*this);
    deleteAll();
    QStringList marks;
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        marks << QStringLiteral("?");
    {
        Statement insert(*this, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(table(), m_columnList, marks.join(u',')));
        std::vector<Cell> cells;
        source.scan([&](const RecordView &record) {
            cells.clear();
            appendCells(record, m_fields, cells);
            bindRecord(insert, cells);
            insert.step();
            insert.reset();
        });
    }
    transaction.commit();
}

void TableFile::begin()
{
    exec("BEGIN IMMEDIATE", QStringLiteral("Cannot start a transaction on table"));
}

void TableFile::beginReading()
{
    // Deferred: the snapshot is taken at the first read and kept until the end.
    exec("BEGIN DEFERRED", QStringLiteral("Cannot start a transaction on table"));
}

void TableFile::commit()
{
    // A commit that fails ends the transaction too: the caller rolls nothing back afterwards.
    try {
        exec("COMMIT", QStringLiteral("Cannot commit table"));
    } catch (...) {
        rollbackQuietly();
        throw;
    }
}

void TableFile::rollback()
{
    exec("ROLLBACK", QStringLiteral("Cannot roll back table"));
}

void TableFile::rollbackQuietly() noexcept
{
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void TableFile::select(const SqlSelect &statement, std::vector<SqlResultColumn> &columns,
                       std::vector<Cell> &cells)
{
    GeneratedSql generated = SqlGenerator::generate(statement, *this);
    Statement stmt(*this, generated.sql);
    for (size_t i = 0; i < generated.parameters.size(); ++i)
        stmt.bind(int(i + 1), generated.parameters[i]);
    const int width = int(generated.columns.size());
    while (stmt.step()) {
        for (int c = 0; c < width; ++c)
            cells.push_back(stmt.column(c, generated.columns[size_t(c)].type));
    }
    columns = std::move(generated.columns);
}

void TableFile::selectIds(const SqlSelect &statement, std::vector<SqlResultColumn> &columns,
                          std::vector<qint64> &ids)
{
    GeneratedSql generated = SqlGenerator::generate(statement, *this);
    Statement stmt(*this, generated.idsSql);
    for (size_t i = 0; i < generated.parameters.size(); ++i)
        stmt.bind(int(i + 1), generated.parameters[i]);
    while (stmt.step())
        ids.push_back(stmt.columnInteger(0));
    columns = std::move(generated.columns);
}

void TableFile::selectRange(const SqlSelect &statement, qint64 fromId, qint64 toId,
                            std::vector<qint64> &ids, std::vector<Cell> &cells)
{
    const GeneratedSql generated = SqlGenerator::generate(statement, *this);
    Statement stmt(*this, generated.rangeSql);
    const int n = int(generated.parameters.size());
    for (int i = 0; i < n; ++i)
        stmt.bind(i + 1, generated.parameters[size_t(i)]);
    stmt.bindInteger(n + 1, fromId);
    stmt.bindInteger(n + 2, toId);
    const int width = int(generated.columns.size()) - 1; // the fields, then the id
    while (stmt.step()) {
        for (int c = 0; c < width; ++c)
            cells.push_back(stmt.column(c, generated.columns[size_t(c)].type));
        ids.push_back(stmt.columnInteger(width));
    }
}


void createTableFile(const QString &filePath, const TableSchema &schema,
                     const PasswordRecord &password, bool intoEmptyFile)
{
    if (!intoEmptyFile && QFileInfo::exists(filePath))
        throw EngineError(EngineError::Kind::AlreadyExists,
                          QStringLiteral("Table already exists: %1").arg(filePath));
    // The file is made readable by its owner only before SQLite writes to it (SQLite gives
    // its journal files the table file's mode).
    {
        const int fd = ::open(QFile::encodeName(filePath).constData(),
                              O_WRONLY | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
        const bool owned = fd >= 0 && ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        if (!owned)
            throw EngineError(QStringLiteral("Cannot create table %1: %2")
                                  .arg(filePath, qt_error_string(error)));
    }
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

    const QStringList statements = createTableStatements(
        schema, quoteIdentifier, [](FieldType type) { return fieldTypeName(type); });
    const QString ddl =
        // The page size must be set before anything is written.
        QStringLiteral("PRAGMA page_size = 16384;" // fewer, larger pages: faster walks and sums
                       "PRAGMA application_id = %1;"
                       "PRAGMA synchronous = OFF;"
                       "BEGIN;"
                       "%2;"
                       "CREATE TABLE dorvanta_password (SALT BLOB NOT NULL, HASH BLOB NOT NULL);")
            .arg(applicationId)
            .arg(statements.join(u';'));
    if (sqlite3_exec(db, ddl.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw failure(QString::fromUtf8(sqlite3_errmsg(db)));

    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO dorvanta_password (SALT, HASH) VALUES (?, ?)", -1,
                           &stmt, nullptr) != SQLITE_OK)
        throw failure(QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_bind_blob(stmt, 1, password.salt().constData(), int(password.salt().size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_blob(stmt, 2, password.hash().constData(), int(password.hash().size()),
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

QString tableFileFinding(const QString &filePath, bool quick)
{
    sqlite3 *db = nullptr;
    QString reason;
    if (sqlite3_open_v2(QFile::encodeName(filePath).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        reason = QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        sqlite3_busy_timeout(db, busyTimeoutMs);
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, quick ? "PRAGMA quick_check(1)" : "PRAGMA integrity_check(1)",
                               -1, &stmt, nullptr) != SQLITE_OK) {
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

void copyWholeTableFile(const QString &sourcePath, const QString &targetPath)
{
    const QFileInfo source(sourcePath);
    if (!source.exists() || !source.isFile())
        throw EngineError(EngineError::Kind::NotFound,
                          QStringLiteral("Table does not exist: %1").arg(sourcePath));

    const auto failure = [&](const QString &reason, EngineError::Kind kind) {
        return EngineError(kind, QStringLiteral("Cannot copy table %1 to %2: %3")
                                     .arg(sourcePath, targetPath, reason));
    };
    platform::TemporaryFile temp(targetPath);
    if (!temp.isOpen())
        throw failure(temp.errorString(), EngineError::Kind::Failed);

    sqlite3 *from = nullptr;
    sqlite3 *to = nullptr;
    QString reason;
    EngineError::Kind kind = EngineError::Kind::Failed;
    if (sqlite3_open_v2(QFile::encodeName(sourcePath).constData(), &from, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        reason = QString::fromUtf8(sqlite3_errmsg(from));
    } else if (sqlite3_open_v2(QFile::encodeName(temp.path()).constData(), &to,
                               SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        reason = QString::fromUtf8(sqlite3_errmsg(to));
    } else {
        sqlite3_busy_timeout(from, busyTimeoutMs);
        sqlite3_backup *backup = sqlite3_backup_init(to, "main", from, "main");
        if (!backup) {
            reason = QString::fromUtf8(sqlite3_errmsg(to));
        } else {
            const int rc = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
            if (rc != SQLITE_DONE)
                reason = QString::fromUtf8(sqlite3_errstr(rc));
            if ((rc & 0xff) == SQLITE_BUSY)
                kind = EngineError::Kind::Busy;
        }
    }
    sqlite3_close(from);
    if (sqlite3_close(to) != SQLITE_OK && reason.isEmpty())
        reason = QStringLiteral("cannot close the copy");
    if (reason.isEmpty() && ::fsync(temp.handle()) != 0)
        reason = qt_error_string(errno);
    // A damaged source gives a damaged copy: it never replaces the target. The copy is
    // checked once, structurally (a source from outside the program, a backup to restore, is
    // checked whole by checkTableIntegrity before it is copied).
    if (reason.isEmpty()) {
        const QString finding = tableFileFinding(temp.path(), true);
        if (!finding.isEmpty()) {
            reason = QStringLiteral("%1 is damaged: %2").arg(sourcePath, finding);
            kind = EngineError::Kind::Damaged;
        }
    }
    // The copy stays readable by its owner only, as the temporary file was made, whatever
    // the source's mode: a backup holds the whole journal.
    if (reason.isEmpty() && !temp.renameTo(targetPath))
        reason = temp.errorString();
    if (!reason.isEmpty())
        throw failure(reason, kind);
}

} // namespace engine

#pragma once

// TableFile: the table store over an SQLite file (see TableStore.h), the one place in the
// engine that talks to SQLite. An open connection to one table file, with the file's layout
// and password record read at opening, the engine's own SQL functions registered, and the
// prepared statements of the block reads kept for the next read. Statement wraps a prepared
// SQLite statement. Also the operations on whole table files: creating one, SQLite's
// integrity check, and the copy of a file with SQLite's backup API. Internal to the engine
// (TableStores.cpp chooses it); every failure throws EngineError naming the table by the path
// the caller gave.

#include "engine/EngineError.h"
#include "engine/TableStore.h"

#include <QByteArrayView>

struct sqlite3;
struct sqlite3_stmt;

namespace engine {

class TableFile final : public TableStore
{
public:
    // Opens the existing table file `absolutePath`; `displayPath` names it in messages.
    TableFile(const QString &absolutePath, const QString &displayPath);
    ~TableFile() override;

    void setDurableWrites(bool durable) override;
    void readIds(std::deque<qint64> &ids) override;
    void readRecords(qint64 id, bool inclusive, int limit, std::vector<qint64> &ids,
                     std::vector<Cell> &cells) override;
    qint64 insertRecord(const std::vector<Cell> &cells) override;
    bool updateRecord(qint64 id, const std::vector<Cell> &cells) override;
    void deleteRecord(qint64 id) override;
    void deleteAll() override;
    QList<Money> sumMoney(const QList<int> &fields, const QStringList &names) override;
    void scan(const std::function<void(const RecordView &)> &visit) override;
    void scanAfter(qint64 id, const std::function<void(qint64, const RecordView &)> &visit) override;
    qint64 countThrough(qint64 id) override;
    QList<IndexDef> readIndexes() override;
    void replaceAll(TableStore &source) override;
    void begin() override;
    void beginReading() override;
    void commit() override;
    void rollback() override;
    void rollbackQuietly() noexcept override;
    void select(const SqlSelect &statement, std::vector<SqlResultColumn> &columns,
                std::vector<Cell> &cells) override;
    void selectIds(const SqlSelect &statement, std::vector<SqlResultColumn> &columns,
                   std::vector<qint64> &ids) override;
    void selectRange(const SqlSelect &statement, qint64 fromId, qint64 toId,
                     std::vector<qint64> &ids, std::vector<Cell> &cells) override;
    std::vector<std::vector<Cell>> runBeside(const QString &sql,
                                             const std::vector<Cell> &params) override;
    void scanBeside(const QString &sql, const std::vector<Cell> &params,
                    const std::function<void(const RecordView &)> &visit) override;

    class Statement
    {
    public:
        Statement(const TableFile &file, const QString &sql);
        ~Statement();
        Statement(const Statement &) = delete;
        Statement &operator=(const Statement &) = delete;

        // True while a row is available; throws EngineError on failure.
        bool step();
        void reset();
        void bind(int index, const Cell &value); // 1-based like SQLite
        void bindInteger(int index, qint64 value);
        void bindText(int index, const QString &value);
        int columnCount() const;
        Cell column(int index) const; // 0-based
        // The same for a column of a field of `type`: a valid ISO date of a DATE field becomes
        // a Date cell.
        Cell column(int index, FieldType type) const;
        qint64 columnInteger(int index) const;
        // The column as stored: whether it is NULL, and its text bytes (UTF-8; an integer
        // comes as its decimal digits). The bytes stay valid until the next step.
        bool columnIsNull(int index) const;
        QByteArrayView columnUtf8(int index) const;

    private:
        const TableFile &m_file;
        sqlite3_stmt *m_stmt = nullptr;
    };

private:
    void readLayout();
    // Runs SQL without results; throws EngineError "<context> <path>: <SQLite's reason>".
    void exec(const char *sql, const QString &context) const;
    [[noreturn]] void fail(const QString &context,
                           EngineError::Kind kind = EngineError::Kind::Failed) const;
    QString table() const { return quoteIdentifier(m_tableName); }
    // Binds every field of a record to ?1 .. ?n.
    void bindRecord(Statement &stmt, const std::vector<Cell> &cells) const;

    sqlite3 *m_db = nullptr;
    QString m_columnList; // "KORISNIK", "DATUM", ...
    std::unique_ptr<Statement> m_readAfter;
    std::unique_ptr<Statement> m_readFrom;
};

// Creates the table file `filePath` of `schema` with the password record `password`, in one
// transaction, flushed to disk once when whole. Throws EngineError (AlreadyExists) "Table
// already exists: <path>" when a file is there, unless `intoEmptyFile` (a temporary file made
// for it, still empty); on any other failure nothing is left behind.
void createTableFile(const QString &filePath, const TableSchema &schema,
                     const PasswordRecord &password, bool intoEmptyFile = false);

// SQLite's first finding of its integrity check on the file; empty when the file is whole.
// `quick`: the structural check only (every page, b-tree and record well formed), without
// matching each index against its table: about a tenth of the time on a large journal, for a
// copy whose source was checked or written by the program itself.
QString tableFileFinding(const QString &filePath, bool quick = false);

// The copy of the table file `sourcePath` over `targetPath` with SQLite's backup API (see
// copyTableFile in TableStores.h).
void copyWholeTableFile(const QString &sourcePath, const QString &targetPath);

} // namespace engine

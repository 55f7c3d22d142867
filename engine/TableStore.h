#pragma once

// TableStore: the storage under one table, the only way Table, Query and the whole-table
// operations (TableStores.h) reach it. A store knows the table's layout (name, fields in order,
// password record) read at opening, and offers whole-record operations by record id (ids grow
// in stored order), the sums of money fields, a scan of every record as stored, replacing every
// record by another table's, a transaction, and the run of a parsed statement of the SQL
// dialect. The stores are the table file (TableFile.h, SQLite) and the table on a PostgreSQL
// server (ServerTable.h); TableStores.cpp chooses between them, and the two know nothing of
// each other. Internal to the engine; every failure throws EngineError naming the table by the
// path the caller gave.
//
// Also here: RecordView (a record as stored, seen during a scan) and the few helpers both
// stores share (quoting names, a record's cells, the layout check, the statements that make a
// table of a layout).

#include "engine/Cell.h"
#include "engine/FieldType.h"
#include "engine/PasswordRecord.h"
#include "engine/TableSchema.h"
#include "engine/Transaction.h"

#include <QByteArrayView>

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace engine {

class Money;
struct SqlSelect;
struct SqlResultColumn;

// One record as stored, seen during a scan: no conversion is made. Text fields give their
// UTF-8 bytes, DATE fields ISO text "YYYY-MM-DD", TIME fields "HH:MM:SS", MONEY fields an
// integer count of hundredths; an empty value is NULL. The table's store gives it.
class RecordView
{
public:
    virtual int fieldCount() const = 0;
    virtual bool isNull(int index) const = 0;
    virtual qint64 integer(int index) const = 0;
    virtual QByteArrayView utf8(int index) const = 0;

protected:
    ~RecordView() = default;
};

class TableStore : public Transactional
{
public:
    virtual ~TableStore() = default;
    TableStore(const TableStore &) = delete;
    TableStore &operator=(const TableStore &) = delete;

    // Where the table is stored (the absolute file path, also for a table on the server);
    // tables of one session that share it tell each other of their changes.
    const QString &location() const { return m_location; }
    // The path as the caller gave it, for messages.
    const QString &displayPath() const { return m_displayPath; }
    const QString &tableName() const { return m_tableName; }
    const QList<FieldDef> &fields() const { return m_fields; }
    const PasswordRecord &passwordRecord() const { return m_password; }
    // Index of the field, compared without regard to case; -1 when none.
    int fieldIndex(QStringView name) const;

    // Every write reaches the disk before it returns (the default), or not (tests only).
    virtual void setDurableWrites(bool durable) = 0;

    // The ids of all records in stored order, replacing `ids`.
    virtual void readIds(std::deque<qint64> &ids) = 0;
    // Appends up to `limit` records in stored order, starting after `id` (at `id` when
    // `inclusive`): their ids to `ids`, their fields (fields().size() cells each) to `cells`.
    virtual void readRecords(qint64 id, bool inclusive, int limit, std::vector<qint64> &ids,
                             std::vector<Cell> &cells) = 0;
    // Stores a new record after every other; returns its id.
    virtual qint64 insertRecord(const std::vector<Cell> &cells) = 0;
    // Rewrites the record; false when there is no record with that id (any more).
    virtual bool updateRecord(qint64 id, const std::vector<Cell> &cells) = 0;
    virtual void deleteRecord(qint64 id) = 0;
    virtual void deleteAll() = 0;
    // Sums of the money fields at `fields` over every record; `names` name them in messages
    // ("The sum of <name> in <path> is too large", "... is not an amount").
    virtual QList<Money> sumMoney(const QList<int> &fields, const QStringList &names) = 0;
    // Every record as stored, in stored order, in one pass.
    virtual void scan(const std::function<void(const RecordView &)> &visit) = 0;
    // The records whose id is above `id`, as stored, in stored order, each with its id; memory
    // stays bounded however many there are (the server sends them in batches).
    virtual void scanAfter(qint64 id,
                           const std::function<void(qint64, const RecordView &)> &visit) = 0;
    // How many records have an id of at most `id`.
    virtual qint64 countThrough(qint64 id) = 0;
    // The indexes kept with the table (not the store's own keys), fields in index order.
    virtual QList<IndexDef> readIndexes() = 0;
    // Replaces every record by the records of `source` in its stored order, in one
    // transaction of this store (new ids, the source's order). Throws EngineError, and
    // changes nothing, when the source has another layout ("<source> is not a <name> table").
    virtual void replaceAll(TableStore &source) = 0;

    // One transaction at a time: begin() takes the write lock at once, so sums read inside it
    // stay true until commit(). rollbackQuietly() is for closing and never throws.
    void begin() override = 0;
    // begin() for one posting with the caller's random `key` (UUID text): a store that can
    // lose the answer to a commit keeps the key with the posting, so that commit() can ask
    // afterwards whether it was stored, and refuses a second posting with the same key: false
    // then, with no transaction open. The table file needs none of it.
    virtual bool beginPosting(const QString &key)
    {
        Q_UNUSED(key);
        begin();
        return true;
    }
    // A transaction that only reads: every read until commit() sees the store in one state,
    // however long it takes and whatever other connections commit meanwhile. It takes no
    // write lock (a table file's writer waits at its commit for it to end, as for any read).
    virtual void beginReading() = 0;
    void commit() override = 0;
    virtual void rollback() = 0;
    void rollbackQuietly() noexcept override = 0;

    // Runs a parsed statement of the SQL dialect on this table: the result's columns, and its
    // cells row by row.
    virtual void select(const SqlSelect &statement, std::vector<SqlResultColumn> &columns,
                        std::vector<Cell> &cells) = 0;
    // The same for a statement of rows (not sums), read in parts: selectIds() gives the
    // result's columns (as select() gives them, the id column last) and the stored ids of its
    // rows in order, selectRange() the rows of the result whose ids lie from `fromId` to
    // `toId`: their ids to `ids`, their fields' cells (without the id) row by row.
    virtual void selectIds(const SqlSelect &statement, std::vector<SqlResultColumn> &columns,
                           std::vector<qint64> &ids) = 0;
    virtual void selectRange(const SqlSelect &statement, qint64 fromId, qint64 toId,
                             std::vector<qint64> &ids, std::vector<Cell> &cells) = 0;

    // Several runBeside() statements in their order (none making a table), the rows of each;
    // the first that fails throws and the rest do not run. The server sends them at once.
    using BesideStatement = std::pair<QString, std::vector<Cell>>;
    virtual std::vector<std::vector<std::vector<Cell>>>
    runBesideTogether(const std::vector<BesideStatement> &statements)
    {
        std::vector<std::vector<std::vector<Cell>>> results;
        for (const auto &[sql, params] : statements)
            results.push_back(runBeside(sql, params));
        return results;
    }

    // Runs `sql` on the tables kept beside this one (in the same table file; in the same
    // server database) on this table's own connection, so inside its transaction. `sql` is in
    // the SQL that SQLite and PostgreSQL share, with parameters ?1 .. ?n and {id} standing for
    // this table's column of the stored order. Returns the rows; on the server every value that
    // is not NULL comes as text.
    virtual std::vector<std::vector<Cell>> runBeside(const QString &sql,
                                                     const std::vector<Cell> &params) = 0;
    // runBeside() for a long result: `visit` sees each row as it comes, without converting
    // anything (on the server every value as its text).
    virtual void scanBeside(const QString &sql, const std::vector<Cell> &params,
                            const std::function<void(const RecordView &)> &visit) = 0;

protected:
    TableStore(QString location, QString displayPath)
        : m_location(std::move(location)), m_displayPath(std::move(displayPath))
    {
    }

    QString m_location;
    QString m_displayPath;
    QString m_tableName;
    QList<FieldDef> m_fields;
    PasswordRecord m_password;

private:
    mutable int m_lastIndex = -1; // where fieldIndex found the last name
};

// What both stores share.

// "name" with inner quotes doubled, for a table, column or index name in SQL.
QString quoteIdentifier(const QString &name);

// "" when `stored` has the fields of `expected` (names without regard to case, same order, same
// types), else the first field that differs: "column DATUM is TEXT, not DATE", "column OPIS
// is missing", "column X is not one of the table's", "column OPIS is in place 5, not 4".
QString fieldsDifference(const QList<FieldDef> &stored, const QList<FieldDef> &expected);

// Throws EngineError (Layout) "<source> is not a <table> table (<difference>)" unless `source`
// has the fields of `target`.
void requireFieldsOf(const TableStore &target, const TableStore &source);

// Appends the cells of `record` for a table of `fields`: NULL stays NULL, a money field its
// hundredths, every other field its text.
void appendCells(const RecordView &record, const QList<FieldDef> &fields, std::vector<Cell> &cells);

// The statements that make a table of `schema`: CREATE TABLE (with `leadingColumn` first
// when given), then one CREATE INDEX per index. `name` writes a table, column or index name
// as the store keeps it, `type` a field type as the store declares it.
QStringList createTableStatements(const TableSchema &schema,
                                  const std::function<QString(const QString &)> &name,
                                  const std::function<QString(FieldType)> &type,
                                  const QString &leadingColumn = {});

} // namespace engine

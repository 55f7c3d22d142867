#pragma once

// engine::Table - one table file opened through the session.
//
// Records are in the order they were stored (the store's record ids grow in that order). Opening positions at the
// first record; records are fetched in blocks, so walking is fast, and the first call that needs
// positions (moveTo, last, ...) reads the list of record ids once, after which moveTo(position)
// is fast too. recordCount() and posting a new record need no ids: the store counts the
// records, so a posting on a long table reads only the new record. Field names are matched without regard to case.
//
// Reading: fieldText gives text for a text field, date text (the session's short form) for a
// date field, "HH:MM:SS" for a time field, money text for a money field, and "" for an empty
// value; fieldMoney gives a money field's amount (an empty one reads 0).
// Writing: insert() or edit(), then setFieldText/setFieldMoney, then post() or cancel().
// Nothing is stored before post(); a set that fails throws and changes nothing; close() (also
// through Session::close()) discards an unposted record.
//
// Reading never emits a signal: when another table of the session changed the file, a read
// re-reads the records quietly, and the queued notice emits currentChanged() and changed().
//
// Every failure throws EngineError with the engine's text naming the table (the path as given)
// or the field.

#include "engine/FieldType.h"
#include "engine/Money.h"
#include "engine/TableStore.h" // RecordView, what scan() shows

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <QByteArrayView>

#include <functional>
#include <memory>

namespace engine {

class Session;

class Table : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Insert, Edit };

    Table(Session &session, const QString &tablePath = {}, QObject *parent = nullptr);
    ~Table() override;

    // The relative path as given ("podaci\korisnici.db"); changing it closes the table.
    QString tablePath() const;
    void setTablePath(const QString &tablePath);
    // The absolute path of the open file; empty when closed.
    QString filePath() const;

    // Opens the table file (checking the password, see Session) and moves to the first
    // record. Opening an open table changes nothing. Throws EngineError
    // "Table does not exist: <path>", "Invalid password for table <path>", ...
    void open();
    // Discards an unposted record and releases the file. Harmless when closed.
    void close();
    bool isOpen() const;
    State state() const;

    // --- moving ---
    // first() sets bof() and last() sets eof() while standing on the
    // first / last record; moving in insert or edit state posts the record first.
    void first();
    void next();  // past the last record sets eof()
    void prior(); // before the first record sets bof()
    void last();
    bool eof() const; // true when empty or moved past the last record
    bool bof() const; // true when empty or moved before the first record
    int recordCount() const;
    // Zero-based position of the current record; -1 when the table is empty.
    int recNo() const;
    // Moves to the zero-based position (clamped to the records there are).
    void moveTo(int position);
    // The store's id of the current record (the file's rowid or the server's id: its storage
    // identity, so two identical records have different ids); -1 when there is no current
    // record.
    qint64 recordId() const;
    // The id of the record at `position` without moving there (for grids); -1 for a position
    // out of range.
    qint64 recordIdAt(int position) const;
    // Moves to the record with this id; false (and no move) when there is none.
    bool moveToId(qint64 id);

    // --- fields ---
    // Field names in table order, upper case as stored.
    QStringList fieldNames() const;
    int fieldCount() const;
    // Index of the field (case-insensitive); -1 when the table has none of that name.
    int fieldIndex(const QString &name) const;
    // Throws EngineError "Unknown field 'xyz' in <path>" for an unknown name.
    FieldType fieldType(const QString &name) const;
    QString fieldText(const QString &name) const;
    QString fieldText(int index) const;
    Money fieldMoney(const QString &name) const;
    Money fieldMoney(int index) const;
    bool fieldIsEmpty(const QString &name) const;
    // Text of a field of the record at a position, without moving (for grids).
    QString textAt(int position, int index) const;
    // Reads every stored record in table order with one statement, without moving the
    // table and without converting anything: the fast way to write a whole table out.
    // `visit` gets each record as stored. The table must be open.
    void scan(const std::function<void(const RecordView &)> &visit) const;
    // scan() of the records stored after the record with id `id` (every record whose id is
    // above it), each with its id: what a copy of the table that holds the records up to
    // `id` lacks. On the server only those records are sent, in batches.
    void scanAfter(qint64 id, const std::function<void(qint64, const RecordView &)> &visit) const;
    // How many stored records have an id of at most `id` (read in the table's connection);
    // with the largest qint64, every record, counted as fast as the store can.
    qint64 countThrough(qint64 id) const;

    // Sums of money fields over every stored record, read in the table's own connection, so
    // inside its transaction and under its write lock. An empty table sums to 0. A sum beyond
    // the range of Money throws EngineError "The sum of <field> in <path> is too large"; one
    // that is not whole hundredths (values written as fractions by another tool) is an error too.
    QList<Money> sumMoney(const QStringList &names) const;

    // Runs `sql` on the tables kept beside this one in its store (the same table file; the
    // same server database), on the table's own connection and so inside its transaction: for
    // the program's own tables that go with a table. `sql` is in the SQL that SQLite and
    // PostgreSQL share, with parameters ?1 .. ?n (null, integer or text QVariants) and {id}
    // for the column of the stored order (whose values recordId() gives). Returns the rows;
    // a value is a null QVariant, a qint64 or a QString (on the server always a QString, so
    // read numbers with toLongLong()). The table must be open.
    QList<QVariantList> runBeside(const QString &sql, const QVariantList &params = {});
    // runBeside() for a long result: `visit` sees each row as stored, without converting
    // anything (on the server every value that is not NULL as its text).
    void scanBeside(const QString &sql, const QVariantList &params,
                    const std::function<void(const RecordView &)> &visit);
    // runBeside() for several statements in their order, sent to the server at once (one wait
    // for its answers instead of one per statement): the rows of each. None may make a table;
    // the first that fails throws, and the rest have not run.
    using BesideStatement = std::pair<QString, QVariantList>;
    QList<QList<QVariantList>> runBesideTogether(const QList<BesideStatement> &statements);

    // --- changing ---
    // Starts a new, empty record (it is appended at the end when posted).
    void insert();
    // Starts editing the current record (throws on an empty table).
    void edit();
    // Sets a field of the record being inserted or edited. Money fields take amount text,
    // date fields date text in the session's short form, time fields "HH:mm:ss"; "" stores an
    // empty value. Throws EngineError ("'12a' is not a valid amount", "'31/02/2026' is not a
    // valid date", ...) and then leaves the record as it was.
    void setFieldText(const QString &name, const QString &text);
    // Sets a money field (a text field gets the money text).
    void setFieldMoney(const QString &name, Money value);
    // Stores the record being inserted or edited and makes it current. No-op in browse state.
    void post();
    // Discards the record being inserted or edited.
    void cancel();
    // Deletes the current record; the next record becomes current (the new last one when the
    // last was deleted; eof() when the table became empty).
    void deleteRecord();
    // Deletes every record in one step.
    void emptyTable();
    // Re-reads the record list from the file, staying on the current record where it can.
    void refresh();

    // Groups the following posts and deletes into one transaction: they reach the disk together
    // at commit(), which makes a loop over many records fast (each post or delete is otherwise
    // flushed to disk on its own). rollback(), close() and Session::close() without commit()
    // undo them all. Other tables and queries see the changes only after commit() and cannot
    // write the same file before it, so keep the transaction to one loop of one handler.
    void startTransaction();
    // startTransaction() for one posting that carries `key`, a random identity the caller made
    // before sending anything and keeps for a repeat of the same posting. On the server the
    // key is stored with the posting: when the answer to commit() is lost, the desk asks the
    // server whether the key is there and commit() returns (stored), throws (not stored), or
    // throws EngineError of kind OutcomeUnknown (cannot tell). False, and no transaction, when
    // the posting with this key is stored already.
    bool startPosting(const QUuid &key);
    // A transaction that only reads, ended by commit(): every read until then (of this table
    // and the tables beside it, runBeside()) sees them as they were at the first read, while
    // others go on posting. Nothing may be written in it.
    void startReading();
    void commit();
    void rollback();
    bool inTransaction() const;

signals:
    void opened();
    void closed();
    // After post(), deleteRecord(), emptyTable(); also (queued, once until the table is next
    // used) when another table of the session changed the same file.
    void changed();
    // After the current record changed (moving, refresh, posting, deleting).
    void currentChanged();

private:
    friend class Session;
    // Another table of the session changed the file: re-read the record list at the next use.
    void markStale();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace engine

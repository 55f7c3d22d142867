// Table: a table file opened through the session. Records are fetched in blocks of 256 in rowid
// order and cached, so a walk costs one query per block. Opening reads only the first block;
// the ordered list of all record ids is read when positions are needed beyond a forward walk
// (record count, moveTo, last, going back past the block, inserting), after which moveTo costs
// one query at most. The record being
// inserted or edited lives in a buffer of stored values until post(); a set that fails leaves
// the buffer unchanged, and close() or cancel() drop it without touching the file.

#include "engine/Table.h"

#include "engine/Cell.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/TableFile.h"

#include <QPointer>

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <deque>
#include <vector>

namespace engine {

namespace {
constexpr int blockSize = 256;
} // namespace

struct Table::Private
{
    Private(Table *table, Session &s, QString p)
        : q(table), session(s), sessionAlive(&s), path(std::move(p))
    {
    }

    Table *q;
    Session &session;
    QPointer<Session> sessionAlive; // a table may outlive its session (closed by it first)
    QString path;
    std::unique_ptr<TableFile> file;
    int columns = 0;
    QString columnList; // "KORISNIK", "DATUM", ...

    // The ids of all records in table order, read only when something needs positions beyond
    // a forward walk (record count, moveTo, last, prior past the cached block, inserting).
    bool idsLoaded = false;
    std::deque<qint64> ids;

    int pos = -1;
    bool eof = true;
    bool bof = true;
    State state = State::Inactive;
    std::vector<Cell> buffer; // the record being inserted or edited

    // Cached block of records: positions blockStart .. blockEnd() - 1.
    int blockStart = 0;
    std::vector<qint64> blockIds;
    std::vector<Cell> blockCells;
    std::vector<qint64> spareIds;
    std::vector<Cell> spareCells;

    std::unique_ptr<TableFile::Statement> fetchStmt;
    std::unique_ptr<TableFile::Statement> forwardStmt;

    int blockEnd() const { return blockStart + int(blockIds.size()); }
    bool inBlock(int position) const { return position >= blockStart && position < blockEnd(); }

    bool stale = false; // another table changed the file; re-read at the next use
    bool transaction = false;

    void sync()
    {
        if (stale && file) {
            stale = false;
            q->refresh();
        }
    }

    int count()
    {
        sync();
        ensureIds();
        return int(ids.size());
    }

    [[noreturn]] void fail(const QString &text) const { throw EngineError(text); }

    void requireOpen() const
    {
        if (!file)
            fail(QStringLiteral("Table %1 is not open").arg(path.isEmpty() ? QStringLiteral("(no name)") : path));
    }

    int indexOf(const QString &name) const
    {
        requireOpen();
        const int index = file->fieldIndex(name);
        if (index < 0)
            fail(QStringLiteral("Unknown field '%1' in %2").arg(name, path));
        return index;
    }

    void checkIndex(int index) const
    {
        requireOpen();
        if (index < 0 || index >= columns)
            fail(QStringLiteral("Field index %1 out of range in %2").arg(index).arg(path));
    }

    void invalidateBlock()
    {
        blockIds.clear();
        blockCells.clear();
        blockStart = 0;
    }

    QString table() const { return TableFile::quoteIdentifier(file->tableName()); }

    void loadIds()
    {
        ids.clear();
        TableFile::Statement stmt(*file, QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(table()));
        while (stmt.step())
            ids.push_back(stmt.columnInteger(0));
        idsLoaded = true;
        // The cached block stays valid only if it agrees with the ids.
        if (!blockIds.empty() &&
            (blockEnd() > int(ids.size()) ||
             !std::equal(blockIds.begin(), blockIds.end(), ids.begin() + blockStart)))
            invalidateBlock();
    }

    void ensureIds()
    {
        if (!idsLoaded)
            loadIds();
    }

    // Reads up to a block of records into `idsOut`/`cellsOut` from `stmt`, already bound.
    void readRows(TableFile::Statement &stmt, int limit, std::vector<qint64> &idsOut,
                  std::vector<Cell> &cellsOut)
    {
        try {
            while (int(idsOut.size()) < limit && stmt.step()) {
                idsOut.push_back(stmt.columnInteger(0));
                for (int c = 0; c < columns; ++c)
                    cellsOut.push_back(stmt.column(c + 1, file->fields()[c].type));
            }
        } catch (...) {
            stmt.reset();
            throw;
        }
        stmt.reset();
    }

    // Walking forward without the ids: the records after `afterId` become the block starting
    // at `start`. Returns false (and keeps the block) when there is none.
    bool fetchForward(int start, qint64 afterId)
    {
        if (!forwardStmt)
            forwardStmt = std::make_unique<TableFile::Statement>(
                *file, QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid > ? ORDER BY rowid LIMIT %3")
                           .arg(columnList, table())
                           .arg(blockSize));
        // Read into the spare vectors and swap, so that walking reuses the same memory.
        spareIds.clear();
        spareCells.clear();
        forwardStmt->bindInteger(1, afterId);
        readRows(*forwardStmt, blockSize, spareIds, spareCells);
        if (spareIds.empty())
            return false;
        blockStart = start;
        blockIds.swap(spareIds);
        blockCells.swap(spareCells);
        return true;
    }

    // With the ids: makes the block hold the records from position `start` on.
    void fetchBlock(int start)
    {
        if (!fetchStmt)
            fetchStmt = std::make_unique<TableFile::Statement>(
                *file, QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid >= ? ORDER BY rowid LIMIT ?")
                           .arg(columnList, table()));
        const int end = std::min(int(ids.size()), start + blockSize);
        std::vector<qint64> rowIds;
        std::vector<Cell> rowCells;
        fetchStmt->bindInteger(1, ids[size_t(start)]);
        fetchStmt->bindInteger(2, end - start);
        readRows(*fetchStmt, end - start, rowIds, rowCells);
        // Line the rows up with the ids; a record deleted meanwhile by another connection
        // shows empty, one inserted meanwhile is skipped (refresh() reads both).
        invalidateBlock();
        blockStart = start;
        size_t row = 0;
        for (int index = start; index < end; ++index) {
            const qint64 id = ids[size_t(index)];
            while (row < rowIds.size() && rowIds[row] < id)
                ++row;
            blockIds.push_back(id);
            if (row < rowIds.size() && rowIds[row] == id) {
                const auto from = rowCells.begin() + qsizetype(row) * columns;
                blockCells.insert(blockCells.end(), std::make_move_iterator(from),
                                  std::make_move_iterator(from + columns));
                ++row;
            } else {
                blockCells.resize(blockCells.size() + size_t(columns));
            }
        }
    }

    // The cells of the record at a valid `position`.
    const Cell *row(int position)
    {
        if (!inBlock(position)) {
            ensureIds();
            if (!inBlock(position)) {
                // Moving backwards fetches the block that ends at the position.
                const bool backwards = !blockIds.empty() && position == blockStart - 1;
                fetchBlock(backwards ? std::max(0, position - blockSize + 1) : position);
            }
        }
        return &blockCells[size_t(position - blockStart) * size_t(columns)];
    }

    bool validPosition(int position)
    {
        sync();
        if (position < 0)
            return false;
        return inBlock(position) || position < count();
    }

    const Cell *current()
    {
        sync();
        if (state == State::Insert || state == State::Edit)
            return buffer.data();
        if (!file || !validPosition(pos))
            return nullptr;
        return row(pos);
    }

    qint64 currentId()
    {
        sync();
        if (!file || !validPosition(pos))
            return -1;
        return inBlock(pos) ? blockIds[size_t(pos - blockStart)] : ids[size_t(pos)];
    }

    void checkBrowseMode()
    {
        requireOpen();
        sync();
        if (state == State::Insert || state == State::Edit)
            q->post();
    }

    void requireEditing() const
    {
        requireOpen();
        if (state != State::Insert && state != State::Edit)
            fail(QStringLiteral("Table %1 is not in edit or insert mode").arg(path));
    }

    void changedFile()
    {
        session.notifyTableFileChanged(file->absolutePath(), q);
        emit q->changed();
        emit q->currentChanged();
    }
};

Table::Table(Session &session, const QString &tablePath, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>(this, session, tablePath))
{
}

Table::~Table()
{
    d->file.reset();
    if (d->sessionAlive)
        d->session.unregisterTable(this);
}

QString Table::tablePath() const
{
    return d->path;
}

void Table::setTablePath(const QString &tablePath)
{
    if (tablePath == d->path)
        return;
    close();
    d->path = tablePath;
}

QString Table::filePath() const
{
    return d->file ? d->file->absolutePath() : QString();
}

void Table::open()
{
    if (d->file)
        return;
    if (d->path.isEmpty())
        d->fail(QStringLiteral("No table name given"));
    auto file = std::make_unique<TableFile>(d->session.resolvePath(d->path), d->path);
    d->session.checkPassword(d->path, [&file](const QString &password) {
        return file->passwordRecord().matches(password);
    });
    if (!d->session.durableWrites())
        file->exec("PRAGMA synchronous = OFF", QStringLiteral("Cannot open table"));
    d->file = std::move(file);
    d->columns = int(d->file->fields().size());
    QStringList names;
    for (const FieldDef &f : d->file->fields())
        names << TableFile::quoteIdentifier(f.name);
    d->columnList = names.join(QStringLiteral(", "));
    d->idsLoaded = false;
    d->ids.clear();
    d->invalidateBlock();
    d->state = State::Browse;
    try {
        const bool any = d->fetchForward(0, std::numeric_limits<qint64>::min());
        d->pos = any ? 0 : -1;
        d->bof = true;
        d->eof = !any;
    } catch (...) {
        d->forwardStmt.reset();
        d->file.reset();
        d->state = State::Inactive;
        throw;
    }
    d->session.registerTable(this);
    emit opened();
    emit currentChanged();
}

void Table::close()
{
    if (!d->file)
        return;
    d->fetchStmt.reset();
    if (d->transaction) {
        d->transaction = false;
        sqlite3_exec(d->file->db(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    d->forwardStmt.reset();
    d->file.reset();
    d->stale = false;
    d->ids.clear();
    d->idsLoaded = false;
    d->invalidateBlock();
    d->buffer.clear();
    d->state = State::Inactive;
    d->pos = -1;
    d->eof = d->bof = true;
    d->session.unregisterTable(this);
    emit closed();
}

bool Table::isOpen() const
{
    return d->file != nullptr;
}

Table::State Table::state() const
{
    return d->state;
}

void Table::first()
{
    d->checkBrowseMode();
    bool any = false;
    if (d->inBlock(0))
        any = true;
    else if (d->idsLoaded)
        any = !d->ids.empty();
    else
        any = d->fetchForward(0, std::numeric_limits<qint64>::min());
    d->pos = any ? 0 : -1;
    d->bof = true;
    d->eof = !any;
    emit currentChanged();
}

void Table::next()
{
    d->checkBrowseMode();
    const int wanted = d->pos + 1;
    bool exists = false;
    if (d->pos < 0)
        exists = false;
    else if (d->inBlock(wanted))
        exists = true;
    else if (d->idsLoaded)
        exists = wanted < int(d->ids.size());
    else if (d->inBlock(d->pos))
        exists = d->fetchForward(wanted, d->blockIds[size_t(d->pos - d->blockStart)]);
    else
        exists = wanted < d->count();
    if (exists) {
        d->pos = wanted;
        d->bof = false;
        emit currentChanged();
    } else {
        d->eof = true;
    }
}

void Table::prior()
{
    d->checkBrowseMode();
    if (d->pos > 0) {
        --d->pos;
        d->eof = false;
        emit currentChanged();
    } else {
        d->bof = true;
    }
}

void Table::last()
{
    d->checkBrowseMode();
    d->pos = d->count() - 1;
    d->eof = true;
    d->bof = d->count() == 0;
    emit currentChanged();
}

bool Table::eof() const
{
    return d->eof;
}

bool Table::bof() const
{
    return d->bof;
}

int Table::recordCount() const
{
    return d->file ? d->count() : 0;
}

int Table::recNo() const
{
    d->sync();
    return d->file ? d->pos : -1;
}

void Table::moveTo(int position)
{
    d->checkBrowseMode();
    if (d->count() == 0)
        return;
    d->pos = std::clamp(position, 0, d->count() - 1);
    d->eof = d->bof = false;
    emit currentChanged();
}

qint64 Table::recordId() const
{
    return d->currentId();
}

bool Table::moveToId(qint64 id)
{
    d->requireOpen();
    d->sync();
    d->ensureIds();
    const auto it = std::lower_bound(d->ids.begin(), d->ids.end(), id);
    if (it == d->ids.end() || *it != id)
        return false;
    moveTo(int(it - d->ids.begin()));
    return true;
}

QStringList Table::fieldNames() const
{
    QStringList names;
    if (d->file)
        for (const FieldDef &f : d->file->fields())
            names << f.name;
    return names;
}

int Table::fieldCount() const
{
    return d->file ? d->columns : 0;
}

int Table::fieldIndex(const QString &name) const
{
    return d->file ? d->file->fieldIndex(name) : -1;
}

FieldType Table::fieldType(const QString &name) const
{
    return d->file->fields()[d->indexOf(name)].type;
}

QString Table::fieldText(const QString &name) const
{
    return fieldText(d->indexOf(name));
}

QString Table::fieldText(int index) const
{
    d->checkIndex(index);
    const Cell *cells = d->current();
    return cells ? cells[index].toText(d->file->fields()[index].type, d->session.dateFormat())
                 : QString();
}

Money Table::fieldMoney(const QString &name) const
{
    return fieldMoney(d->indexOf(name));
}

Money Table::fieldMoney(int index) const
{
    d->checkIndex(index);
    const Cell *cells = d->current();
    return cells ? cells[index].toMoney() : Money();
}

bool Table::fieldIsEmpty(const QString &name) const
{
    const int index = d->indexOf(name);
    const Cell *cells = d->current();
    return !cells || cells[index].kind == Cell::Null ||
           (cells[index].kind == Cell::Text && cells[index].text.isEmpty());
}

QString Table::textAt(int position, int index) const
{
    d->checkIndex(index);
    if (!d->validPosition(position))
        return {};
    if (position == d->pos && (d->state == State::Insert || d->state == State::Edit))
        return fieldText(index);
    return d->row(position)[index].toText(d->file->fields()[index].type, d->session.dateFormat());
}

int RecordView::fieldCount() const
{
    return static_cast<const TableFile::Statement *>(m_statement)->columnCount();
}

bool RecordView::isNull(int index) const
{
    return static_cast<const TableFile::Statement *>(m_statement)->columnIsNull(index);
}

qint64 RecordView::integer(int index) const
{
    return static_cast<const TableFile::Statement *>(m_statement)->columnInteger(index);
}

QByteArrayView RecordView::utf8(int index) const
{
    return static_cast<const TableFile::Statement *>(m_statement)->columnUtf8(index);
}

void Table::scan(const std::function<void(const RecordView &)> &visit) const
{
    d->requireOpen();
    TableFile::Statement stmt(
        *d->file, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(d->columnList, d->table()));
    const RecordView record(&stmt);
    while (stmt.step())
        visit(record);
}

QList<Money> Table::sumMoney(const QStringList &names) const
{
    d->requireOpen();
    QStringList sums;
    for (const QString &name : names)
        sums << QStringLiteral("SUM(%1)").arg(
                    TableFile::quoteIdentifier(d->file->fields()[d->indexOf(name)].name));
    TableFile::Statement stmt(*d->file, QStringLiteral("SELECT %1 FROM %2")
                                            .arg(sums.join(QStringLiteral(", ")), d->table()));
    try {
        stmt.step();
    } catch (const EngineError &) {
        // SQLite stops an integer sum that leaves the 64-bit range instead of giving a
        // wrong figure; name the first field whose sum does.
        for (const QString &name : names) {
            TableFile::Statement one(*d->file, QStringLiteral("SELECT SUM(%1) FROM %2")
                                                   .arg(TableFile::quoteIdentifier(name), d->table()));
            try {
                one.step();
            } catch (const EngineError &) {
                d->fail(QStringLiteral("The sum of %1 in %2 is too large").arg(name, d->path));
            }
        }
        throw;
    }
    QList<Money> out;
    for (int i = 0; i < names.size(); ++i) {
        if (stmt.columnIsNull(i)) {
            out << Money();
            continue;
        }
        // A value written by another tool as a fraction or a text makes the sum one too:
        // that is an error, not a figure rounded to whole hundredths.
        bool whole = false;
        const qint64 sum = stmt.columnUtf8(i).toByteArray().toLongLong(&whole);
        if (!whole)
            d->fail(QStringLiteral("The sum of %1 in %2 is not an amount").arg(names[i], d->path));
        out << Money::fromHundredths(sum);
    }
    return out;
}

void Table::insert()
{
    d->checkBrowseMode();
    d->buffer.assign(size_t(d->columns), Cell());
    d->state = State::Insert;
    emit currentChanged();
}

void Table::edit()
{
    d->requireOpen();
    if (d->state == State::Insert || d->state == State::Edit)
        return;
    const Cell *cells = d->current();
    if (!cells)
        d->fail(QStringLiteral("Table %1 has no record to edit").arg(d->path));
    d->buffer.assign(cells, cells + d->columns);
    d->state = State::Edit;
}

void Table::setFieldText(const QString &name, const QString &text)
{
    d->requireEditing();
    const int index = d->indexOf(name);
    Cell value;
    if (!text.isEmpty()) {
        switch (d->file->fields()[index].type) {
        case FieldType::Text:
            value = Cell::fromText(text);
            break;
        case FieldType::Date:
            value = Cell::fromText(d->session.dateFormat().textToIso(text));
            break;
        case FieldType::Time: {
            const auto time = parseTimeText(text);
            if (!time)
                d->fail(QStringLiteral("'%1' is not a valid time").arg(text));
            value = Cell::fromText(timeText(*time));
            break;
        }
        case FieldType::Money:
            value = Cell::fromInteger(Money::parse(text).hundredths());
            break;
        }
    }
    d->buffer[size_t(index)] = std::move(value);
}

void Table::setFieldMoney(const QString &name, Money value)
{
    d->requireEditing();
    const int index = d->indexOf(name);
    switch (d->file->fields()[index].type) {
    case FieldType::Money:
        d->buffer[size_t(index)] = Cell::fromInteger(value.hundredths());
        break;
    case FieldType::Text:
        d->buffer[size_t(index)] = Cell::fromText(value.toText());
        break;
    case FieldType::Date:
    case FieldType::Time:
        d->fail(QStringLiteral("Field '%1' in %2 cannot hold an amount")
                    .arg(d->file->fields()[index].name, d->path));
    }
}

void Table::post()
{
    d->requireOpen();
    d->sync();
    if (d->state == State::Insert) {
        d->ensureIds();
        QStringList marks;
        for (int i = 0; i < d->columns; ++i)
            marks << QStringLiteral("?");
        TableFile::Statement stmt(*d->file, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                .arg(d->table(), d->columnList, marks.join(u',')));
        for (int i = 0; i < d->columns; ++i)
            stmt.bind(i + 1, d->buffer[size_t(i)]);
        stmt.step();
        const qint64 id = sqlite3_last_insert_rowid(d->file->db());
        if (!d->ids.empty() && id < d->ids.back())
            d->loadIds(); // not appended in rowid order (never with the engine's own files)
        else
            d->ids.push_back(id);
        d->state = State::Browse;
        d->buffer.clear();
        moveToId(id);
        d->changedFile();
    } else if (d->state == State::Edit) {
        QStringList sets;
        for (const FieldDef &f : d->file->fields())
            sets << TableFile::quoteIdentifier(f.name) + QStringLiteral(" = ?");
        TableFile::Statement stmt(*d->file, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                                .arg(d->table(), sets.join(QStringLiteral(", "))));
        for (int i = 0; i < d->columns; ++i)
            stmt.bind(i + 1, d->buffer[size_t(i)]);
        stmt.bindInteger(d->columns + 1, d->currentId());
        stmt.step();
        if (sqlite3_changes(d->file->db()) == 0)
            d->fail(QStringLiteral("The record was deleted meanwhile in %1").arg(d->path));
        if (d->inBlock(d->pos))
            std::move(d->buffer.begin(), d->buffer.end(),
                      d->blockCells.begin() + qsizetype(d->pos - d->blockStart) * d->columns);
        d->state = State::Browse;
        d->buffer.clear();
        d->changedFile();
    }
}

void Table::cancel()
{
    if (d->state != State::Insert && d->state != State::Edit)
        return;
    d->state = State::Browse;
    d->buffer.clear();
    emit currentChanged();
}

void Table::deleteRecord()
{
    d->requireOpen();
    if (d->state == State::Insert || d->state == State::Edit) {
        const bool inserting = d->state == State::Insert;
        cancel();
        if (inserting)
            return;
    }
    const qint64 id = d->currentId();
    if (id < 0)
        d->fail(QStringLiteral("Cannot delete from the empty table %1").arg(d->path));
    TableFile::Statement stmt(*d->file, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(d->table()));
    stmt.bindInteger(1, id);
    stmt.step();

    if (d->idsLoaded)
        d->ids.erase(d->ids.begin() + d->pos);
    if (d->inBlock(d->pos)) {
        const int offset = d->pos - d->blockStart;
        d->blockIds.erase(d->blockIds.begin() + offset);
        const auto from = d->blockCells.begin() + qsizetype(offset) * d->columns;
        d->blockCells.erase(from, from + d->columns);
    } else if (d->pos < d->blockStart) {
        --d->blockStart;
    }

    // The record after the deleted one becomes current; after the last one, the one before.
    bool hasNext = false;
    if (d->inBlock(d->pos))
        hasNext = true;
    else if (d->idsLoaded)
        hasNext = d->pos < int(d->ids.size());
    else
        hasNext = d->fetchForward(d->pos, id);
    if (!hasNext) {
        if (d->pos > 0 && !d->inBlock(d->pos - 1))
            d->ensureIds();
        --d->pos;
    }
    if (d->pos < 0) {
        d->pos = -1;
        d->eof = d->bof = true;
    } else {
        d->eof = d->bof = false;
    }
    d->changedFile();
}

void Table::emptyTable()
{
    d->requireOpen();
    cancel();
    d->file->exec(QStringLiteral("DELETE FROM %1").arg(d->table()).toUtf8().constData(),
                  QStringLiteral("Cannot empty table"));
    d->ids.clear();
    d->idsLoaded = true;
    d->invalidateBlock();
    d->pos = -1;
    d->eof = d->bof = true;
    d->changedFile();
}

void Table::markStale()
{
    if (!d->file || d->stale)
        return;
    d->stale = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Straight from the event loop: an error here would end the program. A table
            // that cannot be re-read fails again, with its message, at its next use.
            try {
                if (isOpen())
                    emit changed();
            } catch (const EngineError &) {
            }
        },
        Qt::QueuedConnection);
}

void Table::refresh()
{
    d->requireOpen();
    d->stale = false;
    const qint64 id = d->currentId();
    const int oldPos = d->pos;
    d->invalidateBlock();
    d->loadIds();
    const int n = int(d->ids.size());
    if (n == 0) {
        d->pos = -1;
        d->eof = d->bof = true;
    } else {
        const auto it = std::lower_bound(d->ids.begin(), d->ids.end(), id);
        d->pos = (it != d->ids.end() && *it == id) ? int(it - d->ids.begin())
                                                   : std::clamp(oldPos, 0, n - 1);
        d->eof = d->eof && d->pos == n - 1;
        d->bof = d->bof && d->pos == 0;
    }
    emit currentChanged();
}

void Table::startTransaction()
{
    d->checkBrowseMode();
    if (d->transaction)
        d->fail(QStringLiteral("Table %1 is already in a transaction").arg(d->path));
    d->file->exec("BEGIN IMMEDIATE", QStringLiteral("Cannot start a transaction on table"));
    d->transaction = true;
}

void Table::commit()
{
    d->checkBrowseMode();
    if (!d->transaction)
        return;
    d->file->exec("COMMIT", QStringLiteral("Cannot commit table"));
    d->transaction = false;
}

void Table::rollback()
{
    d->requireOpen();
    if (!d->transaction)
        return;
    cancel();
    d->transaction = false;
    d->file->exec("ROLLBACK", QStringLiteral("Cannot roll back table"));
    refresh();
    emit changed();
}

bool Table::inTransaction() const
{
    return d->transaction;
}

} // namespace engine

// Table: a table file opened through the session. Opening reads the ordered list of record ids
// (rowids); records are fetched in blocks by id with one prepared statement and cached, so a
// walk costs one query per block and moveTo(position) one query at most. The record being
// inserted or edited lives in a buffer of stored values until post(); a set that fails leaves
// the buffer unchanged, and close() or cancel() drop it without touching the file.

#include "engine/Table.h"

#include "engine/Cell.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/TableFile.h"

#include <sqlite3.h>

#include <algorithm>
#include <deque>
#include <vector>

namespace engine {

namespace {
constexpr int blockSize = 256;
} // namespace

struct Table::Private
{
    Private(Table *table, Session &s, QString p) : q(table), session(s), path(std::move(p)) {}

    Table *q;
    Session &session;
    QString path;
    std::unique_ptr<TableFile> file;
    int columns = 0;
    QString columnList; // "KORISNIK", "DATUM", ...

    std::deque<qint64> ids; // record ids in table order
    int pos = -1;
    bool eof = true;
    bool bof = true;
    State state = State::Inactive;
    std::vector<Cell> buffer; // the record being inserted or edited

    // Cached block of records: positions blockStart .. blockStart + blockIds.size() - 1.
    int blockStart = 0;
    std::vector<qint64> blockIds;
    std::vector<Cell> blockCells;

    std::unique_ptr<TableFile::Statement> fetchStmt;

    int count() const { return int(ids.size()); }

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

    void loadIds()
    {
        ids.clear();
        TableFile::Statement stmt(*file, QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid")
                                             .arg(TableFile::quoteIdentifier(file->tableName())));
        while (stmt.step())
            ids.push_back(stmt.columnInteger(0));
        invalidateBlock();
    }

    // Makes sure the record at `position` is in the cached block and returns its cells.
    const Cell *row(int position)
    {
        const int offset = position - blockStart;
        if (offset < 0 || offset >= int(blockIds.size())) {
            // Moving backwards fetches the block that ends at the position.
            const bool backwards = !blockIds.empty() && position == blockStart - 1;
            fetchBlock(backwards ? std::max(0, position - blockSize + 1) : position);
        }
        return &blockCells[size_t(position - blockStart) * size_t(columns)];
    }

    void fetchBlock(int start)
    {
        if (!fetchStmt)
            fetchStmt = std::make_unique<TableFile::Statement>(
                *file, QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid >= ? ORDER BY rowid LIMIT ?")
                           .arg(columnList, TableFile::quoteIdentifier(file->tableName())));
        const int end = std::min(count(), start + blockSize);
        invalidateBlock();
        blockStart = start;
        blockIds.reserve(size_t(end - start));
        blockCells.reserve(size_t(end - start) * size_t(columns));
        auto addMissing = [&](qint64 id) {
            // A record deleted by another connection since the ids were read: shown empty.
            blockIds.push_back(id);
            blockCells.resize(blockCells.size() + size_t(columns));
        };
        int index = start;
        fetchStmt->bindInteger(1, ids[size_t(start)]);
        fetchStmt->bindInteger(2, end - start);
        try {
            while (index < end && fetchStmt->step()) {
                const qint64 id = fetchStmt->columnInteger(0);
                while (index < end && ids[size_t(index)] < id)
                    addMissing(ids[size_t(index++)]);
                if (index < end && ids[size_t(index)] == id) {
                    blockIds.push_back(id);
                    for (int c = 0; c < columns; ++c)
                        blockCells.push_back(fetchStmt->column(c + 1));
                    ++index;
                }
            }
        } catch (...) {
            fetchStmt->reset();
            invalidateBlock();
            throw;
        }
        fetchStmt->reset();
        while (index < end)
            addMissing(ids[size_t(index++)]);
    }

    const Cell *current()
    {
        if (state == State::Insert || state == State::Edit)
            return buffer.data();
        if (pos < 0 || pos >= count())
            return nullptr;
        return row(pos);
    }

    void checkBrowseMode()
    {
        requireOpen();
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
    try {
        d->loadIds();
    } catch (...) {
        d->file.reset();
        throw;
    }
    d->state = State::Browse;
    d->session.registerTable(this);
    d->pos = d->count() > 0 ? 0 : -1;
    d->bof = true;
    d->eof = d->count() == 0;
    emit opened();
    emit currentChanged();
}

void Table::close()
{
    if (!d->file)
        return;
    d->fetchStmt.reset();
    d->file.reset();
    d->ids.clear();
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
    d->pos = d->count() > 0 ? 0 : -1;
    d->bof = true;
    d->eof = d->count() == 0;
    emit currentChanged();
}

void Table::next()
{
    d->checkBrowseMode();
    if (d->pos + 1 < d->count()) {
        ++d->pos;
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
    return d->count();
}

int Table::recNo() const
{
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
    if (!d->file || d->pos < 0 || d->pos >= d->count())
        return -1;
    return d->ids[size_t(d->pos)];
}

bool Table::moveToId(qint64 id)
{
    d->requireOpen();
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
    if (position < 0 || position >= d->count())
        return {};
    if (position == d->pos && (d->state == State::Insert || d->state == State::Edit))
        return fieldText(index);
    return d->row(position)[index].toText(d->file->fields()[index].type, d->session.dateFormat());
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
    const QString table = TableFile::quoteIdentifier(d->file->tableName());
    if (d->state == State::Insert) {
        QStringList marks;
        for (int i = 0; i < d->columns; ++i)
            marks << QStringLiteral("?");
        TableFile::Statement stmt(*d->file, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                .arg(table, d->columnList, marks.join(u',')));
        for (int i = 0; i < d->columns; ++i)
            stmt.bind(i + 1, d->buffer[size_t(i)]);
        stmt.step();
        const qint64 id = sqlite3_last_insert_rowid(d->file->db());
        if (!d->ids.empty() && id < d->ids.back()) {
            // Not in rowid order (cannot happen with the engine's own tables): read afresh.
            d->loadIds();
        } else {
            d->ids.push_back(id);
        }
        d->state = State::Browse;
        d->buffer.clear();
        moveToId(id);
        d->changedFile();
    } else if (d->state == State::Edit) {
        QStringList sets;
        for (const FieldDef &f : d->file->fields())
            sets << TableFile::quoteIdentifier(f.name) + QStringLiteral(" = ?");
        TableFile::Statement stmt(*d->file, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                                .arg(table, sets.join(QStringLiteral(", "))));
        for (int i = 0; i < d->columns; ++i)
            stmt.bind(i + 1, d->buffer[size_t(i)]);
        const qint64 id = recordId();
        stmt.bindInteger(d->columns + 1, id);
        stmt.step();
        if (sqlite3_changes(d->file->db()) == 0)
            d->fail(QStringLiteral("The record was deleted meanwhile in %1").arg(d->path));
        const int offset = d->pos - d->blockStart;
        if (offset >= 0 && offset < int(d->blockIds.size()))
            std::move(d->buffer.begin(), d->buffer.end(),
                      d->blockCells.begin() + qsizetype(offset) * d->columns);
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
    if (d->pos < 0 || d->pos >= d->count())
        d->fail(QStringLiteral("Cannot delete from the empty table %1").arg(d->path));
    TableFile::Statement stmt(*d->file, QStringLiteral("DELETE FROM %1 WHERE rowid = ?")
                                            .arg(TableFile::quoteIdentifier(d->file->tableName())));
    stmt.bindInteger(1, recordId());
    stmt.step();
    d->ids.erase(d->ids.begin() + d->pos);
    const int offset = d->pos - d->blockStart;
    if (offset >= 0 && offset < int(d->blockIds.size())) {
        d->blockIds.erase(d->blockIds.begin() + offset);
        const auto from = d->blockCells.begin() + qsizetype(offset) * d->columns;
        d->blockCells.erase(from, from + d->columns);
    } else if (offset < 0) {
        --d->blockStart;
    }
    if (d->count() == 0) {
        d->pos = -1;
        d->eof = d->bof = true;
    } else {
        d->pos = std::min(d->pos, d->count() - 1);
        d->eof = d->bof = false;
    }
    d->changedFile();
}

void Table::emptyTable()
{
    d->requireOpen();
    cancel();
    d->file->exec(QStringLiteral("DELETE FROM %1")
                      .arg(TableFile::quoteIdentifier(d->file->tableName()))
                      .toUtf8()
                      .constData(),
                  QStringLiteral("Cannot empty table"));
    d->ids.clear();
    d->invalidateBlock();
    d->pos = -1;
    d->eof = d->bof = true;
    d->changedFile();
}

void Table::refresh()
{
    d->requireOpen();
    const qint64 id = recordId();
    const int oldPos = d->pos;
    d->loadIds();
    if (d->count() == 0) {
        d->pos = -1;
        d->eof = d->bof = true;
    } else {
        const auto it = std::lower_bound(d->ids.begin(), d->ids.end(), id);
        d->pos = (it != d->ids.end() && *it == id) ? int(it - d->ids.begin())
                                                   : std::clamp(oldPos, 0, d->count() - 1);
        d->eof = d->eof && d->pos == d->count() - 1;
        d->bof = d->bof && d->pos == 0;
    }
    emit currentChanged();
}

} // namespace engine

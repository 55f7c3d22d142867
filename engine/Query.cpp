// Query: parses the statement, opens the store of the table it names (with the session's
// password check) and has the store run the statement. A statement of sums is read whole at
// opening and the store released again. A statement of rows is read as the ids of its rows at
// opening; the rows themselves are read from the store, which stays open while the query is,
// in blocks of consecutive rows when they are first asked for, and only a few blocks are
// kept, so a result of a million rows costs its ids and a few thousand rows in memory.

#include "engine/Query.h"

#include "engine/Cell.h"
#include "engine/Cursor.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/SqlGenerator.h"
#include "engine/SqlParser.h"
#include "engine/TableStore.h"
#include "engine/TableStores.h"

#include <QPointer>

#include <algorithm>
#include <array>
#include <vector>

namespace engine {

namespace {

// Rows read in one go, and how many such blocks are kept (a grid's screen or a report's page
// may straddle two; walking back and forth over a boundary reads nothing again).
constexpr int BlockRows = 512;
constexpr size_t KeptBlocks = 4;

bool isStatementOfSums(const SqlSelect &select)
{
    return !select.star && std::any_of(select.items.begin(), select.items.end(),
                                       [](const SqlSelectItem &item) { return item.sum; });
}

} // namespace

struct Query::Private : Cursor
{
    explicit Private(Session &s) : session(s), sessionAlive(&s) {}

    struct Block
    {
        int start = -1; // the first row, -1 for none
        std::vector<Cell> cells;
        quint64 used = 0;
    };

    Session &session;
    QPointer<Session> sessionAlive; // a query may outlive its session (closed by it first)
    QStringList lines;
    bool open = false;
    QString tablePath;
    std::vector<SqlResultColumn> columns;
    int rows = 0;
    // A statement of sums: every cell, row-major.
    std::vector<Cell> cells;
    // A statement of rows: the store, the statement, the ids of the rows and the kept blocks.
    std::unique_ptr<TableStore> store;
    SqlSelect select;
    std::vector<qint64> ids;
    mutable std::array<Block, KeptBlocks> blocks;
    mutable quint64 uses = 0;

    void requireOpen() const
    {
        if (!open)
            throw EngineError(EngineError::Kind::Usage, QStringLiteral("Query is not open"));
    }
    void checkColumn(int index) const
    {
        requireOpen();
        if (index < 0 || index >= int(columns.size()))
            throw EngineError(EngineError::Kind::Usage, QStringLiteral("Column %1 out of range in the query on %2")
                                  .arg(index)
                                  .arg(tablePath));
    }
    int indexOf(const QString &name) const
    {
        requireOpen();
        for (size_t i = 0; i < columns.size(); ++i)
            if (name.compare(columns[i].name, Qt::CaseInsensitive) == 0)
                return int(i);
        throw EngineError(EngineError::Kind::Value, QStringLiteral("Unknown field '%1' in %2").arg(name, tablePath));
    }
    const Cell *cell(int row, int column) const
    {
        if (row < 0 || row >= rows)
            return nullptr;
        if (!store)
            return &cells[size_t(row) * columns.size() + size_t(column)];
        const Block &block = blockOf(row);
        return &block.cells[size_t(row - block.start) * columns.size() + size_t(column)];
    }
    // The kept block holding `row`, read from the store when there is none. A row that is no
    // longer in the store (deleted or changed since the query was opened) reads as empty.
    const Block &blockOf(int row) const
    {
        const int start = row - row % BlockRows;
        Block *oldest = &blocks[0];
        for (Block &b : blocks) {
            if (b.start == start) {
                b.used = ++uses;
                return b;
            }
            if (b.used < oldest->used)
                oldest = &b;
        }
        const int end = std::min(rows, start + BlockRows);
        std::vector<qint64> found;
        std::vector<Cell> read;
        found.reserve(size_t(end - start));
        read.reserve(size_t(end - start) * columns.size());
        store->selectRange(select, ids[size_t(start)], ids[size_t(end - 1)], found, read);
        Block &b = *oldest;
        b.start = -1; // until it is whole
        b.cells.assign(size_t(end - start) * columns.size(), Cell());
        size_t f = 0;
        for (int r = start; r < end; ++r) {
            while (f < found.size() && found[f] < ids[size_t(r)])
                ++f;
            if (f < found.size() && found[f] == ids[size_t(r)]) {
                std::move(read.begin() + ptrdiff_t(f * columns.size()),
                          read.begin() + ptrdiff_t((f + 1) * columns.size()),
                          b.cells.begin() + ptrdiff_t(size_t(r - start) * columns.size()));
                ++f;
            }
        }
        b.start = start;
        b.used = ++uses;
        return b;
    }
    void release()
    {
        store.reset();
        select = SqlSelect();
        ids.clear();
        ids.shrink_to_fit();
        for (Block &b : blocks)
            b = Block();
        cells.clear();
        cells.shrink_to_fit();
    }
};

Query::Query(Session &session, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>(session))
{
}

Query::~Query()
{
    if (d->sessionAlive)
        d->session.unregisterQuery(this);
}

QStringList &Query::sql()
{
    return d->lines;
}

const QStringList &Query::sql() const
{
    return d->lines;
}

void Query::setRequestLive(bool) {}

void Query::open()
{
    if (d->open)
        return;
    SqlSelect select = SqlParser::parse(d->lines.join(QLatin1Char('\n')));
    auto store = openTableStore(d->session.resolvePath(select.tablePath), select.tablePath);
    d->session.checkPassword(select.tablePath, [&store](const QString &password) {
        return store->passwordRecord().matches(password);
    });
    std::vector<SqlResultColumn> columns;
    std::vector<Cell> cells;
    std::vector<qint64> ids;
    int rows = 0;
    const bool sums = isStatementOfSums(select);
    if (sums) {
        store->select(select, columns, cells);
        rows = columns.empty() ? 0 : int(cells.size() / columns.size());
    } else {
        store->selectIds(select, columns, ids);
        if (!columns.empty() && columns.back().recordId)
            columns.pop_back(); // the ids are kept apart, read by recordIdAt()
        rows = int(ids.size());
    }
    d->release();
    d->tablePath = select.tablePath;
    d->columns = std::move(columns);
    d->cells = std::move(cells);
    d->ids = std::move(ids);
    if (!sums) {
        d->select = std::move(select);
        d->store = std::move(store);
    }
    d->rows = rows;
    d->toFirst(rows > 0);
    d->open = true;
    d->session.registerQuery(this);
    emit opened();
}

void Query::close()
{
    if (!d->open)
        return;
    d->open = false;
    d->columns.clear();
    d->release();
    d->rows = 0;
    d->reset();
    d->session.unregisterQuery(this);
    emit closed();
}

bool Query::isOpen() const
{
    return d->open;
}

int Query::recordCount() const
{
    return d->open ? d->rows : 0;
}

void Query::first()
{
    d->requireOpen();
    d->toFirst(d->rows > 0);
}

void Query::next()
{
    d->requireOpen();
    d->toNext(d->pos + 1 < d->rows);
}

void Query::prior()
{
    d->requireOpen();
    d->toPrior();
}

void Query::last()
{
    d->requireOpen();
    d->toLast(d->rows);
}

bool Query::eof() const
{
    return d->eof;
}

bool Query::bof() const
{
    return d->bof;
}

int Query::recNo() const
{
    return d->open ? d->pos : -1;
}

void Query::moveTo(int row)
{
    d->requireOpen();
    d->toPosition(row, d->rows);
}

int Query::fieldCount() const
{
    return d->open ? int(d->columns.size()) : 0;
}

QStringList Query::fieldNames() const
{
    QStringList names;
    for (const SqlResultColumn &c : d->columns)
        names << c.name;
    return names;
}

FieldType Query::columnType(int index) const
{
    d->checkColumn(index);
    return d->columns[size_t(index)].type;
}

int Query::fieldIndex(const QString &name) const
{
    for (size_t i = 0; i < d->columns.size(); ++i)
        if (name.compare(d->columns[i].name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QString Query::columnText(int index) const
{
    return textAt(d->pos, index);
}

Money Query::columnMoney(int index) const
{
    return moneyAt(d->pos, index);
}

QString Query::fieldText(const QString &name) const
{
    return columnText(d->indexOf(name));
}

Money Query::fieldMoney(const QString &name) const
{
    return columnMoney(d->indexOf(name));
}

QString Query::textAt(int row, int column) const
{
    d->checkColumn(column);
    const Cell *cell = d->cell(row, column);
    return cell ? cell->toText(d->columns[size_t(column)].type, d->session.dateFormat()) : QString();
}

Money Query::moneyAt(int row, int column) const
{
    d->checkColumn(column);
    const Cell *cell = d->cell(row, column);
    return cell ? cell->toMoney() : Money();
}

qint64 Query::recordIdAt(int row) const
{
    d->requireOpen();
    if (!d->store || row < 0 || row >= d->rows)
        return -1;
    return d->ids[size_t(row)];
}

} // namespace engine

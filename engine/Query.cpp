// Query: parses the statement, opens the store of the table it names (with the session's
// password check), has the store run the statement and keeps the whole result in memory; the
// store is released again before open() returns, so an open query never holds a table.

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
#include <vector>

namespace engine {

struct Query::Private : Cursor
{
    explicit Private(Session &s) : session(s), sessionAlive(&s) {}

    Session &session;
    QPointer<Session> sessionAlive; // a query may outlive its session (closed by it first)
    QStringList lines;
    bool open = false;
    QString tablePath;
    std::vector<SqlResultColumn> columns;
    std::vector<Cell> cells; // row-major, `width` cells a row
    size_t width = 0;        // the columns, and the row's id after them when it has one
    bool withIds = false;
    int rows = 0;

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
        return &cells[size_t(row) * width + size_t(column)];
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
    const SqlSelect select = SqlParser::parse(d->lines.join(QLatin1Char('\n')));
    const auto store = openTableStore(d->session.resolvePath(select.tablePath), select.tablePath);
    d->session.checkPassword(select.tablePath, [&store](const QString &password) {
        return store->passwordRecord().matches(password);
    });
    std::vector<SqlResultColumn> columns;
    std::vector<Cell> cells;
    store->select(select, columns, cells);
    const size_t width = columns.size();
    const int rows = width == 0 ? 0 : int(cells.size() / width);
    d->withIds = width > 0 && columns.back().recordId;
    if (d->withIds)
        columns.pop_back(); // read by recordIdAt(), not a field
    d->width = width;
    d->tablePath = select.tablePath;
    d->columns = std::move(columns);
    d->cells = std::move(cells);
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
    d->cells.clear();
    d->cells.shrink_to_fit();
    d->width = 0;
    d->withIds = false;
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
    if (!d->withIds || row < 0 || row >= d->rows)
        return -1;
    return d->cells[size_t(row) * d->width + d->width - 1].integer;
}

} // namespace engine

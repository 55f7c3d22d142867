// Table: a table opened through the session, over its store (TableStore) and the cache of its
// records (RecordCache). Opening reads only the first record. The record being
// inserted or edited lives in a buffer of stored values until post(); a set that fails leaves
// the buffer unchanged, and close() or cancel() drop it without touching the file. When
// another table of the session changed the file, the next read re-reads the records quietly
// and the queued notice tells the views (currentChanged, changed): reading never emits.

#include "engine/Table.h"

#include "engine/Cell.h"
#include "engine/Cursor.h"
#include "engine/EngineError.h"
#include "engine/RecordCache.h"
#include "engine/Session.h"
#include "engine/TableStore.h"
#include "engine/TableStores.h"

#include <QPointer>

#include <algorithm>
#include <limits>
#include <vector>

namespace engine {

struct Table::Private : Cursor
{
    Private(Table *table, Session &s, QString p)
        : q(table), session(s), sessionAlive(&s), path(std::move(p))
    {
    }

    Table *q;
    Session &session;
    QPointer<Session> sessionAlive; // a table may outlive its session (closed by it first)
    QString path;
    std::unique_ptr<TableStore> store;
    int columns = 0;
    RecordCache cache;

    State state = State::Inactive;
    std::vector<Cell> buffer; // the record being inserted or edited

    bool stale = false; // another table changed the file; re-read at the next use
    // The record just posted on a table whose ids were never read is current, alone in the
    // block at a provisional position: its real one is counted when first needed, so a
    // posting on a long table counts nothing. It is counted by its id, as records posted
    // after it (by other connections, once the transaction is over) come after it.
    bool uncounted = false;
    qint64 placedId = -1;
    bool transaction = false;

    bool editing() const { return state == State::Insert || state == State::Edit; }

    // Re-reads the record list, staying on the current record where it can. Emits nothing.
    void reload()
    {
        const qint64 id = currentIdAsCached();
        uncounted = false;
        const int oldPos = pos;
        cache.invalidateBlock();
        cache.loadIds();
        stale = false;
        const int n = int(cache.ids().size());
        if (n == 0) {
            pos = -1;
            eof = bof = true;
        } else {
            const int found = cache.positionOf(id);
            pos = found >= 0 ? found : std::clamp(oldPos, 0, n - 1);
            eof = eof && pos == n - 1;
            bof = bof && pos == 0;
        }
    }

    void sync()
    {
        if (stale && store)
            reload();
    }

    int count()
    {
        sync();
        settle();
        return cache.count();
    }

    // Gives the record posted without counting its real position.
    void settle()
    {
        if (!uncounted)
            return;
        uncounted = false;
        const int position = int(store->countThrough(placedId)) - 1;
        cache.moveBlockTo(position);
        pos = position;
    }

    [[noreturn]] void fail(const QString &text,
                           EngineError::Kind kind = EngineError::Kind::Usage) const
    {
        throw EngineError(kind, text);
    }

    void requireOpen() const
    {
        if (!store)
            fail(QStringLiteral("Table %1 is not open").arg(path.isEmpty() ? QStringLiteral("(no name)") : path));
    }

    int indexOf(const QString &name) const
    {
        requireOpen();
        const int index = store->fieldIndex(name);
        if (index < 0)
            fail(QStringLiteral("Unknown field '%1' in %2").arg(name, path), EngineError::Kind::Value);
        return index;
    }

    void checkIndex(int index) const
    {
        requireOpen();
        if (index < 0 || index >= columns)
            fail(QStringLiteral("Field index %1 out of range in %2").arg(index).arg(path));
    }

    const FieldDef &field(int index) const { return store->fields()[index]; }

    bool validPosition(int position)
    {
        sync();
        settle();
        if (position < 0)
            return false;
        return cache.inBlock(position) || position < count();
    }

    const Cell *current()
    {
        sync();
        if (editing())
            return buffer.data();
        if (uncounted && cache.inBlock(pos))
            return cache.row(pos);
        if (!store || !validPosition(pos))
            return nullptr;
        return cache.row(pos);
    }

    // The id of the current record as the cache has it, without re-reading.
    qint64 currentIdAsCached()
    {
        if (!store || pos < 0)
            return -1;
        if (!cache.inBlock(pos))
            cache.ensureIds();
        return cache.inBlock(pos) || pos < int(cache.ids().size()) ? cache.idAt(pos) : -1;
    }

    qint64 currentId()
    {
        sync();
        if (uncounted && cache.inBlock(pos))
            return cache.idAt(pos);
        if (!store || !validPosition(pos))
            return -1;
        if (!cache.inBlock(pos))
            cache.ensureIds(); // a position reached by counting alone
        return cache.idAt(pos);
    }

    // Posts the record being edited; a record posted uncounted stays so (a transaction's
    // start or end needs no position).
    void finishEditing()
    {
        requireOpen();
        sync();
        if (editing())
            q->post();
    }

    void checkBrowseMode()
    {
        finishEditing();
        settle();
    }

    void requireEditing() const
    {
        requireOpen();
        if (state != State::Insert && state != State::Edit)
            fail(QStringLiteral("Table %1 is not in edit or insert mode").arg(path));
    }

    void changedFile()
    {
        session.notifyTableFileChanged(store->location(), q);
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
    d->store.reset();
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
    return d->store ? d->store->location() : QString();
}

void Table::open()
{
    if (d->store)
        return;
    if (d->path.isEmpty())
        d->fail(QStringLiteral("No table name given"));
    auto store = openTableStore(d->session.resolvePath(d->path), d->path);
    d->session.checkPassword(d->path, [&store](const QString &password) {
        return store->passwordRecord().matches(password);
    });
    if (!d->session.durableWrites())
        store->setDurableWrites(false);
    d->store = std::move(store);
    d->columns = int(d->store->fields().size());
    d->cache.reset(d->store.get(), d->columns);
    d->uncounted = false;
    d->state = State::Browse;
    try {
        // The first record only: the handlers open a table to post or to read a few records,
        // and a walk reads the blocks after it as it goes.
        const bool any = d->cache.fetchForward(0, std::numeric_limits<qint64>::min(), 1);
        d->toFirst(any);
    } catch (...) {
        d->cache.reset(nullptr, 0);
        d->store.reset();
        d->state = State::Inactive;
        throw;
    }
    d->session.registerTable(this);
    emit opened();
    emit currentChanged();
}

void Table::close()
{
    if (!d->store)
        return;
    if (d->transaction) {
        d->transaction = false;
        d->store->rollbackQuietly();
    }
    d->cache.reset(nullptr, 0);
    d->store.reset();
    d->stale = false;
    d->uncounted = false;
    d->buffer.clear();
    d->state = State::Inactive;
    d->reset();
    d->session.unregisterTable(this);
    emit closed();
}

bool Table::isOpen() const
{
    return d->store != nullptr;
}

Table::State Table::state() const
{
    return d->state;
}

void Table::first()
{
    d->checkBrowseMode();
    bool any = false;
    if (d->cache.inBlock(0))
        any = true;
    else if (d->cache.idsLoaded())
        any = !d->cache.ids().empty();
    else
        any = d->cache.fetchForward(0, std::numeric_limits<qint64>::min());
    d->toFirst(any);
    emit currentChanged();
}

void Table::next()
{
    d->checkBrowseMode();
    const int wanted = d->pos + 1;
    bool exists = false;
    if (d->pos < 0)
        exists = false;
    else if (d->cache.inBlock(wanted))
        exists = true;
    else if (d->cache.idsLoaded())
        exists = wanted < int(d->cache.ids().size());
    else if (d->cache.inBlock(d->pos))
        exists = d->cache.fetchForward(wanted, d->cache.idAt(d->pos));
    else
        exists = wanted < d->count();
    if (d->toNext(exists))
        emit currentChanged();
}

void Table::prior()
{
    d->checkBrowseMode();
    if (d->toPrior())
        emit currentChanged();
}

void Table::last()
{
    d->checkBrowseMode();
    d->toLast(d->count());
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
    return d->store ? d->count() : 0;
}

int Table::recNo() const
{
    d->sync();
    d->settle();
    return d->store ? d->pos : -1;
}

void Table::moveTo(int position)
{
    d->checkBrowseMode();
    if (d->toPosition(position, d->count()))
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
    d->settle();
    d->cache.ensureIds();
    const int position = d->cache.positionOf(id);
    if (position < 0)
        return false;
    moveTo(position);
    return true;
}

QStringList Table::fieldNames() const
{
    QStringList names;
    if (d->store)
        for (const FieldDef &f : d->store->fields())
            names << f.name;
    return names;
}

int Table::fieldCount() const
{
    return d->store ? d->columns : 0;
}

int Table::fieldIndex(const QString &name) const
{
    return d->store ? d->store->fieldIndex(name) : -1;
}

FieldType Table::fieldType(const QString &name) const
{
    return d->field(d->indexOf(name)).type;
}

QString Table::fieldText(const QString &name) const
{
    return fieldText(d->indexOf(name));
}

QString Table::fieldText(int index) const
{
    d->checkIndex(index);
    const Cell *cells = d->current();
    return cells ? cells[index].toText(d->field(index).type, d->session.dateFormat()) : QString();
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

qint64 Table::recordIdAt(int position) const
{
    if (!d->validPosition(position))
        return -1;
    if (position == d->pos && d->editing())
        return recordId();
    d->cache.row(position); // its block, read when needed
    return d->cache.idAt(position);
}

QString Table::textAt(int position, int index) const
{
    d->checkIndex(index);
    if (!d->validPosition(position))
        return {};
    if (position == d->pos && d->editing())
        return fieldText(index);
    return d->cache.row(position)[index].toText(d->field(index).type, d->session.dateFormat());
}

void Table::scan(const std::function<void(const RecordView &)> &visit) const
{
    d->requireOpen();
    d->store->scan(visit);
}

void Table::scanAfter(qint64 id, const std::function<void(qint64, const RecordView &)> &visit) const
{
    d->requireOpen();
    d->store->scanAfter(id, visit);
}

qint64 Table::countThrough(qint64 id) const
{
    d->requireOpen();
    return d->store->countThrough(id);
}

QList<Money> Table::sumMoney(const QStringList &names) const
{
    d->requireOpen();
    QList<int> fields;
    for (const QString &name : names)
        fields << d->indexOf(name);
    return d->store->sumMoney(fields, names);
}

namespace {

std::vector<Cell> besideParams(const QVariantList &params)
{
    std::vector<Cell> cells;
    for (const QVariant &v : params) {
        if (v.isNull())
            cells.emplace_back();
        else if (v.typeId() == QMetaType::QString)
            cells.push_back(Cell::fromText(v.toString()));
        else
            cells.push_back(Cell::fromInteger(v.toLongLong()));
    }
    return cells;
}

// The rows of a statement beside the table as runBeside() gives them.
QList<QVariantList> besideRows(const std::vector<std::vector<Cell>> &rows)
{
    QList<QVariantList> out;
    for (const std::vector<Cell> &row : rows) {
        QVariantList &values = out.emplace_back();
        for (const Cell &c : row) {
            if (c.kind == Cell::Integer)
                values << QVariant(c.integer);
            else if (c.kind == Cell::Null)
                values << QVariant();
            else
                values << QVariant(c.kind == Cell::Date ? c.isoText() : c.text);
        }
    }
    return out;
}

} // namespace

void Table::scanBeside(const QString &sql, const QVariantList &params,
                       const std::function<void(const RecordView &)> &visit)
{
    d->requireOpen();
    d->store->scanBeside(sql, besideParams(params), visit);
}

QList<QVariantList> Table::runBeside(const QString &sql, const QVariantList &params)
{
    d->requireOpen();
    return besideRows(d->store->runBeside(sql, besideParams(params)));
}

QList<QList<QVariantList>> Table::runBesideTogether(const QList<BesideStatement> &statements)
{
    d->requireOpen();
    std::vector<TableStore::BesideStatement> sent;
    for (const auto &[sql, params] : statements)
        sent.emplace_back(sql, besideParams(params));
    QList<QList<QVariantList>> results;
    for (const std::vector<std::vector<Cell>> &rows : d->store->runBesideTogether(sent))
        results.append(besideRows(rows));
    return results;
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
    if (d->editing())
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
        switch (d->field(index).type) {
        case FieldType::Text:
            value = Cell::fromText(text);
            break;
        case FieldType::Date:
            value = Cell::fromText(d->session.dateFormat().textToIso(text));
            break;
        case FieldType::Time: {
            const auto time = parseTimeText(text);
            if (!time)
                d->fail(QStringLiteral("'%1' is not a valid time").arg(text), EngineError::Kind::Value);
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
    switch (d->field(index).type) {
    case FieldType::Money:
        d->buffer[size_t(index)] = Cell::fromInteger(value.hundredths());
        break;
    case FieldType::Text:
        d->buffer[size_t(index)] = Cell::fromText(value.toText());
        break;
    case FieldType::Date:
    case FieldType::Time:
        d->fail(QStringLiteral("Field '%1' in %2 cannot hold an amount").arg(d->field(index).name, d->path), EngineError::Kind::Value);
    }
}

void Table::post()
{
    d->requireOpen();
    d->sync();
    if (d->state == State::Insert) {
        const qint64 id = d->store->insertRecord(d->buffer);
        d->cache.appended(id);
        d->state = State::Browse;
        if (d->cache.idsLoaded()) {
            d->buffer.clear();
            moveToId(id);
        } else {
            // The new record is the last (ids grow in stored order): it becomes the current
            // record without reading every id of a long table, or counting its records.
            d->cache.placeAppended(0, id, std::move(d->buffer));
            d->buffer.clear();
            d->toPosition(0, 1);
            d->uncounted = true;
            d->placedId = id;
        }
        d->changedFile();
    } else if (d->state == State::Edit) {
        if (!d->store->updateRecord(d->currentId(), d->buffer))
            d->fail(QStringLiteral("The record was deleted meanwhile in %1").arg(d->path), EngineError::Kind::NotFound);
        if (d->cache.inBlock(d->pos))
            std::move(d->buffer.begin(), d->buffer.end(), d->cache.row(d->pos));
        d->state = State::Browse;
        d->buffer.clear();
        d->changedFile();
    }
}

void Table::cancel()
{
    if (!d->editing())
        return;
    d->state = State::Browse;
    d->buffer.clear();
    emit currentChanged();
}

void Table::deleteRecord()
{
    d->requireOpen();
    if (d->editing()) {
        const bool inserting = d->state == State::Insert;
        cancel();
        if (inserting)
            return;
    }
    d->settle();
    const qint64 id = d->currentId();
    if (id < 0)
        d->fail(QStringLiteral("Cannot delete from the empty table %1").arg(d->path));
    d->store->deleteRecord(id);
    d->cache.removed(d->pos);

    // The record after the deleted one becomes current; after the last one, the one before.
    bool hasNext = false;
    if (d->cache.inBlock(d->pos))
        hasNext = true;
    else if (d->cache.idsLoaded())
        hasNext = d->pos < int(d->cache.ids().size());
    else
        hasNext = d->cache.fetchForward(d->pos, id);
    if (!hasNext) {
        if (d->pos > 0 && !d->cache.inBlock(d->pos - 1))
            d->cache.ensureIds();
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
    d->store->deleteAll();
    d->cache.setEmpty();
    d->reset();
    d->uncounted = false;
    d->changedFile();
}

void Table::markStale()
{
    if (!d->store || d->stale)
        return;
    d->stale = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Straight from the event loop: an error here would end the program. A table
            // that cannot be re-read stays stale and fails again, with its message, at its
            // next use (the listeners of changed() make that use).
            try {
                if (!isOpen())
                    return;
                if (d->stale) {
                    try {
                        refresh();
                    } catch (const EngineError &) {
                    }
                }
                emit changed();
            } catch (const EngineError &) {
            }
        },
        Qt::QueuedConnection);
}

void Table::refresh()
{
    d->requireOpen();
    d->reload();
    emit currentChanged();
}

void Table::startTransaction()
{
    d->finishEditing();
    if (d->transaction)
        d->fail(QStringLiteral("Table %1 is already in a transaction").arg(d->path));
    d->store->begin();
    d->transaction = true;
}

void Table::startReading()
{
    d->finishEditing();
    if (d->transaction)
        d->fail(QStringLiteral("Table %1 is already in a transaction").arg(d->path));
    d->store->beginReading();
    d->transaction = true;
}

bool Table::startPosting(const QUuid &key)
{
    d->finishEditing();
    if (d->transaction)
        d->fail(QStringLiteral("Table %1 is already in a transaction").arg(d->path));
    if (!d->store->beginPosting(key.toString(QUuid::WithoutBraces)))
        return false;
    d->transaction = true;
    return true;
}

void Table::commit()
{
    d->finishEditing();
    if (!d->transaction)
        return;
    // Once asked to commit, the store ends the transaction itself, whatever the outcome.
    d->transaction = false;
    d->store->commit();
}

void Table::rollback()
{
    d->requireOpen();
    if (!d->transaction)
        return;
    cancel();
    d->transaction = false;
    d->store->rollback();
    refresh();
    emit changed();
}

bool Table::inTransaction() const
{
    return d->transaction;
}

} // namespace engine

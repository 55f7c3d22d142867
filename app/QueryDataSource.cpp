// The report engine's data source over an open engine query.
#include "QueryDataSource.h"

#include "engine/EngineError.h"
#include "engine/FieldType.h"
#include "engine/Money.h"
#include "engine/Query.h"

QueryDataSource::QueryDataSource(const engine::Query &query)
    : query(query), count(query.isOpen() ? query.recordCount() : 0)
{
}

int QueryDataSource::recordCount() const
{
    return count;
}

bool QueryDataSource::moveTo(int index)
{
    if (index < 0 || index >= count)
        return false;
    row = index;
    return true;
}

void QueryDataSource::failed(const QString &reason) const
{
    if (error.isEmpty())
        error = reason;
}

int QueryDataSource::column(const QString &field) const
{
    if (row < 0)
        return -1;
    if (!query.isOpen() || row >= query.recordCount()) {
        failed(QStringLiteral("upit je zatvoren ili nema vise zapisa"));
        return -1;
    }
    return query.fieldIndex(field);
}

QString QueryDataSource::text(const QString &field) const
{
    const int c = column(field);
    try {
        return c < 0 ? QString() : query.textAt(row, c);
    } catch (const engine::EngineError &e) {
        failed(e.message());
        return {};
    }
}

std::optional<qint64> QueryDataSource::hundredths(const QString &field) const
{
    const int c = column(field);
    if (c < 0 || query.columnType(c) != engine::FieldType::Money)
        return std::nullopt;
    try {
        if (query.textAt(row, c).isEmpty())
            return std::nullopt;
        return query.moneyAt(row, c).hundredths();
    } catch (const engine::EngineError &e) {
        failed(e.message());
        return std::nullopt;
    }
}

// In-memory data source: a list of text records addressed by position, fields found by
// name without regard to case.
#include "MemoryDataSource.h"

#include "MoneyText.h"

namespace report {

MemoryDataSource::MemoryDataSource(const QStringList &fields) : m_fieldCount(int(fields.size()))
{
    for (int i = 0; i < m_fieldCount; ++i)
        m_columns.insert(fields[i].toLower(), i);
}

void MemoryDataSource::append(const QStringList &values)
{
    QStringList record = values.mid(0, m_fieldCount);
    while (record.size() < m_fieldCount)
        record.append(QString());
    m_records.append(std::move(record));
}

void MemoryDataSource::reserve(int records)
{
    m_records.reserve(records);
}

int MemoryDataSource::recordCount() const
{
    return int(m_records.size());
}

bool MemoryDataSource::moveTo(int index)
{
    if (index < 0 || index >= m_records.size()) {
        m_current = -1;
        return false;
    }
    m_current = index;
    return true;
}

int MemoryDataSource::column(const QString &field) const
{
    if (m_current < 0)
        return -1;
    const auto it = m_columns.constFind(field.toLower());
    return it == m_columns.cend() ? -1 : it.value();
}

QString MemoryDataSource::text(const QString &field) const
{
    const int c = column(field);
    return c < 0 ? QString() : m_records[m_current][c];
}

std::optional<qint64> MemoryDataSource::hundredths(const QString &field) const
{
    const int c = column(field);
    if (c < 0)
        return std::nullopt;
    return parseHundredths(m_records[m_current][c]);
}

} // namespace report

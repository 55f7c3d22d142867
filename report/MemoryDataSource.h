#pragma once

// A data source of records held in memory.

#include "DataSource.h"

#include <QHash>
#include <QList>
#include <QStringList>

namespace report {

// Records held in memory as texts, for tests, benchmarks and small reports. Amounts are
// read from the text exactly ("-20.50" is -2050 hundredths).
class MemoryDataSource : public DataSource
{
public:
    explicit MemoryDataSource(const QStringList &fields);

    // Appends one record; `values` follow the field order given to the constructor.
    // Missing values are empty, extra values are ignored.
    void append(const QStringList &values);
    void reserve(int records);

    int recordCount() const override;
    bool moveTo(int index) override;
    QString text(const QString &field) const override;
    std::optional<qint64> hundredths(const QString &field) const override;

private:
    int column(const QString &field) const;

    int m_fieldCount = 0;
    QHash<QString, int> m_columns; // lower-case name -> column
    QList<QStringList> m_records;
    int m_current = -1;
};

} // namespace report

#pragma once

// Sums of a report's amount fields in one pass.

#include "DataSource.h"

#include <QHash>
#include <QStringList>

#include <optional>

namespace report {

// Sums of amount fields over every record of a data source, made in one pass that reads
// numbers only. A field whose sum leaves the 64-bit range has no sum.
class Totals
{
public:
    static Totals compute(DataSource &data, const QStringList &fields);

    // The sum of `field` (any case); 0 for a field that was not summed.
    std::optional<qint64> sum(const QString &field) const;

private:
    QHash<QString, std::optional<qint64>> m_sums; // lower-case field -> sum
};

} // namespace report

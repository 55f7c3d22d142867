// One pass over the records summing the requested amount fields exactly; an overflow is
// kept as "no sum" rather than a wrapped, wrong figure.
#include "Totals.h"

#include <vector>

namespace report {

Totals Totals::compute(DataSource &data, const QStringList &fields)
{
    QStringList unique;
    for (const QString &f : fields) {
        if (!unique.contains(f, Qt::CaseInsensitive))
            unique.append(f);
    }
    std::vector<qint64> sums(unique.size(), 0);
    std::vector<bool> overflow(unique.size(), false);
    const int count = data.recordCount();
    for (int i = 0; i < count && !unique.isEmpty(); ++i) {
        if (!data.moveTo(i))
            break;
        for (qsizetype f = 0; f < unique.size(); ++f) {
            const std::optional<qint64> v = data.hundredths(unique[f]);
            if (v && __builtin_add_overflow(sums[f], *v, &sums[f]))
                overflow[f] = true;
        }
    }
    Totals totals;
    for (qsizetype f = 0; f < unique.size(); ++f) {
        totals.m_sums.insert(unique[f].toLower(),
                             overflow[f] ? std::nullopt : std::optional<qint64>(sums[f]));
    }
    return totals;
}

std::optional<qint64> Totals::sum(const QString &field) const
{
    return m_sums.value(field.toLower(), qint64(0));
}

} // namespace report

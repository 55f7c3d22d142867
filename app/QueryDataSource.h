#pragma once

// Feeds a report from an open query of the table engine. The query's whole result is in
// memory, so any record can be reached directly. While the query is closed (the engine
// session was closed meanwhile) the source reads as empty fields instead of failing.

#include "report/DataSource.h"

namespace engine {
class Query;
}

class QueryDataSource final : public report::DataSource
{
public:
    explicit QueryDataSource(const engine::Query &query);

    int recordCount() const override;
    bool moveTo(int index) override;
    QString text(const QString &field) const override;
    std::optional<qint64> hundredths(const QString &field) const override;

private:
    int column(const QString &field) const;

    const engine::Query &query;
    int count;
    int row = -1;
};

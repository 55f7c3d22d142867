#pragma once

// Feeds a report from an open query of the table engine. The query reads its rows from the
// table in blocks of consecutive rows, so the next record is cheap and any record can be
// reached directly. While the query is closed (the engine session was closed meanwhile), and
// for a record the table cannot give any more, the source reads as empty fields and keeps
// the reason as its readError(), so that printing and saving fail instead of leaving records
// out.

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
    QString readError() const override { return error; }

private:
    int column(const QString &field) const;
    void failed(const QString &reason) const;

    const engine::Query &query;
    int count;
    int row = -1;
    mutable QString error;
};

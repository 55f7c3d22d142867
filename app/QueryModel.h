#pragma once

// A read-only grid model over an engine query: the chosen columns, titled with their field
// names, one row per result record. It follows the query: opening fills it, closing (also
// through the engine session) empties it. Rows are read from the query only when a view asks
// for them (the query reads them from its table in blocks); a row the table cannot give any
// more is shown empty.

#include "LeadColumn.h"
#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

#include <functional>

namespace engine {
class Query;
}

class QueryModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    QueryModel(engine::Query &query, QStringList columns, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // A column before the chosen ones, titled `title`, read beside the query by the records'
    // ids, only for the rows a view shows (LeadColumn.h), again whenever the query opens. A
    // marked cell's whole row is shown grey.
    void setLeadColumn(const QString &title, LeadColumn::Load load);

private:
    void reload();

    engine::Query &query;
    QStringList columns;
    QList<int> queryColumns; // index in the query's result for each shown column, or -1
    int rows = 0;
    LeadColumn leadColumn;
    int lead() const { return leadColumn.isSet() ? 1 : 0; }
    LeadColumn::Cell leadCell(int row) const;
};

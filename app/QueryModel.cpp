// The read-only grid model over an engine query.
#include "QueryModel.h"

#include "engine/EngineError.h"
#include "engine/FieldType.h"
#include "engine/Query.h"

#include <QColor>

QueryModel::QueryModel(engine::Query &query, QStringList columns, QObject *parent)
    : QAbstractTableModel(parent), query(query), columns(std::move(columns))
{
    connect(&query, &engine::Query::opened, this, &QueryModel::reload);
    connect(&query, &engine::Query::closed, this, &QueryModel::reload);
    reload();
}

void QueryModel::reload()
{
    beginResetModel();
    queryColumns.clear();
    rows = query.isOpen() ? query.recordCount() : 0;
    for (const QString &c : columns)
        queryColumns.append(query.isOpen() ? query.fieldIndex(c) : -1);
    leadColumn.forget();
    endResetModel();
}

void QueryModel::setLeadColumn(const QString &title, LeadColumn::Load load)
{
    leadColumn.set(title, std::move(load));
    reload();
}

LeadColumn::Cell QueryModel::leadCell(int row) const
{
    if (!query.isOpen())
        return {};
    try {
        return leadColumn.cell(row, rows, [this](int r) { return query.recordIdAt(r); });
    } catch (const engine::EngineError &) {
        return {};
    }
}

int QueryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows;
}

int QueryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(columns.size()) + lead();
}

QVariant QueryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows || !query.isOpen())
        return {};
    if (lead() && (index.column() == 0 || role == Qt::ForegroundRole)) {
        const LeadColumn::Cell cell = leadCell(index.row());
        if (role == Qt::ForegroundRole)
            return cell.marked ? QVariant(QColor(Qt::gray)) : QVariant();
        return role == Qt::DisplayRole ? QVariant(cell.text) : QVariant();
    }
    const int c = queryColumns.value(index.column() - lead(), -1);
    if (c < 0)
        return {};
    if (role == Qt::DisplayRole) {
        try {
            return query.textAt(index.row(), c);
        } catch (const engine::EngineError &) {
            return {}; // a row the table cannot give any more is shown empty
        }
    }
    if (role == Qt::TextAlignmentRole && query.columnType(c) == engine::FieldType::Money)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return lead() && section == 0 ? leadColumn.title() : columns.value(section - lead());
    return section + 1;
}

Qt::ItemFlags QueryModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

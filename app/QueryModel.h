#pragma once

// A read-only grid model over an engine query: the chosen columns, titled with their field
// names, one row per result record. It follows the query: opening fills it, closing (also
// through the engine session) empties it. Rows are read from the query only when a view asks
// for them (the query reads them from its table in blocks); a row the table cannot give any
// more is shown empty.

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

    // A column before the chosen ones, titled `title`, read beside the query: `load` gives the
    // cells by the records' ids and is called whenever the query opens (an engine error
    // leaves the column empty). A marked cell's whole row is shown grey.
    struct LeadCell
    {
        QString text;
        bool marked = false;
    };
    void setLeadColumn(const QString &title, std::function<QHash<qint64, LeadCell>()> load);

private:
    void reload();

    engine::Query &query;
    QStringList columns;
    QList<int> queryColumns; // index in the query's result for each shown column, or -1
    int rows = 0;
    QString leadTitle;
    std::function<QHash<qint64, LeadCell>()> leadLoad;
    QHash<qint64, LeadCell> leadCells;
    int lead() const { return leadLoad ? 1 : 0; }
    LeadCell leadCell(int row) const;
};

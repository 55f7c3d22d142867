#pragma once

// LeadColumn: a read-only column that a grid shows before a table's or a query's own, read
// beside the records (the journal's document numbers). Only the rows a view asks for are read,
// a chunk of rows at a time, so a grid over a million records opens as fast as without it.

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>

class LeadColumn
{
public:
    struct Cell
    {
        QString text;
        bool marked = false; // the whole row is shown grey
    };
    // The cells of the records `ids` by id (a record without one is left out). An engine error
    // leaves those rows empty.
    using Load = std::function<QHash<qint64, Cell>(const QList<qint64> &ids)>;

    void set(const QString &title, Load load)
    {
        m_title = title;
        m_load = std::move(load);
        forget();
    }
    bool isSet() const { return bool(m_load); }
    const QString &title() const { return m_title; }
    // The rows changed: cells are read again as they are asked for.
    void forget()
    {
        m_cells.clear();
        m_chunks.clear();
    }
    // The cell of `row` of `rows`, whose record ids `idAt` gives (-1 for none).
    Cell cell(int row, int rows, const std::function<qint64(int)> &idAt) const;

private:
    static constexpr int ChunkRows = 200;
    QString m_title;
    Load m_load;
    mutable QHash<int, Cell> m_cells; // by row
    mutable QSet<int> m_chunks;       // the chunks of rows read
};

namespace engine {
class Table;
}

// The journal's document numbers as a lead column: the number of each record read beside it,
// a reversed document marked "(storniran)" and grey. `journal` must be open when rows are read.
LeadColumn::Load documentNumbers(engine::Table &journal);

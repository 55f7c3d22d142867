// LeadColumn: the document numbers beside a grid's records, read a chunk of rows at a time.
#include "LeadColumn.h"

#include "desk/CashBook.h"
#include "engine/EngineError.h"
#include "engine/Table.h"

#include <algorithm>

LeadColumn::Cell LeadColumn::cell(int row, int rows, const std::function<qint64(int)> &idAt) const
{
    if (!m_load || row < 0 || row >= rows)
        return {};
    const int chunk = row / ChunkRows;
    if (!m_chunks.contains(chunk)) {
        m_chunks.insert(chunk);
        QList<qint64> ids;
        QList<int> rowsRead;
        try {
            for (int r = chunk * ChunkRows; r < std::min(rows, (chunk + 1) * ChunkRows); ++r) {
                const qint64 id = idAt(r);
                if (id >= 0) {
                    ids << id;
                    rowsRead << r;
                }
            }
            const QHash<qint64, Cell> cells = m_load(ids);
            for (qsizetype k = 0; k < ids.size(); ++k)
                m_cells.insert(rowsRead.at(k), cells.value(ids.at(k)));
        } catch (const engine::EngineError &) {
        }
    }
    return m_cells.value(row);
}

LeadColumn::Load documentNumbers(engine::Table &journal)
{
    return [&journal](const QList<qint64> &ids) {
        QHash<qint64, LeadColumn::Cell> cells;
        if (!journal.isOpen())
            return cells;
        const QHash<qint64, desk::cashbook::DocumentMark> marks =
            desk::cashbook::documentMarks(journal, ids);
        for (auto m = marks.cbegin(); m != marks.cend(); ++m)
            cells.insert(m.key(),
                         {m->reversed ? m->number + QStringLiteral(" (storniran)") : m->number,
                          m->reversed});
        return cells;
    };
}

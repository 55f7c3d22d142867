// RecordCache: a forward walk reads block after block by id without ever reading the list of
// ids; with the ids loaded, any position costs one read of the block that holds it, and
// moving back just before the block reads the block that ends there.

#include "engine/RecordCache.h"

#include "engine/TableStore.h"

#include <algorithm>
#include <limits>

namespace engine {

void RecordCache::reset(TableStore *store, int columns)
{
    m_store = store;
    m_columns = columns;
    m_idsLoaded = false;
    m_ids.clear();
    m_count = -1;
    invalidateBlock();
}

void RecordCache::invalidateBlock()
{
    m_blockIds.clear();
    m_blockCells.clear();
    m_blockStart = 0;
}

void RecordCache::loadIds()
{
    m_store->readIds(m_ids);
    m_idsLoaded = true;
    m_count = -1;
    // The cached block stays valid only if it agrees with the ids.
    if (!m_blockIds.empty() &&
        (blockEnd() > int(m_ids.size()) ||
         !std::equal(m_blockIds.begin(), m_blockIds.end(), m_ids.begin() + m_blockStart)))
        invalidateBlock();
}

void RecordCache::setEmpty()
{
    m_ids.clear();
    m_idsLoaded = true;
    m_count = -1;
    invalidateBlock();
}

int RecordCache::count()
{
    if (m_idsLoaded)
        return int(m_ids.size());
    if (m_count < 0)
        m_count = int(m_store->countThrough(std::numeric_limits<qint64>::max()));
    return m_count;
}

void RecordCache::placeAppended(int position, qint64 id, std::vector<Cell> &&cells)
{
    invalidateBlock();
    m_blockStart = position;
    m_blockIds.push_back(id);
    m_blockCells = std::move(cells);
}

bool RecordCache::fetchForward(int start, qint64 afterId, int limit)
{
    // Read into the spare vectors and swap, so that walking reuses the same memory.
    m_spareIds.clear();
    m_spareCells.clear();
    m_store->readRecords(afterId, false, limit, m_spareIds, m_spareCells);
    if (m_spareIds.empty())
        return false;
    m_blockStart = start;
    m_blockIds.swap(m_spareIds);
    m_blockCells.swap(m_spareCells);
    return true;
}

void RecordCache::fetchBlock(int start)
{
    const int end = std::min(int(m_ids.size()), start + blockSize);
    std::vector<qint64> rowIds;
    std::vector<Cell> rowCells;
    m_store->readRecords(m_ids[size_t(start)], true, end - start, rowIds, rowCells);
    // Line the rows up with the ids; a record deleted meanwhile by another connection
    // shows empty, one inserted meanwhile is skipped (refresh() reads both).
    invalidateBlock();
    m_blockStart = start;
    size_t row = 0;
    for (int index = start; index < end; ++index) {
        const qint64 id = m_ids[size_t(index)];
        while (row < rowIds.size() && rowIds[row] < id)
            ++row;
        m_blockIds.push_back(id);
        if (row < rowIds.size() && rowIds[row] == id) {
            const auto from = rowCells.begin() + qsizetype(row) * m_columns;
            m_blockCells.insert(m_blockCells.end(), std::make_move_iterator(from),
                                std::make_move_iterator(from + m_columns));
            ++row;
        } else {
            m_blockCells.resize(m_blockCells.size() + size_t(m_columns));
        }
    }
}

Cell *RecordCache::row(int position)
{
    if (!inBlock(position)) {
        ensureIds();
        if (!inBlock(position)) {
            // Moving backwards fetches the block that ends at the position.
            const bool backwards = !m_blockIds.empty() && position == m_blockStart - 1;
            fetchBlock(backwards ? std::max(0, position - blockSize + 1) : position);
        }
    }
    return &m_blockCells[size_t(position - m_blockStart) * size_t(m_columns)];
}

int RecordCache::positionOf(qint64 id) const
{
    const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    return it != m_ids.end() && *it == id ? int(it - m_ids.begin()) : -1;
}

void RecordCache::appended(qint64 id)
{
    if (!m_idsLoaded) {
        if (m_count >= 0)
            ++m_count;
        return;
    }
    if (!m_ids.empty() && id < m_ids.back())
        loadIds(); // not appended in id order (never with the engine's own files)
    else
        m_ids.push_back(id);
}

void RecordCache::removed(int position)
{
    if (m_idsLoaded)
        m_ids.erase(m_ids.begin() + position);
    else if (m_count > 0)
        --m_count;
    if (inBlock(position)) {
        const int offset = position - m_blockStart;
        m_blockIds.erase(m_blockIds.begin() + offset);
        const auto from = m_blockCells.begin() + qsizetype(offset) * m_columns;
        m_blockCells.erase(from, from + m_columns);
    } else if (position < m_blockStart) {
        --m_blockStart;
    }
}

} // namespace engine

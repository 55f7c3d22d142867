#pragma once

// RecordCache: the records of an open table as Table walks them. A block of up to 256
// consecutive records (their ids and fields) read in one go, and the ordered list of all
// record ids, read only when positions are needed beyond a forward walk (record count,
// moveTo, last, going back past the block). The number of records is known without the ids:
// the store counts them once (cheaply: a table file counts its pages), and storing or deleting
// a record keeps the count, so a posting on a long table never reads every id. Reads go to the
// table's store.
// Internal to the engine.

#include "engine/Cell.h"

#include <deque>
#include <vector>

namespace engine {

class TableStore;

class RecordCache
{
public:
    static constexpr int blockSize = 256;

    // Forgets everything; reads then go to `store` (null when the table is closed).
    void reset(TableStore *store, int columns);

    bool idsLoaded() const { return m_idsLoaded; }
    // The ids of all records in order; call ensureIds() (or loadIds()) first.
    const std::deque<qint64> &ids() const { return m_ids; }
    void ensureIds()
    {
        if (!m_idsLoaded)
            loadIds();
    }
    // Reads the ids again, keeping the block only where it still agrees with them.
    void loadIds();
    // The ids are known to be none (the table was emptied).
    void setEmpty();
    // How many records there are: from the ids when they are loaded, else counted by the store
    // once and then kept by appended() and removed().
    int count();

    bool inBlock(int position) const { return position >= m_blockStart && position < blockEnd(); }
    int blockStart() const { return m_blockStart; }
    void invalidateBlock();

    // Walking forward without the ids: the records after `afterId` become the block starting
    // at `start`. Returns false (and keeps the block) when there is none.
    bool fetchForward(int start, qint64 afterId, int limit = blockSize);
    // The fields of the record at a valid `position` (fetching its block when needed).
    Cell *row(int position);
    // The id of the record at a valid position that is in the block or whose ids are loaded.
    qint64 idAt(int position) const
    {
        return inBlock(position) ? m_blockIds[size_t(position - m_blockStart)] : m_ids[size_t(position)];
    }
    // Position of the record with this id (ids loaded); -1 when there is none.
    int positionOf(qint64 id) const;

    // A record was stored at the end with this id.
    void appended(qint64 id);
    // The record with `id` and fields `cells`, stored last, at `position`: becomes the block.
    void placeAppended(int position, qint64 id, std::vector<Cell> &&cells);
    // The block's records are at positions from `start` on (their place became known).
    void moveBlockTo(int start) { m_blockStart = start; }
    // The record at `position` was deleted.
    void removed(int position);

private:
    int blockEnd() const { return m_blockStart + int(m_blockIds.size()); }
    // With the ids: makes the block hold the records from position `start` on.
    void fetchBlock(int start);

    TableStore *m_store = nullptr;
    int m_columns = 0;
    bool m_idsLoaded = false;
    std::deque<qint64> m_ids;
    int m_count = -1; // the store's count while the ids are not loaded; -1: not counted yet
    // The block: positions m_blockStart .. blockEnd() - 1.
    int m_blockStart = 0;
    std::vector<qint64> m_blockIds;
    std::vector<Cell> m_blockCells;
    std::vector<qint64> m_spareIds; // reused by forward walks
    std::vector<Cell> m_spareCells;
};

} // namespace engine

#pragma once

// Cursor: the position of a walk over a table's or a query's rows and its two ends, as Table
// and Query keep them: first/next/prior/last/moveTo of both are the moves below. Internal to
// the engine.

#include <algorithm>

namespace engine {

struct Cursor
{
    int pos = -1;    // the current row, -1 when there is none
    bool eof = true; // a move went (or would go) past the last row
    bool bof = true; // a move went (or would go) before the first row

    void reset()
    {
        pos = -1;
        eof = bof = true;
    }
    // To the first row, when there is one.
    void toFirst(bool any)
    {
        pos = any ? 0 : -1;
        bof = true;
        eof = !any;
    }
    // On to the next row when it exists, else at the end; true when it moved.
    bool toNext(bool exists)
    {
        if (!exists) {
            eof = true;
            return false;
        }
        ++pos;
        bof = false;
        return true;
    }
    // Back to the row before, else at the start; true when it moved.
    bool toPrior()
    {
        if (pos <= 0) {
            bof = true;
            return false;
        }
        --pos;
        eof = false;
        return true;
    }
    void toLast(int count)
    {
        pos = count - 1;
        eof = true;
        bof = count == 0;
    }
    // To the row at `position`, clamped to the `count` rows there are; false when there are none.
    bool toPosition(int position, int count)
    {
        if (count == 0)
            return false;
        pos = std::clamp(position, 0, count - 1);
        eof = bof = false;
        return true;
    }
};

} // namespace engine

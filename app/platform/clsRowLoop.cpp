#include "clsRowLoop.h"

#include <exception>

namespace tracklift {

void clsRowLoop::LoopThroughRows(const TrackGrid* Grid, GridRow StartingRow, bool IncludeChildren, bool SpanBands,
                                 bool IgnoreHidden, bool IgnoreChildrenIfCollapsed, GridCell EventData)
{
    // The track table is flat: there are no child rows or bands to include or span.
    (void)IncludeChildren;
    (void)SpanBands;
    (void)IgnoreChildrenIfCollapsed;
    if (!Grid)
        return;
    const GridRow row = StartingRow != kNoRow ? StartingRow : Grid->firstRow();
    bool cancelled = false;
    try {
        cancelled = walk(*Grid, row, IgnoreHidden, EventData);
    } catch (const std::exception&) {
        cancelled = false;  // a failing walk counts as one that reached the end
    }
    if (!cancelled)
        emit EndOfRows(row, EventData);
}

// Returns whether a handler cancelled the walk.
bool clsRowLoop::walk(const TrackGrid& grid, GridRow row, bool ignoreHidden, GridCell& eventData)
{
    for (; row != kNoRow; row = grid.nextRow(row)) {
        if (ignoreHidden && grid.isRowHidden(row))
            continue;
        bool cancel = false;
        emit RowFound(row, eventData, cancel);
        if (cancel)
            return true;
    }
    return false;
}

}  // namespace tracklift

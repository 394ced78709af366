#include "clsRowLoop.h"

#include <exception>

namespace tracklift {

void clsRowLoop::LoopThroughRows(const TrackGrid* Grid, GridRow StartingRow, bool IncludeChildren, bool SpanBands,
                                 bool IgnoreHidden, bool IgnoreChildrenIfCollapsed, GridCell EventData)
{
    if (!Grid)
        return;
    const GridRow row = StartingRow != kNoRow ? StartingRow : Grid->firstRow();
    bool cancelled = false;
    try {
        cancelled = walk(*Grid, row, {IncludeChildren, SpanBands, IgnoreHidden, IgnoreChildrenIfCollapsed}, EventData);
    } catch (const std::exception&) {
        cancelled = false;  // a failing walk counts as one that reached the end
    }
    if (!cancelled)
        emit EndOfRows(row, EventData);
}

// Returns whether a handler cancelled the walk.
bool clsRowLoop::walk(const TrackGrid& grid, GridRow row, Flags flags, GridCell& eventData)
{
    for (; row != kNoRow; row = grid.nextRow(row)) {
        if (flags.ignoreHidden && grid.isRowHidden(row))
            continue;
        bool cancel = false;
        emit RowFound(row, eventData, cancel);
        if (cancel)
            return true;
        if (flags.includeChildren && grid.hasChildRows(row) && (!flags.ignoreChildrenIfCollapsed || grid.isExpanded(row))) {
            Flags children = flags;
            children.spanBands = true;
            if (walk(grid, grid.firstChildRow(row), children, eventData))
                return true;
        }
    }
    return false;
}

}  // namespace tracklift

#pragma once

#include "TrackGrid.h"

#include <QObject>

namespace tracklift {

// Walks the rows of a grid from a starting row to the last one and raises
// RowFound for each; a handler ends the walk by setting Cancel. A walk that
// reaches the end raises EndOfRows. The walker keeps no state of its own.
class clsRowLoop final : public QObject {
    Q_OBJECT
public:
    explicit clsRowLoop(QObject* parent = nullptr) : QObject(parent) {}

    // StartingRow kNoRow starts at the grid's first row. EventData is handed to
    // every RowFound handler, which may change it for the rows that follow.
    void LoopThroughRows(const TrackGrid* Grid, GridRow StartingRow, bool IncludeChildren, bool SpanBands, bool IgnoreHidden,
                         bool IgnoreChildrenIfCollapsed, GridCell EventData);

signals:
    void RowFound(tracklift::GridRow Row, tracklift::GridCell& EventData, bool& Cancel);
    void EndOfRows(tracklift::GridRow StartingRow, tracklift::GridCell EventData);

private:
    bool walk(const TrackGrid& grid, GridRow row, bool ignoreHidden, GridCell& eventData);
};

}  // namespace tracklift

#pragma once

#include <vector>

#include <velmora/mesh/manifold_adjacency.h>

#include "chart_flattening.h"

namespace nodara
{
    /// Splits the large charts whose maps fill little of their smallest
    /// enclosing rectangle (long curved bands, which leave most of their
    /// rectangle to be filled by others when packed) in two across one side
    /// of that rectangle, when both halves are discs whose maps pass the
    /// checks and the halves' rectangles together are much smaller. A half
    /// may be split again. Throws std::bad_alloc when memory runs out.
    void split_long_charts(const TriangulatedSurface<3>& surface,
                           const PolygonAdjacencies& adjacencies,
                           const ChartBounds& bounds,
                           std::vector<Chart>& charts);
}  // namespace nodara

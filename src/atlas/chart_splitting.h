#pragma once

#include <vector>

#include "chart_flattening.h"
#include "surface_facts.h"

namespace nodara
{
    /// Splits the large charts whose maps fill little of their smallest
    /// enclosing rectangle (long curved bands, which leave most of their
    /// rectangle to be filled by others when packed) in two or three pieces
    /// across one side of that rectangle, when every piece is a disc whose
    /// map passes the checks and the pieces' rectangles together are much
    /// smaller. A piece may be split again. Throws std::bad_alloc when
    /// memory runs out.
    void split_long_charts(const TriangulatedSurface<3>& surface,
                           const SurfaceFacts& facts, const ChartBounds& bounds,
                           std::vector<Chart>& charts);
}  // namespace nodara

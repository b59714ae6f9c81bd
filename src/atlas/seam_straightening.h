#pragma once

#include <vector>

#include "chart_flattening.h"
#include "surface_facts.h"

namespace nodara
{
    /// Straightens the seams between charts: a triangle with two edges on
    /// one neighbouring chart and at most one on its own moves over, which
    /// takes one seam edge off. The moves between two charts are made
    /// together and kept only when both charts stay discs and their maps
    /// pass the checks again. A few passes, as each straightens the next
    /// row. Throws std::bad_alloc when memory runs out.
    void straighten_seams(const TriangulatedSurface<3>& surface,
                          const SurfaceFacts& facts, const ChartBounds& bounds,
                          std::vector<Chart>& charts);
}  // namespace nodara

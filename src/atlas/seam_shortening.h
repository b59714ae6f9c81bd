#pragma once

#include <vector>

#include "chart_flattening.h"
#include "surface_facts.h"

namespace nodara
{
    /// Shortens the seams between charts: each stretch of seam that two
    /// charts share, from one end to the other, is replaced by the path of
    /// fewest edges (then the shortest) between the same ends through a
    /// band of their triangles along it, and the triangles between the two
    /// paths change sides, when that takes seam edges off. Changes are kept
    /// only where both charts stay discs and their maps pass the checks
    /// again. Throws std::bad_alloc when memory runs out.
    void shorten_seams(const TriangulatedSurface<3>& surface,
                       const SurfaceFacts& facts, const ChartBounds& bounds,
                       std::vector<Chart>& charts);
}  // namespace nodara

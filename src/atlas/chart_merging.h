#pragma once

#include <vector>

#include <velmora/mesh/manifold_adjacency.h>

#include "chart_flattening.h"

namespace nodara
{
    /// Merges small charts into the neighbours they share the most seam
    /// edges with, smallest first, whenever the union is still a disc and
    /// its map passes the checks: fewer, larger charts mean fewer seams and
    /// less padding. Then joins any two neighbouring charts whose shared
    /// seam is at least half the shorter of their borders, under the same
    /// checks. Charts emptied by a merge are removed. Throws
    /// std::bad_alloc when memory runs out.
    void merge_charts(const TriangulatedSurface<3>& surface,
                      const PolygonAdjacencies& adjacencies,
                      const ChartBounds& bounds, std::vector<Chart>& charts);
}  // namespace nodara

#pragma once

#include <cstddef>
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
    /// checks. Charts emptied by a merge are removed. The charts do not
    /// depend on the number of threads. Throws std::bad_alloc when memory
    /// runs out.
    void merge_charts(const TriangulatedSurface<3>& surface,
                      const PolygonAdjacencies& adjacencies,
                      const ChartBounds& bounds, std::vector<Chart>& charts);

    /// merge_charts, with up to `batch_size` small charts tried at once (on
    /// as many threads as OpenMP gives), only while a core is spare when
    /// `while_core_spare`; the charts come out the same for every batch
    /// size. merge_charts tries as many at once as OpenMP has threads,
    /// while a core is spare. Throws std::bad_alloc when memory runs out.
    void merge_charts_in_batches(const TriangulatedSurface<3>& surface,
                                 const PolygonAdjacencies& adjacencies,
                                 const ChartBounds& bounds,
                                 std::vector<Chart>& charts,
                                 std::size_t batch_size, bool while_core_spare);
}  // namespace nodara

#pragma once

#include <vector>

#include <velmora/mesh/polygon_components.h>

namespace nodara
{
    /// A consistent turning sense for the polygons of each piece: two
    /// polygons that share an edge run along it in opposite directions once
    /// the reversed ones are read in corner order 0, 2, 1.
    struct PolygonOrientation
    {
        /// Per polygon, whether it turns against the lowest polygon of its
        /// piece, which keeps its own sense.
        std::vector<bool> reversed;
        /// Per piece, whether a consistent sense exists (false for a
        /// Moebius strip); the flags of a piece without one are not
        /// meaningful.
        std::vector<bool> orientable;
    };

    /// Orients every piece of `surface` consistently through `adjacencies`
    /// and `components` (as compute_manifold_adjacencies and
    /// compute_polygon_components give them for this surface). Throws
    /// std::bad_alloc when memory runs out.
    template <index_t D>
    PolygonOrientation compute_polygon_orientation(
        const SurfaceMesh<D>& surface, const PolygonAdjacencies& adjacencies,
        const PolygonComponents& components);
}  // namespace nodara

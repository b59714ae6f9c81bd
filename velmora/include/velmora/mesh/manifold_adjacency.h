#pragma once

#include <array>

#include <velmora/basic/huge_pages.h>
#include <velmora/mesh/surface_mesh.h>

namespace nodara
{
    /// Per polygon, the polygon across each of its three edges; the type of
    /// a surface's own adjacency array.
    using PolygonAdjacencies = LargeVector<std::array<index_t, 3>>;

    /// Pairs the polygons of `surface` across their shared edges, from the
    /// corners alone (whatever adjacency the surface stores): entry [p][e]
    /// is the polygon across edge e of p when exactly two polygons use that
    /// edge, and NO_ID on the border and on an edge used by three polygons
    /// or more. Orientation is not checked. Throws std::bad_alloc when
    /// memory runs out.
    template <index_t D>
    PolygonAdjacencies compute_manifold_adjacencies(
        const SurfaceMesh<D>& surface);
}  // namespace nodara

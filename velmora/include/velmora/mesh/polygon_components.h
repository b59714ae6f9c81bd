#pragma once

#include <vector>

#include <velmora/mesh/manifold_adjacency.h>

namespace nodara
{
    /// The pieces of a surface: two polygons are in one piece when a chain
    /// of edges, each shared by exactly two polygons, joins them. Polygons
    /// that meet only at a vertex, or across an edge used by three polygons
    /// or more, are in different pieces.
    struct PolygonComponents
    {
        /// Per polygon, its piece, numbered from 0 in the order of the
        /// pieces' lowest polygon ids.
        std::vector<index_t> component;
        index_t nb_components{0};
    };

    /// The pieces of a surface whose polygons are paired by `adjacencies`
    /// (one entry per polygon, as compute_manifold_adjacencies gives).
    /// Throws std::bad_alloc when memory runs out.
    PolygonComponents compute_polygon_components(
        const PolygonAdjacencies& adjacencies);

    /// The pieces of `surface`, from its corners alone. Throws
    /// std::bad_alloc when memory runs out.
    template <index_t D>
    PolygonComponents compute_polygon_components(const SurfaceMesh<D>& surface)
    {
        return compute_polygon_components(
            compute_manifold_adjacencies(surface));
    }
}  // namespace nodara

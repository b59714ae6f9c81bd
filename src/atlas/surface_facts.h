#pragma once

#include <vector>

#include <velmora/geometry/vector.h>
#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// What the atlas's stages read of the input surface, computed once.
    struct SurfaceFacts
    {
        /// The triangles across edges of exactly two triangles.
        PolygonAdjacencies adjacencies;
        /// Per triangle, its unit normal, oriented consistently within its
        /// piece (zero for a triangle of zero area and for a sliver, so
        /// that no chart grows over either). Normals and areas are computed
        /// from the corners turned to start at the lowest one, so that
        /// they do not depend on how the input turns them.
        std::vector<Vector<3>> normals;
        /// Per triangle, its area.
        std::vector<double> areas;
        /// Per triangle, whether it is a sliver: not of zero area, but
        /// thinner (twice its area over its longest edge) than
        /// sliver_height times the surface's bounding-box diagonal, so that
        /// its image would collapse once placed in the unit square.
        std::vector<bool> slivers;
        /// The triangles in seed_order: the order, set by geometry, in
        /// which every stage takes them.
        std::vector<index_t> order;
    };

    /// The thinnest triangle, as a share of the surface's diagonal, that
    /// the atlas lays out as it is: 2^-36, some ten thousand times what
    /// the coordinates of the unit square resolve.
    constexpr double sliver_height = 1.0 / (1ull << 36);

    /// Computes the facts of `surface`. Throws std::bad_alloc when memory
    /// runs out.
    SurfaceFacts surface_facts(const TriangulatedSurface<3>& surface);
}  // namespace nodara

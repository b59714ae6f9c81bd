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
        /// piece (zero for a triangle of zero area).
        std::vector<Vector<3>> normals;
        /// Per triangle, its area.
        std::vector<double> areas;
    };

    /// Computes the facts of `surface`. Throws std::bad_alloc when memory
    /// runs out.
    SurfaceFacts surface_facts(const TriangulatedSurface<3>& surface);
}  // namespace nodara

#pragma once

#include <memory>
#include <string>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    namespace bench
    {
        /// The disk-shaped test surfaces of the benchmark.
        enum class SurfaceKind
        {
            wavy_height_field,
            spherical_cap
        };

        std::string name(SurfaceKind kind);

        /// A surface of the given kind with about `nb_triangles` triangles
        /// (a grid of n x n cells, two triangles each), with adjacencies.
        /// With `nb_pieces` above 1 the grid is cut into that many blocks
        /// that share no vertex, by leaving out one row or column of cells
        /// between neighbouring blocks; the vertices of the left-out cells
        /// stay, in no triangle.
        std::unique_ptr<TriangulatedSurface<3>> make_surface(
            SurfaceKind kind, std::size_t nb_triangles, index_t nb_pieces = 1);
    }  // namespace bench
}  // namespace nodara

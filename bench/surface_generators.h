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
            spherical_cap,
            // The wavy height field with its middle row of cells left out:
            // two pieces, which the direct start does not handle, so the
            // iterative solver runs from the projection.
            two_pieces
        };

        std::string name(SurfaceKind kind);

        /// A surface of the given kind with about `nb_triangles` triangles
        /// (a grid of n x n cells, two triangles each), with adjacencies.
        std::unique_ptr<TriangulatedSurface<3>> make_surface(
            SurfaceKind kind, std::size_t nb_triangles);
    }  // namespace bench
}  // namespace nodara

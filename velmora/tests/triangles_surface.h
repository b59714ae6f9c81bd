#pragma once

#include <array>
#include <memory>
#include <vector>

#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace testing
    {
        /// A surface of `nb_vertices` vertices at the origin and the
        /// triangles given, without adjacencies: what the tests of
        /// connectivity read.
        inline std::unique_ptr<TriangulatedSurface<3>> make_triangles(
            index_t nb_vertices,
            const std::vector<std::array<index_t, 3>>& triangles)
        {
            auto surface = TriangulatedSurface<3>::create();
            TriangulatedSurfaceBuilder<3> builder{*surface};
            builder.create_vertices(nb_vertices);
            for (const auto& t : triangles)
            {
                builder.create_triangle(t);
            }
            return surface;
        }
    }  // namespace testing
}  // namespace nodara

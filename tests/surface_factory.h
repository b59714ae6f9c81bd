#pragma once

#include <array>
#include <memory>
#include <vector>

#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace testing
    {
        // A 3D surface from points and triangles, with its adjacencies.
        inline std::unique_ptr<TriangulatedSurface<3>> make_surface(
            const std::vector<std::array<double, 3>>& points,
            const std::vector<std::array<index_t, 3>>& triangles)
        {
            auto surface = TriangulatedSurface<3>::create();
            TriangulatedSurfaceBuilder<3> builder{*surface};
            for (const auto& p : points)
            {
                builder.create_point(Point<3>{p});
            }
            for (const auto& t : triangles)
            {
                builder.create_triangle(t);
            }
            builder.compute_polygon_adjacencies();
            return surface;
        }

        // The unit square split along its diagonal 0-2.
        inline std::unique_ptr<TriangulatedSurface<3>> make_unit_square()
        {
            return make_surface(
                {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
                {{0, 1, 2}, {0, 2, 3}});
        }
    }  // namespace testing
}  // namespace nodara

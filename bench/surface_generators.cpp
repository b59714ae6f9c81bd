#include "surface_generators.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace bench
    {
        namespace
        {
            const double pi = std::acos(-1.0);

            // (x, y) in [-1, 1]^2 to a point of the surface.
            Point<3> place(SurfaceKind kind, double x, double y)
            {
                if (kind != SurfaceKind::spherical_cap)
                {
                    const double z =
                        0.15 * std::sin(4.0 * x) * std::cos(3.0 * y) +
                        0.05 * std::sin(9.0 * x * y);
                    return Point<3>{{x, y, z}};
                }
                // The square onto the unit disk, then the disk onto a cap of
                // half-angle 70 degrees of the unit sphere.
                const double u = x * std::sqrt(1.0 - 0.5 * y * y);
                const double v = y * std::sqrt(1.0 - 0.5 * x * x);
                const double radius = std::sqrt(u * u + v * v);
                const double theta = radius * 70.0 * pi / 180.0;
                const double phi = std::atan2(v, u);
                return Point<3>{{std::sin(theta) * std::cos(phi),
                                 std::sin(theta) * std::sin(phi),
                                 std::cos(theta)}};
            }
        }  // namespace

        std::string name(SurfaceKind kind)
        {
            switch (kind)
            {
                case SurfaceKind::wavy_height_field:
                    return "wavy height field";
                case SurfaceKind::spherical_cap:
                    return "spherical cap";
            }
            return "";
        }

        namespace
        {
            // Cuts n cells into `blocks` runs: the block of each cell, or
            // NO_ID for the cell left out before each block but the first.
            std::vector<index_t> cut(index_t n, index_t blocks)
            {
                std::vector<index_t> block(n);
                for (index_t i = 0; i < n; ++i)
                {
                    const auto b =
                        static_cast<index_t>(std::uint64_t{i} * blocks / n);
                    const bool first_of_block =
                        i > 0 && std::uint64_t{i - 1} * blocks / n != b;
                    block[i] = first_of_block ? NO_ID : b;
                }
                return block;
            }

            void add_cell(TriangulatedSurfaceBuilder<3>& builder, index_t n,
                          index_t i, index_t j)
            {
                const index_t v = j * (n + 1) + i;
                // Alternate the diagonals so that the mesh has no preferred
                // direction.
                if ((i + j) % 2 == 0)
                {
                    builder.create_triangle({v, v + 1, v + n + 2});
                    builder.create_triangle({v, v + n + 2, v + n + 1});
                }
                else
                {
                    builder.create_triangle({v, v + 1, v + n + 1});
                    builder.create_triangle({v + 1, v + n + 2, v + n + 1});
                }
            }
        }  // namespace

        std::unique_ptr<TriangulatedSurface<3>> make_surface(
            SurfaceKind kind, std::size_t nb_triangles, index_t nb_pieces)
        {
            const auto n = static_cast<index_t>(
                std::lround(std::sqrt(nb_triangles / 2.0)));
            auto surface = TriangulatedSurface<3>::create();
            TriangulatedSurfaceBuilder<3> builder{*surface};
            builder.create_vertices((n + 1) * (n + 1));
            for (index_t j = 0; j <= n; ++j)
            {
                for (index_t i = 0; i <= n; ++i)
                {
                    builder.set_point(
                        j * (n + 1) + i,
                        place(kind, -1.0 + 2.0 * i / n, -1.0 + 2.0 * j / n));
                }
            }
            // Blocks in a grid of about square shape, filled row by row.
            const auto columns = static_cast<index_t>(
                std::ceil(std::sqrt(static_cast<double>(nb_pieces))));
            const auto rows = (nb_pieces + columns - 1) / columns;
            const auto column_of = cut(n, columns);
            const auto row_of = cut(n, rows);
            builder.reserve_triangles(2 * n * n);
            for (index_t j = 0; j < n; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    if (column_of[i] != NO_ID && row_of[j] != NO_ID &&
                        row_of[j] * columns + column_of[i] < nb_pieces)
                    {
                        add_cell(builder, n, i, j);
                    }
                }
            }
            builder.compute_polygon_adjacencies();
            return surface;
        }
    }  // namespace bench
}  // namespace nodara

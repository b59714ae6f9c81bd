#include <tessaplan/solve_selection.h>

#include <absl/container/flat_hash_map.h>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/duplicate_triangles.h>
#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace
    {
        // Whether two corners of triangle t lie at the same position (-0
        // and +0 are the same).
        bool has_repeated_corner(const TriangulatedSurface<3>& surface,
                                 index_t t)
        {
            const auto& a = surface.point(surface.polygon_vertex({t, 0}));
            const auto& b = surface.point(surface.polygon_vertex({t, 1}));
            const auto& c = surface.point(surface.polygon_vertex({t, 2}));
            return a == b || b == c || c == a;
        }
    }  // namespace

    SolveSelection select_solved_triangles(
        const TriangulatedSurface<3>& surface)
    {
        SolveSelection selection;
        selection.left_out.assign(surface.nb_polygons(), false);
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            if (has_repeated_corner(surface, t))
            {
                selection.left_out[t] = true;
                ++selection.nb_repeated_corners;
            }
        }
        for (const auto& duplicate : find_duplicate_triangles(surface))
        {
            if (!selection.left_out[duplicate.triangle])
            {
                selection.left_out[duplicate.triangle] = true;
                ++selection.nb_duplicates;
            }
        }
        selection.solved.reserve(surface.nb_polygons());
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            if (!selection.left_out[t])
            {
                selection.solved.push_back(t);
            }
        }
        return selection;
    }

    std::unique_ptr<TriangulatedSurface<3>> surface_of_triangles(
        const TriangulatedSurface<3>& surface,
        const std::vector<index_t>& triangles)
    {
        auto result = TriangulatedSurface<3>::create();
        TriangulatedSurfaceBuilder<3> builder{*result};
        builder.create_vertices(surface.nb_vertices());
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            builder.set_point(v, surface.point(v));
        }
        builder.reserve_triangles(static_cast<index_t>(triangles.size()));
        for (const auto t : triangles)
        {
            if (t >= surface.nb_polygons())
            {
                throw InvalidInputException{"[surface_of_triangles] Triangle " +
                                       std::to_string(t) +
                                       " does not exist: the surface has " +
                                       std::to_string(surface.nb_polygons())};
            }
            builder.create_triangle({surface.polygon_vertex({t, 0}),
                                     surface.polygon_vertex({t, 1}),
                                     surface.polygon_vertex({t, 2})});
        }
        builder.compute_polygon_adjacencies();
        return result;
    }

    std::unique_ptr<TriangulatedSurface<3>> compact_surface_of_triangles(
        const TriangulatedSurface<3>& surface,
        const std::vector<index_t>& triangles)
    {
        auto result = TriangulatedSurface<3>::create();
        TriangulatedSurfaceBuilder<3> builder{*result};
        absl::flat_hash_map<index_t, index_t> local;
        builder.reserve_triangles(static_cast<index_t>(triangles.size()));
        for (const auto t : triangles)
        {
            std::array<index_t, 3> corners{};
            for (local_index_t k = 0; k < 3; ++k)
            {
                const auto v = surface.polygon_vertex({t, k});
                const auto found = local.find(v);
                corners[k] = found != local.end()
                                 ? found->second
                                 : local[v] =
                                       builder.create_point(surface.point(v));
            }
            builder.create_triangle(corners);
        }
        builder.compute_polygon_adjacencies();
        return result;
    }
}  // namespace nodara

#include <tessaplan/seam_cut.h>

#include <tuple>

#include <absl/container/flat_hash_map.h>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace
    {
        // The image of `vertex` in triangle t.
        const Point<2>& image_of(
            const TriangulatedSurface<3>& surface,
            absl::Span<const std::array<Point<2>, 3>> corners, index_t vertex,
            index_t t)
        {
            const auto v = surface.polygon_vertices(t);
            return corners[t][v[0] == vertex ? 0 : v[1] == vertex ? 1 : 2];
        }
    }  // namespace

    SeamCut cut_along_seams(const TriangulatedSurface<3>& surface,
                            absl::Span<const std::array<Point<2>, 3>> corners)
    {
        if (corners.size() != surface.nb_polygons())
        {
            throw InvalidInputException{
                "[cut_along_seams] The map must hold one entry per triangle"};
        }
        SeamCut cut{TriangulatedSurface<3>::create(), {}, {}};
        TriangulatedSurfaceBuilder<3> builder{*cut.surface};
        // Keyed by the image's exact coordinates: one chart gives a vertex
        // one image, so only a seam separates two corners of a vertex.
        absl::flat_hash_map<std::tuple<index_t, double, double>, index_t> ids;
        builder.reserve_triangles(surface.nb_polygons());
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            std::array<index_t, 3> split{};
            for (local_index_t k = 0; k < 3; ++k)
            {
                const auto v = surface.polygon_vertex({t, k});
                const auto& image = corners[t][k];
                const auto [found, added] =
                    ids.try_emplace(std::make_tuple(v, image[0], image[1]),
                                    static_cast<index_t>(cut.source.size()));
                if (added)
                {
                    builder.create_point(surface.point(v));
                    cut.source.push_back(v);
                    cut.images.push_back(image);
                }
                split[k] = found->second;
            }
            builder.create_triangle(split);
        }
        builder.compute_polygon_adjacencies();
        return cut;
    }

    std::vector<std::array<index_t, 2>> seam_edges(
        const TriangulatedSurface<3>& surface,
        absl::Span<const std::array<Point<2>, 3>> corners)
    {
        if (corners.size() != surface.nb_polygons())
        {
            throw InvalidInputException{
                "[seam_edges] The map must hold one entry per triangle"};
        }
        const auto adjacencies = compute_manifold_adjacencies(surface);
        std::vector<std::array<index_t, 2>> seams;
        for (index_t t = 0; t < adjacencies.size(); ++t)
        {
            const auto v = surface.polygon_vertices(t);
            for (local_index_t e = 0; e < 3; ++e)
            {
                const auto q = adjacencies[t][e];
                if (q == NO_ID || q < t)
                {
                    continue;
                }
                const std::array<index_t, 2> edge{v[e], v[(e + 1) % 3]};
                if (image_of(surface, corners, edge[0], t) !=
                        image_of(surface, corners, edge[0], q) ||
                    image_of(surface, corners, edge[1], t) !=
                        image_of(surface, corners, edge[1], q))
                {
                    seams.push_back(edge);
                }
            }
        }
        return seams;
    }
}  // namespace nodara

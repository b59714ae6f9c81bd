#include <tessaplan/seam_cut.h>

#include <tuple>

#include <absl/container/flat_hash_map.h>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
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
}  // namespace nodara

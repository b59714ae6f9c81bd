#include <tessaplan/atlas.h>
#include <tessaplan/edge_cut.h>
#include <velmora/mesh/manifold_adjacency.h>

namespace nodara
{
    namespace
    {
        // Whether the images of `vertex` in triangles t and q differ.
        bool images_differ(const TriangulatedSurface<3>& surface,
                           const CornerMap& corners, index_t vertex, index_t t,
                           index_t q)
        {
            const auto image = [&](index_t triangle)
            {
                const auto v = surface.polygon_vertices(triangle);
                const int k = v[0] == vertex ? 0 : v[1] == vertex ? 1 : 2;
                return corners[triangle][k];
            };
            return image(t) != image(q);
        }
    }  // namespace

    Atlas compute_atlas(const TriangulatedSurface<3>& surface,
                        absl::Span<const std::array<index_t, 2>> seams,
                        const AtlasOptions& options)
    {
        const auto cut = cut_along_edges(surface, seams);
        auto atlas = compute_atlas(*cut.surface, options);
        // The cut surface's triangles are the source's, in its order. Its
        // seams lack the edges the cut opened, and a chart may hold both
        // sides of a slit: count the edges whose ends' images differ.
        const auto adjacencies = compute_manifold_adjacencies(surface);
        atlas.nb_seam_edges = 0;
        for (index_t t = 0; t < adjacencies.size(); ++t)
        {
            const auto v = surface.polygon_vertices(t);
            for (int e = 0; e < 3; ++e)
            {
                const auto q = adjacencies[t][e];
                atlas.nb_seam_edges +=
                    q != NO_ID && q > t &&
                    (images_differ(surface, atlas.corners, v[e], t, q) ||
                     images_differ(surface, atlas.corners, v[(e + 1) % 3], t,
                                   q));
            }
        }
        return atlas;
    }
}  // namespace nodara

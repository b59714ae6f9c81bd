#include <tessaplan/atlas.h>
#include <tessaplan/edge_cut.h>
#include <tessaplan/seam_cut.h>

namespace nodara
{
    Atlas compute_atlas(const TriangulatedSurface<3>& surface,
                        absl::Span<const std::array<index_t, 2>> seams,
                        const AtlasOptions& options)
    {
        const auto cut = cut_along_edges(surface, seams);
        auto atlas = compute_atlas(*cut.surface, options);
        // The cut surface's triangles are the source's, in its order. Its
        // seams lack the edges the cut opened, and a chart may hold both
        // sides of a slit: count the edges whose ends' images differ.
        atlas.nb_seam_edges =
            static_cast<index_t>(seam_edges(surface, atlas.corners).size());
        return atlas;
    }
}  // namespace nodara

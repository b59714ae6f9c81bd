#pragma once

#include <cstddef>

#include <tessaplan/atlas.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    namespace bench
    {
        /// The stages of compute_atlas: seconds each, charts after cutting,
        /// merging and straightening, seam edges, the worst chart's 95th
        /// percentiles of conformal distortion and of texel density both
        /// ways, that of the whole packed map, the share of the square the
        /// packed triangles cover and the exact check.
        struct AtlasStages
        {
            static constexpr int nb_stages = 6;
            static const char* const names[nb_stages];
            /// Frame and facts, cut, merge, straighten, pack, check.
            double seconds[nb_stages]{};
            std::size_t cut{0};
            std::size_t merged{0};
            std::size_t straightened{0};
            std::size_t seams{0};
            double worst_conformal{0};
            double worst_area{0};
            double atlas_area{0};
            double covered{0};
            bool valid{false};

            double total() const;
        };

        /// Runs the stages of compute_atlas on `surface` one by one.
        AtlasStages time_atlas_stages(const TriangulatedSurface<3>& surface,
                                      const AtlasOptions& options);
    }  // namespace bench
}  // namespace nodara

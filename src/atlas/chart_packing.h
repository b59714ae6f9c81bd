#pragma once

#include <vector>

#include <tessaplan/atlas.h>

#include "chart.h"
#include "profile_packing.h"

namespace nodara
{
    /// Where the charts go in the unit square.
    struct ChartPacking
    {
        /// Texels per unit of the charts' maps, which are at their 3D
        /// scale: the same for every chart.
        double texels_per_unit{0};
        /// Per chart, its quarter turns and its offset in texels.
        std::vector<ProfilePlacement> placements;
        /// Per chart, its page.
        std::vector<index_t> pages;
        index_t nb_pages{1};
    };

    /// Turns each chart's map so that its smallest enclosing rectangle
    /// (CGAL) is axis-aligned and lying, at the origin (when
    /// `options.rotate`; else only moves it there), and packs the charts
    /// at the largest common scale that fits the square of
    /// `options.resolution` texels with `options.padding` texels between
    /// them: first as boxes by the skyline packer, then, above that scale,
    /// by dropping their outlines onto each other (drop_charts, in four
    /// ways at each scale until one fits, then again with the charts whose
    /// footprint some other turn makes leaner so turned), both by bisection.
    /// When `options.texels_per_unit` (at the charts' scale) is above 0, drops
    /// them at that scale onto as many squares (pages) as they need instead.
    /// Throws VelmoraException ("[compute_atlas] ...") when not even the
    /// padding of every chart fits, or a chart is larger than a page.
    ChartPacking pack_charts(std::vector<Chart>& charts,
                             const AtlasOptions& options);

    /// The images of `chart`'s triangle corners in the unit square, where
    /// `placement` puts them at `texels_per_unit`.
    CornerMap packed_corners(const Chart& chart,
                             const ProfilePlacement& placement,
                             double texels_per_unit,
                             const AtlasOptions& options);
}  // namespace nodara

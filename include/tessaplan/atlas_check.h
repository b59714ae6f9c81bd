#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <tessaplan/corner_map.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// What check_atlas finds wrong with a corner map.
    struct AtlasCheck
    {
        /// Triangles of zero (or non-finite) 3D area: they are not checked.
        index_t nb_degenerate_triangles{0};
        /// Triangles of non-zero 3D area whose image has zero area, or turns
        /// against the majority of its chart.
        index_t nb_flipped_triangles{0};
        /// Pairs of triangles whose images overlap (share interior points).
        std::size_t nb_overlapping_pairs{0};
        /// The first overlapping pairs found (at most 16), for diagnostics.
        std::vector<std::pair<index_t, index_t>> overlapping_pairs;

        /// Whether the map has no flipped triangle and no overlap.
        bool valid() const
        {
            return nb_flipped_triangles == 0 && nb_overlapping_pairs == 0;
        }
    };

    /// Checks a corner map of `surface` with exact predicates. A chart is a
    /// set of triangles joined through edges whose two ends have the same
    /// image on both sides; in each chart, the triangles are oriented
    /// consistently through those edges (whatever their winding in the
    /// input) and a triangle whose image turns against the majority of its
    /// chart is flipped, as is one whose image has zero area. Two images
    /// overlap when their interiors meet, within a chart or across charts;
    /// flipped and degenerate triangles are left out of the overlap test.
    /// Needs one entry per triangle and finite coordinates: throws
    /// VelmoraException ("[check_atlas] ...") otherwise.
    AtlasCheck check_atlas(const TriangulatedSurface<3>& surface,
                           absl::Span<const std::array<Point<2>, 3>> corners);
}  // namespace nodara

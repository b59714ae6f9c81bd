#pragma once

#include <tessaplan/atlas_check.h>
#include <tessaplan/corner_map.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Whether `corners`, a map of the triangles of `chart` with adjacencies,
    /// passes check_atlas: the same answer, found faster for the usual map
    /// of a chart. When the map is continuous across the chart's edges,
    /// every triangle turns the same way by the exact predicate, and the
    /// boundary is one loop whose image is a simple polygon, no two
    /// triangles can overlap (a point has as many images as the boundary
    /// winds around it), so the map passes without comparing triangle
    /// pairs; any other map gets the full check. Throws as check_atlas does.
    bool passes_atlas_check(const TriangulatedSurface<3>& chart,
                            const CornerMap& corners);

    /// What check_atlas finds wrong with `corners`, a map of the triangles
    /// of `chart`: nothing, without comparing triangle pairs, when
    /// passes_atlas_check's faster test passes. Throws as check_atlas does.
    AtlasCheck check_chart_map(const TriangulatedSurface<3>& chart,
                               const CornerMap& corners);
}  // namespace nodara

#pragma once

#include <vector>

#include <velmora/mesh/triangulated_surface.h>

#include "chart.h"

namespace nodara
{
    /// Flattens the triangles `chart` of `surface`, a topological disc of
    /// non-degenerate triangles, by LSCM on a surface of their own, scales
    /// the map so that its area is their 3D area and checks it. A failed
    /// solve gives an invalid map, not an exception. Throws std::bad_alloc
    /// when memory runs out.
    ChartMap flatten_chart(const TriangulatedSurface<3>& surface,
                           const std::vector<index_t>& chart,
                           const ChartBounds& bounds);

    /// Per triangle of a chart, in the chart's order, what its map did to
    /// it: what cutting a chart whose map failed reads to keep the part
    /// that flattened well. Empty when the solve failed.
    struct FlatteningFigures
    {
        /// sigma1 / sigma2, +infinity for a collapsed image.
        std::vector<double> conformal;
        std::vector<double> areas_3d;
        std::vector<double> areas_2d;
        /// How many first triangles hold no image the exact check found
        /// flipped or collapsed, and not both images of an overlapping pair
        /// it named; all of them when the map was not checked (it failed
        /// a bound).
        index_t clean_prefix{0};
    };

    /// A chart's map and its figures.
    struct ChartFlattening
    {
        ChartMap map;
        FlatteningFigures figures;
    };

    /// flatten_chart, with the figures of the map. Throws std::bad_alloc
    /// when memory runs out.
    ChartFlattening flatten_chart_with_figures(
        const TriangulatedSurface<3>& surface,
        const std::vector<index_t>& chart, const ChartBounds& bounds);

    /// The map `corners` of a chart (per triangle, in the chart's order)
    /// kept on its first triangles `prefix`, scaled so that its area is
    /// theirs, measured and checked as flatten_chart checks its map: the
    /// part of a map that failed as a whole may pass on its own, without a
    /// solve. Invalid when `corners` holds fewer triangles than `prefix`.
    /// Throws std::bad_alloc when memory runs out.
    ChartFlattening restricted_flattening(const TriangulatedSurface<3>& surface,
                                          const std::vector<index_t>& prefix,
                                          const CornerMap& corners,
                                          const ChartBounds& bounds);

    /// The map of `base`'s triangles followed by `more`, triangles that
    /// border it: `base`'s map kept and `more` laid by LSCM with the
    /// vertices it shares with `base` pinned where `base`'s map places
    /// them, measured and checked as restricted_flattening checks. Far
    /// cheaper than flattening the union when `more` is small; invalid when
    /// the map fails or `more` shares fewer than two vertices with `base`.
    /// Throws std::bad_alloc when memory runs out.
    ChartFlattening extended_flattening(const TriangulatedSurface<3>& surface,
                                        const Chart& base,
                                        const std::vector<index_t>& more,
                                        const ChartBounds& bounds);

    /// The map `uv` (per vertex) of `flat_source`, a chart's triangles on a
    /// surface of their own, scaled so that its area is their 3D area,
    /// measured and checked against `bounds` as flatten_chart checks the
    /// map LSCM gives. Throws std::bad_alloc when memory runs out.
    ChartMap measure_chart_map(const TriangulatedSurface<3>& flat_source,
                               const std::vector<Point<2>>& uv,
                               const ChartBounds& bounds);
}  // namespace nodara

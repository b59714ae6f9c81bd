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

    /// The map `uv` (per vertex) of `flat_source`, a chart's triangles on a
    /// surface of their own, scaled so that its area is their 3D area,
    /// measured and checked against `bounds` as flatten_chart checks the
    /// map LSCM gives. Throws std::bad_alloc when memory runs out.
    ChartMap measure_chart_map(const TriangulatedSurface<3>& flat_source,
                               const std::vector<Point<2>>& uv,
                               const ChartBounds& bounds);
}  // namespace nodara

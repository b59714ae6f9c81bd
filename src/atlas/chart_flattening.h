#pragma once

#include <array>
#include <vector>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Bounds that every chart's map must keep.
    struct ChartBounds
    {
        /// 95th percentile of the conformal distortion (sigma1 / sigma2).
        double max_conformal{1.15};
        /// 95th percentile of the area distortion.
        double max_area{2.0};
    };

    /// The map of one chart, at the scale of its 3D triangles.
    struct ChartMap
    {
        /// Per triangle of the chart, in the chart's order, the images of
        /// its corners.
        std::vector<std::array<Point<2>, 3>> corners;
        double conformal_p95{0};
        double area_p95{0};
        /// Whether LSCM gave a map without flip or overlap that keeps the
        /// bounds.
        bool valid{false};
    };

    /// A chart: its triangles and their map.
    struct Chart
    {
        std::vector<index_t> triangles;
        ChartMap map;
        /// Whether it holds only triangles of zero 3D area (on a segment).
        bool degenerate{false};
    };

    /// Per triangle of a surface of `nb_triangles`, the index of its chart
    /// in `charts`, or NO_ID when no chart holds it.
    std::vector<index_t> chart_of_triangles(index_t nb_triangles,
                                            const std::vector<Chart>& charts);

    /// Flattens the triangles `chart` of `surface`, a topological disc of
    /// non-degenerate triangles, by LSCM on a surface of their own, scales
    /// the map so that its area is their 3D area and checks it. A failed
    /// solve gives an invalid map, not an exception. Throws std::bad_alloc
    /// when memory runs out.
    ChartMap flatten_chart(const TriangulatedSurface<3>& surface,
                           const std::vector<index_t>& chart,
                           const ChartBounds& bounds);
}  // namespace nodara

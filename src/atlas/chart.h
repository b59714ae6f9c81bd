#pragma once

#include <vector>

#include <tessaplan/atlas.h>
#include <tessaplan/corner_map.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Bounds that every chart's map must keep: the 95th percentiles of its
    /// conformal distortion (sigma1 / sigma2) and of its texel density
    /// ratio both ways (density_ratios: triangles that shrink count as
    /// much as those that grow); and bounds on the chart's 3D area and
    /// border length, at the scale of the surface the atlas is computed
    /// on, 2^-exponent times the input's.
    struct ChartBounds
    {
        explicit ChartBounds(const AtlasOptions& options = {},
                             int exponent = 0);

        double max_conformal;
        double max_area;
        /// Infinite when unbounded.
        double max_chart_area;
        double max_boundary_length;
    };

    /// Whether `chart`, a surface of the triangles of one chart with their
    /// adjacencies, has a 3D area or border length beyond `bounds`; never
    /// for a single triangle.
    bool exceeds_size_bounds(const TriangulatedSurface<3>& chart,
                             const ChartBounds& bounds);

    /// The map of one chart, at the scale of its 3D triangles.
    struct ChartMap
    {
        /// Per triangle of the chart, in the chart's order, the images of
        /// its corners.
        CornerMap corners;
        double conformal_p95{0};
        /// The 95th percentile of density_ratios over the chart.
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
        AtlasChartSource source{AtlasChartSource::cut};
    };

    /// Per triangle of a surface of `nb_triangles`, the index of its chart
    /// in `charts`, or NO_ID when no chart holds it.
    std::vector<index_t> chart_of_triangles(index_t nb_triangles,
                                            const std::vector<Chart>& charts);
}  // namespace nodara

#include "chart_flattening.h"

#include <cmath>

#include <tessaplan/atlas_check.h>
#include <tessaplan/distortion.h>
#include <tessaplan/lscm.h>
#include <tessaplan/solve_selection.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/triangle.h>

#include "chart_validity.h"
#include "texel_density.h"

namespace nodara
{
    namespace
    {
        // The images of the corners, scaled to the 3D area.
        CornerMap scaled_corners(const TriangulatedSurface<3>& flat_source,
                                 const std::vector<Point<2>>& uv)
        {
            CornerMap corners(flat_source.nb_polygons());
            double area_2d = 0;
            double area_3d = 0;
            for (index_t t = 0; t < flat_source.nb_polygons(); ++t)
            {
                for (local_index_t k = 0; k < 3; ++k)
                {
                    corners[t][k] = uv[flat_source.polygon_vertex({t, k})];
                }
                area_2d +=
                    Triangle<2>{corners[t][0], corners[t][1], corners[t][2]}
                        .area();
                area_3d += flat_source.triangle(t).area();
            }
            const auto scale = std::sqrt(area_3d / area_2d);
            for (auto& triangle : corners)
            {
                for (auto& corner : triangle)
                {
                    corner = corner * scale;
                }
            }
            return corners;
        }

        std::vector<double> triangle_areas(
            const TriangulatedSurface<3>& surface)
        {
            std::vector<double> areas;
            areas.reserve(surface.nb_polygons());
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                areas.push_back(surface.triangle(t).area());
            }
            return areas;
        }
    }  // namespace

    ChartMap flatten_chart(const TriangulatedSurface<3>& surface,
                           const std::vector<index_t>& chart,
                           const ChartBounds& bounds)
    {
        ChartMap map;
        const auto flat_source = compact_surface_of_triangles(surface, chart);
        if (exceeds_size_bounds(*flat_source, bounds))
        {
            return map;
        }
        std::vector<Point<2>> uv;
        try
        {
            uv = compute_LSCM_map(*flat_source);
        }
        catch (const VelmoraException&)
        {
            return map;
        }
        return measure_chart_map(*flat_source, uv, bounds);
    }

    ChartMap measure_chart_map(const TriangulatedSurface<3>& flat_source,
                               const std::vector<Point<2>>& uv,
                               const ChartBounds& bounds)
    {
        ChartMap map;
        const auto summary = summarize_distortions(
            compute_triangle_distortions(flat_source, uv));
        map.conformal_p95 = summary.conformal.p95;
        map.corners = scaled_corners(flat_source, uv);
        map.area_p95 = density_p95(density_ratios(triangle_areas(flat_source),
                                                  image_areas(map.corners)));
        bool finite =
            std::isfinite(map.conformal_p95) && std::isfinite(map.area_p95);
        for (const auto& triangle : map.corners)
        {
            for (const auto& corner : triangle)
            {
                finite = finite && std::isfinite(corner[0]) &&
                         std::isfinite(corner[1]);
            }
        }
        map.valid = finite && map.conformal_p95 <= bounds.max_conformal &&
                    map.area_p95 <= bounds.max_area &&
                    passes_atlas_check(flat_source, map.corners);
        return map;
    }
}  // namespace nodara

#include "chart_flattening.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <utility>

#include <absl/container/flat_hash_map.h>

#include <tessaplan/atlas_check.h>
#include <tessaplan/distortion.h>
#include <tessaplan/lscm.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/triangle.h>
#include <velmora/mesh/triangulated_surface_builder.h>

#include "chart_seeds.h"
#include "chart_validity.h"
#include "distortion/triangle_distortion.h"
#include "lscm/lscm.h"
#include "texel_density.h"

namespace nodara
{
    namespace
    {
        // The triangles of a chart as a surface of their own, each with its
        // corners turned to start at the lowest (lowest_corner) and its
        // vertices numbered in the order the turned triangles first use
        // them: the same surface, so the same solve, however the input
        // orders the triangles and turns their corners.
        struct ChartSurface
        {
            std::unique_ptr<TriangulatedSurface<3>> surface;
            // Per triangle, the input's corner its first corner is.
            std::vector<local_index_t> turns;
            // Per vertex, the input's vertex it is.
            std::vector<index_t> vertices;
        };

        ChartSurface chart_surface(const TriangulatedSurface<3>& surface,
                                   const std::vector<index_t>& chart)
        {
            ChartSurface result{TriangulatedSurface<3>::create(), {}, {}};
            TriangulatedSurfaceBuilder<3> builder{*result.surface};
            absl::flat_hash_map<index_t, index_t> local;
            builder.reserve_triangles(static_cast<index_t>(chart.size()));
            for (const auto t : chart)
            {
                const auto turn = lowest_corner(surface, t);
                std::array<index_t, 3> corners{};
                for (local_index_t k = 0; k < 3; ++k)
                {
                    const auto v = surface.polygon_vertex(
                        {t, static_cast<local_index_t>((k + turn) % 3)});
                    const auto found = local.find(v);
                    if (found != local.end())
                    {
                        corners[k] = found->second;
                        continue;
                    }
                    corners[k] = local[v] =
                        builder.create_point(surface.point(v));
                    result.vertices.push_back(v);
                }
                builder.create_triangle(corners);
                result.turns.push_back(turn);
            }
            builder.compute_polygon_adjacencies();
            return result;
        }

        // The corners in the input's turn of each triangle.
        CornerMap turned_back(const CornerMap& corners,
                              const std::vector<local_index_t>& turns)
        {
            CornerMap result(corners.size());
            for (std::size_t t = 0; t < corners.size(); ++t)
            {
                for (local_index_t k = 0; k < 3; ++k)
                {
                    result[t][(k + turns[t]) % 3] = corners[t][k];
                }
            }
            return result;
        }

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

        // Whether the map's figures and corners are all finite.
        bool all_finite(const ChartMap& map)
        {
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
            return finite;
        }

        // The position of the first triangle whose image is flipped or
        // collapsed, or the number of triangles when none is.
        index_t first_flipped(const TriangleDistortions& distortions)
        {
            const auto size = static_cast<index_t>(distortions.flipped.size());
            for (index_t t = 0; t < size; ++t)
            {
                if (distortions.flipped[t] || distortions.collapsed[t])
                {
                    return t;
                }
            }
            return size;
        }

        // Per triangle, sigma1 / sigma2 of the map `uv`.
        std::vector<double> conformal_distortions(
            const TriangulatedSurface<3>& chart,
            const std::vector<Point<2>>& uv)
        {
            std::vector<double> values;
            values.reserve(chart.nb_polygons());
            for (index_t t = 0; t < chart.nb_polygons(); ++t)
            {
                const auto& v = chart.polygon_vertices(t);
                values.push_back(conformal_distortion(
                    {&chart.point(v[0]), &chart.point(v[1]),
                     &chart.point(v[2])},
                    {uv[v[0]], uv[v[1]], uv[v[2]]}));
            }
            return values;
        }

        // The map's corners at the scale of the 3D triangles, its figures
        // and its 95th percentiles; every triangle counted as clean.
        void measure(const TriangulatedSurface<3>& flat_source,
                     const std::vector<Point<2>>& uv, ChartFlattening& result)
        {
            auto& map = result.map;
            auto& figures = result.figures;
            figures.conformal = conformal_distortions(flat_source, uv);
            figures.areas_3d = triangle_areas(flat_source);
            map.corners = scaled_corners(flat_source, uv);
            figures.areas_2d = image_areas(map.corners);
            map.conformal_p95 = density_p95(figures.conformal);
            map.area_p95 =
                density_p95(density_ratios(figures.areas_3d, figures.areas_2d));
            figures.clean_prefix = flat_source.nb_polygons();
        }

        // The exact check of the map: its validity, and the clean prefix
        // cut before the first flipped or collapsed triangle and before the
        // later triangle of each overlapping pair named.
        void check(const TriangulatedSurface<3>& flat_source,
                   const std::vector<Point<2>>& uv, ChartFlattening& result)
        {
            const auto check = check_chart_map(flat_source, result.map.corners);
            result.map.valid = check.valid();
            auto& clean = result.figures.clean_prefix;
            if (check.nb_flipped_triangles > 0)
            {
                clean = first_flipped(
                    compute_triangle_distortions(flat_source, uv));
            }
            for (const auto& pair : check.overlapping_pairs)
            {
                clean = std::min(clean, std::max(pair.first, pair.second));
            }
        }

        // measure, then check when the figures keep the bounds.
        void measure_and_check(const TriangulatedSurface<3>& flat_source,
                               const std::vector<Point<2>>& uv,
                               const ChartBounds& bounds,
                               ChartFlattening& result)
        {
            measure(flat_source, uv, result);
            const auto& map = result.map;
            if (all_finite(map) && map.conformal_p95 <= bounds.max_conformal &&
                map.area_p95 <= bounds.max_area)
            {
                check(flat_source, uv, result);
            }
        }

        // Per vertex of `more` (a surface of triangles beside `base`), a pin
        // where `base`'s map places it, for the vertices `base` holds.
        std::vector<VertexPin> pins_from(const TriangulatedSurface<3>& surface,
                                         const Chart& base,
                                         const ChartSurface& more)
        {
            absl::flat_hash_map<index_t, index_t> local;
            for (index_t v = 0; v < more.vertices.size(); ++v)
            {
                local.emplace(more.vertices[v], v);
            }
            std::vector<VertexPin> pins;
            std::vector<bool> pinned(more.vertices.size(), false);
            for (std::size_t i = 0; i < base.triangles.size(); ++i)
            {
                for (local_index_t k = 0; k < 3; ++k)
                {
                    const auto found = local.find(
                        surface.polygon_vertex({base.triangles[i], k}));
                    if (found != local.end() && !pinned[found->second])
                    {
                        pinned[found->second] = true;
                        pins.push_back({found->second, base.map.corners[i][k]});
                    }
                }
            }
            return pins;
        }
    }  // namespace

    ChartMap flatten_chart(const TriangulatedSurface<3>& surface,
                           const std::vector<index_t>& chart,
                           const ChartBounds& bounds)
    {
        return flatten_chart_with_figures(surface, chart, bounds).map;
    }

    ChartFlattening flatten_chart_with_figures(
        const TriangulatedSurface<3>& surface,
        const std::vector<index_t>& chart, const ChartBounds& bounds)
    {
        ChartFlattening result;
        const auto turned = chart_surface(surface, chart);
        const auto& flat_source = turned.surface;
        if (exceeds_size_bounds(*flat_source, bounds))
        {
            return result;
        }
        std::vector<Point<2>> uv;
        try
        {
            uv = compute_chart_LSCM_map(*flat_source);
        }
        catch (const VelmoraException&)
        {
            return result;
        }
        measure_and_check(*flat_source, uv, bounds, result);
        result.map.corners = turned_back(result.map.corners, turned.turns);
        return result;
    }

    ChartFlattening restricted_flattening(const TriangulatedSurface<3>& surface,
                                          const std::vector<index_t>& prefix,
                                          const CornerMap& corners,
                                          const ChartBounds& bounds)
    {
        ChartFlattening result;
        if (corners.size() < prefix.size())
        {
            return result;
        }
        const auto turned = chart_surface(surface, prefix);
        const auto& flat_source = *turned.surface;
        if (exceeds_size_bounds(flat_source, bounds))
        {
            return result;
        }
        std::vector<Point<2>> uv(flat_source.nb_vertices());
        for (index_t t = 0; t < flat_source.nb_polygons(); ++t)
        {
            for (local_index_t k = 0; k < 3; ++k)
            {
                uv[flat_source.polygon_vertex({t, k})] =
                    corners[t][(k + turned.turns[t]) % 3];
            }
        }
        measure_and_check(flat_source, uv, bounds, result);
        result.map.corners = turned_back(result.map.corners, turned.turns);
        return result;
    }

    ChartFlattening extended_flattening(const TriangulatedSurface<3>& surface,
                                        const Chart& base,
                                        const std::vector<index_t>& more,
                                        const ChartBounds& bounds)
    {
        const auto turned = chart_surface(surface, more);
        const auto pins = pins_from(surface, base, turned);
        if (pins.size() < 2)
        {
            return {};
        }
        std::vector<Point<2>> uv;
        try
        {
            uv = solve_LSCM(*turned.surface, pins).map;
        }
        catch (const VelmoraException&)
        {
            return {};
        }
        std::vector<index_t> joined = base.triangles;
        joined.insert(joined.end(), more.begin(), more.end());
        auto corners = base.map.corners;
        for (index_t t = 0; t < more.size(); ++t)
        {
            auto& triangle = corners.emplace_back();
            for (local_index_t k = 0; k < 3; ++k)
            {
                triangle[(k + turned.turns[t]) % 3] =
                    uv[turned.surface->polygon_vertex({t, k})];
            }
        }
        return restricted_flattening(surface, joined, corners, bounds);
    }

    ChartMap measure_chart_map(const TriangulatedSurface<3>& flat_source,
                               const std::vector<Point<2>>& uv,
                               const ChartBounds& bounds)
    {
        ChartFlattening result;
        measure_and_check(flat_source, uv, bounds, result);
        return std::move(result.map);
    }
}  // namespace nodara

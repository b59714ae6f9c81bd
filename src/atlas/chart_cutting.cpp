#include "chart_cutting.h"

#include <cmath>
#include <utility>

#include "chart_flattening.h"
#include "chart_growth.h"
#include "chart_seeds.h"
#include "texel_density.h"

namespace nodara
{
    namespace
    {
        // Charts grow while normals stay within this angle (radians) of
        // their mean normal: wide enough for few seams, narrow enough that
        // most charts flatten within the bounds on the first try.
        constexpr double max_normal_angle = 1.1;

        // A single triangle laid flat in its own plane: an isometry, which
        // LSCM may miss on a needle of extreme proportions.
        ChartMap lay_flat(const TriangulatedSurface<3>& surface, index_t t)
        {
            const auto triangle = surface.triangle(t);
            const auto& p = triangle.vertices();
            const Vector<3> e1{p[0].get(), p[1].get()};
            const Vector<3> e2{p[0].get(), p[2].get()};
            const double length = e1.length();
            ChartMap map;
            map.corners = {{Point<2>{}, Point<2>{{length, 0.0}},
                            Point<2>{{e1.dot(e2) / length,
                                      cross(e1, e2).length() / length}}}};
            map.conformal_p95 = 1.0;
            map.area_p95 = 1.0;
            map.valid = true;
            return map;
        }

        // The size to grow a chart again at when its map failed: when only
        // the area bound failed, the most triangles, of 7/8, 3/4 or 5/8 of
        // them in the order they joined, whose share of the failed map
        // keeps the bound (the parts grown last are cut off where they
        // shrink or grow); otherwise, or when none does, half of them.
        index_t smaller_limit(const TriangulatedSurface<3>& surface,
                              const std::vector<index_t>& triangles,
                              const ChartMap& map, const ChartBounds& bounds)
        {
            const auto half = static_cast<index_t>(triangles.size() / 2);
            if (map.corners.size() != triangles.size() ||
                !(map.conformal_p95 <= bounds.max_conformal) ||
                !(map.area_p95 > bounds.max_area))
            {
                return half;
            }
            std::vector<double> areas_3d;
            for (const auto t : triangles)
            {
                areas_3d.push_back(surface.triangle(t).area());
            }
            const auto areas_2d = image_areas(map.corners);
            for (const auto eighths :
                 {std::size_t{7}, std::size_t{6}, std::size_t{5}})
            {
                const auto size = triangles.size() * eighths / 8;
                const std::vector<double> head_3d(
                    areas_3d.begin(),
                    areas_3d.begin() + static_cast<long>(size));
                const std::vector<double> head_2d(
                    areas_2d.begin(),
                    areas_2d.begin() + static_cast<long>(size));
                if (size > half && density_p95(density_ratios(
                                       head_3d, head_2d)) <= bounds.max_area)
                {
                    return static_cast<index_t>(size);
                }
            }
            return half;
        }

        // Grows a chart from `seed`, and smaller each time its map fails a
        // check (smaller_limit); a single triangle is laid flat directly
        // when its map fails. A growth stopped early gives the first
        // triangles of a longer one, so the smaller charts are cut from the
        // one growth.
        Chart cut_chart(const TriangulatedSurface<3>& surface,
                        ChartGrowth& growth, index_t seed,
                        const std::vector<bool>& taken,
                        const ChartBounds& bounds)
        {
            auto triangles = growth.grow(seed, surface.nb_polygons(), taken);
            auto map = flatten_chart(surface, triangles, bounds);
            while (!map.valid)
            {
                if (triangles.size() == 1)
                {
                    return {std::move(triangles), lay_flat(surface, seed),
                            false};
                }
                triangles.resize(
                    smaller_limit(surface, triangles, map, bounds));
                map = flatten_chart(surface, triangles, bounds);
            }
            return {std::move(triangles), std::move(map), false};
        }

        // A triangle of zero area laid on a segment, its corners at their
        // distances from corner 0: a chart of its own.
        Chart lay_on_segment(const TriangulatedSurface<3>& surface, index_t t)
        {
            const auto triangle = surface.triangle(t);
            const auto& p = triangle.vertices();
            const Vector<3> e1{p[0].get(), p[1].get()};
            const Vector<3> e2{p[0].get(), p[2].get()};
            const double side = e1.dot(e2) < 0 ? -1.0 : 1.0;
            Chart chart;
            chart.triangles = {t};
            chart.map.corners = {{Point<2>{}, Point<2>{{e1.length(), 0.0}},
                                  Point<2>{{side * e2.length(), 0.0}}}};
            chart.map.conformal_p95 = std::nan("");
            chart.map.area_p95 = std::nan("");
            chart.degenerate = true;
            return chart;
        }
        // A sliver too thin for the square's coordinates, laid as a needle
        // on its longest edge, its third corner lifted off that edge by
        // 1/1024 of its length (turning as its corners do), so that its
        // image keeps an area once placed: a chart of its own.
        Chart lay_sliver(const TriangulatedSurface<3>& surface, index_t t)
        {
            const auto triangle = surface.triangle(t);
            const auto& p = triangle.vertices();
            const auto edge = [&p](int k) {
                return Vector<3>{p[k].get(), p[(k + 1) % 3].get()};
            };
            int base = 0;
            for (int k = 1; k < 3; ++k)
            {
                base = edge(k).length() > edge(base).length() ? k : base;
            }
            const auto along = edge(base);
            const double length = along.length();
            const Vector<3> to_third{p[base].get(), p[(base + 2) % 3].get()};
            Chart chart = lay_on_segment(surface, t);
            auto& corners = chart.map.corners[0];
            corners[base] = Point<2>{};
            corners[(base + 1) % 3] = Point<2>{{length, 0.0}};
            corners[(base + 2) % 3] =
                Point<2>{{to_third.dot(along) / length, length / 1024}};
            return chart;
        }
    }  // namespace

    Chart single_triangle_chart(const TriangulatedSurface<3>& surface,
                                const SurfaceFacts& facts, index_t t)
    {
        if (facts.slivers[t])
        {
            return lay_sliver(surface, t);
        }
        if (facts.normals[t] == Vector<3>{})
        {
            return lay_on_segment(surface, t);
        }
        return {{t}, lay_flat(surface, t), false};
    }

    std::vector<Chart> cut_charts(const TriangulatedSurface<3>& surface,
                                  const SurfaceFacts& facts,
                                  const ChartBounds& bounds)
    {
        const auto order = seed_order(surface);
        const auto ranks = ranks_in_order(order);
        ChartGrowth growth{surface,       facts.adjacencies,
                           facts.normals, facts.areas,
                           ranks,         max_normal_angle};
        std::vector<bool> taken(surface.nb_polygons(), false);
        std::vector<Chart> charts;
        for (const auto seed : order)
        {
            if (taken[seed])
            {
                continue;
            }
            charts.push_back(
                facts.slivers[seed] ? lay_sliver(surface, seed)
                : facts.normals[seed] == Vector<3>{}
                    ? lay_on_segment(surface, seed)
                    : cut_chart(surface, growth, seed, taken, bounds));
            for (const auto t : charts.back().triangles)
            {
                taken[t] = true;
            }
        }
        return charts;
    }
}  // namespace nodara

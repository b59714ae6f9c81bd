#include "chart_cutting.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "chart_flattening.h"
#include "chart_growth.h"
#include "chart_seeds.h"
#include "chart_shrinking.h"
#include "parallel_tasks.h"

namespace nodara
{
    namespace
    {
        // Charts grow while normals stay within this angle (radians) of
        // their mean normal: wide enough for few seams, narrow enough that
        // most charts flatten within the bounds on the first try.
        constexpr double max_normal_angle = 1.1;

        // The share of the surface's area a chart grows to at most on its
        // first try, and the number of triangles of the surface's mean area
        // it holds at most then: charts that flatten well beyond it grow
        // on, those that fail are cut smaller, and no first try costs a
        // solve of a large part of the surface, whatever its resolution.
        constexpr double first_share = 1.0 / 8;
        constexpr double first_triangles = 16384;

        constexpr double pi = 3.14159265358979323846;

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

        // How much larger a chart whose map passed grows next: its
        // distortion's headroom, each bound's excess over 1 over the map's,
        // between 2 and 16 (distortion grows about with the area).
        double growth_factor(const ChartMap& map, const ChartBounds& bounds)
        {
            const auto headroom = [](double bound, double p95)
            { return p95 > 1 ? (bound - 1) / (p95 - 1) : HUGE_VAL; };
            const double factor =
                std::min(headroom(bounds.max_conformal, map.conformal_p95),
                         headroom(bounds.max_area, map.area_p95));
            return std::clamp(factor, 2.0, 16.0);
        }

        // The growth from `seed` up to `max_area`, or all of it when it
        // ends before twice that: a chart that nearly fills what it can
        // grow over is flattened whole at once rather than twice.
        std::vector<index_t> larger_growth(ChartGrowth& growth, index_t seed,
                                           const std::vector<bool>& taken,
                                           const std::vector<double>& areas,
                                           double max_area, double radius)
        {
            auto triangles = growth.grow(seed, taken, 2 * max_area, radius);
            // Summed as the growth sums, in its order: the growth up to
            // max_area ends with the triangle that brings it there.
            double area = 0;
            auto reached = triangles.size();
            for (std::size_t i = 0; i < triangles.size(); ++i)
            {
                area += areas[triangles[i]];
                if (reached == triangles.size() && !(area < max_area))
                {
                    reached = i + 1;
                }
            }
            if (!(area < 2 * max_area))
            {
                triangles.resize(reached);
            }
            return triangles;
        }

        // Grows a chart from `seed` up to `max_area`, smaller each time its
        // map fails (kept_prefix of the failed map), larger (growth_factor,
        // larger_growth) each time it passes and the growth was stopped by
        // the area.
        // A growth stopped early gives the first triangles of a longer
        // one, so the smaller charts are cut from the one growth. A single
        // triangle is laid flat directly when its map fails.
        Chart cut_chart(const TriangulatedSurface<3>& surface,
                        ChartGrowth& growth, index_t seed,
                        const std::vector<bool>& taken,
                        const std::vector<double>& areas,
                        const ChartBounds& bounds, double max_area)
        {
            // Round charts of about the area first grown to.
            const double radius = std::sqrt(max_area / pi);
            auto triangles = growth.grow(seed, taken, max_area, radius);
            auto flattening =
                flatten_chart_with_figures(surface, triangles, bounds);
            Chart kept;
            while (flattening.map.valid)
            {
                max_area *= growth_factor(flattening.map, bounds);
                kept = {std::move(triangles), std::move(flattening.map), false};
                triangles =
                    larger_growth(growth, seed, taken, areas, max_area, radius);
                if (triangles.size() == kept.triangles.size())
                {
                    return kept;
                }
                flattening =
                    flatten_chart_with_figures(surface, triangles, bounds);
            }
            while (!flattening.map.valid)
            {
                const auto size = static_cast<index_t>(triangles.size());
                if (size == 1)
                {
                    return {std::move(triangles), lay_flat(surface, seed),
                            false};
                }
                const auto smaller =
                    kept_prefix(flattening.figures, bounds, size);
                if (smaller <= kept.triangles.size())
                {
                    return kept;
                }
                triangles.resize(smaller);
                // The failed map, kept on the prefix, often passes: then no
                // solve of the prefix is needed.
                auto restricted = restricted_flattening(
                    surface, triangles, flattening.map.corners, bounds);
                if (restricted.map.valid)
                {
                    return {std::move(triangles), std::move(restricted.map),
                            false};
                }
                flattening =
                    flatten_chart_with_figures(surface, triangles, bounds);
            }
            return {std::move(triangles), std::move(flattening.map), false};
        }

        // The area a chart grown from `seed` first grows to: twice that of
        // the largest chart already cut across an edge of the seed, since
        // neighbouring charts meet alike curvature, or `largest` when there
        // is none, and never more.
        double first_area(const SurfaceFacts& facts, index_t seed,
                          const std::vector<index_t>& chart_of,
                          const std::vector<double>& chart_areas,
                          double largest)
        {
            double neighbour = 0;
            for (const auto q : facts.adjacencies[seed])
            {
                if (q != NO_ID && chart_of[q] != NO_ID)
                {
                    neighbour = std::max(neighbour, chart_areas[chart_of[q]]);
                }
            }
            return neighbour > 0 ? std::min(largest, 2 * neighbour) : largest;
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

    namespace
    {
        // Surfaces of more triangles are cut in regions of at least this
        // many, each on its own: blocks of the seed order, so slabs across
        // the surface, set by geometry and not by the number of threads.
        // Charts end at a region's border; merging joins them across it.
        constexpr std::size_t region_triangles = 16384;

        // The blocks [first, last) of the seed order that are cut apart: a
        // power of two of them, of sizes within one triangle.
        std::vector<std::pair<std::size_t, std::size_t>> cutting_regions(
            std::size_t size)
        {
            std::size_t count = 1;
            while (2 * count * region_triangles <= size)
            {
                count *= 2;
            }
            std::vector<std::pair<std::size_t, std::size_t>> regions;
            for (std::size_t r = 0; r < count; ++r)
            {
                regions.emplace_back(r * size / count, (r + 1) * size / count);
            }
            return regions;
        }

        // One region's cutting: its seeds in seed order, growth kept to its
        // triangles.
        class Region
        {
        public:
            Region(const TriangulatedSurface<3>& surface,
                   const SurfaceFacts& facts, const std::vector<index_t>& ranks,
                   std::pair<std::size_t, std::size_t> block)
                : surface_(surface),
                  facts_(facts),
                  block_(block),
                  growth_{surface,       facts.adjacencies,
                          facts.normals, facts.areas,
                          ranks,         max_normal_angle},
                  taken_(surface.nb_polygons(), true),
                  chart_of_(surface.nb_polygons(), NO_ID)
            {
                for (auto i = block.first; i < block.second; ++i)
                {
                    taken_[facts.order[i]] = false;
                }
            }

            std::vector<Chart> cut(const ChartBounds& bounds,
                                   double largest_first)
            {
                std::vector<Chart> charts;
                std::vector<double> chart_areas;
                for (auto i = block_.first; i < block_.second; ++i)
                {
                    const auto seed = facts_.order[i];
                    if (taken_[seed])
                    {
                        continue;
                    }
                    charts.push_back(
                        facts_.normals[seed] == Vector<3>{}
                            ? single_triangle_chart(surface_, facts_, seed)
                            : cut_chart(
                                  surface_, growth_, seed, taken_, facts_.areas,
                                  bounds,
                                  first_area(facts_, seed, chart_of_,
                                             chart_areas, largest_first)));
                    double area = 0;
                    for (const auto t : charts.back().triangles)
                    {
                        taken_[t] = true;
                        chart_of_[t] = static_cast<index_t>(charts.size() - 1);
                        area += facts_.areas[t];
                    }
                    chart_areas.push_back(area);
                }
                return charts;
            }

        private:
            const TriangulatedSurface<3>& surface_;
            const SurfaceFacts& facts_;
            std::pair<std::size_t, std::size_t> block_;
            ChartGrowth growth_;
            // Triangles outside the region count as taken.
            std::vector<bool> taken_;
            std::vector<index_t> chart_of_;
        };
    }  // namespace

    std::vector<Chart> cut_charts(const TriangulatedSurface<3>& surface,
                                  const SurfaceFacts& facts,
                                  const ChartBounds& bounds)
    {
        const auto& order = facts.order;
        // Summed in seed order, which does not depend on the file's.
        double total_area = 0;
        for (const auto t : order)
        {
            total_area += facts.areas[t];
        }
        const double largest_first =
            total_area *
            std::min(first_share, first_triangles / surface.nb_polygons());
        const auto regions = cutting_regions(order.size());
        std::vector<std::vector<Chart>> parts(regions.size());
        const auto ranks = ranks_in_order(order);
        run_in_parallel(regions.size(),
                        [&](std::size_t r)
                        {
                            Region region{surface, facts, ranks, regions[r]};
                            parts[r] = region.cut(bounds, largest_first);
                        });
        std::vector<Chart> charts;
        for (auto& part : parts)
        {
            std::move(part.begin(), part.end(), std::back_inserter(charts));
        }
        return charts;
    }
}  // namespace nodara

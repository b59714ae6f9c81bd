#include "chart_cutting.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include <omp.h>

#include "chart_flattening.h"
#include "chart_growth.h"
#include "chart_seeds.h"
#include "chart_shrinking.h"
#include "lscm/solver_threads.h"
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

        // Batches of seeds cut between two looks at whether a core is spare.
        constexpr std::size_t spare_check_batches = 16;

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
                                           double max_area, double radius,
                                           std::vector<index_t>& reach)
        {
            auto triangles = growth.grow(seed, taken, 2 * max_area, radius);
            reach = triangles;
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
        // one, so the smaller charts are cut from the one growth, and
        // `reach` is left holding the longest growth, every triangle the
        // chart's growths took. A single triangle is laid flat directly
        // when its map fails.
        Chart cut_chart(const TriangulatedSurface<3>& surface,
                        ChartGrowth& growth, index_t seed,
                        const std::vector<bool>& taken,
                        const std::vector<double>& areas,
                        const ChartBounds& bounds, double max_area,
                        std::vector<index_t>& reach)
        {
            // Round charts of about the area first grown to.
            const double radius = std::sqrt(max_area / pi);
            auto triangles = growth.grow(seed, taken, max_area, radius);
            reach = triangles;
            auto flattening =
                flatten_chart_with_figures(surface, triangles, bounds);
            Chart kept;
            while (flattening.map.valid)
            {
                max_area *= growth_factor(flattening.map, bounds);
                kept = {std::move(triangles), std::move(flattening.map), false};
                triangles = larger_growth(growth, seed, taken, areas, max_area,
                                          radius, reach);
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
        // Cuts the charts seed after seed as one thread would, the next
        // few seeds at once: each chart is cut ahead against the triangles
        // taken before them all, then kept in seed order when no chart kept
        // before it in the same batch took a triangle its growths took or
        // one next to its seed (it would then have grown the same), else
        // cut again. The charts are those of the one thread's order,
        // whatever the number of threads.
        class ChartCutter
        {
        public:
            ChartCutter(const TriangulatedSurface<3>& surface,
                        const SurfaceFacts& facts, const ChartBounds& bounds,
                        const std::vector<index_t>& order,
                        std::size_t batch_size, bool while_core_spare)
                : while_core_spare_(while_core_spare),
                  surface_(surface),
                  facts_(facts),
                  bounds_(bounds),
                  ranks_(ranks_in_order(order)),
                  taken_(surface.nb_polygons(), false),
                  chart_of_(surface.nb_polygons(), NO_ID)
            {
                for (std::size_t i = 0; i < batch_size; ++i)
                {
                    growths_.push_back(std::make_unique<ChartGrowth>(
                        surface, facts.adjacencies, facts.normals, facts.areas,
                        ranks_, max_normal_angle));
                }
                // Summed in seed order, which does not depend on the file's.
                double total_area = 0;
                for (const auto t : order)
                {
                    total_area += facts.areas[t];
                }
                largest_first_ =
                    total_area *
                    std::min(first_share,
                             first_triangles / surface.nb_polygons());
            }

            // Cuts the charts of the next seeds from `next` in `order` not
            // yet taken; false when none is left.
            bool cut_ahead(const std::vector<index_t>& order, std::size_t& next)
            {
                const auto size = batch_size();
                std::vector<index_t> seeds;
                for (; next < order.size() && seeds.size() < size; ++next)
                {
                    if (!taken_[order[next]])
                    {
                        seeds.push_back(order[next]);
                    }
                }
                std::vector<Ahead> ahead(seeds.size());
                run_in_parallel(seeds.size(), [&](std::size_t i)
                                { ahead[i] = cut(seeds[i], *growths_[i]); });
                const auto first_new = static_cast<index_t>(charts_.size());
                for (std::size_t i = 0; i < seeds.size(); ++i)
                {
                    if (taken_[seeds[i]])
                    {
                        continue;
                    }
                    if (!still_holds(ahead[i], seeds[i], first_new))
                    {
                        ahead[i] = cut(seeds[i], *growths_[0]);
                    }
                    keep(std::move(ahead[i].chart));
                }
                return !seeds.empty();
            }

            std::vector<Chart> take_charts() { return std::move(charts_); }

        private:
            // Batches' seeds are cut one at a time while no core is spare
            // (the threads would wait for each other's time slices), asked
            // again every few batches.
            std::size_t batch_size()
            {
                if (batches_++ % spare_check_batches == 0)
                {
                    parallel_ = growths_.size() > 1 &&
                                (!while_core_spare_ || core_to_spare());
                }
                return parallel_ ? growths_.size() : 1;
            }

            // A chart cut ahead, and every triangle its growths took.
            struct Ahead
            {
                Chart chart;
                std::vector<index_t> reach;
            };

            Ahead cut(index_t seed, ChartGrowth& growth) const
            {
                Ahead ahead;
                ahead.reach = {seed};
                ahead.chart =
                    facts_.slivers[seed] ? lay_sliver(surface_, seed)
                    : facts_.normals[seed] == Vector<3>{}
                        ? lay_on_segment(surface_, seed)
                        : cut_chart(surface_, growth, seed, taken_,
                                    facts_.areas, bounds_,
                                    first_area(facts_, seed, chart_of_,
                                               chart_areas_, largest_first_),
                                    ahead.reach);
                return ahead;
            }

            // Whether no chart from `first_new` on took a triangle the
            // growths of `ahead` took or one next to its seed.
            bool still_holds(const Ahead& ahead, index_t seed,
                             index_t first_new) const
            {
                const auto is_new = [&](index_t t)
                { return chart_of_[t] != NO_ID && chart_of_[t] >= first_new; };
                for (const auto q : facts_.adjacencies[seed])
                {
                    if (q != NO_ID && is_new(q))
                    {
                        return false;
                    }
                }
                return std::none_of(ahead.reach.begin(), ahead.reach.end(),
                                    is_new);
            }

            void keep(Chart chart)
            {
                double area = 0;
                for (const auto t : chart.triangles)
                {
                    taken_[t] = true;
                    chart_of_[t] = static_cast<index_t>(charts_.size());
                    area += facts_.areas[t];
                }
                chart_areas_.push_back(area);
                charts_.push_back(std::move(chart));
            }

            bool while_core_spare_;
            const TriangulatedSurface<3>& surface_;
            const SurfaceFacts& facts_;
            const ChartBounds& bounds_;
            std::vector<index_t> ranks_;
            std::vector<std::unique_ptr<ChartGrowth>> growths_;
            double largest_first_{0};
            std::vector<bool> taken_;
            std::vector<index_t> chart_of_;
            std::vector<double> chart_areas_;
            std::vector<Chart> charts_;
            std::size_t batches_{0};
            bool parallel_{false};
        };
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
        return cut_charts_in_batches(
            surface, facts, bounds,
            static_cast<std::size_t>(std::max(1, omp_get_max_threads())), true);
    }

    std::vector<Chart> cut_charts_in_batches(
        const TriangulatedSurface<3>& surface, const SurfaceFacts& facts,
        const ChartBounds& bounds, std::size_t batch_size,
        bool while_core_spare)
    {
        const auto order = seed_order(surface);
        ChartCutter cutter{surface,
                           facts,
                           bounds,
                           order,
                           std::max<std::size_t>(1, batch_size),
                           while_core_spare};
        std::size_t next = 0;
        while (cutter.cut_ahead(order, next))
        {
        }
        return cutter.take_charts();
    }
}  // namespace nodara

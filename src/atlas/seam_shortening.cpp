#include "seam_shortening.h"

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <queue>
#include <set>
#include <tuple>
#include <utility>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>
#include <absl/types/optional.h>

#include <velmora/geometry/vector.h>

#include "chart_topology.h"
#include "parallel_tasks.h"

namespace nodara
{
    namespace
    {
        // How many rings of vertices on either side of a stretch of seam
        // its new path may run through.
        constexpr int max_rings = 2;
        // Two charts are looked at together only when they hold at most
        // this many triangles: every change tried costs a flattening of
        // both, so the work stays near linear. Large charts have few seam
        // edges for their size already.
        constexpr std::size_t max_pair = 1024;
        // Rounds of shortening: each finds the stretches that the last one's
        // changes leave, or that its bands kept apart.
        constexpr int rounds = 4;
        // The triangles that the tries of all rounds may flatten, per
        // triangle of the surface: most changes tried fail (the charts are
        // cut to their bounds), so the tries are bounded, the most
        // promising first.
        constexpr double budget_per_triangle = 16;

        using Edge = std::pair<index_t, index_t>;
        using ChartPair = std::pair<index_t, index_t>;
        using TriangleSet = absl::flat_hash_set<index_t>;

        // Per vertex, the triangles around it.
        struct VertexTriangles
        {
            std::vector<index_t> start;
            std::vector<index_t> triangles;
        };

        VertexTriangles vertex_triangles(const TriangulatedSurface<3>& surface)
        {
            VertexTriangles result;
            result.start.assign(surface.nb_vertices() + 1, 0);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (const auto v : surface.polygon_vertices(t))
                {
                    ++result.start[v + 1];
                }
            }
            std::partial_sum(result.start.begin(), result.start.end(),
                             result.start.begin());
            result.triangles.resize(result.start.back());
            auto next = result.start;
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (const auto v : surface.polygon_vertices(t))
                {
                    result.triangles[next[v]++] = t;
                }
            }
            return result;
        }

        // What every step reads: the surface, the charts' triangles, and
        // the triangles around each vertex.
        struct Context
        {
            const TriangulatedSurface<3>& surface;
            const PolygonAdjacencies& adjacencies;
            const std::vector<index_t>& chart_of;
            const VertexTriangles& around;

            template <typename Visit>
            void for_each_around(index_t v, const Visit& visit) const
            {
                for (auto i = around.start[v]; i < around.start[v + 1]; ++i)
                {
                    visit(around.triangles[i]);
                }
            }

            Edge edge(index_t t, local_index_t e) const
            {
                const auto& corners = surface.polygon_vertices(t);
                return std::minmax(corners[e], corners[(e + 1) % 3]);
            }
        };

        // A stretch of seam: edges that two charts share, joined end to
        // end into one path between two distinct vertices.
        struct Stretch
        {
            index_t a;
            index_t b;
            std::vector<Edge> edges;
            index_t from;
            index_t to;
        };

        // Per pair of charts (the lower first), the edges they share.
        std::map<std::pair<index_t, index_t>, std::vector<Edge>> shared_seams(
            const Context& context, const std::vector<Chart>& charts)
        {
            std::map<std::pair<index_t, index_t>, std::vector<Edge>> seams;
            const auto& chart_of = context.chart_of;
            for (index_t t = 0; t < chart_of.size(); ++t)
            {
                for (local_index_t e = 0; e < 3; ++e)
                {
                    const auto q = context.adjacencies[t][e];
                    if (q == NO_ID || q < t || chart_of[t] == NO_ID ||
                        chart_of[q] == NO_ID || chart_of[t] == chart_of[q] ||
                        charts[chart_of[t]].degenerate ||
                        charts[chart_of[q]].degenerate)
                    {
                        continue;
                    }
                    seams[std::minmax(chart_of[t], chart_of[q])].push_back(
                        context.edge(t, e));
                }
            }
            return seams;
        }

        // The pieces of two charts' shared edges that are simple paths
        // between two distinct ends; loops and branching pieces are left.
        void add_stretches(index_t a, index_t b, const std::vector<Edge>& edges,
                           std::vector<Stretch>& stretches)
        {
            absl::flat_hash_map<index_t, std::vector<std::size_t>> at;
            for (std::size_t i = 0; i < edges.size(); ++i)
            {
                at[edges[i].first].push_back(i);
                at[edges[i].second].push_back(i);
            }
            std::vector<bool> seen(edges.size(), false);
            for (std::size_t i = 0; i < edges.size(); ++i)
            {
                if (seen[i])
                {
                    continue;
                }
                Stretch stretch{a, b, {}, NO_ID, NO_ID};
                std::vector<index_t> ends;
                bool path = true;
                std::vector<std::size_t> stack{i};
                seen[i] = true;
                while (!stack.empty())
                {
                    const auto edge = edges[stack.back()];
                    stack.pop_back();
                    stretch.edges.push_back(edge);
                    for (const auto v : {edge.first, edge.second})
                    {
                        const auto& next = at[v];
                        path = path && next.size() <= 2;
                        if (next.size() == 1)
                        {
                            ends.push_back(v);
                        }
                        for (const auto j : next)
                        {
                            if (!seen[j])
                            {
                                seen[j] = true;
                                stack.push_back(j);
                            }
                        }
                    }
                }
                if (path && ends.size() == 2 && stretch.edges.size() > 1)
                {
                    stretch.from = std::min(ends[0], ends[1]);
                    stretch.to = std::max(ends[0], ends[1]);
                    stretches.push_back(std::move(stretch));
                }
            }
        }

        // The triangles of the stretch's two charts within band_rings rings
        // of vertices of it.
        std::vector<index_t> band_of(const Context& context,
                                     const Stretch& stretch, int band_rings,
                                     TriangleSet& band)
        {
            absl::flat_hash_set<index_t> seen;
            std::vector<index_t> frontier;
            for (const auto& edge : stretch.edges)
            {
                for (const auto v : {edge.first, edge.second})
                {
                    if (seen.insert(v).second)
                    {
                        frontier.push_back(v);
                    }
                }
            }
            std::vector<index_t> triangles;
            for (int ring = 0; ring < band_rings; ++ring)
            {
                std::vector<index_t> next;
                for (const auto v : frontier)
                {
                    context.for_each_around(
                        v,
                        [&](index_t t)
                        {
                            const auto c = context.chart_of[t];
                            if ((c != stretch.a && c != stretch.b) ||
                                !band.insert(t).second)
                            {
                                return;
                            }
                            triangles.push_back(t);
                            for (const auto w :
                                 context.surface.polygon_vertices(t))
                            {
                                if (seen.insert(w).second)
                                {
                                    next.push_back(w);
                                }
                            }
                        });
                }
                frontier = std::move(next);
            }
            return triangles;
        }

        // The path of fewest edges, then the shortest, from the stretch's
        // first end to its last over edges whose two triangles are in the
        // band, through vertices whose triangles all are; empty when there
        // is none.
        std::vector<Edge> shortest_path(const Context& context,
                                        const TriangleSet& band,
                                        const Stretch& stretch)
        {
            const auto& surface = context.surface;
            absl::flat_hash_map<index_t, bool> inner;
            const auto passable = [&](index_t v)
            {
                if (v == stretch.to)
                {
                    return true;
                }
                const auto found = inner.find(v);
                if (found != inner.end())
                {
                    return found->second;
                }
                bool all = true;
                context.for_each_around(
                    v, [&](index_t t) { all = all && band.contains(t); });
                return inner[v] = all;
            };
            using Cost = std::pair<long, double>;
            using Label = std::tuple<long, double, index_t>;
            absl::flat_hash_map<index_t, Cost> best{{stretch.from, {0, 0.0}}};
            absl::flat_hash_map<index_t, index_t> previous;
            std::priority_queue<Label, std::vector<Label>, std::greater<Label>>
                queue;
            queue.push({0, 0.0, stretch.from});
            while (!queue.empty())
            {
                const auto [count, length, v] = queue.top();
                queue.pop();
                if (v == stretch.to)
                {
                    break;
                }
                if (best[v] < Cost{count, length})
                {
                    continue;
                }
                context.for_each_around(
                    v,
                    [&](index_t t)
                    {
                        if (!band.contains(t))
                        {
                            return;
                        }
                        const auto& corners = surface.polygon_vertices(t);
                        const auto k = static_cast<local_index_t>(
                            std::find(corners.begin(), corners.end(), v) -
                            corners.begin());
                        for (const auto e : {k, local_index_t((k + 2) % 3)})
                        {
                            const auto q = context.adjacencies[t][e];
                            const auto w = corners[e == k ? (k + 1) % 3 : e];
                            if (q == NO_ID || !band.contains(q) || !passable(w))
                            {
                                continue;
                            }
                            const Cost cost{count + 1,
                                            length + Vector<3>{surface.point(v),
                                                               surface.point(w)}
                                                         .length()};
                            const auto found = best.find(w);
                            if (found == best.end() || cost < found->second)
                            {
                                best[w] = cost;
                                previous[w] = v;
                                queue.push({cost.first, cost.second, w});
                            }
                        }
                    });
            }
            std::vector<Edge> path;
            if (!previous.contains(stretch.to))
            {
                return path;
            }
            for (auto v = stretch.to; v != stretch.from; v = previous[v])
            {
                path.push_back(std::minmax(v, previous[v]));
            }
            return path;
        }

        // Per triangle of the band, the chart it joins: the band parts
        // into pieces along the new path, and each piece goes to the chart
        // whose triangles outside the band it touches, or, touching none,
        // to the chart that holds most of it. None when a piece touches
        // both or is split evenly: the path does not part the charts.
        absl::optional<absl::flat_hash_map<index_t, index_t>> sides(
            const Context& context, const Stretch& stretch,
            const std::vector<index_t>& triangles, const TriangleSet& band,
            const absl::flat_hash_set<Edge>& path)
        {
            const auto& chart_of = context.chart_of;
            absl::flat_hash_map<index_t, index_t> side;
            for (const auto first : triangles)
            {
                if (side.contains(first))
                {
                    continue;
                }
                std::vector<index_t> piece{first};
                side[first] = NO_ID;
                bool touches_a = false;
                bool touches_b = false;
                long in_a = 0;
                for (std::size_t i = 0; i < piece.size(); ++i)
                {
                    const auto t = piece[i];
                    in_a += chart_of[t] == stretch.a ? 1 : -1;
                    for (local_index_t e = 0; e < 3; ++e)
                    {
                        const auto q = context.adjacencies[t][e];
                        if (q == NO_ID || path.contains(context.edge(t, e)))
                        {
                            continue;
                        }
                        if (!band.contains(q))
                        {
                            touches_a = touches_a || chart_of[q] == stretch.a;
                            touches_b = touches_b || chart_of[q] == stretch.b;
                        }
                        else if (side.insert({q, NO_ID}).second)
                        {
                            piece.push_back(q);
                        }
                    }
                }
                if ((touches_a && touches_b) ||
                    (!touches_a && !touches_b && in_a == 0))
                {
                    return absl::nullopt;
                }
                const auto chart = touches_a || (!touches_b && in_a > 0)
                                       ? stretch.a
                                       : stretch.b;
                for (const auto t : piece)
                {
                    side[t] = chart;
                }
            }
            return side;
        }

        // A change of one stretch: the triangles that change charts.
        struct Change
        {
            index_t a;
            index_t b;
            std::vector<index_t> band;
            std::vector<std::pair<index_t, index_t>> moves;
            long gain{0};
        };

        // How many seam edges the moves take off.
        long seam_gain(const Context& context,
                       const absl::flat_hash_map<index_t, index_t>& side)
        {
            const auto& chart_of = context.chart_of;
            const auto chart = [&](index_t t)
            {
                const auto found = side.find(t);
                return found != side.end() ? found->second : chart_of[t];
            };
            long gain = 0;
            for (const auto& [t, c] : side)
            {
                if (c == chart_of[t])
                {
                    continue;
                }
                for (const auto q : context.adjacencies[t])
                {
                    // An edge between two moved triangles counts once.
                    if (q == NO_ID || (chart(q) != chart_of[q] && q < t))
                    {
                        continue;
                    }
                    gain += (chart_of[t] != chart_of[q] ? 1 : 0) -
                            (c != chart(q) ? 1 : 0);
                }
            }
            return gain;
        }

        absl::optional<Change> shorter_stretch(const Context& context,
                                               const Stretch& stretch,
                                               int rings)
        {
            TriangleSet band;
            auto triangles = band_of(context, stretch, rings, band);
            const auto path = shortest_path(context, band, stretch);
            if (path.empty() || path.size() >= stretch.edges.size())
            {
                return absl::nullopt;
            }
            const auto side = sides(context, stretch, triangles, band,
                                    {path.begin(), path.end()});
            if (!side)
            {
                return absl::nullopt;
            }
            Change change{stretch.a, stretch.b, std::move(triangles), {}, 0};
            change.gain = seam_gain(context, *side);
            for (const auto t : change.band)
            {
                const auto c = side->at(t);
                if (c != context.chart_of[t])
                {
                    change.moves.push_back({t, c});
                }
            }
            if (change.gain <= 0)
            {
                return absl::nullopt;
            }
            return change;
        }

        // Whether both charts of a change, made alone, stay discs whose
        // maps pass.
        bool passes_alone(const Context& context, const ChartBounds& bounds,
                          const std::vector<Chart>& charts,
                          const Change& change)
        {
            absl::flat_hash_map<index_t, index_t> moved(change.moves.begin(),
                                                        change.moves.end());
            // The chart that gains more triangles fails more often: it is
            // flattened first.
            long gained_by_a = 0;
            for (const auto& move : change.moves)
            {
                gained_by_a += move.second == change.a ? 1 : -1;
            }
            for (const auto c :
                 gained_by_a >= 0 ? std::array<index_t, 2>{change.a, change.b}
                                  : std::array<index_t, 2>{change.b, change.a})
            {
                std::vector<index_t> triangles;
                for (const auto t :
                     charts[change.a == c ? change.b : change.a].triangles)
                {
                    if (moved.contains(t))
                    {
                        triangles.push_back(t);
                    }
                }
                for (const auto t : charts[c].triangles)
                {
                    if (!moved.contains(t))
                    {
                        triangles.push_back(t);
                    }
                }
                if (triangles.empty() ||
                    !is_disc(context.surface, context.adjacencies, triangles) ||
                    !flatten_chart(context.surface, triangles, bounds).valid)
                {
                    return false;
                }
            }
            return true;
        }

        // The stretches whose changes are tried within what is left of the
        // budget of flattened triangles, which their tries' cost is taken
        // off: those of most gain for the triangles they would flatten
        // first.
        std::vector<std::size_t> within_budget(
            const std::vector<Chart>& charts,
            const std::vector<Stretch>& stretches,
            const std::vector<std::vector<Change>>& options, double& budget)
        {
            std::vector<std::size_t> order;
            std::vector<double> cost(stretches.size(), 0);
            std::vector<double> gain(stretches.size(), 0);
            for (std::size_t i = 0; i < stretches.size(); ++i)
            {
                if (options[i].empty())
                {
                    continue;
                }
                order.push_back(i);
                cost[i] = double(options[i].size()) *
                          double(charts[stretches[i].a].triangles.size() +
                                 charts[stretches[i].b].triangles.size());
                for (const auto& change : options[i])
                {
                    gain[i] = std::max(gain[i], double(change.gain));
                }
            }
            std::stable_sort(order.begin(), order.end(),
                             [&](std::size_t x, std::size_t y)
                             { return gain[x] * cost[y] > gain[y] * cost[x]; });
            std::vector<std::size_t> chosen;
            for (const auto i : order)
            {
                if (cost[i] <= budget)
                {
                    budget -= cost[i];
                    chosen.push_back(i);
                }
            }
            return chosen;
        }

        // The changes worth making, the largest gain first, their bands
        // apart.
        std::vector<Change> plan_changes(const Context& context,
                                         const ChartBounds& bounds,
                                         const std::vector<Chart>& charts,
                                         const std::set<ChartPair>& open,
                                         bool all, double& budget)
        {
            std::vector<Stretch> stretches;
            for (const auto& [pair, edges] : shared_seams(context, charts))
            {
                if ((all || open.count(pair) > 0) &&
                    charts[pair.first].triangles.size() +
                            charts[pair.second].triangles.size() <=
                        max_pair)
                {
                    add_stretches(pair.first, pair.second, edges, stretches);
                }
            }
            // Per stretch, its changes from the widest band to the
            // narrowest, each different from the wider ones.
            std::vector<std::vector<Change>> options(stretches.size());
            run_in_parallel(
                stretches.size(),
                [&](std::size_t i)
                {
                    for (int rings = max_rings; rings > 0; --rings)
                    {
                        auto change =
                            shorter_stretch(context, stretches[i], rings);
                        if (change &&
                            std::none_of(
                                options[i].begin(), options[i].end(),
                                [&](const Change& other)
                                { return other.moves == change->moves; }))
                        {
                            options[i].push_back(std::move(*change));
                        }
                    }
                });
            const auto chosen =
                within_budget(charts, stretches, options, budget);
            std::vector<absl::optional<Change>> found(stretches.size());
            run_in_parallel(
                chosen.size(),
                [&](std::size_t k)
                {
                    const auto i = chosen[k];
                    for (auto& change : options[i])
                    {
                        if (passes_alone(context, bounds, charts, change))
                        {
                            found[i] = std::move(change);
                            break;
                        }
                    }
                });
            std::vector<Change> changes;
            for (auto& change : found)
            {
                if (change)
                {
                    changes.push_back(std::move(*change));
                }
            }

            std::stable_sort(changes.begin(), changes.end(),
                             [](const Change& x, const Change& y)
                             { return x.gain > y.gain; });
            std::vector<bool> used(context.chart_of.size(), false);
            std::vector<Change> apart;
            for (auto& change : changes)
            {
                if (std::none_of(change.band.begin(), change.band.end(),
                                 [&](index_t t) { return used[t]; }))
                {
                    for (const auto t : change.band)
                    {
                        used[t] = true;
                    }
                    apart.push_back(std::move(change));
                }
            }
            return apart;
        }

        // Makes the changes whose charts stay discs that flatten within
        // the bounds. Each change passed alone, but two changes of one
        // chart may fail together: a chart that fails takes back its change
        // of least gain, and the charts that changes touched are flattened
        // again, until every changed chart passes.
        std::vector<bool> make_changes(const TriangulatedSurface<3>& surface,
                                       const PolygonAdjacencies& adjacencies,
                                       const ChartBounds& bounds,
                                       const std::vector<Change>& changes,
                                       const std::vector<index_t>& chart_of,
                                       const std::vector<index_t>& order,
                                       std::vector<Chart>& charts)
        {
            std::vector<bool> kept(changes.size(), true);
            std::vector<Chart> passed(charts.size());
            for (;;)
            {
                auto target = chart_of;
                std::vector<bool> changed(charts.size(), false);
                for (std::size_t i = 0; i < changes.size(); ++i)
                {
                    for (const auto& [t, c] : changes[i].moves)
                    {
                        target[t] = kept[i] ? c : target[t];
                    }
                    changed[changes[i].a] = changed[changes[i].a] || kept[i];
                    changed[changes[i].b] = changed[changes[i].b] || kept[i];
                }
                std::vector<std::vector<index_t>> triangles(charts.size());
                for (const auto t : order)
                {
                    if (target[t] != NO_ID && changed[target[t]])
                    {
                        triangles[target[t]].push_back(t);
                    }
                }
                std::vector<index_t> to_check;
                for (index_t c = 0; c < charts.size(); ++c)
                {
                    if (changed[c] && (triangles[c].empty() ||
                                       triangles[c] != passed[c].triangles))
                    {
                        to_check.push_back(c);
                    }
                }
                std::vector<char> failed(charts.size(), 0);
                run_in_parallel(
                    to_check.size(),
                    [&](std::size_t i)
                    {
                        const auto c = to_check[i];
                        auto map =
                            triangles[c].empty() ||
                                    !is_disc(surface, adjacencies, triangles[c])
                                ? ChartMap{}
                                : flatten_chart(surface, triangles[c], bounds);
                        failed[c] = !map.valid;
                        passed[c] = {triangles[c], std::move(map), false};
                    });
                // Each failed chart takes back its change of least gain
                // (the changes come largest gain first), the others stay.
                bool any_failed = false;
                for (auto i = changes.size(); i-- > 0;)
                {
                    const auto& change = changes[i];
                    for (const auto c : {change.a, change.b})
                    {
                        if (kept[i] && failed[c])
                        {
                            kept[i] = false;
                            failed[c] = 0;
                            any_failed = true;
                        }
                    }
                }
                if (!any_failed)
                {
                    for (index_t c = 0; c < charts.size(); ++c)
                    {
                        if (changed[c])
                        {
                            charts[c].triangles =
                                std::move(passed[c].triangles);
                            charts[c].map = std::move(passed[c].map);
                        }
                    }
                    return kept;
                }
            }
        }
    }  // namespace

    void shorten_seams(const TriangulatedSurface<3>& surface,
                       const SurfaceFacts& facts, const ChartBounds& bounds,
                       std::vector<Chart>& charts)
    {
        const auto& adjacencies = facts.adjacencies;
        const auto& order = facts.order;
        const auto around = vertex_triangles(surface);
        double budget = budget_per_triangle * double(surface.nb_polygons());
        // The pairs of charts whose stretches are looked at: at first all,
        // then those that a change touched or that held a change not made
        // (the others' stretches would give the same changes again).
        std::set<ChartPair> open;
        for (int round = 0; round < rounds && (round == 0 || !open.empty());
             ++round)
        {
            const auto chart_of =
                chart_of_triangles(surface.nb_polygons(), charts);
            const Context context{surface, adjacencies, chart_of, around};
            const auto changes =
                plan_changes(context, bounds, charts, open, round == 0, budget);
            const auto kept = make_changes(surface, adjacencies, bounds,
                                           changes, chart_of, order, charts);
            std::vector<bool> changed(charts.size(), false);
            std::set<ChartPair> retry;
            for (std::size_t i = 0; i < changes.size(); ++i)
            {
                changed[changes[i].a] = changed[changes[i].a] || kept[i];
                changed[changes[i].b] = changed[changes[i].b] || kept[i];
                if (!kept[i])
                {
                    retry.insert({changes[i].a, changes[i].b});
                }
            }
            open = std::move(retry);
            for (const auto& [pair, edges] : shared_seams(context, charts))
            {
                if (changed[pair.first] || changed[pair.second])
                {
                    open.insert(pair);
                }
            }
        }
    }
}  // namespace nodara

#include "seam_straightening.h"

#include <algorithm>
#include <map>
#include <utility>

#include "chart_topology.h"
#include "parallel_tasks.h"

namespace nodara
{
    namespace
    {
        constexpr int passes = 3;

        using ChartPair = std::pair<index_t, index_t>;

        // The chart that triangle t would rather be in: one that holds two
        // or three of its neighbours while its own holds at most one.
        index_t better_chart(const PolygonAdjacencies& adjacencies,
                             const std::vector<index_t>& chart_of,
                             const std::vector<Chart>& charts, index_t t)
        {
            const auto own = chart_of[t];
            const auto& near = adjacencies[t];
            int in_own = 0;
            for (const auto q : near)
            {
                in_own += q != NO_ID && chart_of[q] == own ? 1 : 0;
            }
            if (in_own > 1 || charts[own].degenerate)
            {
                return NO_ID;
            }
            for (int k = 0; k < 3; ++k)
            {
                if (near[k] == NO_ID || chart_of[near[k]] == own ||
                    charts[chart_of[near[k]]].degenerate)
                {
                    continue;
                }
                const auto other = chart_of[near[k]];
                int in_other = 0;
                for (const auto q : near)
                {
                    in_other += q != NO_ID && chart_of[q] == other ? 1 : 0;
                }
                if (in_other >= 2)
                {
                    return other;
                }
            }
            return NO_ID;
        }

        // A pass's moves, by the charts they leave and join.
        using Moves = std::map<ChartPair, std::vector<index_t>>;

        // Triangles are proposed in `order`, set by geometry, so that which
        // of two neighbours moves does not follow the file's order.
        Moves propose_moves(const PolygonAdjacencies& adjacencies,
                            const std::vector<index_t>& chart_of,
                            const std::vector<Chart>& charts,
                            const std::vector<index_t>& order)
        {
            // No two neighbours move in one pass: each move is judged on
            // the charts as they are.
            Moves moves;
            std::vector<bool> blocked(chart_of.size(), false);
            for (const auto t : order)
            {
                const auto other =
                    blocked[t] ? NO_ID
                               : better_chart(adjacencies, chart_of, charts, t);
                if (other == NO_ID)
                {
                    continue;
                }
                moves[{chart_of[t], other}].push_back(t);
                for (const auto q : adjacencies[t])
                {
                    if (q != NO_ID)
                    {
                        blocked[q] = true;
                    }
                }
            }
            return moves;
        }

        // The moves of one triangle over the passes: the charts it is in,
        // from its own to the last, the pass of each move, and how many of
        // the moves are kept.
        struct Path
        {
            index_t triangle;
            std::vector<index_t> charts;
            std::vector<int> passes;
            std::size_t kept;
        };

        // Plans the passes on the triangles alone, each on the charts the
        // earlier ones leave: the paths of the triangles that move.
        std::vector<Path> plan_paths(const PolygonAdjacencies& adjacencies,
                                     const std::vector<index_t>& chart_of,
                                     const std::vector<Chart>& charts,
                                     const std::vector<index_t>& order)
        {
            auto planned = chart_of;
            std::vector<index_t> path_of(chart_of.size(), NO_ID);
            std::vector<Path> paths;
            for (int pass = 0; pass < passes; ++pass)
            {
                const auto moves =
                    propose_moves(adjacencies, planned, charts, order);
                for (const auto& [pair, triangles] : moves)
                {
                    for (const auto t : triangles)
                    {
                        if (path_of[t] == NO_ID)
                        {
                            path_of[t] = static_cast<index_t>(paths.size());
                            paths.push_back({t, {pair.first}, {}, 0});
                        }
                        auto& path = paths[path_of[t]];
                        path.charts.push_back(pair.second);
                        path.passes.push_back(pass);
                        path.kept = path.passes.size();
                        planned[t] = pair.second;
                    }
                }
                if (moves.empty())
                {
                    break;
                }
            }
            std::sort(paths.begin(), paths.end(),
                      [](const Path& a, const Path& b)
                      { return a.triangle < b.triangle; });
            return paths;
        }

        // The triangles of every chart once the kept moves are made, in
        // `order`, set by geometry, so that a chart's surface, and so its
        // map, does not follow the file's order.
        std::vector<std::vector<index_t>> moved_charts(
            const std::vector<index_t>& chart_of,
            const std::vector<Path>& paths, std::size_t nb_charts,
            const std::vector<index_t>& order)
        {
            auto target = chart_of;
            for (const auto& path : paths)
            {
                target[path.triangle] = path.charts[path.kept];
            }
            std::vector<std::vector<index_t>> result(nb_charts);
            for (const auto t : order)
            {
                if (target[t] != NO_ID)
                {
                    result[target[t]].push_back(t);
                }
            }
            return result;
        }

        // The charts that the kept moves change.
        std::vector<bool> changed_charts(const std::vector<Path>& paths,
                                         std::size_t nb_charts)
        {
            std::vector<bool> changed(nb_charts, false);
            for (const auto& path : paths)
            {
                if (path.charts[path.kept] != path.charts[0])
                {
                    changed[path.charts[0]] = true;
                    changed[path.charts[path.kept]] = true;
                }
            }
            return changed;
        }

        // Checks and flattens the charts `to_check` of `triangles`, several
        // at once: whether each is a disc whose map keeps the bounds.
        void check_charts(const TriangulatedSurface<3>& surface,
                          const PolygonAdjacencies& adjacencies,
                          const ChartBounds& bounds,
                          const std::vector<std::vector<index_t>>& triangles,
                          const std::vector<index_t>& to_check,
                          std::vector<ChartMap>& maps,
                          std::vector<char>& failed)
        {
            run_in_parallel(
                to_check.size(),
                [&](std::size_t i)
                {
                    const auto c = to_check[i];
                    failed[c] = triangles[c].empty() ||
                                !is_disc(surface, adjacencies, triangles[c]);
                    if (!failed[c])
                    {
                        maps[c] = flatten_chart(surface, triangles[c], bounds);
                        failed[c] = !maps[c].valid;
                    }
                });
        }

        // Whether the k-th move of `path` leaves or joins chart c.
        bool moves_chart(const Path& path, std::size_t k, index_t c)
        {
            return path.charts[k] == c || path.charts[k + 1] == c;
        }

        // Takes back the moves of the latest pass that change chart c, and
        // the later moves of their triangles, so that every triangle keeps
        // its first moves only.
        void take_back(index_t c, std::vector<Path>& paths)
        {
            int latest = -1;
            for (const auto& path : paths)
            {
                for (std::size_t k = 0; k < path.kept; ++k)
                {
                    latest = moves_chart(path, k, c)
                                 ? std::max(latest, path.passes[k])
                                 : latest;
                }
            }
            for (auto& path : paths)
            {
                for (std::size_t k = 0; k < path.kept; ++k)
                {
                    if (path.passes[k] == latest && moves_chart(path, k, c))
                    {
                        path.kept = k;
                        break;
                    }
                }
            }
        }

        // Makes the planned moves whose charts stay discs that flatten
        // within the bounds: each changed chart is flattened once for all
        // its moves, and a chart that fails takes back its moves of the
        // latest pass (the charts that changes are flattened again) until
        // every changed chart passes.
        void make_moves(const TriangulatedSurface<3>& surface,
                        const PolygonAdjacencies& adjacencies,
                        const ChartBounds& bounds, std::vector<Path> paths,
                        const std::vector<index_t>& chart_of,
                        const std::vector<index_t>& order,
                        std::vector<Chart>& charts)
        {
            // Per chart the triangles it last passed with, and their map.
            std::vector<Chart> passed(charts.size());
            for (;;)
            {
                const auto triangles =
                    moved_charts(chart_of, paths, charts.size(), order);
                const auto changed = changed_charts(paths, charts.size());
                std::vector<index_t> to_check;
                for (index_t c = 0; c < charts.size(); ++c)
                {
                    if (changed[c] && (triangles[c].empty() ||
                                       triangles[c] != passed[c].triangles))
                    {
                        to_check.push_back(c);
                    }
                }
                std::vector<ChartMap> maps(charts.size());
                std::vector<char> failed(charts.size(), 0);
                check_charts(surface, adjacencies, bounds, triangles, to_check,
                             maps, failed);
                bool any_failed = false;
                for (const auto c : to_check)
                {
                    if (failed[c])
                    {
                        any_failed = true;
                        take_back(c, paths);
                    }
                    else
                    {
                        passed[c] = {triangles[c], std::move(maps[c]), false};
                    }
                }
                if (!any_failed)
                {
                    for (index_t c = 0; c < charts.size(); ++c)
                    {
                        if (changed[c])
                        {
                            charts[c] = std::move(passed[c]);
                        }
                    }
                    return;
                }
            }
        }
    }  // namespace

    void straighten_seams(const TriangulatedSurface<3>& surface,
                          const SurfaceFacts& facts, const ChartBounds& bounds,
                          std::vector<Chart>& charts)
    {
        // The passes are planned on the triangles alone and the charts are
        // flattened once for all their moves, not after every pass.
        const auto& adjacencies = facts.adjacencies;
        const auto& order = facts.order;
        const auto chart_of = chart_of_triangles(surface.nb_polygons(), charts);
        auto paths = plan_paths(adjacencies, chart_of, charts, order);
        if (!paths.empty())
        {
            make_moves(surface, adjacencies, bounds, std::move(paths), chart_of,
                       order, charts);
        }
    }
}  // namespace nodara

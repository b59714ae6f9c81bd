#include "seam_straightening.h"

#include <algorithm>
#include <map>
#include <utility>

#include "chart_topology.h"

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

        Moves propose_moves(const PolygonAdjacencies& adjacencies,
                            const std::vector<index_t>& chart_of,
                            const std::vector<Chart>& charts)
        {
            // No two neighbours move in one pass: each move is judged on
            // the charts as they are.
            Moves moves;
            std::vector<bool> blocked(chart_of.size(), false);
            for (index_t t = 0; t < chart_of.size(); ++t)
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

        // The triangles of every chart once `moves` are made.
        std::vector<std::vector<index_t>> moved_charts(
            const std::vector<index_t>& chart_of, const Moves& moves,
            std::size_t nb_charts)
        {
            auto target = chart_of;
            for (const auto& [pair, triangles] : moves)
            {
                for (const auto t : triangles)
                {
                    target[t] = pair.second;
                }
            }
            std::vector<std::vector<index_t>> result(nb_charts);
            for (index_t t = 0; t < target.size(); ++t)
            {
                if (target[t] != NO_ID)
                {
                    result[target[t]].push_back(t);
                }
            }
            return result;
        }

        // Makes the moves whose two charts stay discs that flatten within
        // the bounds: the charts are flattened once for all their moves,
        // and the moves of a chart that fails are taken back (its partners
        // are flattened again) until every changed chart passes. Returns
        // whether any move was made.
        // The charts that `moves` change.
        std::vector<bool> changed_charts(const Moves& moves,
                                         std::size_t nb_charts)
        {
            std::vector<bool> changed(nb_charts, false);
            for (const auto& entry : moves)
            {
                changed[entry.first.first] = true;
                changed[entry.first.second] = true;
            }
            return changed;
        }

        bool make_moves(const TriangulatedSurface<3>& surface,
                        const PolygonAdjacencies& adjacencies,
                        const ChartBounds& bounds, Moves moves,
                        std::vector<index_t>& chart_of,
                        std::vector<Chart>& charts)
        {
            std::vector<ChartMap> maps(charts.size());
            std::vector<bool> passed(charts.size(), false);
            for (;;)
            {
                const auto triangles =
                    moved_charts(chart_of, moves, charts.size());
                const auto changed = changed_charts(moves, charts.size());
                std::vector<bool> failed(charts.size(), false);
                for (index_t c = 0; c < charts.size(); ++c)
                {
                    if (!changed[c] || passed[c])
                    {
                        continue;
                    }
                    failed[c] = triangles[c].empty() ||
                                !is_disc(surface, adjacencies, triangles[c]);
                    if (!failed[c])
                    {
                        maps[c] = flatten_chart(surface, triangles[c], bounds);
                        failed[c] = !maps[c].valid;
                    }
                    passed[c] = !failed[c];
                }
                bool retry = false;
                for (auto move = moves.begin(); move != moves.end();)
                {
                    const auto [from, to] = move->first;
                    if (failed[from] || failed[to])
                    {
                        // Both charts change again: flatten them anew.
                        passed[from] = passed[to] = false;
                        move = moves.erase(move);
                        retry = true;
                        continue;
                    }
                    ++move;
                }
                if (!retry)
                {
                    // Every chart that the remaining moves change passed.
                    for (index_t c = 0; c < charts.size(); ++c)
                    {
                        if (changed[c])
                        {
                            charts[c] = {triangles[c], std::move(maps[c]),
                                         false};
                        }
                    }
                    chart_of =
                        chart_of_triangles(surface.nb_polygons(), charts);
                    return !moves.empty();
                }
            }
        }
    }  // namespace

    void straighten_seams(const TriangulatedSurface<3>& surface,
                          const PolygonAdjacencies& adjacencies,
                          const ChartBounds& bounds, std::vector<Chart>& charts)
    {
        auto chart_of = chart_of_triangles(surface.nb_polygons(), charts);
        for (int pass = 0; pass < passes; ++pass)
        {
            auto moves = propose_moves(adjacencies, chart_of, charts);
            if (moves.empty() ||
                !make_moves(surface, adjacencies, bounds, std::move(moves),
                            chart_of, charts))
            {
                break;
            }
        }
    }
}  // namespace nodara

#include "chart_merging.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>
#include <tuple>
#include <utility>

#include <absl/container/flat_hash_map.h>

#include "chart_topology.h"
#include "parallel_tasks.h"

namespace nodara
{
    namespace
    {
        // Charts of up to this many triangles look for a neighbour to join,
        // and a union may hold up to this many times as many: merging costs
        // a flattening of the union, so the work stays near linear.
        constexpr std::size_t small_chart = 256;
        constexpr std::size_t union_factor = 16;
        // Neighbours tried per chart, by shared seam length: a fourth try
        // still joins many of the small charts left over by cutting round
        // charts.
        constexpr std::size_t tries = 4;
        // Any two neighbouring charts of up to this many triangles together
        // are tried as one.
        constexpr std::size_t max_union = 8192;
        // Two charts are tried as one only when their shared seam is at
        // least 1/min_share of the shorter border of the two: a union that
        // fills a notch stays compact and packs as well, while one joined
        // along a short stretch is long and leaves gaps in the packing.
        constexpr double min_share = 2;

        // The triangles of the two charts of a ranked pair.
        double union_size(const std::vector<Chart>& charts,
                          const std::tuple<index_t, index_t, index_t>& pair)
        {
            return static_cast<double>(
                charts[std::get<1>(pair)].triangles.size() +
                charts[std::get<2>(pair)].triangles.size());
        }

        // Forgets the failed trials of charts a and b, which have changed.
        void forget_failures(std::set<std::pair<index_t, index_t>>& failed,
                             index_t a, index_t b)
        {
            for (auto it = failed.begin(); it != failed.end();)
            {
                const bool changed = it->first == a || it->second == a ||
                                     it->first == b || it->second == b;
                it = changed ? failed.erase(it) : std::next(it);
            }
        }

        // The neighbouring charts of `chart` by seam edges shared, most
        // first.
        std::vector<index_t> neighbours(const PolygonAdjacencies& adjacencies,
                                        const std::vector<index_t>& chart_of,
                                        const std::vector<Chart>& charts,
                                        index_t chart)
        {
            absl::flat_hash_map<index_t, index_t> shared;
            for (const auto t : charts[chart].triangles)
            {
                for (const auto q : adjacencies[t])
                {
                    if (q != NO_ID && chart_of[q] != chart &&
                        !charts[chart_of[q]].degenerate)
                    {
                        ++shared[chart_of[q]];
                    }
                }
            }
            std::vector<std::pair<index_t, index_t>> ranked;
            for (const auto& entry : shared)
            {
                ranked.emplace_back(entry.second, entry.first);
            }
            std::sort(ranked.rbegin(), ranked.rend());
            std::vector<index_t> result;
            for (std::size_t i = 0; i < ranked.size() && i < tries; ++i)
            {
                result.push_back(ranked[i].second);
            }
            return result;
        }

        // Per pair of neighbouring charts (lower index first) that are not
        // degenerate, the seam edges they share.
        std::map<std::pair<index_t, index_t>, index_t> shared_seams(
            const PolygonAdjacencies& adjacencies,
            const std::vector<index_t>& chart_of,
            const std::vector<Chart>& charts)
        {
            std::map<std::pair<index_t, index_t>, index_t> shared;
            for (index_t t = 0; t < adjacencies.size(); ++t)
            {
                const auto a = chart_of[t];
                for (const auto q : adjacencies[t])
                {
                    if (q == NO_ID || q < t || chart_of[q] == a ||
                        charts[a].degenerate || charts[chart_of[q]].degenerate)
                    {
                        continue;
                    }
                    const auto b = chart_of[q];
                    ++shared[{std::min(a, b), std::max(a, b)}];
                }
            }
            return shared;
        }

        // A pair of neighbouring charts to try joining, their union and its
        // map.
        struct Trial
        {
            index_t first;
            index_t second;
            std::vector<index_t> joined;
            ChartMap map;
        };

        // The pairs of neighbouring charts worth trying and not known to
        // fail (see min_share), by seam edges shared per triangle of the
        // union, most first: (shared edges, first chart, second chart).
        std::vector<std::tuple<index_t, index_t, index_t>> ranked_pairs(
            const PolygonAdjacencies& adjacencies,
            const std::vector<index_t>& chart_of,
            const std::vector<Chart>& charts,
            const std::set<std::pair<index_t, index_t>>& failed)
        {
            const auto shared = shared_seams(adjacencies, chart_of, charts);
            std::vector<index_t> border(charts.size(), 0);
            for (const auto& [pair, count] : shared)
            {
                border[pair.first] += count;
                border[pair.second] += count;
            }
            std::vector<std::tuple<index_t, index_t, index_t>> ranked;
            for (const auto& [pair, count] : shared)
            {
                if (failed.count(pair) == 0 &&
                    min_share * count >=
                        std::min(border[pair.first], border[pair.second]))
                {
                    ranked.emplace_back(count, pair.first, pair.second);
                }
            }
            std::stable_sort(ranked.begin(), ranked.end(),
                             [&](const auto& a, const auto& b)
                             {
                                 return std::get<0>(a) * union_size(charts, b) >
                                        std::get<0>(b) * union_size(charts, a);
                             });
            return ranked;
        }

        // One round's trials: the ranked pairs, each chart in one trial at
        // most.
        std::vector<Trial> pick_trials(
            const PolygonAdjacencies& adjacencies,
            const std::vector<index_t>& chart_of,
            const std::vector<Chart>& charts,
            const std::set<std::pair<index_t, index_t>>& failed)
        {
            const auto ranked =
                ranked_pairs(adjacencies, chart_of, charts, failed);
            std::vector<bool> busy(charts.size(), false);
            std::vector<Trial> trials;
            for (const auto& [count, a, b] : ranked)
            {
                if (busy[a] || busy[b] ||
                    charts[a].triangles.size() + charts[b].triangles.size() >
                        max_union)
                {
                    continue;
                }
                busy[a] = busy[b] = true;
                trials.push_back({a, b, {}, {}});
            }
            return trials;
        }

        // Joins two neighbouring charts whose union is a disc whose map
        // keeps the bounds, ranked as ranked_pairs ranks them, in rounds whose
        // trials are flattened several at once, until no pair is left to
        // try. A pair that failed is tried again only once either chart
        // has changed.
        void merge_neighbours(const TriangulatedSurface<3>& surface,
                              const PolygonAdjacencies& adjacencies,
                              const ChartBounds& bounds,
                              std::vector<index_t>& chart_of,
                              std::vector<Chart>& charts)
        {
            std::set<std::pair<index_t, index_t>> failed;
            for (;;)
            {
                auto trials =
                    pick_trials(adjacencies, chart_of, charts, failed);
                if (trials.empty())
                {
                    return;
                }
                run_in_parallel(
                    trials.size(),
                    [&](std::size_t i)
                    {
                        auto& trial = trials[i];
                        trial.joined = charts[trial.first].triangles;
                        const auto& more = charts[trial.second].triangles;
                        trial.joined.insert(trial.joined.end(), more.begin(),
                                            more.end());
                        if (is_disc(surface, adjacencies, trial.joined))
                        {
                            trial.map =
                                flatten_chart(surface, trial.joined, bounds);
                        }
                    });
                for (auto& trial : trials)
                {
                    if (!trial.map.valid)
                    {
                        failed.insert({trial.first, trial.second});
                        continue;
                    }
                    forget_failures(failed, trial.first, trial.second);
                    for (const auto t : charts[trial.second].triangles)
                    {
                        chart_of[t] = trial.first;
                    }
                    charts[trial.first] = {std::move(trial.joined),
                                           std::move(trial.map), false};
                    charts[trial.second] = Chart{};
                }
            }
        }
    }  // namespace

    void merge_charts(const TriangulatedSurface<3>& surface,
                      const PolygonAdjacencies& adjacencies,
                      const ChartBounds& bounds, std::vector<Chart>& charts)
    {
        auto chart_of = chart_of_triangles(surface.nb_polygons(), charts);
        std::vector<index_t> order(charts.size());
        std::iota(order.begin(), order.end(), index_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](index_t a, index_t b) {
                             return charts[a].triangles.size() <
                                    charts[b].triangles.size();
                         });
        for (const auto c : order)
        {
            const auto size = charts[c].triangles.size();
            if (charts[c].degenerate || size == 0 || size > small_chart)
            {
                continue;
            }
            for (const auto n : neighbours(adjacencies, chart_of, charts, c))
            {
                auto joined = charts[n].triangles;
                if (joined.size() + size > union_factor * small_chart)
                {
                    continue;
                }
                joined.insert(joined.end(), charts[c].triangles.begin(),
                              charts[c].triangles.end());
                if (!is_disc(surface, adjacencies, joined))
                {
                    continue;
                }
                auto map = flatten_chart(surface, joined, bounds);
                if (!map.valid)
                {
                    continue;
                }
                for (const auto t : charts[c].triangles)
                {
                    chart_of[t] = n;
                }
                charts[n] = {std::move(joined), std::move(map), false};
                charts[c] = Chart{};
                break;
            }
        }
        merge_neighbours(surface, adjacencies, bounds, chart_of, charts);
        charts.erase(std::remove_if(charts.begin(), charts.end(),
                                    [](const Chart& chart)
                                    { return chart.triangles.empty(); }),
                     charts.end());
    }
}  // namespace nodara

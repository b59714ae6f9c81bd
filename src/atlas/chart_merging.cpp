#include "chart_merging.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>
#include <tuple>
#include <utility>

#include <absl/container/flat_hash_map.h>
#include <omp.h>

#include "chart_flattening.h"
#include "chart_topology.h"
#include "lscm/solver_threads.h"
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
        // A small chart at most 1/extension_share of its neighbour is first
        // laid beside the neighbour's map rather than flattened with it: the
        // map of the union stays within the bounds and near the neighbour's
        // distortion, and costs no solve of the union.
        constexpr std::size_t extension_share = 16;
        // Charts of up to this many triangles are first laid beside the
        // neighbour they share most edges with, all those of one neighbour
        // at once: cutting leaves many (a triangle whose third vertex its
        // chart already held), and each would cost a check of the union.
        constexpr std::size_t tiny_chart = 16;
        // Any two neighbouring charts of up to this many triangles together
        // are tried as one.
        constexpr std::size_t max_union = 8192;
        // Two charts are tried as one only when their shared seam is at
        // least 1/min_share of the shorter border of the two: a union that
        // fills a notch stays compact and packs as well, while one joined
        // along a short stretch is long and leaves gaps in the packing.
        constexpr double min_share = 2;
        // Batches of small charts tried between two looks at whether a core
        // is spare.
        constexpr std::size_t spare_check_batches = 16;

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
        // first, `tries` at most; `around` is given all of them.
        std::vector<index_t> neighbours(const PolygonAdjacencies& adjacencies,
                                        const std::vector<index_t>& chart_of,
                                        const std::vector<Chart>& charts,
                                        index_t chart,
                                        std::vector<index_t>& around)
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
                around.push_back(entry.first);
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
        // Where a small chart joins: the neighbour, their union and its
        // map, or NO_ID; and the charts whose change would change that.
        struct SmallMerge
        {
            index_t target{NO_ID};
            std::vector<index_t> joined;
            ChartMap map;
            std::vector<index_t> around;
        };

        // Joins each small chart, in the order given, to the first of its
        // neighbours (by seam edges shared) whose union with it is a disc
        // whose map keeps the bounds, the next few charts at once: each is
        // tried against the charts before them all, and kept in order when
        // no chart it or a neighbour of it has changed in the batch, else
        // tried again. The unions are those of one chart after the other,
        // whatever the number of threads.
        class SmallChartMerger
        {
        public:
            SmallChartMerger(const TriangulatedSurface<3>& surface,
                             const PolygonAdjacencies& adjacencies,
                             const ChartBounds& bounds,
                             std::vector<index_t>& chart_of,
                             std::vector<Chart>& charts, std::size_t batch_size,
                             bool while_core_spare)
                : surface_(surface),
                  adjacencies_(adjacencies),
                  bounds_(bounds),
                  chart_of_(chart_of),
                  charts_(charts),
                  changed_(charts.size(), 0),
                  batch_size_(std::max<std::size_t>(1, batch_size)),
                  while_core_spare_(while_core_spare)
            {
            }

            // Tries the next small charts from `next` in `order`; false when
            // none is left.
            bool merge_ahead(const std::vector<index_t>& order,
                             std::size_t& next)
            {
                const auto size = batch_size();
                std::vector<index_t> batch;
                for (; next < order.size() && batch.size() < size; ++next)
                {
                    if (is_small(order[next]))
                    {
                        batch.push_back(order[next]);
                    }
                }
                std::vector<SmallMerge> ahead(batch.size());
                run_in_parallel(batch.size(), [&](std::size_t i)
                                { ahead[i] = try_merge(batch[i]); });
                ++batch_;
                for (std::size_t i = 0; i < batch.size(); ++i)
                {
                    if (!still_holds(ahead[i], batch[i]))
                    {
                        if (!is_small(batch[i]))
                        {
                            continue;
                        }
                        ahead[i] = try_merge(batch[i]);
                    }
                    keep(std::move(ahead[i]), batch[i]);
                }
                return !batch.empty();
            }

        private:
            // Batches tried one chart at a time while no core is spare,
            // asked again every few batches.
            std::size_t batch_size()
            {
                if (batch_ % spare_check_batches == 0)
                {
                    parallel_ = batch_size_ > 1 &&
                                (!while_core_spare_ || core_to_spare());
                }
                return parallel_ ? batch_size_ : 1;
            }

            bool is_small(index_t c) const
            {
                const auto size = charts_[c].triangles.size();
                return !charts_[c].degenerate && size > 0 &&
                       size <= small_chart;
            }

            SmallMerge try_merge(index_t c) const
            {
                SmallMerge merge;
                const auto size = charts_[c].triangles.size();
                for (const auto n : neighbours(adjacencies_, chart_of_, charts_,
                                               c, merge.around))
                {
                    auto joined = charts_[n].triangles;
                    if (joined.size() + size > union_factor * small_chart)
                    {
                        continue;
                    }
                    joined.insert(joined.end(), charts_[c].triangles.begin(),
                                  charts_[c].triangles.end());
                    if (!is_disc(surface_, adjacencies_, joined))
                    {
                        continue;
                    }
                    // The neighbour's map extended over the small chart,
                    // else the union flattened anew.
                    auto map =
                        size * extension_share <= charts_[n].triangles.size()
                            ? extended_flattening(surface_, charts_[n],
                                                  charts_[c].triangles, bounds_)
                                  .map
                            : ChartMap{};
                    if (!map.valid)
                    {
                        map = flatten_chart(surface_, joined, bounds_);
                    }
                    if (map.valid)
                    {
                        merge.target = n;
                        merge.joined = std::move(joined);
                        merge.map = std::move(map);
                        break;
                    }
                }
                return merge;
            }

            // Whether neither `c` nor a chart around it changed in this
            // batch.
            bool still_holds(const SmallMerge& merge, index_t c) const
            {
                return changed_[c] != batch_ &&
                       std::none_of(merge.around.begin(), merge.around.end(),
                                    [&](index_t n)
                                    { return changed_[n] == batch_; });
            }

            void keep(SmallMerge merge, index_t c)
            {
                if (merge.target == NO_ID)
                {
                    return;
                }
                const auto n = merge.target;
                for (const auto t : charts_[c].triangles)
                {
                    chart_of_[t] = n;
                }
                charts_[n] = {std::move(merge.joined), std::move(merge.map),
                              false};
                charts_[c] = Chart{};
                changed_[c] = changed_[n] = batch_;
            }

            const TriangulatedSurface<3>& surface_;
            const PolygonAdjacencies& adjacencies_;
            const ChartBounds& bounds_;
            std::vector<index_t>& chart_of_;
            std::vector<Chart>& charts_;
            // Per chart, the last batch that changed it.
            std::vector<std::size_t> changed_;
            std::size_t batch_size_;
            bool while_core_spare_;
            std::size_t batch_{1};
            bool parallel_{false};
        };

        // Per chart, the tiny charts (in order) whose neighbour of most
        // shared edges it is, when it is at least extension_share times as
        // large as each.
        std::vector<std::vector<index_t>> tiny_charts_by_neighbour(
            const PolygonAdjacencies& adjacencies,
            const std::vector<index_t>& chart_of,
            const std::vector<Chart>& charts)
        {
            std::vector<std::vector<index_t>> tiny(charts.size());
            for (index_t c = 0; c < charts.size(); ++c)
            {
                const auto size = charts[c].triangles.size();
                if (charts[c].degenerate || size == 0 || size > tiny_chart)
                {
                    continue;
                }
                std::vector<index_t> around;
                const auto near =
                    neighbours(adjacencies, chart_of, charts, c, around);
                if (!near.empty() && size * extension_share <=
                                         charts[near.front()].triangles.size())
                {
                    tiny[near.front()].push_back(c);
                }
            }
            return tiny;
        }

        // Lays the tiny charts beside their neighbours (extended_flattening),
        // those of one neighbour together, when the union is a disc whose
        // map passes; the others are left as they are.
        void absorb_tiny_charts(const TriangulatedSurface<3>& surface,
                                const PolygonAdjacencies& adjacencies,
                                const ChartBounds& bounds,
                                std::vector<index_t>& chart_of,
                                std::vector<Chart>& charts)
        {
            const auto tiny =
                tiny_charts_by_neighbour(adjacencies, chart_of, charts);
            std::vector<index_t> targets;
            for (index_t c = 0; c < charts.size(); ++c)
            {
                if (!tiny[c].empty())
                {
                    targets.push_back(c);
                }
            }
            // Per target, the union's triangles and map.
            std::vector<Chart> unions(targets.size());
            run_in_parallel(
                targets.size(),
                [&](std::size_t i)
                {
                    const auto& base = charts[targets[i]];
                    std::vector<index_t> more;
                    for (const auto c : tiny[targets[i]])
                    {
                        more.insert(more.end(), charts[c].triangles.begin(),
                                    charts[c].triangles.end());
                    }
                    auto& joined = unions[i].triangles;
                    joined = base.triangles;
                    joined.insert(joined.end(), more.begin(), more.end());
                    if (is_disc(surface, adjacencies, joined))
                    {
                        unions[i].map =
                            extended_flattening(surface, base, more, bounds)
                                .map;
                    }
                });
            for (std::size_t i = 0; i < targets.size(); ++i)
            {
                if (!unions[i].map.valid)
                {
                    continue;
                }
                for (const auto c : tiny[targets[i]])
                {
                    for (const auto t : charts[c].triangles)
                    {
                        chart_of[t] = targets[i];
                    }
                    charts[c] = Chart{};
                }
                auto& base = charts[targets[i]];
                base.triangles = std::move(unions[i].triangles);
                base.map = std::move(unions[i].map);
            }
        }
    }  // namespace

    void merge_charts(const TriangulatedSurface<3>& surface,
                      const PolygonAdjacencies& adjacencies,
                      const ChartBounds& bounds, std::vector<Chart>& charts)
    {
        merge_charts_in_batches(
            surface, adjacencies, bounds, charts,
            static_cast<std::size_t>(std::max(1, omp_get_max_threads())), true);
    }

    void merge_charts_in_batches(const TriangulatedSurface<3>& surface,
                                 const PolygonAdjacencies& adjacencies,
                                 const ChartBounds& bounds,
                                 std::vector<Chart>& charts,
                                 std::size_t batch_size, bool while_core_spare)
    {
        auto chart_of = chart_of_triangles(surface.nb_polygons(), charts);
        absorb_tiny_charts(surface, adjacencies, bounds, chart_of, charts);
        std::vector<index_t> order(charts.size());
        std::iota(order.begin(), order.end(), index_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](index_t a, index_t b) {
                             return charts[a].triangles.size() <
                                    charts[b].triangles.size();
                         });
        SmallChartMerger merger{surface, adjacencies, bounds,          chart_of,
                                charts,  batch_size,  while_core_spare};
        std::size_t next = 0;
        while (merger.merge_ahead(order, next))
        {
        }
        merge_neighbours(surface, adjacencies, bounds, chart_of, charts);
        charts.erase(std::remove_if(charts.begin(), charts.end(),
                                    [](const Chart& chart)
                                    { return chart.triangles.empty(); }),
                     charts.end());
    }
}  // namespace nodara

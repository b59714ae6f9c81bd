#include "chart_merging.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include <absl/container/flat_hash_map.h>

#include "chart_topology.h"

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
        charts.erase(std::remove_if(charts.begin(), charts.end(),
                                    [](const Chart& chart)
                                    { return chart.triangles.empty(); }),
                     charts.end());
    }
}  // namespace nodara

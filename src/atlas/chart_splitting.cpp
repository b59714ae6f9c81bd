#include "chart_splitting.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <absl/container/flat_hash_map.h>

#include <velmora/geometry/triangle.h>

#include "chart_topology.h"
#include "map_hull.h"
#include "parallel_tasks.h"

namespace nodara
{
    namespace
    {
        // Charts of at least this share of the surface's area are looked
        // at: small ones fill the gaps of the packing whatever their shape.
        constexpr double min_share = 1.0 / 64;
        // A chart is split when its map fills less than this share of its
        // smallest enclosing rectangle...
        constexpr double max_fill = 0.5;
        // ... and its pieces' rectangles together are at most this share
        // of its own, so that the new seams buy a tighter packing.
        constexpr double max_pieces = 0.75;
        // A cut across a band's bend gives three pieces; more means the
        // line crossed the chart's folds, not a bend.
        constexpr std::size_t max_pieces_count = 3;
        constexpr int rounds = 2;
        constexpr int smoothing_passes = 3;

        double map_area(const CornerMap& corners)
        {
            double area = 0;
            for (const auto& c : corners)
            {
                area += std::abs(Triangle<2>{c[0], c[1], c[2]}.area());
            }
            return area;
        }

        // Moves the triangles of a split chart that hold on to their half
        // by one edge or none while two are on the other half: a split
        // along a line through the triangles leaves such teeth, and pieces
        // that meet at a corner only.
        void smooth(const Chart& chart, const PolygonAdjacencies& adjacencies,
                    const absl::flat_hash_map<index_t, std::size_t>& local,
                    std::vector<bool>& first)
        {
            for (int pass = 0; pass < smoothing_passes; ++pass)
            {
                for (std::size_t t = 0; t < chart.triangles.size(); ++t)
                {
                    int same = 0;
                    int other = 0;
                    for (const auto q : adjacencies[chart.triangles[t]])
                    {
                        const auto found = local.find(q);
                        if (q != NO_ID && found != local.end())
                        {
                            (first[found->second] == first[t] ? same : other) +=
                                1;
                        }
                    }
                    if (same <= 1 && other >= 2)
                    {
                        first[t] = !first[t];
                    }
                }
            }
        }

        // The chart's triangles split at the area-weighted median of their
        // centroids along `direction`, in pieces joined through edges on
        // either side (a curved band cut across its bend falls in three),
        // each in the chart's order.
        std::vector<std::vector<index_t>> pieces_across(
            const Chart& chart, const PolygonAdjacencies& adjacencies,
            const Point<2>& direction)
        {
            const auto& corners = chart.map.corners;
            std::vector<std::pair<double, std::size_t>> keys;
            for (std::size_t t = 0; t < corners.size(); ++t)
            {
                double along = 0;
                for (const auto& corner : corners[t])
                {
                    along +=
                        corner[0] * direction[0] + corner[1] * direction[1];
                }
                keys.emplace_back(along, t);
            }
            std::sort(keys.begin(), keys.end());
            const double half = map_area(corners) / 2;
            std::vector<bool> first(corners.size(), false);
            double area = 0;
            for (const auto& [along, t] : keys)
            {
                if (area >= half)
                {
                    break;
                }
                first[t] = true;
                const auto& c = corners[t];
                area += std::abs(Triangle<2>{c[0], c[1], c[2]}.area());
            }
            absl::flat_hash_map<index_t, std::size_t> local;
            for (std::size_t t = 0; t < chart.triangles.size(); ++t)
            {
                local[chart.triangles[t]] = t;
            }
            smooth(chart, adjacencies, local, first);
            // Pieces numbered in the order of their first triangle.
            std::vector<std::size_t> piece(corners.size(), corners.size());
            std::vector<std::vector<index_t>> pieces;
            for (std::size_t start = 0; start < corners.size(); ++start)
            {
                if (piece[start] != corners.size())
                {
                    continue;
                }
                std::vector<std::size_t> stack{start};
                piece[start] = pieces.size();
                while (!stack.empty())
                {
                    const auto t = stack.back();
                    stack.pop_back();
                    for (const auto q : adjacencies[chart.triangles[t]])
                    {
                        const auto found =
                            q == NO_ID ? local.end() : local.find(q);
                        if (found != local.end() &&
                            first[found->second] == first[t] &&
                            piece[found->second] == corners.size())
                        {
                            piece[found->second] = pieces.size();
                            stack.push_back(found->second);
                        }
                    }
                }
                pieces.emplace_back();
            }
            for (std::size_t t = 0; t < corners.size(); ++t)
            {
                pieces[piece[t]].push_back(chart.triangles[t]);
            }
            return pieces;
        }

        // The chart's best split across one side of its rectangle, if one
        // gives discs whose maps pass and buys enough.
        std::vector<Chart> split(const TriangulatedSurface<3>& surface,
                                 const PolygonAdjacencies& adjacencies,
                                 const ChartBounds& bounds, const Chart& chart)
        {
            const auto rectangle = smallest_rectangle(chart.map.corners);
            if (!(map_area(chart.map.corners) < max_fill * rectangle.area))
            {
                return {};
            }
            std::vector<Chart> best;
            double best_area = max_pieces * rectangle.area;
            for (const auto& direction : rectangle.sides)
            {
                auto triangles = pieces_across(chart, adjacencies, direction);
                if (triangles.size() < 2 || triangles.size() > max_pieces_count)
                {
                    continue;
                }
                std::vector<Chart> pieces;
                double area = 0;
                for (auto& piece : triangles)
                {
                    if (!is_disc(surface, adjacencies, piece))
                    {
                        break;
                    }
                    auto map = flatten_chart(surface, piece, bounds);
                    if (!map.valid)
                    {
                        break;
                    }
                    area += smallest_rectangle(map.corners).area;
                    pieces.push_back({std::move(piece), std::move(map), false,
                                      chart.source});
                }
                if (pieces.size() == triangles.size() && area <= best_area)
                {
                    best_area = area;
                    best = std::move(pieces);
                }
            }
            return best;
        }
    }  // namespace

    void split_long_charts(const TriangulatedSurface<3>& surface,
                           const SurfaceFacts& facts, const ChartBounds& bounds,
                           std::vector<Chart>& charts)
    {
        const auto& adjacencies = facts.adjacencies;
        double total = 0;
        for (const auto area : facts.areas)
        {
            total += area;
        }
        for (int round = 0; round < rounds; ++round)
        {
            std::vector<std::size_t> large;
            for (std::size_t c = 0; c < charts.size(); ++c)
            {
                double area = 0;
                for (const auto t : charts[c].triangles)
                {
                    area += facts.areas[t];
                }
                if (!charts[c].degenerate && area >= min_share * total)
                {
                    large.push_back(c);
                }
            }
            std::vector<std::vector<Chart>> splits(large.size());
            run_in_parallel(large.size(),
                            [&](std::size_t i) {
                                splits[i] = split(surface, adjacencies, bounds,
                                                  charts[large[i]]);
                            });
            bool any = false;
            for (std::size_t i = 0; i < large.size(); ++i)
            {
                for (std::size_t k = 0; k < splits[i].size(); ++k)
                {
                    any = true;
                    if (k == 0)
                    {
                        charts[large[i]] = std::move(splits[i][k]);
                    }
                    else
                    {
                        charts.push_back(std::move(splits[i][k]));
                    }
                }
            }
            if (!any)
            {
                return;
            }
        }
    }
}  // namespace nodara

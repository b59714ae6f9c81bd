#include "writing/triangle_outline.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <utility>

#include <absl/container/flat_hash_map.h>

namespace tessaplan
{
    namespace
    {
        using Id = std::uint32_t;
        using IdEdge = std::pair<Id, Id>;

        // Dense numbers for the points met, in the order met.
        class PointIds
        {
        public:
            Id id(GridPoint point)
            {
                const auto key =
                    (std::uint64_t{static_cast<std::uint32_t>(point.x)} << 32) |
                    static_cast<std::uint32_t>(point.y);
                const auto [at, added] =
                    ids_.try_emplace(key, static_cast<Id>(points_.size()));
                if (added)
                {
                    points_.push_back(point);
                }
                return at->second;
            }

            GridPoint point(Id id) const { return points_[id]; }
            std::size_t size() const { return points_.size(); }

        private:
            absl::flat_hash_map<std::uint64_t, Id> ids_;
            std::vector<GridPoint> points_;
        };

        // Sets of points joined through triangles; each set is named by its
        // smallest point.
        class PointSets
        {
        public:
            void grow(std::size_t size)
            {
                while (parent_.size() < size)
                {
                    parent_.push_back(static_cast<Id>(parent_.size()));
                }
            }

            Id find(Id point)
            {
                while (parent_[point] != point)
                {
                    parent_[point] = parent_[parent_[point]];
                    point = parent_[point];
                }
                return point;
            }

            void join(Id a, Id b)
            {
                a = find(a);
                b = find(b);
                parent_[std::max(a, b)] = std::min(a, b);
            }

        private:
            std::vector<Id> parent_;
        };

        struct Chain
        {
            std::vector<Id> points;
            bool closed{false};
        };

        // Edges grouped by their first point, each group in the given order.
        class OutgoingEdges
        {
        public:
            OutgoingEdges(const std::vector<IdEdge>& edges,
                          std::size_t nb_points)
                : edges_(edges), offsets_(nb_points + 1, 0), used_(edges.size())
            {
                for (const auto& edge : edges)
                {
                    ++offsets_[edge.first + 1];
                }
                for (std::size_t p = 0; p < nb_points; ++p)
                {
                    offsets_[p + 1] += offsets_[p];
                }
                order_.resize(edges.size());
                cursors_.assign(offsets_.begin(), offsets_.end() - 1);
                for (std::size_t e = 0; e < edges.size(); ++e)
                {
                    order_[cursors_[edges[e].first]++] = e;
                }
                cursors_.assign(offsets_.begin(), offsets_.end() - 1);
            }

            bool used(std::size_t edge) const { return used_[edge]; }

            // The end of the first unused edge leaving `point` (marked used
            // now), or false when there is none.
            bool follow(Id& point)
            {
                auto& cursor = cursors_[point];
                while (cursor < offsets_[point + 1] && used_[order_[cursor]])
                {
                    ++cursor;
                }
                if (cursor == offsets_[point + 1])
                {
                    return false;
                }
                const auto edge = order_[cursor++];
                used_[edge] = true;
                point = edges_[edge].second;
                return true;
            }

        private:
            const std::vector<IdEdge>& edges_;
            std::vector<std::size_t> offsets_;
            std::vector<std::size_t> order_;
            std::vector<std::size_t> cursors_;
            std::vector<bool> used_;
        };

        // Walks from `start` along unused edges until it comes back or
        // cannot go on.
        Chain walk(OutgoingEdges& outgoing, Id start)
        {
            Chain chain{{start}, false};
            Id point = start;
            outgoing.follow(point);
            while (point != start)
            {
                chain.points.push_back(point);
                if (!outgoing.follow(point))
                {
                    return chain;
                }
            }
            chain.closed = true;
            return chain;
        }

        // Every edge in a chain, started at the unused edges in their
        // order; the edges are of nonzero length.
        std::vector<Chain> chain_ids(const std::vector<IdEdge>& edges,
                                     std::size_t nb_points)
        {
            OutgoingEdges outgoing{edges, nb_points};
            std::vector<Chain> chains;
            for (std::size_t e = 0; e < edges.size(); ++e)
            {
                if (!outgoing.used(e))
                {
                    chains.push_back(walk(outgoing, edges[e].first));
                }
            }
            return chains;
        }

        // Whether b lies on the straight way on from a through to c.
        bool is_straight(GridPoint a, GridPoint b, GridPoint c)
        {
            const std::int64_t ux = b.x - a.x;
            const std::int64_t uy = b.y - a.y;
            const std::int64_t vx = c.x - b.x;
            const std::int64_t vy = c.y - b.y;
            return ux * vy - uy * vx == 0 && ux * vx + uy * vy > 0;
        }

        // The chain's points, without those in the middle of straight runs.
        Polyline polyline(const Chain& chain, const PointIds& ids)
        {
            const auto& points = chain.points;
            const auto n = points.size();
            Polyline line{{ids.point(points[0])}, chain.closed};
            for (std::size_t i = 1; i < n; ++i)
            {
                const auto point = ids.point(points[i]);
                const bool has_next = chain.closed || i + 1 < n;
                if (!has_next || !is_straight(line.points.back(), point,
                                              ids.point(points[(i + 1) % n])))
                {
                    line.points.push_back(point);
                }
            }
            auto& kept = line.points;
            if (chain.closed && kept.size() >= 3 &&
                is_straight(kept.back(), kept[0], kept[1]))
            {
                kept.erase(kept.begin());
            }
            return line;
        }

        std::uint64_t edge_key(Id a, Id b)
        {
            return (std::uint64_t{std::min(a, b)} << 32) | std::max(a, b);
        }

        // The triangle with its corners counter-clockwise.
        GridTriangle counter_clockwise(GridTriangle triangle)
        {
            const auto& [a, b, c] = triangle;
            const std::int64_t cross = std::int64_t{b.x - a.x} * (c.y - a.y) -
                                       std::int64_t{b.y - a.y} * (c.x - a.x);
            if (cross < 0)
            {
                std::swap(triangle[1], triangle[2]);
            }
            return triangle;
        }

        // The triangles' edges as a sum: per pair of points, the times an
        // edge runs from the first (in number) to the second, less the
        // times one runs back.
        class EdgeSum
        {
        public:
            void add(Id from, Id to)
            {
                if (from != to)
                {
                    net_[edge_key(from, to)] += from < to ? 1 : -1;
                }
            }

            // The edges left, each as often as its count.
            std::vector<IdEdge> edges() const
            {
                std::vector<IdEdge> edges;
                for (const auto& [key, count] : net_)
                {
                    const auto low = static_cast<Id>(key >> 32);
                    const auto high = static_cast<Id>(key & 0xffffffffu);
                    const auto edge =
                        count > 0 ? IdEdge{low, high} : IdEdge{high, low};
                    edges.insert(edges.end(),
                                 static_cast<std::size_t>(std::abs(count)),
                                 edge);
                }
                return edges;
            }

        private:
            absl::flat_hash_map<std::uint64_t, int> net_;
        };

        std::vector<Id> set_roots(PointSets& sets, std::size_t nb_points)
        {
            std::vector<Id> roots(nb_points);
            for (Id p = 0; p < nb_points; ++p)
            {
                roots[p] = sets.find(p);
            }
            return roots;
        }

        // The edges chained into one part per set of points (the parts in
        // the order of their sets' smallest points), with the triangles
        // whose first corners are in the set.
        std::vector<OutlinePart> outline_parts(
            std::vector<IdEdge> edges, const PointIds& ids,
            const std::vector<Id>& roots, const std::vector<Id>& first_corners)
        {
            std::sort(edges.begin(), edges.end(),
                      [&roots](const IdEdge& a, const IdEdge& b) {
                          return std::tie(roots[a.first], a) <
                                 std::tie(roots[b.first], b);
                      });
            std::vector<OutlinePart> parts;
            absl::flat_hash_map<Id, std::size_t> part_of_set;
            for (const auto& chain : chain_ids(edges, ids.size()))
            {
                const auto [at, added] = part_of_set.try_emplace(
                    roots[chain.points[0]], parts.size());
                if (added)
                {
                    parts.emplace_back();
                }
                parts[at->second].loops.push_back(polyline(chain, ids));
            }
            for (std::size_t t = 0; t < first_corners.size(); ++t)
            {
                const auto part = part_of_set.find(roots[first_corners[t]]);
                if (part != part_of_set.end())
                {
                    parts[part->second].triangles.push_back(t);
                }
            }
            return parts;
        }
    }  // namespace

    std::vector<Polyline> chain_edges(const std::vector<GridEdge>& edges)
    {
        PointIds ids;
        std::vector<IdEdge> id_edges;
        for (const auto& [from, to] : edges)
        {
            if (from != to)
            {
                id_edges.emplace_back(ids.id(from), ids.id(to));
            }
        }
        std::vector<Polyline> lines;
        for (const auto& chain : chain_ids(id_edges, ids.size()))
        {
            lines.push_back(polyline(chain, ids));
        }
        return lines;
    }

    std::vector<OutlinePart> triangle_outline(
        const std::vector<GridTriangle>& triangles)
    {
        PointIds ids;
        PointSets sets;
        EdgeSum sum;
        std::vector<Id> first_corners;
        first_corners.reserve(triangles.size());
        for (const auto& triangle : triangles)
        {
            const auto turned = counter_clockwise(triangle);
            const std::array<Id, 3> corners{
                ids.id(turned[0]), ids.id(turned[1]), ids.id(turned[2])};
            sets.grow(ids.size());
            sets.join(corners[0], corners[1]);
            sets.join(corners[0], corners[2]);
            for (std::size_t k = 0; k < 3; ++k)
            {
                sum.add(corners[k], corners[(k + 1) % 3]);
            }
            first_corners.push_back(corners[0]);
        }
        const auto roots = set_roots(sets, ids.size());
        return outline_parts(sum.edges(), ids, roots, first_corners);
    }

    std::int64_t doubled_area(const Polyline& loop)
    {
        std::int64_t area = 0;
        const auto& points = loop.points;
        for (std::size_t i = 0; i < points.size(); ++i)
        {
            const auto& a = points[i];
            const auto& b = points[(i + 1) % points.size()];
            area += std::int64_t{a.x} * b.y - std::int64_t{b.x} * a.y;
        }
        return area;
    }
}  // namespace tessaplan

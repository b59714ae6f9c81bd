#include "chart_outline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace nodara
{
    namespace
    {
        using EdgeKey = std::array<std::uint64_t, 4>;

        std::uint64_t bits_of(double x)
        {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &x, sizeof bits);
            return bits;
        }

        std::uint64_t mixed(std::uint64_t x)
        {
            x += 0x9e3779b97f4a7c15ULL;
            x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
            x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
            return x ^ (x >> 31);
        }

        // The bits of the points of edge e (3 t + k), from its start to
        // its end, or the other way when `reversed`.
        EdgeKey key_of(const CornerMap& map, index_t e, bool reversed)
        {
            const auto& triangle = map[e / 3];
            const auto& from = triangle[e % 3];
            const auto& to = triangle[(e + 1) % 3];
            const auto& a = reversed ? to : from;
            const auto& b = reversed ? from : to;
            return {
                {bits_of(a[0]), bits_of(a[1]), bits_of(b[0]), bits_of(b[1])}};
        }

        std::uint64_t hash_of(const EdgeKey& key)
        {
            return mixed(key[0] ^
                         mixed(key[1] ^ mixed(key[2] ^ mixed(key[3]))));
        }

        // The sign of a triangle's turn when a filtered test is sure of it,
        // else 0: the bound is far above the rounding error of the sums, so
        // the sign also holds for the map turned, scaled and moved, as the
        // packing measures it.
        int sure_turn(const std::array<Point<2>, 3>& p)
        {
            const double left = (p[0][0] - p[2][0]) * (p[1][1] - p[2][1]);
            const double right = (p[0][1] - p[2][1]) * (p[1][0] - p[2][0]);
            const double det = left - right;
            const double bound = 1e-12 * (std::abs(left) + std::abs(right));
            if (!(std::abs(det) > bound) || !(std::abs(det) > 1e-280))
            {
                return 0;
            }
            return det > 0 ? 1 : -1;
        }

        // The directed edges by their points' bits, open addressed: per
        // slot the first edge with its key.
        class EdgeTable
        {
        public:
            explicit EdgeTable(const CornerMap& map) : map_(map)
            {
                const std::size_t nb_edges = 3 * map.size();
                std::size_t size = 16;
                while (size < 2 * nb_edges)
                {
                    size *= 2;
                }
                slots_.assign(size, NO_ID);
                count_.assign(nb_edges, 0);
                first_.assign(nb_edges, NO_ID);
                for (index_t e = 0; e < nb_edges; ++e)
                {
                    auto& slot = slots_[position(key_of(map, e, false))];
                    if (slot == NO_ID)
                    {
                        slot = e;
                    }
                    first_[e] = slot;
                    ++count_[slot];
                }
            }

            // Whether edge e alone runs its way.
            bool alone(index_t e) const { return count_[first_[e]] == 1; }

            // The edge that alone runs e the other way, or NO_ID.
            index_t reverse(index_t e) const
            {
                const auto r = slots_[position(key_of(map_, e, true))];
                return r != NO_ID && count_[r] == 1 ? r : NO_ID;
            }

        private:
            // The slot of `key`: that holding it, or the empty one where
            // it goes.
            std::size_t position(const EdgeKey& key) const
            {
                const std::size_t mask = slots_.size() - 1;
                for (std::size_t s = hash_of(key) & mask;; s = (s + 1) & mask)
                {
                    if (slots_[s] == NO_ID ||
                        key_of(map_, slots_[s], false) == key)
                    {
                        return s;
                    }
                }
            }

            const CornerMap& map_;
            std::vector<index_t> slots_;
            std::vector<index_t> count_;
            std::vector<index_t> first_;
        };

        void take_box(const CornerMap& map, ChartOutline& outline)
        {
            outline.low = {{HUGE_VAL, HUGE_VAL}};
            outline.high = {{-HUGE_VAL, -HUGE_VAL}};
            for (const auto& triangle : map)
            {
                for (const auto& corner : triangle)
                {
                    for (int k = 0; k < 2; ++k)
                    {
                        outline.low[k] = std::min(outline.low[k], corner[k]);
                        outline.high[k] = std::max(outline.high[k], corner[k]);
                    }
                }
            }
        }

        void take_ends(const CornerMap& map, ChartOutline& outline)
        {
            outline.edges.clear();
            for (const auto e : outline.ids)
            {
                const auto& triangle = map[e / 3];
                outline.edges.push_back(
                    {{triangle[e % 3], triangle[(e + 1) % 3]}});
            }
        }
    }  // namespace

    ChartOutline outline_of(const CornerMap& map)
    {
        ChartOutline outline;
        take_box(map, outline);
        std::vector<int> turn(map.size());
        std::transform(map.begin(), map.end(), turn.begin(), sure_turn);
        const EdgeTable table(map);
        for (index_t e = 0; e < 3 * map.size(); ++e)
        {
            const auto r = table.alone(e) ? table.reverse(e) : NO_ID;
            const bool inside =
                r != NO_ID && turn[e / 3] != 0 && turn[e / 3] == turn[r / 3];
            if (!inside)
            {
                outline.ids.push_back(e);
            }
        }
        take_ends(map, outline);
        return outline;
    }

    ChartOutline outline_of(const CornerMap& map, const ChartOutline& like)
    {
        ChartOutline outline;
        take_box(map, outline);
        outline.ids = like.ids;
        take_ends(map, outline);
        return outline;
    }

    const ChartOutline& ChartOutlines::of(const CornerMap& map)
    {
        auto found = outlines_.find(&map);
        if (found == outlines_.end())
        {
            found = outlines_.emplace(&map, outline_of(map)).first;
        }
        return found->second;
    }

    void ChartOutlines::add(const CornerMap& map, ChartOutline outline)
    {
        outlines_[&map] = std::move(outline);
    }

    void ChartOutlines::add_turn(const CornerMap& map, const CornerMap& like)
    {
        outlines_[&map] = outline_of(map, of(like));
    }

    const ChartOutline* ChartOutlines::find(const CornerMap& map) const
    {
        const auto found = outlines_.find(&map);
        return found == outlines_.end() ? nullptr : &found->second;
    }
}  // namespace nodara

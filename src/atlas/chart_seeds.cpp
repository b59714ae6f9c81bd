#include "chart_seeds.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <tuple>

namespace nodara
{
    namespace
    {
        using Coordinates = std::array<double, 3>;

        // The centroid, then the corners in lexicographic order: the
        // centroid is summed over the sorted corners, so that turning the
        // corners does not change its rounding.
        using SeedKey = std::array<Coordinates, 4>;

        SeedKey seed_key(const TriangulatedSurface<3>& surface, index_t t)
        {
            SeedKey key{};
            const auto corners = surface.polygon_vertices(t);
            for (int k = 0; k < 3; ++k)
            {
                const auto& p = surface.point(corners[k]);
                key[k + 1] = {p[0], p[1], p[2]};
            }
            std::sort(key.begin() + 1, key.end());
            for (int i = 0; i < 3; ++i)
            {
                key[0][i] = (key[1][i] + key[2][i] + key[3][i]) / 3;
            }
            return key;
        }
    }  // namespace

    std::vector<index_t> seed_order(const TriangulatedSurface<3>& surface)
    {
        std::vector<SeedKey> keys;
        keys.reserve(surface.nb_polygons());
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            keys.push_back(seed_key(surface, t));
        }
        std::vector<index_t> order(surface.nb_polygons());
        std::iota(order.begin(), order.end(), index_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&keys](index_t a, index_t b)
                         { return keys[a] < keys[b]; });
        return order;
    }

    local_index_t lowest_corner(const TriangulatedSurface<3>& surface,
                                index_t t)
    {
        const auto& corners = surface.polygon_vertices(t);
        const auto key = [&](local_index_t k)
        {
            const auto& p = surface.point(corners[k]);
            return std::make_tuple(p[0], p[1], p[2], corners[k]);
        };
        local_index_t lowest = 0;
        for (local_index_t k = 1; k < 3; ++k)
        {
            lowest = key(k) < key(lowest) ? k : lowest;
        }
        return lowest;
    }

    std::vector<index_t> ranks_in_order(const std::vector<index_t>& order)
    {
        std::vector<index_t> ranks(order.size());
        for (index_t i = 0; i < order.size(); ++i)
        {
            ranks[order[i]] = i;
        }
        return ranks;
    }
}  // namespace nodara

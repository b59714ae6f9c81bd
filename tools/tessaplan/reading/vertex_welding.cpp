#include "reading/vertex_welding.h"

#include <array>
#include <cstring>

#include <absl/container/flat_hash_map.h>

namespace tessaplan
{
    namespace
    {
        // Bit pattern of a position, with -0 taken as +0.
        std::array<std::uint64_t, 3> position_key(const nodara::Point<3>& point)
        {
            std::array<std::uint64_t, 3> key{};
            for (std::size_t k = 0; k < 3; ++k)
            {
                const double value = point[k] + 0.0;
                std::memcpy(&key[k], &value, sizeof value);
            }
            return key;
        }
    }  // namespace

    std::uint64_t weld_vertices(PolygonSoup& soup)
    {
        absl::flat_hash_map<std::array<std::uint64_t, 3>, std::uint64_t> first;
        std::vector<std::uint64_t> new_index(soup.points.size());
        std::vector<nodara::Point<3>> kept;
        for (std::size_t v = 0; v < soup.points.size(); ++v)
        {
            const auto inserted =
                first.emplace(position_key(soup.points[v]), kept.size());
            if (inserted.second)
            {
                kept.push_back(soup.points[v]);
            }
            new_index[v] = inserted.first->second;
        }
        for (auto& polygon : soup.polygons)
        {
            for (auto& corner : polygon)
            {
                corner = new_index[corner];
            }
        }
        const auto joined = soup.points.size() - kept.size();
        soup.points = std::move(kept);
        return joined;
    }
}  // namespace tessaplan

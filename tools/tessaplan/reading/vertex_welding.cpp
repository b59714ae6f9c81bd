#include "reading/vertex_welding.h"

#include <array>

#include <absl/container/flat_hash_map.h>
#include <velmora/geometry/position_key.h>

namespace tessaplan
{
    std::uint64_t weld_vertices(PolygonSoup& soup)
    {
        const auto before = soup.points.size();
        weld_vertices_mapped(soup);
        return before - soup.points.size();
    }

    std::vector<std::uint64_t> weld_vertices_mapped(PolygonSoup& soup)
    {
        absl::flat_hash_map<std::array<double, 3>, std::uint64_t> first;
        std::vector<std::uint64_t> new_index(soup.points.size());
        std::vector<nodara::Point<3>> kept;
        for (std::size_t v = 0; v < soup.points.size(); ++v)
        {
            const auto inserted = first.emplace(
                nodara::position_key(soup.points[v]), kept.size());
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
        soup.points = std::move(kept);
        return new_index;
    }
}  // namespace tessaplan

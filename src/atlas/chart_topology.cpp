#include "chart_topology.h"

#include <utility>

#include <absl/container/flat_hash_set.h>

namespace nodara
{
    namespace
    {
        bool connected(const PolygonAdjacencies& adjacencies,
                       const std::vector<index_t>& triangles)
        {
            const absl::flat_hash_set<index_t> members(triangles.begin(),
                                                       triangles.end());
            absl::flat_hash_set<index_t> reached{triangles.front()};
            std::vector<index_t> stack{triangles.front()};
            while (!stack.empty())
            {
                const auto t = stack.back();
                stack.pop_back();
                for (const auto q : adjacencies[t])
                {
                    if (q != NO_ID && members.contains(q) &&
                        reached.insert(q).second)
                    {
                        stack.push_back(q);
                    }
                }
            }
            return reached.size() == members.size();
        }
    }  // namespace

    bool is_disc(const TriangulatedSurface<3>& surface,
                 const PolygonAdjacencies& adjacencies,
                 const std::vector<index_t>& triangles)
    {
        if (triangles.empty() || !connected(adjacencies, triangles))
        {
            return false;
        }
        absl::flat_hash_set<index_t> vertices;
        absl::flat_hash_set<std::pair<index_t, index_t>> edges;
        for (const auto t : triangles)
        {
            const auto& corners = surface.polygon_vertices(t);
            for (local_index_t k = 0; k < 3; ++k)
            {
                vertices.insert(corners[k]);
                edges.insert(std::minmax(corners[k], corners[(k + 1) % 3]));
            }
        }
        return static_cast<long>(vertices.size()) -
                   static_cast<long>(edges.size()) +
                   static_cast<long>(triangles.size()) ==
               1;
    }
}  // namespace nodara

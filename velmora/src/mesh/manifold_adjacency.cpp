#include <velmora/mesh/manifold_adjacency.h>

#include <velmora/basic/huge_pages.h>

#include <algorithm>
#include <tuple>

namespace nodara
{
    namespace
    {
        // One polygon side, keyed by its two vertices in increasing order.
        struct Side
        {
            index_t low;
            index_t high;
            index_t polygon;
            local_index_t edge;
        };
    }  // namespace

    template <index_t D>
    PolygonAdjacencies compute_manifold_adjacencies(
        const SurfaceMesh<D>& surface)
    {
        // Sorting the sides by their vertex pair groups the sides of each
        // edge together; this scales to millions of polygons with one flat
        // array.
        LargeVector<Side> sides;
        sides.reserve(std::size_t{surface.nb_polygons()} * 3);
        for (index_t p = 0; p < surface.nb_polygons(); ++p)
        {
            const auto& corners = surface.polygon_vertices(p);
            for (local_index_t e = 0; e < 3; ++e)
            {
                const auto a = corners[e];
                const auto b = corners[(e + 1) % 3];
                sides.push_back({std::min(a, b), std::max(a, b), p, e});
            }
        }
        std::sort(sides.begin(), sides.end(),
                  [](const Side& x, const Side& y)
                  {
                      return std::tie(x.low, x.high, x.polygon, x.edge) <
                             std::tie(y.low, y.high, y.polygon, y.edge);
                  });
        PolygonAdjacencies adjacencies(surface.nb_polygons(),
                                       {NO_ID, NO_ID, NO_ID});
        for (std::size_t first = 0; first < sides.size();)
        {
            auto last = first + 1;
            while (last < sides.size() && sides[last].low == sides[first].low &&
                   sides[last].high == sides[first].high)
            {
                ++last;
            }
            if (last - first == 2)
            {
                const auto& s0 = sides[first];
                const auto& s1 = sides[first + 1];
                adjacencies[s0.polygon][s0.edge] = s1.polygon;
                adjacencies[s1.polygon][s1.edge] = s0.polygon;
            }
            first = last;
        }
        return adjacencies;
    }

    template PolygonAdjacencies compute_manifold_adjacencies(
        const SurfaceMesh<2>& surface);
    template PolygonAdjacencies compute_manifold_adjacencies(
        const SurfaceMesh<3>& surface);
}  // namespace nodara

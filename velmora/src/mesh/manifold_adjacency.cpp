#include <velmora/mesh/manifold_adjacency.h>

#include <velmora/basic/huge_pages.h>

#include <algorithm>
#include <tuple>
#include <vector>

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

        // The order of sides that share their lower vertex.
        bool precedes(const Side& x, const Side& y)
        {
            return std::tie(x.high, x.polygon, x.edge) <
                   std::tie(y.high, y.polygon, y.edge);
        }

        // Sorts the sides of one vertex: by insertion for the usual
        // handful, by std::sort for a vertex of many polygons.
        void sort_few(LargeVector<Side>& sides, std::size_t begin,
                      std::size_t end)
        {
            if (end - begin > 32)
            {
                std::sort(sides.begin() + static_cast<long>(begin),
                          sides.begin() + static_cast<long>(end), precedes);
                return;
            }
            for (auto i = begin + 1; i < end; ++i)
            {
                const auto side = sides[i];
                auto j = i;
                for (; j > begin && precedes(side, sides[j - 1]); --j)
                {
                    sides[j] = sides[j - 1];
                }
                sides[j] = side;
            }
        }

        // Every polygon side, sorted by lower vertex, higher vertex, polygon
        // and edge.
        template <index_t D>
        LargeVector<Side> sides_by_vertex_pair(const SurfaceMesh<D>& surface)
        {
            std::vector<std::size_t> start(
                std::size_t{surface.nb_vertices()} + 2, 0);
            for (index_t p = 0; p < surface.nb_polygons(); ++p)
            {
                const auto& corners = surface.polygon_vertices(p);
                for (local_index_t e = 0; e < 3; ++e)
                {
                    ++start[std::min(corners[e], corners[(e + 1) % 3]) + 2];
                }
            }
            for (std::size_t v = 2; v < start.size(); ++v)
            {
                start[v] += start[v - 1];
            }
            LargeVector<Side> sides(std::size_t{surface.nb_polygons()} * 3);
            for (index_t p = 0; p < surface.nb_polygons(); ++p)
            {
                const auto& corners = surface.polygon_vertices(p);
                for (local_index_t e = 0; e < 3; ++e)
                {
                    const auto a = corners[e];
                    const auto b = corners[(e + 1) % 3];
                    const auto low = std::min(a, b);
                    sides[start[low + 1]++] = {low, std::max(a, b), p, e};
                }
            }
            for (std::size_t v = 0; v + 1 < start.size(); ++v)
            {
                sort_few(sides, start[v], start[v + 1]);
            }
            return sides;
        }
    }  // namespace

    template <index_t D>
    PolygonAdjacencies compute_manifold_adjacencies(
        const SurfaceMesh<D>& surface)
    {
        // Sorting the sides by their vertex pair groups the sides of each
        // edge together: by their lower vertex in one counting pass, then
        // each vertex's few sides among themselves. This scales to millions
        // of polygons with flat arrays, in time linear in their size.
        const auto sides = sides_by_vertex_pair(surface);
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

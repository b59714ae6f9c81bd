#include <velmora/mesh/polygon_orientation.h>

namespace nodara
{
    namespace
    {
        // Whether polygons p and q, which share edge e of p, run along it in
        // the same direction as their corners are stored.
        template <index_t D>
        bool same_direction(const SurfaceMesh<D>& surface, index_t p,
                            local_index_t e, index_t q)
        {
            const auto& corners = surface.polygon_vertices(p);
            const auto from = corners[e];
            const auto to = corners[(e + 1) % 3];
            const auto& other = surface.polygon_vertices(q);
            for (local_index_t f = 0; f < 3; ++f)
            {
                if (other[f] == from)
                {
                    return other[(f + 1) % 3] == to;
                }
            }
            return false;
        }

        // Spreads the sense of `seed` over its piece along a spanning tree.
        template <index_t D>
        void spread_sense(const SurfaceMesh<D>& surface,
                          const PolygonAdjacencies& adjacencies, index_t seed,
                          std::vector<bool>& reached,
                          std::vector<bool>& reversed)
        {
            std::vector<index_t> stack{seed};
            reached[seed] = true;
            while (!stack.empty())
            {
                const auto p = stack.back();
                stack.pop_back();
                for (local_index_t e = 0; e < 3; ++e)
                {
                    const auto q = adjacencies[p][e];
                    if (q == NO_ID || reached[q])
                    {
                        continue;
                    }
                    reached[q] = true;
                    reversed[q] =
                        reversed[p] != same_direction(surface, p, e, q);
                    stack.push_back(q);
                }
            }
        }
    }  // namespace

    template <index_t D>
    PolygonOrientation compute_polygon_orientation(
        const SurfaceMesh<D>& surface, const PolygonAdjacencies& adjacencies,
        const PolygonComponents& components)
    {
        const auto nb_polygons = surface.nb_polygons();
        PolygonOrientation result;
        result.reversed.assign(nb_polygons, false);
        result.orientable.assign(components.nb_components, true);
        std::vector<bool> reached(nb_polygons, false);
        for (index_t p = 0; p < nb_polygons; ++p)
        {
            if (!reached[p])
            {
                spread_sense(surface, adjacencies, p, reached, result.reversed);
            }
        }
        // The tree fixed every sense; an edge off the tree that still runs
        // the same way on both sides closes an odd loop of turns.
        for (index_t p = 0; p < nb_polygons; ++p)
        {
            for (local_index_t e = 0; e < 3; ++e)
            {
                const auto q = adjacencies[p][e];
                if (q != NO_ID && (result.reversed[p] != result.reversed[q]) !=
                                      same_direction(surface, p, e, q))
                {
                    result.orientable[components.component[p]] = false;
                }
            }
        }
        return result;
    }

    template PolygonOrientation compute_polygon_orientation(
        const SurfaceMesh<2>& surface, const PolygonAdjacencies& adjacencies,
        const PolygonComponents& components);
    template PolygonOrientation compute_polygon_orientation(
        const SurfaceMesh<3>& surface, const PolygonAdjacencies& adjacencies,
        const PolygonComponents& components);
}  // namespace nodara

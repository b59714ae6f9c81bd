#include <velmora/mesh/polygon_components.h>

namespace nodara
{
    PolygonComponents compute_polygon_components(
        const PolygonAdjacencies& adjacencies)
    {
        const auto nb_polygons = static_cast<index_t>(adjacencies.size());
        PolygonComponents result;
        result.component.assign(nb_polygons, NO_ID);
        std::vector<index_t> stack;
        for (index_t seed = 0; seed < nb_polygons; ++seed)
        {
            if (result.component[seed] != NO_ID)
            {
                continue;
            }
            const auto piece = result.nb_components++;
            result.component[seed] = piece;
            stack.push_back(seed);
            while (!stack.empty())
            {
                const auto p = stack.back();
                stack.pop_back();
                for (const auto adjacent : adjacencies[p])
                {
                    if (adjacent != NO_ID &&
                        result.component[adjacent] == NO_ID)
                    {
                        result.component[adjacent] = piece;
                        stack.push_back(adjacent);
                    }
                }
            }
        }
        return result;
    }
}  // namespace nodara

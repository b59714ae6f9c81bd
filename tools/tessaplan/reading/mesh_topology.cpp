#include "reading/mesh_topology.h"

namespace tessaplan
{
    using nodara::index_t;

    index_t count_border_edges(const nodara::TriangulatedSurface<3>& surface)
    {
        index_t count = 0;
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            for (nodara::local_index_t e = 0; e < 3; ++e)
            {
                if (surface.is_edge_on_border({t, e}))
                {
                    ++count;
                }
            }
        }
        return count;
    }
}  // namespace tessaplan

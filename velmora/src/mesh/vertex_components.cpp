#include <velmora/mesh/vertex_components.h>

#include <boost/pending/disjoint_sets.hpp>

namespace nodara
{
    template <index_t D>
    VertexComponents compute_vertex_components(const SurfaceMesh<D>& surface)
    {
        const auto nb_vertices = surface.nb_vertices();
        boost::disjoint_sets_with_storage<> sets{nb_vertices};
        for (index_t v = 0; v < nb_vertices; ++v)
        {
            sets.make_set(v);
        }
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            const auto& corners = surface.polygon_vertices(t);
            sets.union_set(corners[0], corners[1]);
            sets.union_set(corners[0], corners[2]);
        }
        VertexComponents result;
        result.component.assign(nb_vertices, NO_ID);
        std::vector<index_t> numbering(nb_vertices, NO_ID);
        for (index_t v = 0; v < nb_vertices; ++v)
        {
            const auto root = static_cast<index_t>(sets.find_set(v));
            if (numbering[root] == NO_ID)
            {
                numbering[root] = result.nb_components++;
            }
            result.component[v] = numbering[root];
        }
        return result;
    }

    template VertexComponents compute_vertex_components(
        const SurfaceMesh<2>& surface);
    template VertexComponents compute_vertex_components(
        const SurfaceMesh<3>& surface);
}  // namespace nodara

#include "pinned_component.h"

#include <velmora/mesh/vertex_components.h>

namespace nodara
{
    bool triangles_form_one_pinned_component(
        const TriangulatedSurface<3>& surface,
        const std::array<index_t, 2>& pinned_vertices)
    {
        if (surface.nb_polygons() == 0)
        {
            return false;
        }
        const auto components = compute_vertex_components(surface);
        const auto& component = components.component;
        const auto piece = component[surface.polygon_vertex({0, 0})];
        for (index_t t = 1; t < surface.nb_polygons(); ++t)
        {
            if (component[surface.polygon_vertex({t, 0})] != piece)
            {
                return false;
            }
        }
        return component[pinned_vertices[0]] == piece &&
               component[pinned_vertices[1]] == piece;
    }
}  // namespace nodara

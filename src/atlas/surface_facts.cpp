#include "surface_facts.h"

#include <velmora/geometry/triangle.h>
#include <velmora/mesh/polygon_components.h>
#include <velmora/mesh/polygon_orientation.h>

namespace nodara
{
    SurfaceFacts surface_facts(const TriangulatedSurface<3>& surface)
    {
        SurfaceFacts facts;
        facts.adjacencies = compute_manifold_adjacencies(surface);
        const auto pieces = compute_polygon_components(facts.adjacencies);
        const auto orientation =
            compute_polygon_orientation(surface, facts.adjacencies, pieces);
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            const auto normal = surface.polygon_normal(t);
            facts.normals.push_back(
                orientation.reversed[t] ? Vector<3>{normal * -1.0} : normal);
            facts.areas.push_back(surface.triangle(t).area());
        }
        return facts;
    }
}  // namespace nodara

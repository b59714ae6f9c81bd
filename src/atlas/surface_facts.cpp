#include "surface_facts.h"

#include <algorithm>
#include <cmath>

#include <velmora/geometry/triangle.h>
#include <velmora/mesh/polygon_components.h>
#include <velmora/mesh/polygon_orientation.h>

#include "chart_seeds.h"

namespace nodara
{
    namespace
    {
        double bounding_diagonal(const TriangulatedSurface<3>& surface)
        {
            Point<3> low{{HUGE_VAL, HUGE_VAL, HUGE_VAL}};
            Point<3> high{{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL}};
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                const auto& p = surface.point(v);
                for (int i = 0; i < 3; ++i)
                {
                    low[i] = std::min(low[i], p[i]);
                    high[i] = std::max(high[i], p[i]);
                }
            }
            return Vector<3>{low, high}.length();
        }

        double longest_edge(const Triangle<3>& triangle)
        {
            const auto& p = triangle.vertices();
            double longest = 0;
            for (int k = 0; k < 3; ++k)
            {
                longest = std::max(
                    longest,
                    Vector<3>{p[k].get(), p[(k + 1) % 3].get()}.length());
            }
            return longest;
        }

        // Triangle t with its corners turned to start at the lowest one,
        // orientation kept.
        Triangle<3> turned_triangle(const TriangulatedSurface<3>& surface,
                                    index_t t)
        {
            const auto& corners = surface.polygon_vertices(t);
            const auto first = lowest_corner(surface, t);
            return {surface.point(corners[first]),
                    surface.point(corners[(first + 1) % 3]),
                    surface.point(corners[(first + 2) % 3])};
        }
    }  // namespace

    SurfaceFacts surface_facts(const TriangulatedSurface<3>& surface)
    {
        SurfaceFacts facts;
        facts.adjacencies = compute_manifold_adjacencies(surface);
        const auto pieces = compute_polygon_components(facts.adjacencies);
        const auto orientation =
            compute_polygon_orientation(surface, facts.adjacencies, pieces);
        const double thinnest = sliver_height * bounding_diagonal(surface);
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            const auto triangle = turned_triangle(surface, t);
            const double area = triangle.area();
            const auto normal = triangle.unit_normal();
            const bool sliver = !(normal == Vector<3>{}) &&
                                2 * area < thinnest * longest_edge(triangle);
            facts.normals.push_back(sliver ? Vector<3>{}
                                    : orientation.reversed[t]
                                        ? Vector<3>{normal * -1.0}
                                        : normal);
            facts.areas.push_back(area);
            facts.slivers.push_back(sliver);
        }
        facts.order = seed_order(surface);
        return facts;
    }
}  // namespace nodara

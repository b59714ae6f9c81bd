#include <tessaplan/true_size.h>

#include <cmath>
#include <string>

#include <velmora/basic/velmora_exception.h>
#include <velmora/geometry/triangle.h>
#include <velmora/mesh/vertex_components.h>

namespace nodara
{
    namespace
    {
        // Per group, its 3D area, its image area and the image area's
        // first moments, over the triangles of finite non-zero 3D area.
        struct GroupAreas
        {
            double area_3d{0};
            double area_2d{0};
            double moment_u{0};
            double moment_v{0};
        };

        std::vector<GroupAreas> group_areas(
            const TriangulatedSurface<3>& surface,
            const std::vector<Point<2>>& map, const VertexComponents& groups)
        {
            std::vector<GroupAreas> areas(groups.nb_components);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                const double area_3d = surface.triangle(t).area();
                if (!(area_3d > 0.0) || !std::isfinite(area_3d))
                {
                    continue;
                }
                const auto& a = map[surface.polygon_vertex({t, 0})];
                const auto& b = map[surface.polygon_vertex({t, 1})];
                const auto& c = map[surface.polygon_vertex({t, 2})];
                const double area_2d = Triangle<2>{a, b, c}.area();
                auto& group =
                    areas[groups.component[surface.polygon_vertex({t, 0})]];
                group.area_3d += area_3d;
                group.area_2d += area_2d;
                group.moment_u += area_2d * (a[0] + b[0] + c[0]) / 3;
                group.moment_v += area_2d * (a[1] + b[1] + c[1]) / 3;
            }
            return areas;
        }
    }  // namespace

    std::vector<double> scale_to_true_size(
        const TriangulatedSurface<3>& surface, std::vector<Point<2>>& map)
    {
        if (map.size() != surface.nb_vertices())
        {
            throw InvalidInputException{
                "[scale_to_true_size] The map holds " +
                std::to_string(map.size()) + " points for " +
                std::to_string(surface.nb_vertices()) + " vertices"};
        }
        const auto groups = compute_vertex_components(surface);
        const auto areas = group_areas(surface, map, groups);
        std::vector<double> factors(groups.nb_components, 1.0);
        std::vector<Point<2>> centres(groups.nb_components);
        for (index_t g = 0; g < groups.nb_components; ++g)
        {
            const auto& group = areas[g];
            const double factor = std::sqrt(group.area_3d / group.area_2d);
            if (group.area_2d > 0.0 && std::isfinite(factor) && factor > 0.0)
            {
                factors[g] = factor;
                centres[g] = Point<2>{{group.moment_u / group.area_2d,
                                       group.moment_v / group.area_2d}};
            }
        }
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto g = groups.component[v];
            if (factors[g] != 1.0)
            {
                map[v] = centres[g] + (map[v] - centres[g]) * factors[g];
            }
        }
        return factors;
    }
}  // namespace nodara

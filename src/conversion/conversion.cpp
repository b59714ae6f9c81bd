#include <tessaplan/conversion.h>

#include <string>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/triangulated_surface_builder.h>

#include <tessaplan/attribute/attribute_values.h>

namespace nodara
{
    namespace
    {
        void copy_triangles(const TriangulatedSurface<3>& surface,
                            TriangulatedSurfaceBuilder<2>& builder)
        {
            const auto nb_polygons = surface.nb_polygons();
            builder.reserve_triangles(nb_polygons);
            for (index_t t = 0; t < nb_polygons; ++t)
            {
                builder.create_triangle({surface.polygon_vertex({t, 0}),
                                         surface.polygon_vertex({t, 1}),
                                         surface.polygon_vertex({t, 2})});
            }
            for (index_t t = 0; t < nb_polygons; ++t)
            {
                for (local_index_t e = 0; e < 3; ++e)
                {
                    if (const auto adjacent = surface.polygon_adjacent({t, e}))
                    {
                        builder.set_polygon_adjacent({t, e}, *adjacent);
                    }
                }
            }
        }
    }  // namespace

    std::unique_ptr<TriangulatedSurface<2>> convert_surface3d_into_2d(
        const TriangulatedSurface<3>& surface,
        absl::Span<const Point<2>> points)
    {
        const auto nb_vertices = surface.nb_vertices();
        if (points.size() != nb_vertices)
        {
            throw InvalidInputException{
                "[convert_surface3d_into_2d] Expected one point per vertex: " +
                std::to_string(points.size()) + " points for " +
                std::to_string(nb_vertices) + " vertices"};
        }
        auto result = TriangulatedSurface<2>::create();
        auto builder = TriangulatedSurfaceBuilder<2>::create(*result);
        builder->create_vertices(nb_vertices);
        for (index_t v = 0; v < nb_vertices; ++v)
        {
            builder->set_point(v, points[v]);
        }
        copy_triangles(surface, *builder);
        return result;
    }

    std::unique_ptr<TriangulatedSurface<2>> convert_surface3d_into_2d(
        const TriangulatedSurface<3>& surface, absl::string_view attribute_name)
    {
        return convert_surface3d_into_2d(
            surface, attribute_values(surface, attribute_name));
    }
}  // namespace nodara

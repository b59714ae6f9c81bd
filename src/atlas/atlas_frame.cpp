#include "atlas_frame.h"

#include <cmath>

#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    AtlasFrame atlas_frame(const TriangulatedSurface<3>& surface)
    {
        double largest = 0.0;
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto& point = surface.point(v);
            for (std::size_t k = 0; k < 3; ++k)
            {
                largest = std::max(largest, std::abs(point[k]));
            }
        }
        AtlasFrame frame;
        if (largest == 0.0)
        {
            return frame;
        }
        std::frexp(largest, &frame.exponent);
        if (frame.exponent == 0)
        {
            return frame;
        }
        frame.scaled = TriangulatedSurface<3>::create();
        TriangulatedSurfaceBuilder<3> builder{*frame.scaled};
        builder.create_vertices(surface.nb_vertices());
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto& point = surface.point(v);
            builder.set_point(
                v, Point<3>{{std::ldexp(point[0], -frame.exponent),
                             std::ldexp(point[1], -frame.exponent),
                             std::ldexp(point[2], -frame.exponent)}});
        }
        builder.reserve_triangles(surface.nb_polygons());
        for (index_t t = 0; t < surface.nb_polygons(); ++t)
        {
            builder.create_triangle(surface.polygon_vertices(t));
        }
        builder.compute_polygon_adjacencies();
        return frame;
    }
}  // namespace nodara

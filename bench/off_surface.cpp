#include "off_surface.h"

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/IO/OFF.h>

#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara::bench
{
    std::unique_ptr<TriangulatedSurface<3>> make_surface(
        const Points& points, const Triangles& triangles)
    {
        auto surface = TriangulatedSurface<3>::create();
        TriangulatedSurfaceBuilder<3> builder{*surface};
        for (const auto& p : points)
        {
            builder.create_point(Point<3>{p});
        }
        builder.reserve_triangles(static_cast<index_t>(triangles.size()));
        for (const auto& t : triangles)
        {
            builder.create_triangle(t);
        }
        builder.compute_polygon_adjacencies();
        return surface;
    }

    std::unique_ptr<TriangulatedSurface<3>> read_off(const std::string& path)
    {
        std::vector<CGAL::Epick::Point_3> read;
        std::vector<std::vector<std::size_t>> polygons;
        if (!CGAL::IO::read_OFF(path, read, polygons))
        {
            return nullptr;
        }
        Points points;
        for (const auto& p : read)
        {
            points.push_back({p.x(), p.y(), p.z()});
        }
        Triangles triangles;
        for (const auto& polygon : polygons)
        {
            for (std::size_t k = 1; k + 1 < polygon.size(); ++k)
            {
                triangles.push_back({static_cast<index_t>(polygon[0]),
                                     static_cast<index_t>(polygon[k]),
                                     static_cast<index_t>(polygon[k + 1])});
            }
        }
        return make_surface(points, triangles);
    }

}  // namespace nodara::bench

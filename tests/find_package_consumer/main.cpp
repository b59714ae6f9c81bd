// Flattens a surface through the installed package, public headers only, and
// reads the map both as values and from a vertex attribute.
#include <cstdio>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include <tessaplan/distortion.h>
#include <tessaplan/surface.h>
#include <velmora/mesh/triangulated_surface_builder.h>

int main()
{
    using namespace nodara;
    auto surface = TriangulatedSurface<3>::create();
    TriangulatedSurfaceBuilder<3> builder{*surface};
    builder.create_point(Point<3>{{0, 0, 0}});
    builder.create_point(Point<3>{{1, 0, 0}});
    builder.create_point(Point<3>{{1, 1, 0.5}});
    builder.create_point(Point<3>{{0, 1, 0}});
    builder.create_triangle({0, 1, 2});
    builder.create_triangle({0, 2, 3});
    builder.compute_polygon_adjacencies();

    const auto map = compute_LSCM_map(*surface);
    compute_LSCM_parameterization(*surface, "uv");
    const auto stored =
        find_attribute<Point<2>>(surface->vertex_attribute_manager(), "uv");
    const auto flat = convert_surface3d_into_2d(*surface, map);
    const auto summary = compute_distortion_summary(*surface, map);
    bool ok = map.size() == 4 && flat->nb_vertices() == 4 &&
              flat->nb_polygons() == 2 && summary.nb_flipped_triangles == 0;
    for (index_t v = 0; ok && v < 4; ++v)
    {
        ok = map[v].is_finite() && stored->value(v) == map[v] &&
             flat->point(v) == map[v];
    }
    if (!ok)
    {
        std::puts("unexpected result");
        return 1;
    }
    std::puts("find_package(Tessaplan) consumer: ok");
    return 0;
}

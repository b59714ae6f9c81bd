// Flattens a triangle through the installed package and checks the copy.
#include <cstdio>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include <tessaplan/surface.h>
#include <velmora/mesh/triangulated_surface_builder.h>

int main()
{
    using namespace nodara;
    auto surface = TriangulatedSurface<3>::create();
    TriangulatedSurfaceBuilder<3> builder{*surface};
    builder.create_point(Point<3>{{0, 0, 0}});
    builder.create_point(Point<3>{{1, 0, 0}});
    builder.create_point(Point<3>{{0, 1, 0}});
    builder.create_triangle({0, 1, 2});
    auto attribute = find_or_create_attribute<VariableAttribute, Point<2>>(
        surface->vertex_attribute_manager(), "uv", Point<2>{}, {});
    attribute->set_value(2, Point<2>{{0.25, 0.5}});
    const auto flat = convert_surface3d_into_2d(*surface, "uv");
    if (flat->nb_vertices() != 3 || flat->nb_polygons() != 1 ||
        flat->point(2) != Point<2>{{0.25, 0.5}})
    {
        std::puts("unexpected result");
        return 1;
    }
    std::puts("find_package(Tessaplan) consumer: ok");
    return 0;
}

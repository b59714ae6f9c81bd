#include <gtest/gtest.h>

#include <velmora/mesh/triangulated_surface_builder.h>
#include <velmora/mesh/vertex_components.h>

namespace nodara
{
    TEST(VertexComponents, NumbersPiecesByTheirLowestVertex)
    {
        // Pieces {0, 2, 5, 6}, {1, 3, 4} and the lone vertex 7.
        auto surface = TriangulatedSurface<3>::create();
        TriangulatedSurfaceBuilder<3> builder{*surface};
        builder.create_vertices(8);
        builder.create_triangle({3, 1, 4});
        builder.create_triangle({5, 6, 2});
        builder.create_triangle({0, 5, 2});
        const auto components = compute_vertex_components(*surface);
        EXPECT_EQ(components.nb_components, 3u);
        EXPECT_EQ(components.component,
                  (std::vector<index_t>{0, 1, 0, 1, 1, 0, 0, 2}));
        EXPECT_EQ(compute_vertex_components(*TriangulatedSurface<2>::create())
                      .nb_components,
                  0u);
    }
}  // namespace nodara

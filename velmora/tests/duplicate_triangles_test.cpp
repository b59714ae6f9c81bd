#include <array>
#include <vector>

#include <gtest/gtest.h>

#include <velmora/mesh/duplicate_triangles.h>
#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace
    {
        using Corners = std::array<index_t, 3>;
    }  // namespace

    TEST(DuplicateTriangles, NoneAmongDistinctTriangles)
    {
        // Triangles sharing edges, and all four faces of a tetrahedron.
        const std::vector<Corners> triangles{
            {0, 1, 2}, {0, 2, 3}, {1, 3, 2}, {0, 3, 1}};
        EXPECT_TRUE(find_duplicate_triangles(triangles).empty());
        EXPECT_TRUE(find_duplicate_triangles({}).empty());
    }

    TEST(DuplicateTriangles, RepeatsAndReversalsOfTheFirst)
    {
        const std::vector<Corners> triangles{
            {4, 5, 6},  // 0
            {0, 1, 2},  // 1
            {1, 2, 0},  // 2: 1 turned, the same way round
            {2, 1, 0},  // 3: 1 reversed
            {5, 4, 6},  // 4: 0 reversed
            {0, 1, 3},  // 5: shares an edge only
            {0, 2, 1},  // 6: 1 reversed again
            {6, 4, 5},  // 7: 0 turned
        };
        const std::vector<DuplicateTriangle> expected{{2, 1, false},
                                                      {3, 1, true},
                                                      {4, 0, true},
                                                      {6, 1, true},
                                                      {7, 0, false}};
        EXPECT_EQ(find_duplicate_triangles(triangles), expected);
    }

    TEST(DuplicateTriangles, OfASurface)
    {
        auto surface = TriangulatedSurface<2>::create();
        TriangulatedSurfaceBuilder<2> builder{*surface};
        builder.create_vertices(4);
        builder.create_triangle({0, 1, 2});
        builder.create_triangle({0, 2, 3});
        builder.create_triangle({3, 2, 0});
        builder.create_triangle({0, 1, 2});
        const std::vector<DuplicateTriangle> expected{{2, 1, true},
                                                      {3, 0, false}};
        EXPECT_EQ(find_duplicate_triangles(*surface), expected);
    }
}  // namespace nodara

#include <gtest/gtest.h>

#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    namespace
    {
        // A strip of triangles over vertices 0..n+1 zig-zagging between two
        // rows: triangle i is (i, i + 1, i + 2), or reversed for odd i so that
        // all turn the same way.
        std::unique_ptr<TriangulatedSurface<3>> make_strip(index_t n)
        {
            auto surface = TriangulatedSurface<3>::create();
            TriangulatedSurfaceBuilder<3> builder{*surface};
            for (index_t v = 0; v < n + 2; ++v)
            {
                builder.create_point(Point<3>{{0.5 * v, 1.0 * (v % 2), 0.0}});
            }
            for (index_t i = 0; i < n; ++i)
            {
                if (i % 2 == 0)
                {
                    builder.create_triangle({i, i + 1, i + 2});
                }
                else
                {
                    builder.create_triangle({i + 1, i, i + 2});
                }
            }
            builder.compute_polygon_adjacencies();
            return surface;
        }

        absl::optional<index_t> adjacent(
            const TriangulatedSurface<3>& surface, index_t t, local_index_t e)
        {
            return surface.polygon_adjacent({t, e});
        }

        template <typename Call>
        void expect_error_naming(Call call, const std::string& operation)
        {
            try
            {
                call();
                FAIL() << "expected an exception from " << operation;
            }
            catch (const VelmoraException& error)
            {
                EXPECT_EQ(std::string{error.what()}.rfind(
                              "[TriangulatedSurfaceBuilder::" + operation + "]",
                              0),
                          0u)
                    << error.what();
            }
        }
    }  // namespace

    TEST(TriangulatedSurfaceBuilder, LinksAStripAlongItsInnerEdges)
    {
        const auto strip = make_strip(3);
        // Triangle 0 (0,1,2): edge 1 (1-2) is shared with triangle 1 (2,1,3).
        EXPECT_EQ(adjacent(*strip, 0, 0), absl::nullopt);
        EXPECT_EQ(adjacent(*strip, 0, 1), 1u);
        EXPECT_EQ(adjacent(*strip, 0, 2), absl::nullopt);
        EXPECT_EQ(adjacent(*strip, 1, 0), 0u);
        EXPECT_EQ(adjacent(*strip, 1, 1), absl::nullopt);
        EXPECT_EQ(adjacent(*strip, 1, 2), 2u);
        // Triangle 2 (2,3,4): edge 0 (2-3) is shared with triangle 1.
        EXPECT_EQ(adjacent(*strip, 2, 0), 1u);
        EXPECT_EQ(adjacent(*strip, 2, 1), absl::nullopt);
        EXPECT_EQ(adjacent(*strip, 2, 2), absl::nullopt);
    }

    TEST(TriangulatedSurfaceBuilder, LeavesNonManifoldEdgesUnlinked)
    {
        // Three triangles around the edge 0-1, plus one ordinary neighbour.
        auto surface = TriangulatedSurface<3>::create();
        TriangulatedSurfaceBuilder<3> builder{*surface};
        builder.create_vertices(6);
        builder.create_triangle({0, 1, 2});
        builder.create_triangle({1, 0, 3});
        builder.create_triangle({0, 1, 4});
        builder.create_triangle({2, 1, 5});
        builder.compute_polygon_adjacencies();
        for (index_t t = 0; t < 3; ++t)
        {
            EXPECT_EQ(adjacent(*surface, t, 0), absl::nullopt) << t;
        }
        EXPECT_EQ(adjacent(*surface, 0, 1), 3u);
        EXPECT_EQ(adjacent(*surface, 3, 0), 0u);
    }

    TEST(TriangulatedSurfaceBuilder, RejectsBadIdsAndChangesNothing)
    {
        auto surface = TriangulatedSurface<3>::create();
        TriangulatedSurfaceBuilder<3> builder{*surface};
        builder.create_vertices(3);
        builder.create_triangle({0, 1, 2});
        expect_error_naming([&] { builder.create_triangle({0, 1, 3}); },
                            "create_triangle");
        expect_error_naming([&] { builder.create_triangle({0, 1, 0}); },
                            "create_triangle");
        expect_error_naming([&] { builder.set_point(3, Point<3>{}); },
                            "set_point");
        expect_error_naming([&] { builder.set_polygon_adjacent({1, 0}, 0); },
                            "set_polygon_adjacent");
        expect_error_naming([&] { builder.set_polygon_adjacent({0, 3}, 0); },
                            "set_polygon_adjacent");
        expect_error_naming([&] { builder.set_polygon_adjacent({0, 0}, 1); },
                            "set_polygon_adjacent");
        expect_error_naming([&] { builder.create_vertices(NO_ID - 3); },
                            "create_vertices");
        EXPECT_EQ(surface->nb_vertices(), 3u);
        EXPECT_EQ(surface->nb_polygons(), 1u);
        EXPECT_EQ(adjacent(*surface, 0, 0), absl::nullopt);
    }

    TEST(TriangulatedSurfaceBuilder, SetsAdjacencyOnOneSideOnly)
    {
        auto strip = make_strip(2);
        TriangulatedSurfaceBuilder<3> builder{*strip};
        builder.unset_polygon_adjacent({0, 1});
        EXPECT_EQ(adjacent(*strip, 0, 1), absl::nullopt);
        EXPECT_EQ(adjacent(*strip, 1, 0), 0u);
        builder.set_polygon_adjacent({0, 2}, 1);
        EXPECT_EQ(adjacent(*strip, 0, 2), 1u);
    }

    TEST(TriangulatedSurface, TriangleRefersToCornerPoints)
    {
        const auto strip = make_strip(2);
        const auto triangle = strip->triangle(1);
        EXPECT_EQ(&triangle.vertices()[0].get(), &strip->point(2));
        EXPECT_EQ(&triangle.vertices()[1].get(), &strip->point(1));
        EXPECT_EQ(&triangle.vertices()[2].get(), &strip->point(3));
    }
}  // namespace nodara

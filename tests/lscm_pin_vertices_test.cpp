#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include <tessaplan/surface.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include "lscm_inspector.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        const double r = 1.0 / std::sqrt(2.0);

        Point<2> uv(const TriangulatedSurface<3>& surface, index_t v)
        {
            return find_attribute<Point<2>>(surface.vertex_attribute_manager(),
                                            "uv")
                ->value(v);
        }
    }  // namespace

    TEST(LSCMPinVertices, UnitSquarePinsAlongTheSecondAxisOnEqualExtents)
    {
        const auto square = testing::make_unit_square();
        LSCM lscm{*square, "uv"};
        LSCMInspector inspector{lscm};
        inspector.pin_vertices();

        EXPECT_EQ(uv(*square, 0), (Point<2>{{0, 0}}));
        EXPECT_EQ(uv(*square, 1), (Point<2>{{r, -r}}));
        EXPECT_EQ(uv(*square, 2), (Point<2>{{r + r, 0}}));
        EXPECT_EQ(uv(*square, 3), (Point<2>{{r, r}}));
        EXPECT_EQ(inspector.pinned_vertices(), (std::vector<index_t>{1, 3}));
        EXPECT_EQ(inspector.vertex_unknown(),
                  (std::vector<index_t>{0, 0, 1, 1}));
        const Eigen::Vector4d guess{0, 0, r + r, 0};
        EXPECT_EQ(inspector.free_values(), guess);
    }

    TEST(LSCMPinVertices, WideTrianglePinsAlongTheFirstAxis)
    {
        const auto triangle = testing::make_surface(
            {{0, 0, 0}, {3, 3, 0}, {0, 1, 0}}, {{0, 1, 2}});
        LSCM lscm{*triangle, "uv"};
        LSCMInspector inspector{lscm};
        inspector.pin_vertices();
        EXPECT_EQ(inspector.pinned_vertices(), (std::vector<index_t>{0, 1}));
        EXPECT_EQ(inspector.vertex_unknown()[2], 0u);
        EXPECT_EQ(inspector.free_matrix().rows(), 2);
        EXPECT_EQ(inspector.free_matrix().cols(), 2);
        EXPECT_EQ(inspector.pinned_matrix().rows(), 2);
        EXPECT_EQ(inspector.pinned_matrix().cols(), 4);
        EXPECT_EQ(inspector.free_triplet_capacity(), 12u);
    }

    TEST(LSCMPinVertices, ReferencePointUsesTheFirstLargeNormalCoordinate)
    {
        // In the plane y = 0 the normal is (0, -1, 0): x is skipped and the
        // reference point is built on y.
        const auto surface = testing::make_surface(
            {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 1, 2}});
        LSCM lscm{*surface, "uv"};
        const auto axes = LSCMInspector{lscm}.projection_axes();
        EXPECT_EQ(axes.first, (Point<3>{{r, 0, r}}));
        EXPECT_EQ(axes.second, (Point<3>{{-r, 0, r}}));
    }

    TEST(LSCMPinVertices, OriginAtTheReferencePointTakesAnotherAxis)
    {
        // Vertex 0 at (1, 1, 0) is the plane's point whose x and y are 1:
        // the axis is taken towards (2, 1, 0) instead, and a flat
        // counter-clockwise square comes out as itself.
        const auto square =
            testing::make_surface({{1, 1, 0}, {2, 1, 0}, {2, 2, 0}, {1, 2, 0}},
                                  {{0, 1, 2}, {0, 2, 3}});
        compute_LSCM_parameterization(*square, "uv");
        for (index_t v = 0; v < 4; ++v)
        {
            const auto& p = square->point(v);
            EXPECT_EQ(uv(*square, v), (Point<2>{{p[0], p[1]}})) << v;
        }
    }

    TEST(LSCMPinVertices, TiesKeepTheLowestVertexId)
    {
        // With vertex 0 at (2, 1, 0) the first axis is (-1, 0, 0): vertices
        // 1 and 2 share the smallest first coordinate, whichever of the two
        // positions each takes.
        for (const bool swap : {false, true})
        {
            std::array<double, 3> p1{5, 0, 0};
            std::array<double, 3> p2{5, 2, 0};
            std::vector<std::array<index_t, 3>> triangles{
                {1, 2, 0}, {0, 2, 3}, {0, 3, 1}};
            if (swap)
            {
                std::swap(p1, p2);
                triangles = {{2, 1, 0}, {0, 1, 3}, {0, 3, 2}};
            }
            const auto surface = testing::make_surface(
                {{2, 1, 0}, p1, p2, {-3, 1, 0}}, triangles);
            LSCM lscm{*surface, "uv"};
            LSCMInspector inspector{lscm};
            EXPECT_EQ(inspector.projection_axes().first,
                      (Point<3>{{-1, 0, 0}}));
            inspector.pin_vertices();
            EXPECT_EQ(inspector.pinned_vertices(), (std::vector<index_t>{1, 3}))
                << swap;
        }
    }

    TEST(LSCMPinVertices, RefusesToPinOneVertexTwice)
    {
        const auto square = testing::make_unit_square();
        LSCM lscm{*square, "uv"};
        LSCMInspector inspector{lscm};
        EXPECT_THROW(inspector.project_vertices(Vector<3>{}, Vector<3>{}),
                     VelmoraException);
    }

    TEST(LSCMPinVertices, SurfaceWithoutTrianglesHasNoMeanPlane)
    {
        const auto surface =
            testing::make_surface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {});
        LSCM lscm{*surface, "uv"};
        try
        {
            lscm.solve();
            FAIL();
        }
        catch (const VelmoraException& error)
        {
            EXPECT_STREQ(error.what(),
                         "[LSCM::pin_vertices] Cannot find a mean plane: the "
                         "surface has no triangle of non-zero area");
        }
        // Nothing was written before the failure.
        EXPECT_EQ(uv(*surface, 1), Point<2>{});
    }

    TEST(LSCMPinVertices, ExplainsWhyThereIsNoMeanPlane)
    {
        const auto message = [](const testing::Points& points,
                                const testing::Triangles& triangles)
        {
            const auto surface = testing::make_surface(points, triangles);
            return testing::message_of(
                [&] { compute_LSCM_parameterization(*surface, "uv"); });
        };
        const std::string no_area =
            "[LSCM::pin_vertices] Cannot find a mean plane: the surface has "
            "no triangle of non-zero area";
        EXPECT_EQ(message({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 1, 2}}),
                  no_area);
        EXPECT_EQ(message({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}}, {{0, 1, 2}}),
                  no_area);
        EXPECT_EQ(message({{0, 0, 0}, {1, 0, 0}}, {}), no_area);
        // A closed octahedron: its oriented normals cancel out.
        EXPECT_EQ(
            message(testing::octahedron_points(),
                    testing::octahedron_triangles()),
            "[LSCM::pin_vertices] Cannot find a mean plane: the normals of "
            "the triangles cancel out, as on a closed surface, which cannot "
            "be flattened without cuts");
    }
}  // namespace nodara

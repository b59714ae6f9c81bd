// The checked flattening that the command line and Python use: triangles
// left out of the solve, collapsed pieces and failed solves blamed on a
// piece.

#include <tessaplan/surface_flattening.h>

#include <gtest/gtest.h>

#include <tessaplan/lscm.h>

#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::add_patch;
        using testing::make_surface;
        using testing::Points;
        using testing::Triangles;

        void expect_same_map(const std::vector<Point<2>>& expected,
                             const std::vector<Point<2>>& actual)
        {
            ASSERT_EQ(expected.size(), actual.size());
            for (std::size_t v = 0; v < expected.size(); ++v)
            {
                EXPECT_EQ(expected[v], actual[v]) << "vertex " << v;
            }
        }

        // A closed, irregular tetrahedron moved by `shift` along x.
        void add_tetrahedron(Points& points, Triangles& triangles, double shift)
        {
            const auto v = static_cast<index_t>(points.size());
            points.push_back({shift, 0.0, 0.0});
            points.push_back({shift + 1.0, 0.1, 0.0});
            points.push_back({shift + 0.3, 0.9, 0.2});
            points.push_back({shift + 0.4, 0.3, 0.8});
            triangles.push_back({v, v + 2, v + 1});
            triangles.push_back({v, v + 1, v + 3});
            triangles.push_back({v + 1, v + 2, v + 3});
            triangles.push_back({v + 2, v, v + 3});
        }
    }  // namespace

    TEST(SurfaceFlattening, WithoutLeftOutTrianglesTheMapIsTheLibrarys)
    {
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 6, 0.0);
        add_patch(points, triangles, 3, 2.0);
        const auto surface = make_surface(points, triangles);
        const auto flattening = flatten_surface(*surface);
        EXPECT_FALSE(flattening.selection.leaves_out_any());
        EXPECT_EQ(flattening.reduced_surface, nullptr);
        EXPECT_EQ(&flattening.solved_surface(*surface), surface.get());
        expect_same_map(compute_LSCM_map(*surface), flattening.map);
        EXPECT_EQ(flattening.summary.pieces.size(), 2u);
        EXPECT_EQ(flattening.distortions.conformal.size(), triangles.size());
    }

    TEST(SurfaceFlattening, ACopiedFaceIsLeftOutAndChangesNothing)
    {
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 5, 0.0);
        const auto clean = make_surface(points, triangles);
        // A double-sided face and a repeat in the same winding, in the
        // middle of the patch, where they make three triangles per edge.
        const auto face = triangles[24];
        triangles.push_back({face[0], face[2], face[1]});
        triangles.push_back(triangles[13]);
        const auto doubled = make_surface(points, triangles);

        const auto flattening = flatten_surface(*doubled);
        EXPECT_EQ(flattening.selection.nb_duplicates, 2u);
        EXPECT_EQ(flattening.selection.nb_repeated_corners, 0u);
        EXPECT_TRUE(flattening.selection.left_out[50]);
        EXPECT_TRUE(flattening.selection.left_out[51]);
        EXPECT_FALSE(flattening.selection.left_out[24]);
        EXPECT_EQ(flattening.summary.pieces.size(), 1u);
        expect_same_map(compute_LSCM_map(*clean), flattening.map);
    }

    TEST(SurfaceFlattening, ARepeatedCornerNoLongerSinksTheModel)
    {
        // A patch and a quad whose fourth corner repeats the first, its
        // corners split off the patch (as files with per-face vertices
        // have them): one triangle of zero area whose vertex 3 no other
        // triangle uses.
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 6, 0.0);
        const auto quad = static_cast<index_t>(points.size());
        points.push_back(points[8]);
        points.push_back(points[9]);
        points.push_back(points[16]);
        points.push_back(points[8]);
        triangles.push_back({quad, quad + 1, quad + 2});
        triangles.push_back({quad, quad + 2, quad + 3});
        const auto surface = make_surface(points, triangles);
        EXPECT_THROW(compute_LSCM_map(*surface), VelmoraException);

        const auto flattening = flatten_surface(*surface);
        EXPECT_EQ(flattening.selection.nb_repeated_corners, 1u);
        EXPECT_EQ(flattening.selection.solved.size(), triangles.size() - 1);
        ASSERT_NE(flattening.reduced_surface, nullptr);
        EXPECT_EQ(flattening.reduced_surface->nb_vertices(), points.size());
        for (const auto& point : flattening.map)
        {
            EXPECT_TRUE(point.is_finite());
        }
        // The vertex only the left-out triangle uses lies where its twin
        // at the same position does, as if they had been joined.
        EXPECT_EQ(flattening.map[quad + 3], flattening.map[quad]);
        EXPECT_EQ(flattening.summary.nb_collapsed_triangles, 0u);
    }

    TEST(SurfaceFlattening, AClosedPieceIsAnErrorNamingIt)
    {
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 4, 0.0);
        add_tetrahedron(points, triangles, 3.0);
        const auto surface = make_surface(points, triangles);
        try
        {
            flatten_surface(*surface);
            FAIL() << "no error";
        }
        catch (const PieceFlatteningError& error)
        {
            EXPECT_TRUE(error.closed());
            EXPECT_EQ(error.piece(), 1u);
            EXPECT_GE(error.triangle(), 32u);
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("[flatten_surface] ", 0), 0u) << message;
            EXPECT_NE(message.find("piece 1 of 2 (4 triangles, among them "
                                   "triangle 32)"),
                      std::string::npos)
                << message;
            EXPECT_NE(message.find("closed"), std::string::npos) << message;
        }
    }

    TEST(SurfaceFlattening, AClosedSurfaceAloneIsBlamedOnItsPiece)
    {
        // An octahedron: its normals cancel out, so the solve finds no
        // mean plane; the piece to blame is the closed one.
        const auto surface = make_surface(testing::octahedron_points(),
                                          testing::octahedron_triangles());
        try
        {
            flatten_surface(*surface);
            FAIL() << "no error";
        }
        catch (const PieceFlatteningError& error)
        {
            EXPECT_TRUE(error.closed());
            const std::string message = error.what();
            EXPECT_NE(message.find("Cannot flatten piece 0 of 1"),
                      std::string::npos)
                << message;
            EXPECT_NE(message.find("(["), std::string::npos) << message;
        }
    }

    TEST(SurfaceFlattening, LeftOutTrianglesAreNumberedAsInTheInput)
    {
        // A duplicate first, so that the solved surface renumbers the
        // tetrahedron's triangles; the error names them as the input does.
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 2, 0.0);
        triangles.insert(triangles.begin(), triangles[0]);
        add_tetrahedron(points, triangles, 3.0);
        const auto surface = make_surface(points, triangles);
        try
        {
            flatten_surface(*surface);
            FAIL() << "no error";
        }
        catch (const PieceFlatteningError& error)
        {
            EXPECT_EQ(error.triangle(), 9u) << error.what();
            EXPECT_NE(std::string{error.what()}.find("triangle 9)"),
                      std::string::npos)
                << error.what();
        }
    }
}  // namespace nodara

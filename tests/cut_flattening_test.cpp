#include <tessaplan/cut_flattening.h>

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include <velmora/geometry/triangle.h>

#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::make_surface;
        using testing::message_of;
        using testing::pi;
        using testing::Points;
        using testing::Triangles;

        // A tube of radius 1 and height 2, n columns round and 4 rows up:
        // closed round, open at both ends. Vertex j * n + i.
        std::unique_ptr<TriangulatedSurface<3>> tube(index_t n)
        {
            Points points;
            Triangles triangles;
            testing::add_tube(points, triangles, n, 4);
            return make_surface(points, triangles);
        }

        // The largest relative difference between an edge's length in the
        // corner map and on the surface.
        double worst_length_error(const TriangulatedSurface<3>& surface,
                                  const CornerMap& corners)
        {
            double worst = 0;
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (local_index_t k = 0; k < 3; ++k)
                {
                    const auto next = static_cast<local_index_t>((k + 1) % 3);
                    const double length =
                        Vector<3>{
                            surface.point(surface.polygon_vertex({t, k})),
                            surface.point(surface.polygon_vertex({t, next}))}
                            .length();
                    const double image =
                        Vector<2>{corners[t][k], corners[t][next]}.length();
                    worst = std::max(worst, std::abs(image - length) / length);
                }
            }
            return worst;
        }

        FlattenOptions true_size()
        {
            FlattenOptions options;
            options.scale = FlatteningScale::area;
            return options;
        }
    }  // namespace

    TEST(CutFlattening, ATubeCutAlongOneLineUnrollsIntoARectangle)
    {
        const index_t n = 24;
        const auto surface = tube(n);
        std::vector<std::array<index_t, 2>> line;
        for (index_t j = 0; j < 4; ++j)
        {
            line.push_back({j * n, (j + 1) * n});
        }
        const auto result = flatten_cut_surface(*surface, line, true_size());
        // Each vertex of the line gets a second copy.
        EXPECT_EQ(result.cut.surface->nb_vertices(),
                  surface->nb_vertices() + 5);
        EXPECT_EQ(result.flattening.summary.nb_flipped_triangles, 0u);
        EXPECT_LT(worst_length_error(*surface, result.corners), 1e-9);
        // Its corners span n chords by 2.
        double width = 0;
        double height = 0;
        for (const auto& triangle : result.corners)
        {
            for (const auto& a : triangle)
            {
                for (const auto& b : result.corners.front())
                {
                    width = std::max(width, Vector<2>{a, b}.length());
                }
            }
        }
        const double chord = 2 * std::sin(pi / n);
        height = 2.0;
        EXPECT_NEAR(width, std::hypot(n * chord, height), 1e-7);
        // Uncut, the closed tube collapses.
        EXPECT_THROW(flatten_cut_surface(*surface, {}, FlattenOptions{}),
                     PieceFlatteningError);
    }

    TEST(CutFlattening, ACubeCutAlongATreeUnfoldsWithoutFold)
    {
        const auto cube = make_surface({{0, 0, 0},
                                        {1, 0, 0},
                                        {1, 1, 0},
                                        {0, 1, 0},
                                        {0, 0, 1},
                                        {1, 0, 1},
                                        {1, 1, 1},
                                        {0, 1, 1}},
                                       {{0, 2, 1},
                                        {0, 3, 2},
                                        {4, 5, 6},
                                        {4, 6, 7},
                                        {0, 1, 5},
                                        {0, 5, 4},
                                        {1, 2, 6},
                                        {1, 6, 5},
                                        {2, 3, 7},
                                        {2, 7, 6},
                                        {3, 0, 4},
                                        {3, 4, 7}});
        // The four upright edges and three of the top: a spanning tree of
        // the corners, which opens the cube into a disc.
        const std::vector<std::array<index_t, 2>> tree{
            {0, 4}, {1, 5}, {2, 6}, {3, 7}, {4, 5}, {5, 6}, {6, 7}};
        const auto result = flatten_cut_surface(*cube, tree, true_size());
        EXPECT_EQ(result.flattening.summary.nb_flipped_triangles, 0u);
        EXPECT_EQ(result.flattening.summary.pieces.size(), 1u);
        EXPECT_FALSE(result.flattening.summary.pieces[0].closed());
        // Flat everywhere but at the corners, which the cuts reach: the
        // net keeps every length.
        EXPECT_LT(worst_length_error(*cube, result.corners), 1e-9);
    }

    TEST(CutFlattening, ASlitOpensOnlyBetweenItsEnds)
    {
        Points points;
        Triangles triangles;
        testing::add_patch(points, triangles, 4, 0);
        const auto patch = make_surface(points, triangles);
        // Along the middle row, from the border (vertex 10) to the inside
        // (vertex 12): vertices 10 and 11 split, 12 does not.
        const std::vector<std::array<index_t, 2>> slit{{10, 11}, {12, 11}};
        const auto cut = cut_along_edges(*patch, slit);
        EXPECT_EQ(cut.surface->nb_vertices(), patch->nb_vertices() + 2);
        std::vector<int> copies(patch->nb_vertices(), 0);
        for (const auto source : cut.source)
        {
            ++copies[source];
        }
        EXPECT_EQ(copies[10], 2);
        EXPECT_EQ(copies[11], 2);
        EXPECT_EQ(copies[12], 1);
        const auto result = flatten_cut_surface(*patch, slit, {});
        EXPECT_EQ(result.flattening.summary.nb_flipped_triangles, 0u);
    }

    TEST(CutFlattening, PinsNameTheSourceVertices)
    {
        const index_t n = 12;
        const auto surface = tube(n);
        const std::vector<std::array<index_t, 2>> line{
            {0, n}, {n, 2 * n}, {2 * n, 3 * n}, {3 * n, 4 * n}};
        FlattenOptions options;
        options.pins = {{0, Point<2>{{0.0, 0.0}}},
                        {4 * n, Point<2>{{0.0, 2.0}}}};
        const auto result = flatten_cut_surface(*surface, line, options);
        // Vertex 0 is corner 0 of triangle 0, the lowest that uses it.
        EXPECT_EQ(result.corners[0][0], (Point<2>{{0.0, 0.0}}));
        EXPECT_EQ(result.flattening.summary.nb_flipped_triangles, 0u);
        options.pins = {{500, Point<2>{{0.0, 0.0}}}};
        EXPECT_EQ(
            message_of([&] { flatten_cut_surface(*surface, line, options); }),
            "[solve_LSCM] Pin 0 names vertex 500, beyond the surface's "
            "60 vertices");
    }

    TEST(CutFlattening, RefusesSeamsThatAreNotEdges)
    {
        const auto surface = tube(6);
        const auto message = [&](std::array<index_t, 2> seam) {
            return message_of(
                [&] { cut_along_edges(*surface, std::vector{seam}); });
        };
        EXPECT_EQ(message({0, 40}),
                  "[cut_along_edges] Seam 0 (0, 40) names a vertex beyond "
                  "the surface's 30");
        EXPECT_EQ(message({3, 3}),
                  "[cut_along_edges] Seam 0 (3, 3) is not an edge of the "
                  "surface");
        EXPECT_EQ(message({0, 3}),
                  "[cut_along_edges] Seam 0 (0, 3) is not an edge of the "
                  "surface");
        EXPECT_EQ(message({6, 0}), "no exception");
    }
}  // namespace nodara

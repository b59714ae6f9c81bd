#include <cmath>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include <tessaplan/surface.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::message_of;

        using testing::add_patch;
        using testing::Points;
        using testing::Triangles;

        std::vector<Point<2>> flatten(const TriangulatedSurface<3>& surface)
        {
            compute_LSCM_parameterization(surface, "uv");
            const auto uv = find_attribute<Point<2>>(
                surface.vertex_attribute_manager(), "uv");
            std::vector<Point<2>> map;
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                map.push_back(uv->value(v));
            }
            return map;
        }

        double area_3d(const Points& points, const std::array<index_t, 3>& t)
        {
            const Vector<3> e1{Point<3>{points[t[0]]}, Point<3>{points[t[1]]}};
            const Vector<3> e2{Point<3>{points[t[0]]}, Point<3>{points[t[2]]}};
            return 0.5 * cross(e1, e2).length();
        }

        // Flattened area over 3D area of triangles [first, last).
        double area_ratio(const Points& points, const Triangles& triangles,
                          const std::vector<Point<2>>& map, std::size_t first,
                          std::size_t last)
        {
            double flat = 0;
            double original = 0;
            for (auto t = first; t < last; ++t)
            {
                flat += std::abs(testing::signed_area(map, triangles[t]));
                original += area_3d(points, triangles[t]);
            }
            return flat / original;
        }

        // A curved fan of `n` triangles around `centre` (already a point).
        void add_fan(Points& points, Triangles& triangles, index_t centre,
                     double angle, index_t n)
        {
            const auto first = static_cast<index_t>(points.size());
            const auto c = points[centre];
            for (index_t k = 0; k <= n; ++k)
            {
                const double a = angle + 1.2 * k / n;
                points.push_back({c[0] + std::cos(a), c[1] + std::sin(a),
                                  c[2] + 0.5 * std::sin(2.0 * a)});
            }
            for (index_t k = 0; k < n; ++k)
            {
                triangles.push_back({centre, first + k, first + k + 1});
            }
        }
    }  // namespace

    TEST(LSCMPieces, EveryCurvedPieceKeepsItsSize)
    {
        // Two curved patches side by side, then 47 small ones: every piece
        // gets its own pins, so none collapses onto a point.
        for (const index_t nb_pieces : {2u, 47u})
        {
            Points points;
            Triangles triangles;
            for (index_t p = 0; p < nb_pieces; ++p)
            {
                add_patch(points, triangles, nb_pieces == 2 ? 12 : 3, 1.5 * p);
            }
            const auto surface = testing::make_surface(points, triangles);
            const auto map = flatten(*surface);
            const auto per_piece = triangles.size() / nb_pieces;
            for (index_t p = 0; p < nb_pieces; ++p)
            {
                const auto ratio = area_ratio(
                    points, triangles, map, p * per_piece, (p + 1) * per_piece);
                EXPECT_GT(ratio, 0.25) << nb_pieces << " pieces, piece " << p;
                EXPECT_LT(ratio, 4.0) << nb_pieces << " pieces, piece " << p;
            }
        }
    }

    TEST(LSCMPieces, BowTieFlattensBothFans)
    {
        // Two curved fans that share only their centre vertex.
        Points points{{0, 0, 0}};
        Triangles triangles;
        add_fan(points, triangles, 0, 0.0, 6);
        add_fan(points, triangles, 0, 3.0, 6);
        const auto surface = testing::make_surface(points, triangles);
        const auto map = flatten(*surface);
        for (const std::size_t first : {0u, 6u})
        {
            const auto ratio =
                area_ratio(points, triangles, map, first, first + 6);
            EXPECT_GT(ratio, 0.25) << first;
            EXPECT_LT(ratio, 4.0) << first;
        }
    }

    TEST(LSCMPieces, SharedVertexIsNotPulledTwoWays)
    {
        // Two thin triangles that meet at vertex 0: the second piece is
        // placed through the shared vertex plus one pin of its own, so each
        // triangle keeps its shape (every side scaled alike).
        const Points points{{1.5, 1.5, 0},
                            {5, 1117, 1},
                            {111, 0, 1},
                            {0.5, 1.8, 0},
                            {269, 7, 685}};
        const Triangles triangles{{0, 1, 2}, {0, 3, 4}};
        const auto map = flatten(*testing::make_surface(points, triangles));
        for (const auto& t : triangles)
        {
            std::array<double, 3> scale{};
            for (int k = 0; k < 3; ++k)
            {
                const auto a = t[k];
                const auto b = t[(k + 1) % 3];
                scale[k] = Vector<2>{map[a], map[b]}.length() /
                           Vector<3>{Point<3>{points[a]}, Point<3>{points[b]}}
                               .length();
            }
            EXPECT_GT(scale[0], 0.1);
            EXPECT_NEAR(scale[1], scale[0], 1e-9 * scale[0]);
            EXPECT_NEAR(scale[2], scale[0], 1e-9 * scale[0]);
        }
    }

    TEST(LSCMPieces, MixedWindingFlattensOntoItself)
    {
        // A flat grid whose triangles turn either way, the first one
        // included: after orientation the map is the plane itself, up to a
        // rigid motion (or a mirror): every edge keeps its length and no
        // triangle folds.
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 6, 0.0);
        for (auto& p : points)
        {
            p[2] = 0.0;
        }
        for (std::size_t t = 0; t < triangles.size(); t += 3)
        {
            std::swap(triangles[t][1], triangles[t][2]);
        }
        std::swap(triangles[1][1], triangles[1][2]);
        const auto surface = testing::make_surface(points, triangles);
        const auto map = flatten(*surface);
        double sense = 0;
        for (std::size_t t = 0; t < triangles.size(); ++t)
        {
            const auto& corners = triangles[t];
            for (int k = 0; k < 3; ++k)
            {
                const auto a = corners[k];
                const auto b = corners[(k + 1) % 3];
                const Vector<3> edge{Point<3>{points[a]}, Point<3>{points[b]}};
                const Vector<2> image{map[a], map[b]};
                EXPECT_NEAR(image.length(), edge.length(), 1e-9) << t;
            }
            // Compare each triangle's turn with its 3D turn (all of z = 0).
            const double turn_3d =
                cross(Vector<3>{Point<3>{points[corners[0]]},
                                Point<3>{points[corners[1]]}},
                      Vector<3>{Point<3>{points[corners[0]]},
                                Point<3>{points[corners[2]]}})[2];
            const double relative =
                testing::signed_area(map, corners) * turn_3d;
            EXPECT_NE(relative, 0.0);
            if (t == 0)
            {
                sense = relative;
            }
            EXPECT_GT(relative * sense, 0.0) << t;
        }
    }

    TEST(LSCMPieces, RefusesPiecesWithoutTwoPinsOrASense)
    {
        // A flat square and a second piece standing on one point of the
        // plane: its vertices project onto one point.
        const auto needle =
            testing::make_surface({{0, 0, 0},
                                   {1, 0, 0},
                                   {1, 1, 0},
                                   {0, 1, 0},
                                   {5, 5, 0},
                                   {5, 5, 1},
                                   {5, 5, 3}},
                                  {{0, 1, 2}, {0, 2, 3}, {4, 5, 6}});
        EXPECT_EQ(message_of([&] { flatten(*needle); }),
                  "[LSCM::pin_vertices] Cannot pin two distinct vertices of "
                  "piece 1 (the piece of triangle 2): all its vertices project "
                  "onto one point or have non-finite coordinates");

        // A Moebius strip of 5 quads beside a good triangle.
        Points points;
        Triangles triangles{{10, 11, 12}};
        const index_t n = 5;
        for (index_t i = 0; i < n; ++i)
        {
            const double a = 2 * M_PI * i / n;
            const double w = 0.3 * std::cos(a / 2);
            const double h = 0.3 * std::sin(a / 2);
            points.push_back({(1 + w) * std::cos(a), (1 + w) * std::sin(a), h});
        }
        for (index_t i = 0; i < n; ++i)
        {
            const double a = 2 * M_PI * i / n;
            const double w = -0.3 * std::cos(a / 2);
            const double h = -0.3 * std::sin(a / 2);
            points.push_back({(1 + w) * std::cos(a), (1 + w) * std::sin(a), h});
        }
        points.insert(points.end(), {{5, 0, 0}, {6, 0, 0}, {5, 1, 0}});
        for (index_t i = 0; i + 1 < n; ++i)
        {
            triangles.push_back({i, n + i, i + 1});
            triangles.push_back({i + 1, n + i, n + i + 1});
        }
        triangles.push_back({n - 1, 2 * n - 1, n});
        triangles.push_back({n, 2 * n - 1, 0});
        const auto strip = testing::make_surface(points, triangles);
        EXPECT_EQ(message_of([&] { flatten(*strip); }),
                  "[LSCM::LSCM] Cannot orient piece 1 (the piece of triangle "
                  "1): its triangles cannot all turn the same way, as on a "
                  "Moebius strip");
    }

    TEST(LSCMPieces, PieceTurnedOverAgreesWithTheOthers)
    {
        // The same curved patch twice, the second wound the other way: it
        // is turned over as a whole, so its map is the first one's moved.
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 6, 0.0);
        add_patch(points, triangles, 6, 2.0);
        const auto half = triangles.size() / 2;
        for (auto t = half; t < triangles.size(); ++t)
        {
            std::swap(triangles[t][1], triangles[t][2]);
        }
        const auto surface = testing::make_surface(points, triangles);
        const auto map = flatten(*surface);
        for (std::size_t t = 0; t < half; ++t)
        {
            const auto a = testing::signed_area(map, triangles[t]);
            const auto b = testing::signed_area(map, triangles[t + half]);
            EXPECT_NEAR(a, -b, 1e-9 * std::abs(a)) << t;
        }
    }

    TEST(LSCMPieces, ConcurrentCallsAgreeWithSerialOnes)
    {
        // Two threads flatten two different surfaces at once, many times;
        // each must get what a call on its own gets.
        Points points_a;
        Points points_b;
        Triangles triangles_a;
        Triangles triangles_b;
        add_patch(points_a, triangles_a, 10, 0.0);
        add_patch(points_b, triangles_b, 4, 0.0);
        add_patch(points_b, triangles_b, 4, 2.0);
        const auto a = testing::make_surface(points_a, triangles_a);
        const auto b = testing::make_surface(points_b, triangles_b);
        const auto expected_a = flatten(*a->clone());
        const auto expected_b = flatten(*b->clone());
        std::vector<Point<2>> got_a;
        std::vector<Point<2>> got_b;
        std::thread first{[&]
                          {
                              for (int i = 0; i < 20; ++i)
                              {
                                  got_a = flatten(*a);
                              }
                          }};
        std::thread second{[&]
                           {
                               for (int i = 0; i < 20; ++i)
                               {
                                   got_b = flatten(*b);
                               }
                           }};
        first.join();
        second.join();
        EXPECT_EQ(got_a, expected_a);
        EXPECT_EQ(got_b, expected_b);
    }
}  // namespace nodara

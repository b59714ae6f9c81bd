#include <tessaplan/piece_packing.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/polygon_components.h>

#include <tessaplan/attribute/attribute_lookup.h>
#include <tessaplan/attribute/variable_attribute.h>
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        struct Patches
        {
            testing::Points points;
            testing::Triangles triangles;
            std::vector<Point<2>> uv;
        };

        // `count` grid patches of 2 to 5 cells a side, each mapped at a
        // random size and aspect with its lower corner near the origin, so
        // that they all overlap before packing.
        Patches overlapping_patches(index_t count)
        {
            std::mt19937 random{7};
            std::uniform_real_distribution<double> size{0.2, 3.0};
            std::uniform_int_distribution<index_t> cells{2, 5};
            Patches patches;
            for (index_t k = 0; k < count; ++k)
            {
                const auto first = patches.points.size();
                testing::add_patch(patches.points, patches.triangles,
                                   cells(random), 2.0 * k);
                const double sx = size(random);
                const double sy = size(random);
                for (auto v = first; v < patches.points.size(); ++v)
                {
                    const auto& p = patches.points[v];
                    patches.uv.push_back(
                        Point<2>{{(p[0] - 2.0 * k) * sx + 0.1, p[1] * sy}});
                }
            }
            return patches;
        }

        struct Box
        {
            double low[2]{std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::infinity()};
            double high[2]{-std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()};
        };

        std::vector<Box> piece_boxes(const TriangulatedSurface<3>& surface,
                                     const std::vector<Point<2>>& uv)
        {
            const auto pieces = compute_polygon_components(surface);
            std::vector<Box> boxes(pieces.nb_components);
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                auto& box = boxes[pieces.component[t]];
                for (const auto v : surface.polygon_vertices(t))
                {
                    for (int i = 0; i < 2; ++i)
                    {
                        box.low[i] = std::min(box.low[i], uv[v][i]);
                        box.high[i] = std::max(box.high[i], uv[v][i]);
                    }
                }
            }
            return boxes;
        }

        bool overlap(const Box& a, const Box& b)
        {
            return a.low[0] < b.high[0] && b.low[0] < a.high[0] &&
                   a.low[1] < b.high[1] && b.low[1] < a.high[1];
        }

        double distance(const Point<2>& a, const Point<2>& b)
        {
            return std::hypot(a[0] - b[0], a[1] - b[1]);
        }

        // Whether every triangle keeps its edge lengths and its turning
        // sense: each piece moved by a rotation and a translation only.
        void expect_rigid_per_triangle(const testing::Triangles& triangles,
                                       const std::vector<Point<2>>& before,
                                       const std::vector<Point<2>>& after)
        {
            for (const auto& t : triangles)
            {
                for (int e = 0; e < 3; ++e)
                {
                    const auto a = t[e];
                    const auto b = t[(e + 1) % 3];
                    ASSERT_NEAR(distance(after[a], after[b]),
                                distance(before[a], before[b]), 1e-12);
                }
                ASSERT_NEAR(testing::signed_area(after, t),
                            testing::signed_area(before, t), 1e-12);
            }
        }
    }  // namespace

    TEST(PiecePacking, FortySevenPiecesPackTightlyWithoutOverlap)
    {
        const auto patches = overlapping_patches(47);
        const auto surface =
            testing::make_surface(patches.points, patches.triangles);
        const auto packing = pack_pieces(*surface, patches.uv);
        EXPECT_EQ(packing.nb_units, 47u);
        ASSERT_EQ(packing.uv.size(), patches.uv.size());
        expect_rigid_per_triangle(patches.triangles, patches.uv, packing.uv);

        const auto boxes = piece_boxes(*surface, packing.uv);
        double box_area = 0.0;
        double side = 0.0;
        for (std::size_t a = 0; a < boxes.size(); ++a)
        {
            for (std::size_t b = a + 1; b < boxes.size(); ++b)
            {
                EXPECT_FALSE(overlap(boxes[a], boxes[b])) << a << " " << b;
            }
            EXPECT_GE(boxes[a].low[0], 0.0);
            EXPECT_GE(boxes[a].low[1], 0.0);
            box_area += (boxes[a].high[0] - boxes[a].low[0]) *
                        (boxes[a].high[1] - boxes[a].low[1]);
            side = std::max({side, boxes[a].high[0], boxes[a].high[1]});
        }
        // The reported fill is the boxes' share of the bounding square.
        EXPECT_NEAR(packing.fill, box_area / (side * side), 1e-9);
        EXPECT_GE(packing.fill, 0.6);
    }

    TEST(PiecePacking, PiecesSharingAVertexMoveAsOneUnit)
    {
        // A bow-tie (two triangles meeting at vertex 0) and a lone triangle,
        // all mapped onto the same spot, plus vertex 7 that no triangle uses.
        const auto surface =
            testing::make_surface({{0, 0, 0},
                                   {1, 0, 0},
                                   {0, 1, 0},
                                   {-1, 0, 0},
                                   {0, -1, 0},
                                   {5, 0, 0},
                                   {6, 0, 0},
                                   {9, 9, 9},
                                   {5, 1, 0}},
                                  {{0, 1, 2}, {0, 3, 4}, {5, 6, 8}});
        const std::vector<Point<2>> uv{
            Point<2>{{0, 0}},  Point<2>{{1, 0}},   Point<2>{{0, 1}},
            Point<2>{{-1, 0}}, Point<2>{{0, -1}},  Point<2>{{0, 0}},
            Point<2>{{1, 0}},  Point<2>{{50, 50}}, Point<2>{{0, 1}}};
        const auto packing = pack_pieces(*surface, uv);
        EXPECT_EQ(packing.nb_units, 2u);
        // Both wings of the bow-tie keep their places relative to each
        // other: the distance between their far corners is kept.
        EXPECT_NEAR(distance(packing.uv[1], packing.uv[3]), 2.0, 1e-12);
        EXPECT_NEAR(distance(packing.uv[2], packing.uv[4]), 2.0, 1e-12);
        expect_rigid_per_triangle({{0, 1, 2}, {0, 3, 4}, {5, 6, 8}}, uv,
                                  packing.uv);
        const auto boxes = piece_boxes(*surface, packing.uv);
        EXPECT_FALSE(overlap(boxes[0], boxes[2]));
        EXPECT_FALSE(overlap(boxes[1], boxes[2]));
        EXPECT_EQ(packing.uv[7][0], 0.0);
        EXPECT_EQ(packing.uv[7][1], 0.0);
    }

    TEST(PiecePacking, BadMapsAndAttributesAreRefused)
    {
        const auto surface = testing::make_unit_square();
        std::vector<Point<2>> uv{Point<2>{{0, 0}}, Point<2>{{1, 0}},
                                 Point<2>{{1, 1}}};
        EXPECT_THROW(pack_pieces(*surface, uv), VelmoraException);
        uv.push_back(Point<2>{{std::nan(""), 0.0}});
        EXPECT_THROW(pack_pieces(*surface, uv), VelmoraException);
        EXPECT_THROW(pack_parameterization_pieces(*surface, "missing"),
                     VelmoraException);
    }

    TEST(PiecePacking, AttributeIsReplacedByThePackedMap)
    {
        const auto patches = overlapping_patches(3);
        const auto surface =
            testing::make_surface(patches.points, patches.triangles);
        const auto attribute = find_or_create_attribute<VariableAttribute>(
            surface->vertex_attribute_manager(), "uv", Point<2>{},
            AttributeFlags{});
        for (index_t v = 0; v < surface->nb_vertices(); ++v)
        {
            attribute->set_value(v, patches.uv[v]);
        }
        const auto expected = pack_pieces(*surface, patches.uv);
        EXPECT_EQ(pack_parameterization_pieces(*surface, "uv"), expected.fill);
        for (index_t v = 0; v < surface->nb_vertices(); ++v)
        {
            EXPECT_EQ(attribute->value(v)[0], expected.uv[v][0]);
            EXPECT_EQ(attribute->value(v)[1], expected.uv[v][1]);
        }
    }
}  // namespace nodara

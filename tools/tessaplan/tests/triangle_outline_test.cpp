#include "writing/triangle_outline.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include <gtest/gtest.h>

namespace tessaplan
{
    namespace
    {
        std::int64_t doubled_area(const GridTriangle& t)
        {
            return std::abs(std::int64_t{t[1].x - t[0].x} * (t[2].y - t[0].y) -
                            std::int64_t{t[1].y - t[0].y} * (t[2].x - t[0].x));
        }

        // How many times the loops wind round (x, y), a point on none of
        // them.
        int winding_number(const std::vector<OutlinePart>& outline, double x,
                           double y)
        {
            int winding = 0;
            for (const auto& part : outline)
            {
                for (const auto& loop : part.loops)
                {
                    const auto& p = loop.points;
                    for (std::size_t i = 0; i < p.size(); ++i)
                    {
                        const auto& a = p[i];
                        const auto& b = p[(i + 1) % p.size()];
                        const double cross =
                            (b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y);
                        if (a.y <= y && b.y > y && cross > 0)
                        {
                            ++winding;
                        }
                        else if (a.y > y && b.y <= y && cross < 0)
                        {
                            --winding;
                        }
                    }
                }
            }
            return winding;
        }

        // An 8 x 8 grid of squares of side 10, two triangles each, their
        // corners turning either way. Colour 0 is a ring of squares round a
        // hole of colour 1; colour 2 holds two squares touching at a corner
        // and one apart; colour 3 the rest.
        std::map<int, std::vector<GridTriangle>> coloured_grid()
        {
            std::map<int, std::vector<GridTriangle>> colours;
            for (int i = 0; i < 8; ++i)
            {
                for (int j = 0; j < 8; ++j)
                {
                    const bool ring = i >= 1 && i <= 5 && j >= 1 && j <= 5;
                    const bool hole = i >= 2 && i <= 4 && j >= 2 && j <= 4;
                    const bool scattered = (i == 6 && j == 6) ||
                                           (i == 7 && j == 7) ||
                                           (i == 0 && j == 7);
                    const int colour = hole ? 1 : ring ? 0 : scattered ? 2 : 3;
                    const GridPoint a{10 * i, 10 * j};
                    const GridPoint b{10 * i + 10, 10 * j};
                    const GridPoint c{10 * i + 10, 10 * j + 10};
                    const GridPoint d{10 * i, 10 * j + 10};
                    colours[colour].push_back({a, b, c});
                    colours[colour].push_back((i + j) % 2 == 0
                                                  ? GridTriangle{a, d, c}
                                                  : GridTriangle{a, c, d});
                }
            }
            return colours;
        }

        std::int64_t total_doubled_area(const std::vector<OutlinePart>& parts)
        {
            std::int64_t area = 0;
            for (const auto& part : parts)
            {
                for (const auto& loop : part.loops)
                {
                    area += doubled_area(loop);
                }
            }
            return area;
        }
    }  // namespace

    TEST(TriangleOutline, LoopAreasAddUpToTheTrianglesOfEachColour)
    {
        for (const auto& [colour, triangles] : coloured_grid())
        {
            std::int64_t area = 0;
            for (const auto& triangle : triangles)
            {
                area += doubled_area(triangle);
            }
            EXPECT_EQ(total_doubled_area(triangle_outline(triangles)), area)
                << "colour " << colour;
        }
    }

    TEST(TriangleOutline, LoopsWindOnceRoundTheirOwnTrianglesOnly)
    {
        const auto colours = coloured_grid();
        for (const auto& [colour, triangles] : colours)
        {
            const auto outline = triangle_outline(triangles);
            for (const auto& [other, others] : colours)
            {
                for (const auto& t : others)
                {
                    const double x = (t[0].x + t[1].x + t[2].x) / 3.0;
                    const double y = (t[0].y + t[1].y + t[2].y) / 3.0;
                    EXPECT_EQ(winding_number(outline, x, y),
                              other == colour ? 1 : 0)
                        << "colour " << colour << " at " << x << ", " << y;
                }
            }
        }
    }

    TEST(TriangleOutline, ARingIsOneOuterLoopAndOneHole)
    {
        const auto outline = triangle_outline(coloured_grid()[0]);
        ASSERT_EQ(outline.size(), 1u);
        ASSERT_EQ(outline[0].loops.size(), 2u);
        EXPECT_EQ(outline[0].triangles.size(), 2u * 16);
        std::vector<std::int64_t> areas;
        for (const auto& loop : outline[0].loops)
        {
            EXPECT_TRUE(loop.closed);
            // The squares' sides in a row are one straight side.
            EXPECT_EQ(loop.points.size(), 4u);
            areas.push_back(doubled_area(loop));
        }
        std::sort(areas.begin(), areas.end());
        EXPECT_EQ(areas,
                  (std::vector<std::int64_t>{-2 * 30 * 30, 2 * 50 * 50}));
    }

    TEST(TriangleOutline, SetsJoinedThroughACornerAreOnePart)
    {
        const auto outline = triangle_outline(coloured_grid()[2]);
        ASSERT_EQ(outline.size(), 2u);
        std::vector<std::size_t> sizes{outline[0].triangles.size(),
                                       outline[1].triangles.size()};
        std::sort(sizes.begin(), sizes.end());
        EXPECT_EQ(sizes, (std::vector<std::size_t>{2, 4}));
    }

    TEST(TriangleOutline, OverlappingTrianglesWindTwiceWhereTheyOverlap)
    {
        const std::vector<GridTriangle> folded{{{{0, 0}, {20, 0}, {0, 20}}},
                                               {{{0, 0}, {0, 20}, {10, 0}}}};
        const auto outline = triangle_outline(folded);
        EXPECT_EQ(total_doubled_area(outline), 400 + 200);
        EXPECT_EQ(winding_number(outline, 2.0, 2.0), 2);
        EXPECT_EQ(winding_number(outline, 14.0, 2.0), 1);
    }

    TEST(TriangleOutline, TrianglesOfZeroAreaCoverNothing)
    {
        const std::vector<GridTriangle> repeated{{{{3, 1}, {3, 1}, {8, 2}}}};
        EXPECT_TRUE(triangle_outline(repeated).empty());
        const std::vector<GridTriangle> on_a_line{{{{0, 0}, {5, 5}, {10, 10}}}};
        const auto outline = triangle_outline(on_a_line);
        EXPECT_EQ(total_doubled_area(outline), 0);
        EXPECT_EQ(winding_number(outline, 5.0, 4.0), 0);
    }

    TEST(ChainEdges, ChainsOpenAndClosedRuns)
    {
        const std::vector<GridEdge> edges{
            {{{0, 0}, {5, 0}}},   {{{5, 0}, {10, 0}}},  {{{10, 0}, {10, 7}}},
            {{{20, 0}, {30, 0}}}, {{{30, 0}, {30, 9}}}, {{{30, 9}, {20, 0}}},
            {{{40, 0}, {40, 0}}}};
        const auto lines = chain_edges(edges);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_FALSE(lines[0].closed);
        // (5, 0) lies on the straight way from (0, 0) to (10, 0).
        EXPECT_EQ(lines[0].points,
                  (std::vector<GridPoint>{{0, 0}, {10, 0}, {10, 7}}));
        EXPECT_TRUE(lines[1].closed);
        EXPECT_EQ(lines[1].points,
                  (std::vector<GridPoint>{{20, 0}, {30, 0}, {30, 9}}));
    }
}  // namespace tessaplan

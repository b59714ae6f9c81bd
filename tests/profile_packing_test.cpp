#include <algorithm>
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include <tessaplan/atlas.h>

#include "atlas/profile_packing.h"
#include "corner_map_factory.h"
#include "packing/rectangle_packing.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using Triangle = std::array<Point<2>, 3>;

        // An L of three unit squares: (0, 0), (1, 0) and (0, 1).
        CornerMap l_shape()
        {
            return testing::cells({{0, 0}, {1, 0}, {0, 1}});
        }

        // The charts as drop_charts takes them.
        std::vector<const CornerMap*> pointers_to(
            const std::vector<CornerMap>& charts)
        {
            std::vector<const CornerMap*> pointers;
            for (const auto& chart : charts)
            {
                pointers.push_back(&chart);
            }
            return pointers;
        }

        // A fan of `n` triangles around the origin with random radii: a
        // star-shaped chart with dents.
        CornerMap random_star(std::mt19937& random, int n, double size)
        {
            std::uniform_real_distribution<double> radius{0.2 * size, size};
            const double step = 2 * std::acos(-1.0) / n;
            std::vector<Point<2>> rim;
            for (int k = 0; k < n; ++k)
            {
                const double r = radius(random);
                rim.push_back(
                    Point<2>{{r * std::cos(k * step), r * std::sin(k * step)}});
            }
            CornerMap chart;
            for (int k = 0; k < n; ++k)
            {
                chart.push_back({Point<2>{}, rim[k], rim[(k + 1) % n]});
            }
            return chart;
        }

        // The packed charts in texels, one list of triangles per chart.
        std::vector<CornerMap> placed(
            const std::vector<CornerMap>& charts,
            const std::vector<ProfilePlacement>& placements, double scale,
            int padding)
        {
            std::vector<CornerMap> result;
            for (std::size_t i = 0; i < charts.size(); ++i)
            {
                auto texels = chart_texels(
                    charts[i], placements[i].quarter_turns, scale, padding);
                for (auto& triangle : texels)
                {
                    for (auto& p : triangle)
                    {
                        p = Point<2>{
                            {p[0] + placements[i].x, p[1] + placements[i].y}};
                    }
                }
                result.push_back(std::move(texels));
            }
            return result;
        }

        double point_segment_distance(const Point<2>& p, const Point<2>& a,
                                      const Point<2>& b)
        {
            const double dx = b[0] - a[0];
            const double dy = b[1] - a[1];
            const double length = dx * dx + dy * dy;
            double t = length > 0
                           ? ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / length
                           : 0.0;
            t = std::clamp(t, 0.0, 1.0);
            return std::hypot(p[0] - a[0] - t * dx, p[1] - a[1] - t * dy);
        }

        // The distance between two triangles that do not overlap: the
        // closest corner of one to an edge of the other.
        double distance(const Triangle& s, const Triangle& t)
        {
            double nearest = HUGE_VAL;
            for (int k = 0; k < 3; ++k)
            {
                for (int e = 0; e < 3; ++e)
                {
                    nearest = std::min(
                        {nearest,
                         point_segment_distance(s[k], t[e], t[(e + 1) % 3]),
                         point_segment_distance(t[k], s[e], s[(e + 1) % 3])});
                }
            }
            return nearest;
        }

        // The packed charts as pieces of one surface with their texel
        // images as the corner map, for the exact check.
        AtlasCheck check_packing(const std::vector<CornerMap>& texels)
        {
            testing::Points points;
            testing::Triangles triangles;
            CornerMap corners;
            for (const auto& chart : texels)
            {
                for (const auto& triangle : chart)
                {
                    std::array<index_t, 3> ids{};
                    for (int k = 0; k < 3; ++k)
                    {
                        ids[k] = static_cast<index_t>(points.size());
                        points.push_back({triangle[k][0], triangle[k][1], 0.0});
                    }
                    triangles.push_back(ids);
                    corners.push_back(triangle);
                }
            }
            return check_atlas(*testing::make_surface(points, triangles),
                               corners);
        }

        // Expects the packed charts inside the square, `padding` texels from
        // its sides and from each other.
        void expect_apart(const std::vector<CornerMap>& texels, int side,
                          int padding)
        {
            double nearest = HUGE_VAL;
            for (std::size_t a = 0; a < texels.size(); ++a)
            {
                for (const auto& triangle : texels[a])
                {
                    for (const auto& p : triangle)
                    {
                        EXPECT_GE(std::min(p[0], p[1]), padding);
                        EXPECT_LE(std::max(p[0], p[1]), side - padding);
                    }
                    for (std::size_t b = a + 1; b < texels.size(); ++b)
                    {
                        for (const auto& other : texels[b])
                        {
                            nearest =
                                std::min(nearest, distance(triangle, other));
                        }
                    }
                }
            }
            EXPECT_GE(nearest, padding);
        }

        // An arch or a comb: a bar of `width` cells with legs of `legs`
        // cells hanging from every other cell, turned by `angle`.
        CornerMap comb(int width, int legs, double angle)
        {
            std::vector<std::array<double, 2>> at;
            for (int i = 0; i < width; ++i)
            {
                at.push_back({double(i), double(legs)});
                for (int k = 0; k < legs && (i % 2 == 0 || i + 1 == width); ++k)
                {
                    at.push_back({double(i), double(k)});
                }
            }
            auto chart = testing::cells(at);
            const double c = std::cos(angle);
            const double s = std::sin(angle);
            for (auto& triangle : chart)
            {
                for (auto& p : triangle)
                {
                    p = Point<2>{{c * p[0] - s * p[1], s * p[0] + c * p[1]}};
                }
            }
            return chart;
        }
    }  // namespace

    TEST(DropCharts, NestsChartsWhoseBoxesDoNotFit)
    {
        const auto l = l_shape();
        const CornerMap square(l.begin(), l.begin() + 2);
        const std::vector<CornerMap> charts{l, square};
        const double scale = 10;
        // At 10 texels per unit the boxes (their border rows and columns
        // included) are 21 and 11 texels wide: they do not fit a square of
        // 25 texels, but the unit square fits in the dent of the L.
        EXPECT_TRUE(pack_rectangles({{21, 21}, {11, 11}}, 25).empty());
        const auto placements = drop_charts({&charts[0], &charts[1]}, scale, 0,
                                            25, {DropRule::lowest});
        ASSERT_EQ(placements.size(), 2u);
        const auto texels = placed(charts, placements, scale, 0);
        EXPECT_TRUE(check_packing(texels).valid());
        // Too small a square is refused, not overfilled.
        EXPECT_TRUE(drop_charts({&charts[0], &charts[1]}, scale, 0, 21,
                                {DropRule::lowest})
                        .empty());
    }

    TEST(DropCharts, KeepsThePaddingBetweenChartsAndFromTheSides)
    {
        std::mt19937 random{7};
        std::vector<CornerMap> charts;
        for (int i = 0; i < 40; ++i)
        {
            charts.push_back(random_star(random, 5 + i % 9, 1.0 + i % 4));
        }
        const auto pointers = pointers_to(charts);
        const int side = 256;
        for (const auto rule : {DropRule::lowest, DropRule::least_waste})
        {
            for (const int padding : {0, 1, 3})
            {
                SCOPED_TRACE(padding);
                const double scale = 3.7;
                const auto placements =
                    drop_charts(pointers, scale, padding, side, {rule});
                ASSERT_EQ(placements.size(), charts.size());
                const auto texels = placed(charts, placements, scale, padding);
                EXPECT_TRUE(check_packing(texels).valid());
                expect_apart(texels, side, padding);
            }
        }
    }

    TEST(DropCharts, NestsChartsUnderOverhangs)
    {
        // An arch of 5 by 5 cells whose legs are one cell wide, unturned:
        // at 10 texels per unit it fills a square of 52 texels but for the
        // room under its top, where the unit square fits.
        std::vector<std::array<double, 2>> arch;
        for (int k = 0; k < 4; ++k)
        {
            arch.push_back({0.0, double(k)});
            arch.push_back({4.0, double(k)});
        }
        for (int k = 0; k < 5; ++k)
        {
            arch.push_back({double(k), 4.0});
        }
        const std::vector<CornerMap> charts{testing::cells(arch),
                                            testing::cells({{0, 0}})};
        const double scale = 10;
        for (const auto rule : {DropRule::lowest, DropRule::least_waste})
        {
            const auto placements = drop_charts({&charts[0], &charts[1]}, scale,
                                                0, 52, {rule, false});
            ASSERT_EQ(placements.size(), 2u);
            const auto texels = placed(charts, placements, scale, 0);
            EXPECT_TRUE(check_packing(texels).valid());
            for (const auto& triangle : texels[1])
            {
                for (const auto& p : triangle)
                {
                    EXPECT_LE(std::max(p[0], p[1]), 52);
                }
            }
        }
    }
}  // namespace nodara

namespace nodara
{
    TEST(DropCharts, FillsASquareUnderOverhangsWithoutOverlaps)
    {
        // More charts with dents and overhangs than the square holds: the
        // square fills up, under the overhangs too and up to its top, and
        // those left out are refused, never squeezed in.
        std::mt19937 random{3};
        std::uniform_real_distribution<double> angle{0.0, 6.3};
        std::vector<CornerMap> charts;
        for (int i = 0; i < 60; ++i)
        {
            charts.push_back(
                i % 3 == 0 ? random_star(random, 4 + i % 7, 0.5 + (i % 5) * 0.4)
                           : comb(1 + i % 6, i % 4, angle(random)));
        }
        const auto pointers = pointers_to(charts);
        const int side = 96;
        const double scale = 5.3;
        for (const auto rule : {DropRule::lowest, DropRule::least_waste})
        {
            for (const bool turn : {false, true})
            {
                for (const int padding : {0, 2})
                {
                    SCOPED_TRACE(padding);
                    const auto placements = drop_charts_partly(
                        pointers, scale, padding, side, {rule, turn});
                    ASSERT_EQ(placements.size(), charts.size());
                    std::vector<CornerMap> kept;
                    std::vector<ProfilePlacement> where;
                    for (std::size_t i = 0; i < charts.size(); ++i)
                    {
                        if (placements[i])
                        {
                            kept.push_back(charts[i]);
                            where.push_back(*placements[i]);
                        }
                    }
                    ASSERT_LT(kept.size(), charts.size());
                    ASSERT_GT(kept.size(), charts.size() / 4);
                    const auto texels = placed(kept, where, scale, padding);
                    EXPECT_TRUE(check_packing(texels).valid());
                    expect_apart(texels, side, padding);
                }
            }
        }
    }
}  // namespace nodara

namespace nodara
{
    TEST(DropCharts, DropsLargestFirstByBoxOrByArea)
    {
        // A thin frame of 6 by 6 cells has the larger box, a block of 4 by
        // 4 cells the larger area: dropped first onto the empty square, each
        // in its turn rests in its corner.
        std::vector<std::array<double, 2>> frame;
        std::vector<std::array<double, 2>> block;
        for (int k = 0; k < 6; ++k)
        {
            frame.push_back({double(k), 0.0});
            if (k > 0)
            {
                frame.push_back({0.0, double(k)});
            }
            if (k < 4)
            {
                for (int j = 0; j < 4; ++j)
                {
                    block.push_back({double(k), double(j)});
                }
            }
        }
        const std::vector<CornerMap> charts{testing::cells(frame),
                                            testing::cells(block)};
        const std::vector<const CornerMap*> pointers{&charts[0], &charts[1]};
        for (const auto order :
             {DropOrder::largest_box, DropOrder::largest_area})
        {
            const auto placements = drop_charts(
                pointers, 4.0, 1, 64, {DropRule::lowest, false, order});
            ASSERT_EQ(placements.size(), 2u);
            const auto& first =
                placements[order == DropOrder::largest_box ? 0 : 1];
            EXPECT_EQ(first.x, 0);
            EXPECT_EQ(first.y, 0);
            EXPECT_TRUE(
                check_packing(placed(charts, placements, 4.0, 1)).valid());
        }
    }

    TEST(DropCharts, TriesEachWayUntilOnePlacesEveryChart)
    {
        std::mt19937 random{5};
        std::vector<CornerMap> charts;
        for (int i = 0; i < 30; ++i)
        {
            charts.push_back(random_star(random, 5 + i % 5, 1.0 + i % 3));
        }
        const auto pointers = pointers_to(charts);
        // A scale at which some ways place every chart and some do not,
        // from above.
        std::vector<DropSettings> ways;
        for (const auto order :
             {DropOrder::largest_box, DropOrder::largest_area})
        {
            for (const auto rule : {DropRule::lowest, DropRule::least_waste})
            {
                ways.push_back({rule, true, order});
            }
        }
        double found = 0;
        std::vector<DropSettings> failing;
        std::vector<DropSettings> placing;
        bool all_placed = false;
        for (double scale = 16.0; scale > 2.0 && found == 0 && !all_placed;
             scale -= 0.02)
        {
            failing.clear();
            placing.clear();
            for (const auto& way : ways)
            {
                (drop_charts(pointers, scale, 1, 128, way).empty() ? failing
                                                                   : placing)
                    .push_back(way);
            }
            found = failing.empty() || placing.empty() ? 0 : scale;
            all_placed = failing.empty();
        }
        ASSERT_GT(found, 0);
        const auto expected = drop_charts(pointers, found, 1, 128, placing[0]);
        auto tries = failing;
        tries.insert(tries.end(), placing.begin(), placing.end());
        const auto placements = drop_charts(pointers, found, 1, 128, tries);
        ASSERT_EQ(placements.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
        {
            EXPECT_EQ(placements[i].x, expected[i].x);
            EXPECT_EQ(placements[i].y, expected[i].y);
            EXPECT_EQ(placements[i].quarter_turns, expected[i].quarter_turns);
        }
        EXPECT_TRUE(drop_charts(pointers, found, 1, 128, failing).empty());
        // No way places them all in too small a square.
        EXPECT_TRUE(drop_charts(pointers, found, 1, 24, ways).empty());
    }

    TEST(FootprintTexels, CountsTheRowsEachColumnSpansInBothTurns)
    {
        // A U open upwards: its columns hold what its cells cover, while
        // turned on its side, its columns span the gap between the arms.
        const auto u = testing::cells({{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}});
        const auto texels = footprint_texels(u, 10, 0);
        EXPECT_GE(texels[0], 500);
        EXPECT_LT(texels[0], 600);
        EXPECT_GE(texels[1], 600);
        EXPECT_LT(texels[1], 700);
        // Turned by a quarter turn, its two counts swap, up to the texels
        // its outline touches.
        CornerMap turned = u;
        for (auto& triangle : turned)
        {
            for (auto& p : triangle)
            {
                p = Point<2>{{-p[1], p[0]}};
            }
        }
        const auto swapped = footprint_texels(turned, 10, 0);
        EXPECT_NEAR(swapped[0], texels[1], 40);
        EXPECT_NEAR(swapped[1], texels[0], 40);
        // Padding grows the footprint on every side.
        const auto padded = footprint_texels(u, 10, 2);
        EXPECT_GT(padded[0], texels[0] + 2 * 30);
        EXPECT_GT(padded[1], texels[1] + 2 * 30);
    }

    TEST(DropCharts, TriesEachListOfMapsUntilOnePlacesEveryChart)
    {
        // A bar longer than the square does not fit in its first map; in
        // the second it is folded into a block, and the other chart, the
        // same map in both, fits beside it.
        std::vector<std::array<double, 2>> bar;
        std::vector<std::array<double, 2>> block;
        for (int k = 0; k < 20; ++k)
        {
            bar.push_back({double(k), 0.0});
            block.push_back({double(k % 10), double(k / 10)});
        }
        const std::vector<CornerMap> charts{testing::cells(bar),
                                            testing::cells(block), l_shape()};
        const std::vector<DropSettings> tries{
            {DropRule::least_waste, true, DropOrder::largest_box}};
        const std::vector<DropWay> ways{{{&charts[0], &charts[2]}, tries},
                                        {{&charts[1], &charts[2]}, tries}};
        std::size_t way = 7;
        const auto placements = drop_charts(ways, 1.0, 1, 16, way);
        ASSERT_EQ(placements.size(), 2u);
        EXPECT_EQ(way, 1u);
        const std::vector<CornerMap> dropped{charts[1], charts[2]};
        EXPECT_TRUE(check_packing(placed(dropped, placements, 1.0, 1)).valid());
        // With the first list only, nothing is placed.
        EXPECT_TRUE(drop_charts({ways[0]}, 1.0, 1, 16, way).empty());
    }
}  // namespace nodara

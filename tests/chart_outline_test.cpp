#include <cmath>
#include <numeric>
#include <random>

#include <gtest/gtest.h>

#include "atlas/chart_outline.h"
#include "atlas/profile_packing.h"
#include "corner_map_factory.h"

namespace nodara
{
    namespace
    {
        // A ring of 3 x 3 cells around a hole of one.
        CornerMap ring()
        {
            return testing::cells({{0, 0},
                                   {1, 0},
                                   {2, 0},
                                   {0, 1},
                                   {2, 1},
                                   {0, 2},
                                   {1, 2},
                                   {2, 2}});
        }

        // The map mirrored: its triangles turn clockwise.
        CornerMap mirrored(CornerMap map)
        {
            for (auto& triangle : map)
            {
                for (auto& p : triangle)
                {
                    p = Point<2>{{-p[0], p[1]}};
                }
            }
            return map;
        }

        // A comb: a bar with teeth, bent by a random warp so that its
        // edges cross columns at odd places.
        CornerMap warped_comb(std::mt19937& random)
        {
            std::vector<std::array<double, 2>> at;
            for (int x = 0; x < 9; ++x)
            {
                at.push_back({double(x), 0.0});
                if (x % 2 == 0)
                {
                    at.push_back({double(x), 1.0});
                    at.push_back({double(x), 2.0});
                }
            }
            auto map = testing::cells(at);
            std::uniform_real_distribution<double> phase{0, 6};
            const double a = phase(random);
            const double b = phase(random);
            for (auto& triangle : map)
            {
                for (auto& p : triangle)
                {
                    p = Point<2>{{p[0] + 0.3 * std::sin(p[1] + a),
                                  p[1] + 0.4 * std::sin(0.7 * p[0] + b)}};
                }
            }
            return map;
        }

        // The outline of `map` with every edge kept, as if none were
        // shared.
        ChartOutline every_edge(const CornerMap& map)
        {
            ChartOutline all;
            all.ids.resize(3 * map.size());
            std::iota(all.ids.begin(), all.ids.end(), index_t{0});
            return outline_of(map, all);
        }

        // Whether edge e of the map lies on the line x = at or y = at.
        bool on_line(const CornerMap& map, index_t e, int axis, double at)
        {
            const auto& triangle = map[e / 3];
            return triangle[e % 3][axis] == at &&
                   triangle[(e + 1) % 3][axis] == at;
        }
    }  // namespace

    TEST(ChartOutline, KeepsTheOuterBorderAndTheBorderOfHoles)
    {
        // The mirror's columns run from -3 to 0.
        for (const double side : {3.0, -3.0})
        {
            const auto map = side > 0 ? ring() : mirrored(ring());
            const auto outline = outline_of(map);
            // 12 unit edges around, 4 around the hole.
            EXPECT_EQ(outline.ids.size(), 16u);
            int around = 0;
            int hole = 0;
            for (const auto e : outline.ids)
            {
                around += on_line(map, e, 0, 0.0) || on_line(map, e, 0, side) ||
                          on_line(map, e, 1, 0.0) || on_line(map, e, 1, 3.0);
                hole += on_line(map, e, 0, side / 3) ||
                        on_line(map, e, 0, 2 * side / 3) ||
                        on_line(map, e, 1, 1.0) || on_line(map, e, 1, 2.0);
            }
            EXPECT_EQ(around, 12);
            EXPECT_EQ(hole, 4);
            EXPECT_EQ(outline.low[1], 0.0);
            EXPECT_EQ(outline.high[1], 3.0);
        }
    }

    TEST(ChartOutline, KeepsEveryEdgeOfFoldsAndSlivers)
    {
        const Point<2> a{{0, 0}};
        const Point<2> b{{1, 0}};
        // Two triangles on the same side of their shared edge: a fold.
        const CornerMap fold{{a, b, Point<2>{{0.5, 1}}},
                             {b, a, Point<2>{{0.5, 2}}}};
        EXPECT_EQ(outline_of(fold).ids.size(), 6u);
        // Triangles laid on a segment, sharing edges: none has a side.
        const CornerMap segment{{a, b, Point<2>{{2, 0}}},
                                {Point<2>{{2, 0}}, b, Point<2>{{3, 0}}}};
        EXPECT_EQ(outline_of(segment).ids.size(), 6u);
        // An edge run three times is kept wherever it is run.
        const CornerMap fan{{a, b, Point<2>{{0.5, 1}}},
                            {b, a, Point<2>{{0.5, -1}}},
                            {b, a, Point<2>{{0.5, -2}}}};
        EXPECT_EQ(outline_of(fan).ids.size(), 9u);
    }

    TEST(ChartOutline, GivesTheFootprintOfEveryTriangle)
    {
        // Footprints from the outline and from every edge agree, in both
        // turns, at scales whose columns cut the edges anywhere, with and
        // without padding: on a ring, its mirror, and warped combs.
        std::mt19937 random{5};
        std::vector<CornerMap> maps{ring(), mirrored(ring())};
        for (int k = 0; k < 6; ++k)
        {
            maps.push_back(warped_comb(random));
        }
        std::uniform_real_distribution<double> scale{1.5, 40};
        for (const auto& map : maps)
        {
            const auto outline = outline_of(map);
            EXPECT_LT(outline.ids.size(), 3 * map.size());
            for (int k = 0; k < 8; ++k)
            {
                const double s = scale(random);
                for (const int padding : {0, 2})
                {
                    EXPECT_EQ(footprint_texels(outline, s, padding),
                              footprint_texels(every_edge(map), s, padding))
                        << "scale " << s << " padding " << padding;
                }
            }
        }
    }

    TEST(ChartOutline, IsSharedByTurnsOfItsMap)
    {
        std::mt19937 random{9};
        const auto map = warped_comb(random);
        auto turned = map;
        const double c = std::cos(0.3);
        const double s = std::sin(0.3);
        for (auto& triangle : turned)
        {
            for (auto& p : triangle)
            {
                p = Point<2>{{c * p[0] - s * p[1] + 5, s * p[0] + c * p[1]}};
            }
        }
        ChartOutlines outlines;
        outlines.add_turn(turned, map);
        const auto* shared = outlines.find(turned);
        ASSERT_NE(shared, nullptr);
        EXPECT_EQ(shared->ids, outline_of(turned).ids);
        EXPECT_EQ(shared->edges, outline_of(turned).edges);
        EXPECT_EQ(shared->low, outline_of(turned).low);
        EXPECT_EQ(outlines.find(CornerMap{}), nullptr);
    }
}  // namespace nodara

#include <gtest/gtest.h>

#include "atlas/atlas_assembly.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        // Two triangles apart in 3D, charts 0 and 1, with the images given.
        Atlas placed(const std::array<Point<2>, 3>& first,
                     const std::array<Point<2>, 3>& second)
        {
            const auto surface = testing::make_surface({{0, 0, 0},
                                                        {1, 0, 0},
                                                        {0, 1, 0},
                                                        {5, 0, 0},
                                                        {6, 0, 0},
                                                        {5, 1, 0}},
                                                       {{0, 1, 2}, {3, 4, 5}});
            Atlas atlas;
            atlas.triangle_chart = {0, 1};
            atlas.charts.resize(2);
            atlas.corners = {first, second};
            atlas.check = check_atlas(*surface, atlas.corners);
            return atlas;
        }

        bool contains(const std::string& text, const std::string& part)
        {
            return text.find(part) != std::string::npos;
        }
    }  // namespace

    TEST(PackingFailure, NamesTheChartsThatOverlapOrTheSmallestImage)
    {
        AtlasOptions options;
        options.resolution = 256;
        const Point<2> a{{0.1, 0.1}};
        const Point<2> b{{0.5, 0.1}};
        const Point<2> c{{0.1, 0.5}};
        const Point<2> d{{0.2, 0.2}};
        const auto overlap = placed({a, b, c}, {d, b, c});
        ASSERT_FALSE(overlap.check.valid());
        const auto overlap_cause = packing_failure_cause(overlap, options);
        EXPECT_TRUE(contains(overlap_cause,
                             "charts 0 and 1 overlap once "
                             "placed (triangles 0 and 1)"))
            << overlap_cause;

        // The second image collapsed onto a segment.
        const Point<2> e{{0.7, 0.7}};
        const Point<2> f{{0.8, 0.8}};
        const Point<2> g{{0.9, 0.9}};
        const auto collapsed = placed({a, b, c}, {e, f, g});
        ASSERT_EQ(collapsed.check.nb_flipped_triangles, 1u);
        const auto collapse_cause = packing_failure_cause(collapsed, options);
        EXPECT_TRUE(contains(collapse_cause,
                             "collapse or turn once placed "
                             "at 256 texels (1 flipped"))
            << collapse_cause;
        EXPECT_TRUE(contains(collapse_cause,
                             "of triangle 1, covers 0 square "
                             "texels"))
            << collapse_cause;
    }
}  // namespace nodara

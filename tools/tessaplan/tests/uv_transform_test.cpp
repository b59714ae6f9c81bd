#include "writing/uv_transform.h"

#include <gtest/gtest.h>

namespace tessaplan
{
    TEST(UvTransform, FitsTheBoxIntoTheUnitSquareKeepingItsShape)
    {
        const std::vector<nodara::Point<2>> points{
            nodara::Point<2>{{-3.0, 0.1}}, nodara::Point<2>{{0.3, 0.2}},
            nodara::Point<2>{{-1.0, -1.1}}};
        const auto transform = unit_square_transform(points);
        // x spans 3.3, y spans 1.3: x fills [0, 1], y keeps its proportion.
        EXPECT_EQ(transform.apply(points[0])[0], 0.0);
        EXPECT_EQ(transform.apply(points[1])[0], 1.0);
        EXPECT_EQ(transform.apply(points[2])[1], 0.0);
        EXPECT_NEAR(transform.apply(points[1])[1], 1.3 / 3.3, 1e-15);
        EXPECT_NEAR(transform.apply(points[2])[0], 2.0 / 3.3, 1e-15);
    }

    TEST(UvTransform, CoincidentPointsOnlyMove)
    {
        const std::vector<nodara::Point<2>> points(
            3, nodara::Point<2>{{2.0, -5.0}});
        const auto transform = unit_square_transform(points);
        EXPECT_EQ(transform.apply(points[0]), (nodara::Point<2>{{0.0, 0.0}}));
        EXPECT_EQ(transform.apply(nodara::Point<2>{{3.0, -5.0}})[0], 1.0);
        const auto identity = unit_square_transform({});
        EXPECT_EQ(identity.apply(nodara::Point<2>{{7.0, 8.0}}),
                  (nodara::Point<2>{{7.0, 8.0}}));
    }
}  // namespace tessaplan

#include "map_hull.h"

#include <cmath>
#include <iterator>

#include <CGAL/convex_hull_2.h>
#include <CGAL/min_quadrilateral_2.h>

namespace nodara
{
    std::vector<HullKernel::Point_2> map_hull(const CornerMap& corners)
    {
        std::vector<HullKernel::Point_2> points;
        for (const auto& triangle : corners)
        {
            for (const auto& corner : triangle)
            {
                points.emplace_back(corner[0], corner[1]);
            }
        }
        std::vector<HullKernel::Point_2> hull;
        CGAL::convex_hull_2(points.begin(), points.end(),
                            std::back_inserter(hull));
        return hull;
    }

    MapRectangle smallest_rectangle(const CornerMap& corners)
    {
        const auto hull = map_hull(corners);
        MapRectangle result;
        if (hull.size() < 3)
        {
            return result;
        }
        std::vector<HullKernel::Point_2> box;
        CGAL::min_rectangle_2(hull.begin(), hull.end(),
                              std::back_inserter(box));
        std::array<double, 2> lengths{};
        for (int k = 0; k < 2; ++k)
        {
            const auto dx = box[k + 1].x() - box[k].x();
            const auto dy = box[k + 1].y() - box[k].y();
            lengths[k] = std::hypot(dx, dy);
            if (lengths[k] > 0)
            {
                result.sides[k] = Point<2>{{dx / lengths[k], dy / lengths[k]}};
            }
        }
        result.found = lengths[0] > 0;
        result.area = lengths[0] * lengths[1];
        return result;
    }
}  // namespace nodara

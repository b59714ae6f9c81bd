#pragma once

#include <array>
#include <vector>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <tessaplan/corner_map.h>

namespace nodara
{
    using HullKernel = CGAL::Exact_predicates_inexact_constructions_kernel;

    /// The convex hull of a map's corners, counterclockwise. Throws
    /// std::bad_alloc when memory runs out.
    std::vector<HullKernel::Point_2> map_hull(const CornerMap& corners);

    /// The smallest rectangle enclosing a map.
    struct MapRectangle
    {
        /// Whether the map spans an area (its hull has three corners or
        /// more); the other fields are zero when not.
        bool found{false};
        double area{0};
        /// The unit directions of its first two sides.
        std::array<Point<2>, 2> sides{};
    };

    /// The smallest rectangle enclosing the map `corners` (rotating
    /// calipers on its hull). Throws std::bad_alloc when memory runs out.
    MapRectangle smallest_rectangle(const CornerMap& corners);
}  // namespace nodara

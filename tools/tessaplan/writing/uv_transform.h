#pragma once

#include <vector>

#include <velmora/geometry/point.h>

namespace tessaplan
{
    /// A uniform scaling after a translation, applied to 2D coordinates as
    /// (p - origin) / extent. Dividing (rather than multiplying by 1 /
    /// extent) maps a coordinate at origin + extent to exactly 1.
    struct UvTransform
    {
        nodara::Point<2> origin;
        double extent{1.0};

        nodara::Point<2> apply(const nodara::Point<2>& point) const
        {
            return nodara::Point<2>{{(point[0] - origin[0]) / extent,
                                     (point[1] - origin[1]) / extent}};
        }
    };

    /// The transform that maps the bounding box of `points` into the unit
    /// square: its lower corner to (0, 0), its longer side to length 1, the
    /// shape unchanged. Points that all coincide are only moved to (0, 0);
    /// no points give the identity.
    UvTransform unit_square_transform(
        const std::vector<nodara::Point<2>>& points);
}  // namespace tessaplan

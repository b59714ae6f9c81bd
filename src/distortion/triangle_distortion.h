#pragma once

#include <array>

#include <velmora/geometry/point.h>

namespace nodara
{
    /// sigma1 / sigma2 of the linear map from the triangle of `corners` to
    /// `image`, as compute_triangle_distortions measures it: +infinity for
    /// an image of zero area or with corners that are not finite, NaN for
    /// a triangle of zero or non-finite area.
    double conformal_distortion(const std::array<const Point<3>*, 3>& corners,
                                const std::array<Point<2>, 3>& image);
}  // namespace nodara

#pragma once

#include <vector>

#include <tessaplan/corner_map.h>

namespace nodara
{
    /// Per triangle, how far its texel density strays from that of the
    /// whole, growing or shrinking: with a = (its share of the total image
    /// area) / (its share of the total 3D area), max(a, 1/a) >= 1.
    /// +infinity for an image of zero area; NaN for a triangle of zero or
    /// non-finite 3D area, and for every triangle when either total is zero
    /// or not finite. `areas_3d` and `areas_2d` hold one value per triangle.
    std::vector<double> density_ratios(const std::vector<double>& areas_3d,
                                       const std::vector<double>& areas_2d);

    /// The nearest-rank 95th percentile (the smallest value that at least
    /// 95 % of them do not exceed) of the ratios that are not NaN; NaN when
    /// there is none.
    double density_p95(const std::vector<double>& ratios);

    /// The area of every triangle's image in `corners`.
    std::vector<double> image_areas(const CornerMap& corners);
}  // namespace nodara

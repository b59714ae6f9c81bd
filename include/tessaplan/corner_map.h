#pragma once

#include <array>
#include <vector>

#include <velmora/geometry/point.h>

namespace nodara
{
    /// A map of every triangle corner of a surface into the plane:
    /// corners[t][k] is the image of corner k of triangle t. A vertex may
    /// have a different image in each triangle that uses it (a seam).
    using CornerMap = std::vector<std::array<Point<2>, 3>>;
}  // namespace nodara

#include "writing/uv_transform.h"

#include <algorithm>

namespace tessaplan
{
    UvTransform unit_square_transform(
        const std::vector<nodara::Point<2>>& points)
    {
        UvTransform transform;
        if (points.empty())
        {
            return transform;
        }
        auto low = points.front();
        auto high = points.front();
        for (const auto& point : points)
        {
            for (std::size_t i = 0; i < 2; ++i)
            {
                low[i] = std::min(low[i], point[i]);
                high[i] = std::max(high[i], point[i]);
            }
        }
        transform.origin = low;
        const double extent = std::max(high[0] - low[0], high[1] - low[1]);
        if (extent > 0.0)
        {
            transform.extent = extent;
        }
        return transform;
    }
}  // namespace tessaplan

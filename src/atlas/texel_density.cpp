#include "texel_density.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include <velmora/geometry/triangle.h>

namespace nodara
{
    namespace
    {
        constexpr double not_a_number =
            std::numeric_limits<double>::quiet_NaN();

        bool has_area(double area)
        {
            return area > 0 && std::isfinite(area);
        }
    }  // namespace

    std::vector<double> density_ratios(const std::vector<double>& areas_3d,
                                       const std::vector<double>& areas_2d)
    {
        double total_3d = 0;
        double total_2d = 0;
        for (std::size_t t = 0; t < areas_3d.size(); ++t)
        {
            if (has_area(areas_3d[t]))
            {
                total_3d += areas_3d[t];
                total_2d += areas_2d[t];
            }
        }
        std::vector<double> ratios(areas_3d.size(), not_a_number);
        if (!has_area(total_3d) || !has_area(total_2d))
        {
            return ratios;
        }
        for (std::size_t t = 0; t < areas_3d.size(); ++t)
        {
            if (!has_area(areas_3d[t]))
            {
                continue;
            }
            // Shares of the totals, so that a common scale cancels.
            const double a =
                (areas_2d[t] / total_2d) / (areas_3d[t] / total_3d);
            ratios[t] = !(a > 0) ? HUGE_VAL : std::max(a, 1 / a);
        }
        return ratios;
    }

    double density_p95(const std::vector<double>& ratios)
    {
        std::vector<double> values;
        values.reserve(ratios.size());
        for (const double ratio : ratios)
        {
            if (!std::isnan(ratio))
            {
                values.push_back(ratio);
            }
        }
        if (values.empty())
        {
            return not_a_number;
        }
        // Nearest rank, ceil(0.95 n), in integers.
        const auto count = static_cast<std::uint64_t>(values.size());
        const auto rank = (95 * count + 99) / 100;
        const auto nth = values.begin() + static_cast<long>(rank - 1);
        std::nth_element(values.begin(), nth, values.end());
        return *nth;
    }

    std::vector<double> image_areas(const CornerMap& corners)
    {
        std::vector<double> areas;
        areas.reserve(corners.size());
        for (const auto& c : corners)
        {
            areas.push_back(Triangle<2>{c[0], c[1], c[2]}.area());
        }
        return areas;
    }
}  // namespace nodara

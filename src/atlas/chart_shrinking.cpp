#include "chart_shrinking.h"

#include <algorithm>

#include "texel_density.h"

namespace nodara
{
    namespace
    {
        // Refinements between the last step that failed and the first that
        // passed.
        constexpr int refinements = 3;

        // The share of each bound's excess over 1 that a part of the failed
        // map may use: a chart flattened on its own lands near, not on,
        // what its share of the larger map measured.
        constexpr double margin = 0.8;

        // The most a failed chart keeps, in eighths: an overlap or a fold
        // seen in the failed map is seldom cleared by dropping only the
        // triangles it names.
        constexpr index_t most_eighths = 7;

        double within_margin(double bound)
        {
            return 1 + (bound - 1) * margin;
        }

        // Whether the first `size` triangles' share of the map keeps the
        // bounds.
        bool prefix_keeps(const FlatteningFigures& figures,
                          const ChartBounds& bounds, index_t size)
        {
            const auto end = static_cast<long>(size);
            const std::vector<double> conformal(
                figures.conformal.begin(), figures.conformal.begin() + end);
            if (!(density_p95(conformal) <=
                  within_margin(bounds.max_conformal)))
            {
                return false;
            }
            const std::vector<double> areas_3d(figures.areas_3d.begin(),
                                               figures.areas_3d.begin() + end);
            const std::vector<double> areas_2d(figures.areas_2d.begin(),
                                               figures.areas_2d.begin() + end);
            return density_p95(density_ratios(areas_3d, areas_2d)) <=
                   within_margin(bounds.max_area);
        }
    }  // namespace

    index_t kept_prefix(const FlatteningFigures& figures,
                        const ChartBounds& bounds, index_t nb_triangles)
    {
        if (figures.conformal.size() != nb_triangles || nb_triangles < 2)
        {
            return std::max<index_t>(1, nb_triangles / 2);
        }
        // Steps down from the longest clean prefix shorter than the chart.
        index_t failed = std::min({figures.clean_prefix + 1, nb_triangles,
                                   nb_triangles * most_eighths / 8 + 1});
        index_t kept = failed - 1;
        while (kept > 1 && !prefix_keeps(figures, bounds, kept))
        {
            failed = kept;
            kept = kept * 3 / 4;
        }
        if (kept <= 1)
        {
            return 1;
        }
        for (int i = 0; i < refinements && failed - kept > 1; ++i)
        {
            const auto middle = kept + (failed - kept) / 2;
            (prefix_keeps(figures, bounds, middle) ? kept : failed) = middle;
        }
        return kept;
    }
}  // namespace nodara

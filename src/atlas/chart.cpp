#include "chart.h"

#include <cmath>

#include <velmora/geometry/triangle.h>
#include <velmora/geometry/vector.h>

namespace nodara
{
    namespace
    {
        // A size bound of the input (0 or infinity: none) at the working
        // scale, where lengths are 2^-exponent times the input's and areas
        // the square of that.
        double working_bound(double bound, int length_exponent)
        {
            return bound == 0.0 || std::isinf(bound)
                       ? HUGE_VAL
                       : std::ldexp(bound, length_exponent);
        }
    }  // namespace

    ChartBounds::ChartBounds(const AtlasOptions& options, int exponent)
        : max_conformal(options.max_distortion),
          max_area(options.max_area_distortion),
          max_chart_area(working_bound(options.max_chart_area, -2 * exponent)),
          max_boundary_length(
              working_bound(options.max_boundary_length, -exponent))
    {
    }

    bool exceeds_size_bounds(const TriangulatedSurface<3>& chart,
                             const ChartBounds& bounds)
    {
        if (chart.nb_polygons() < 2)
        {
            return false;
        }
        double area = 0;
        double border = 0;
        for (index_t t = 0; t < chart.nb_polygons(); ++t)
        {
            area += chart.triangle(t).area();
            const auto& corners = chart.polygon_vertices(t);
            for (local_index_t k = 0; k < 3; ++k)
            {
                if (chart.is_edge_on_border({t, k}))
                {
                    border += Vector<3>{chart.point(corners[k]),
                                        chart.point(corners[(k + 1) % 3])}
                                  .length();
                }
            }
        }
        return area > bounds.max_chart_area ||
               border > bounds.max_boundary_length;
    }

    std::vector<index_t> chart_of_triangles(index_t nb_triangles,
                                            const std::vector<Chart>& charts)
    {
        std::vector<index_t> chart_of(nb_triangles, NO_ID);
        for (index_t c = 0; c < charts.size(); ++c)
        {
            for (const auto t : charts[c].triangles)
            {
                chart_of[t] = c;
            }
        }
        return chart_of;
    }
}  // namespace nodara

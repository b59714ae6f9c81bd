#include "chart.h"

namespace nodara
{
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

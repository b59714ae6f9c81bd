#include "chart_making.h"

#include "chart_cutting.h"
#include "chart_merging.h"
#include "chart_splitting.h"
#include "seam_shortening.h"
#include "seam_straightening.h"

namespace nodara
{
    std::vector<Chart> make_charts(const TriangulatedSurface<3>& surface,
                                   const SurfaceFacts& facts,
                                   const ChartBounds& bounds,
                                   const AfterChartStage& after)
    {
        auto charts = cut_charts(surface, facts, bounds);
        const auto done = [&](ChartStage stage)
        {
            if (after)
            {
                after(stage, charts);
            }
        };
        done(ChartStage::cut);
        shorten_seams(surface, facts, bounds, charts);
        done(ChartStage::shorten_cut);
        merge_charts(surface, facts.adjacencies, bounds, charts);
        done(ChartStage::merge);
        split_long_charts(surface, facts, bounds, charts);
        done(ChartStage::split);
        straighten_seams(surface, facts, bounds, charts);
        done(ChartStage::straighten);
        shorten_seams(surface, facts, bounds, charts);
        done(ChartStage::shorten);
        return charts;
    }
}  // namespace nodara

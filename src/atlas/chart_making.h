#pragma once

#include <functional>
#include <vector>

#include "chart.h"
#include "surface_facts.h"

namespace nodara
{
    /// The stages that make an atlas's charts, in their order.
    enum class ChartStage
    {
        cut,
        shorten_cut,
        merge,
        split,
        straighten,
        shorten
    };

    /// Called after each stage with the charts it left.
    using AfterChartStage =
        std::function<void(ChartStage, const std::vector<Chart>&)>;

    /// The charts of an atlas of `surface`: cut, their seams shortened (so
    /// that unions are rounder), merged, the long curved ones split, and
    /// their seams straightened and shortened again; each a disc whose map
    /// keeps `bounds`. `after`, when given, is called after each stage (the
    /// stage bench times them). Throws std::bad_alloc when memory runs out.
    std::vector<Chart> make_charts(const TriangulatedSurface<3>& surface,
                                   const SurfaceFacts& facts,
                                   const ChartBounds& bounds,
                                   const AfterChartStage& after = {});
}  // namespace nodara

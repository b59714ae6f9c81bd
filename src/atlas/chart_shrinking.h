#pragma once

#include "chart.h"
#include "chart_flattening.h"

namespace nodara
{
    /// How many first triangles of a chart to keep when its map failed:
    /// the most, found in steps of 3/4 down from 7/8 of them (or from
    /// figures.clean_prefix when fewer) refined between the last two
    /// steps, whose share of the failed map, areas measured against their
    /// own totals, keeps each bound with a margin (80 % of its excess over
    /// 1): the part of a chart flattened on its own lands near what its
    /// share of the larger map measured. Half of them when `figures` is
    /// empty (the solve failed), and at least 1. `nb_triangles` is the
    /// chart's size, at least 1.
    index_t kept_prefix(const FlatteningFigures& figures,
                        const ChartBounds& bounds, index_t nb_triangles);
}  // namespace nodara

#include <tessaplan/atlas.h>

#include "atlas_assembly.h"
#include "atlas_frame.h"
#include "atlas_input.h"
#include "chart_cutting.h"
#include "chart_merging.h"
#include "chart_splitting.h"
#include "seam_shortening.h"
#include "seam_straightening.h"
#include "surface_facts.h"

namespace nodara
{
    Atlas compute_atlas(const TriangulatedSurface<3>& surface,
                        const AtlasOptions& options)
    {
        check_atlas_input(surface, options);
        const auto frame = atlas_frame(surface);
        const auto& working = frame.surface(surface);
        const auto facts = surface_facts(working);
        const ChartBounds bounds{options, frame.exponent};
        auto charts = cut_charts(working, facts, bounds);
        // Shorter seams between the cut charts make rounder unions.
        shorten_seams(working, facts.adjacencies, bounds, charts);
        merge_charts(working, facts.adjacencies, bounds, charts);
        split_long_charts(working, facts.adjacencies, bounds, charts);
        straighten_seams(working, facts.adjacencies, bounds, charts);
        shorten_seams(working, facts.adjacencies, bounds, charts);
        return pack_in_frame(frame, working, facts, charts, options);
    }
}  // namespace nodara

#include <tessaplan/atlas.h>

#include "atlas_assembly.h"
#include "atlas_frame.h"
#include "atlas_input.h"
#include "chart_making.h"
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
        auto charts = make_charts(working, facts, bounds);
        return pack_in_frame(frame, working, facts, charts, options);
    }
}  // namespace nodara

#pragma once

#include <string>
#include <vector>

#include <tessaplan/atlas.h>

#include "atlas_frame.h"
#include "chart.h"
#include "surface_facts.h"

namespace nodara
{
    /// Packs `charts` of `surface` (flattened, each valid on its own) and
    /// checks the atlas exactly, page by page. Placing a chart in the square
    /// rounds its coordinates: a chart that fails the check once placed is
    /// split into its triangles and the charts are packed again, twice at
    /// most. Throws ComputationException ("[compute_atlas] ...") when the
    /// atlas still fails the check, and as pack_charts does.
    Atlas pack_and_check(const TriangulatedSurface<3>& surface,
                         const SurfaceFacts& facts, std::vector<Chart>& charts,
                         const AtlasOptions& options);

    /// The area distortion both ways (density_p95 of density_ratios) of the
    /// packed map `corners`, over the triangles of the charts that are not
    /// degenerate. Throws only std::bad_alloc.
    double atlas_area_p95(const SurfaceFacts& facts,
                          const std::vector<Chart>& charts,
                          const CornerMap& corners);

    /// Why the packed `atlas` fails its exact check, in words: the first
    /// overlapping pair and the charts it joins, or, when only triangles
    /// collapse or turn, the smallest image of a chart that is not
    /// degenerate, in square texels at the resolution of `options`.
    std::string packing_failure_cause(const Atlas& atlas,
                                      const AtlasOptions& options);

    /// pack_and_check of the charts of `working`, the surface in `frame`,
    /// with texels per unit given and reported in the input's own units.
    /// Throws as pack_and_check does.
    Atlas pack_in_frame(const AtlasFrame& frame,
                        const TriangulatedSurface<3>& working,
                        const SurfaceFacts& facts, std::vector<Chart>& charts,
                        const AtlasOptions& options);
}  // namespace nodara

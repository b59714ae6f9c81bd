#pragma once

#include <array>
#include <vector>

#include <absl/types/span.h>

#include <tessaplan/corner_map.h>
#include <tessaplan/edge_cut.h>
#include <tessaplan/surface_flattening.h>

namespace nodara
{
    /// A flattening of a surface cut open along seams.
    struct CutFlattening
    {
        /// The surface cut open (cut_along_edges), with the source vertex
        /// of each of its vertices.
        EdgeCut cut;
        /// The flattening of `cut.surface`: its map has one point per
        /// vertex of the cut surface, and its distortions, pieces and
        /// timings are those of the cut surface.
        SurfaceFlattening flattening;
        /// Per triangle of the source, the images of its corners: a vertex
        /// along a seam has one image per side.
        CornerMap corners;
    };

    /// Cuts `surface` open along `seams` and flattens the result as
    /// flatten_surface(cut, options) does, so that seams that cut a closed
    /// surface into discs let it flatten. A pin names a vertex of
    /// `surface`; on a vertex the seams split it holds the copy in the
    /// lowest triangle. Throws as cut_along_edges and flatten_surface do.
    CutFlattening flatten_cut_surface(
        const TriangulatedSurface<3>& surface,
        absl::Span<const std::array<index_t, 2>> seams,
        const FlattenOptions& options);
}  // namespace nodara

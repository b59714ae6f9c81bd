#pragma once

#include <array>
#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// A surface cut open along chosen edges.
    struct EdgeCut
    {
        /// Triangle t is triangle t of the source; a vertex of the source
        /// becomes one vertex per fan of its triangles that the cut edges
        /// (and the border, and edges of three triangles or more) separate.
        /// With manifold adjacencies (compute_manifold_adjacencies).
        std::unique_ptr<TriangulatedSurface<3>> surface;
        /// Per vertex of `surface`, the vertex of the source it comes from.
        std::vector<index_t> source;
    };

    /// Cuts `surface` open along `seams` (edges given by their two
    /// vertices, either way round): the triangles on the two sides of a
    /// seam no longer share its vertices, unless they are joined round a
    /// vertex some other way (a seam that ends inside the surface opens a
    /// slit). Vertices used by no triangle are left out. Throws
    /// InvalidInputException ("[cut_along_edges] Seam k ...", k counting
    /// from 0) for a vertex out of range, an edge from a vertex to itself,
    /// or a pair of vertices that no triangle joins by an edge.
    EdgeCut cut_along_edges(const TriangulatedSurface<3>& surface,
                            absl::Span<const std::array<index_t, 2>> seams);
}  // namespace nodara

#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <absl/types/span.h>

#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// A seam that cannot be cut; the message names it ("[cut_along_edges]
    /// Seam k ...").
    class SeamError : public InvalidInputException
    {
    public:
        SeamError(const std::string& message, std::size_t seam)
            : InvalidInputException(message), seam_(seam)
        {
        }
        /// The seam's place in the caller's list, counting from 0.
        std::size_t seam() const { return seam_; }

    private:
        std::size_t seam_;
    };

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
    /// slit). Vertices used by no triangle are left out. Throws SeamError
    /// ("[cut_along_edges] Seam k ...", k counting
    /// from 0) for a vertex out of range, an edge from a vertex to itself,
    /// or a pair of vertices that no triangle joins by an edge.
    EdgeCut cut_along_edges(const TriangulatedSurface<3>& surface,
                            absl::Span<const std::array<index_t, 2>> seams);
}  // namespace nodara

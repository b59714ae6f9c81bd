#pragma once

#include <array>
#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// A surface cut open along the seams of a map of its triangle corners.
    struct SeamCut
    {
        /// One vertex per distinct (vertex, image) pair of the map, at the
        /// vertex's 3D position; triangle t is triangle t of the source,
        /// with manifold adjacencies (compute_manifold_adjacencies). Its
        /// pieces are the map's charts.
        std::unique_ptr<TriangulatedSurface<3>> surface;
        /// Per vertex of `surface`, its image in the plane.
        std::vector<Point<2>> images;
        /// Per vertex of `surface`, the vertex of the source it comes from.
        std::vector<index_t> source;
    };

    /// Cuts `surface` along the seams of `corners` (corners[t][k] is the
    /// image of corner k of triangle t): corners of one vertex with the same
    /// image (exactly) become one vertex, corners with different images
    /// different ones. Vertices used by no triangle are left out. Throws
    /// VelmoraException ("[cut_along_seams] ...") when `corners` does not
    /// hold one entry per triangle.
    SeamCut cut_along_seams(const TriangulatedSurface<3>& surface,
                            absl::Span<const std::array<Point<2>, 3>> corners);

    /// The seams of `corners`: the edges shared by exactly two triangles of
    /// `surface` across which the map is not continuous (an end of the edge
    /// has different images, exactly, in the two triangles), each once, as
    /// its two vertices in the first triangle's order, in triangle order.
    /// Throws VelmoraException ("[seam_edges] ...") when `corners` does not
    /// hold one entry per triangle.
    std::vector<std::array<index_t, 2>> seam_edges(
        const TriangulatedSurface<3>& surface,
        absl::Span<const std::array<Point<2>, 3>> corners);
}  // namespace nodara

#pragma once

#include <velmora/mesh/triangulated_surface.h>

namespace tessaplan
{
    /// The number of connected components: sets of vertices linked by
    /// triangle edges. A vertex that no triangle uses is a component of its
    /// own.
    nodara::index_t count_components(
        const nodara::TriangulatedSurface<3>& surface);

    /// The number of triangle edges with no triangle across them (border
    /// edges, and every side of an edge shared by more than two triangles).
    nodara::index_t count_border_edges(
        const nodara::TriangulatedSurface<3>& surface);
}  // namespace tessaplan

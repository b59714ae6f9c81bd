#pragma once

#include <velmora/mesh/triangulated_surface.h>

namespace tessaplan
{
    /// The number of triangle edges with no triangle across them (border
    /// edges, and every side of an edge shared by more than two triangles).
    nodara::index_t count_border_edges(
        const nodara::TriangulatedSurface<3>& surface);
}  // namespace tessaplan

#pragma once

#include <vector>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// The triangles of `surface` in the order in which they seed charts,
    /// set by their geometry alone so that the charts do not depend on how
    /// the file orders triangles or turns their corners: by the centroid's
    /// coordinates (x, then y, then z), ties broken by the corners'
    /// coordinates in sorted order, and only triangles at the very same
    /// place by index. Throws std::bad_alloc when memory runs out.
    std::vector<index_t> seed_order(const TriangulatedSurface<3>& surface);

    /// The corner of triangle t at its lowest point (by coordinates, then
    /// vertex id): where to start its corners so that what is computed
    /// from them does not depend on how the input turns them.
    local_index_t lowest_corner(const TriangulatedSurface<3>& surface,
                                index_t t);

    /// Per triangle, its position in `order` (a permutation of the
    /// triangles): a tie-break that follows the geometry.
    std::vector<index_t> ranks_in_order(const std::vector<index_t>& order);
}  // namespace nodara

#pragma once

#include <cstdint>
#include <vector>

#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// Joins the vertices of `soup` at exactly the same position (-0 and +0
    /// are the same): each keeps the first of its equals, the vertices keep
    /// their order, and the faces are renumbered. Returns how many vertices
    /// were joined into others. Every face index must name a vertex.
    std::uint64_t weld_vertices(PolygonSoup& soup);

    /// Joins the vertices of `soup` as weld_vertices does and returns, per
    /// vertex of the soup before, the vertex it became. Every face index
    /// must name a vertex. Throws nothing but std::bad_alloc.
    std::vector<std::uint64_t> weld_vertices_mapped(PolygonSoup& soup);
}  // namespace tessaplan

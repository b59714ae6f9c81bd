#pragma once

#include <cstdint>

#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// Joins the vertices of `soup` at exactly the same position (-0 and +0
    /// are the same): each keeps the first of its equals, the vertices keep
    /// their order, and the faces are renumbered. Returns how many vertices
    /// were joined into others. Every face index must name a vertex.
    std::uint64_t weld_vertices(PolygonSoup& soup);
}  // namespace tessaplan

#pragma once

#include <vector>

#include <velmora/mesh/manifold_adjacency.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Whether `triangles` (distinct, non-empty) form a topological disc:
    /// joined through their shared edges into one piece, with V - E + F = 1
    /// (one border loop, no handle). Throws std::bad_alloc when memory runs
    /// out.
    bool is_disc(const TriangulatedSurface<3>& surface,
                 const PolygonAdjacencies& adjacencies,
                 const std::vector<index_t>& triangles);
}  // namespace nodara

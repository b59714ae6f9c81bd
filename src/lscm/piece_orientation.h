#pragma once

#include <vector>

#include <velmora/mesh/polygon_components.h>
#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// Which triangles LSCM reads in corner order 0, 2, 1 so that every
    /// piece turns one way: within a piece, neighbours across an edge run
    /// along it in opposite directions and the piece's lowest triangle keeps
    /// its sense; a whole piece is turned over when its summed normal points
    /// against those of the pieces before it. A consistently wound surface
    /// whose pieces agree gets no reversed triangle. Throws VelmoraException
    /// naming the first piece that cannot be oriented (a Moebius strip).
    std::vector<bool> orient_pieces(const TriangulatedSurface<3>& surface,
                                    const PolygonAdjacencies& adjacencies,
                                    const PolygonComponents& pieces);
}  // namespace nodara

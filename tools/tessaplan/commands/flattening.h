#pragma once

#include <string>
#include <vector>

#include <tessaplan/piece_packing.h>
#include <tessaplan/surface_flattening.h>
#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace tessaplan
{
    /// The checked flattening of `surface`, read from `input` (see
    /// nodara::flatten_surface). Throws CliError (flattening failed) with
    /// the library's message, which names the piece to blame and, for a
    /// closed one, points to 'tessaplan atlas'.
    nodara::SurfaceFlattening flatten_checked(
        const nodara::TriangulatedSurface<3>& surface,
        const std::string& input);

    /// The pieces of the map `uv` of `surface` laid out side by side (see
    /// nodara::pack_pieces). Throws CliError (flattening failed) with the
    /// library's message when packing fails.
    nodara::PiecePacking pack_flattening(
        const nodara::TriangulatedSurface<3>& surface,
        const std::vector<nodara::Point<2>>& uv, const std::string& input);
}  // namespace tessaplan

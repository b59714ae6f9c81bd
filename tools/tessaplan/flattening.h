#pragma once

#include <string>
#include <vector>

#include <tessaplan/piece_packing.h>
#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace tessaplan
{
    /// The least squares conformal map of `surface`, read from `input`, one
    /// point per vertex. Throws CliError (flattening failed) with the
    /// library's message, pointing a `closed` surface to 'tessaplan atlas',
    /// or when a coordinate of the map is not finite.
    std::vector<nodara::Point<2>> flatten_surface(
        const nodara::TriangulatedSurface<3>& surface, const std::string& input,
        bool closed);

    /// The pieces of the map `uv` of `surface` laid out side by side (see
    /// nodara::pack_pieces). Throws CliError (flattening failed) when a
    /// packed coordinate is not finite.
    nodara::PiecePacking pack_flattening(
        const nodara::TriangulatedSurface<3>& surface,
        const std::vector<nodara::Point<2>>& uv, const std::string& input);
}  // namespace tessaplan

#pragma once

#include <string>
#include <vector>

#include <tessaplan/surface_flattening.h>
#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace tessaplan
{
    /// The checked flattening of `surface`, read from `input`, with the
    /// pieces' scale and packing of `options` (see nodara::flatten_surface).
    /// Throws CliError (flattening failed) with the library's message, which
    /// names the piece to blame and, for a closed one, points to 'tessaplan
    /// atlas'.
    nodara::SurfaceFlattening flatten_checked(
        const nodara::TriangulatedSurface<3>& surface, const std::string& input,
        const nodara::FlattenOptions& options);

}  // namespace tessaplan

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <tessaplan/cut_flattening.h>
#include <tessaplan/surface_flattening.h>
#include <velmora/geometry/point.h>
#include <velmora/mesh/triangulated_surface.h>

namespace tessaplan
{
    /// The checked flattening of `surface`, read from `input`, with the
    /// pieces' scale, pins and packing of `options` (see
    /// nodara::flatten_surface); `pin_lines` holds the line of each pin in
    /// its file, for the message of a pin the library refuses (CliError,
    /// invalid input).
    /// Throws CliError (flattening failed) with the library's message, which
    /// names the piece to blame and, for a closed one, points to 'tessaplan
    /// atlas'.
    nodara::SurfaceFlattening flatten_checked(
        const nodara::TriangulatedSurface<3>& surface, const std::string& input,
        const nodara::FlattenOptions& options,
        const std::vector<std::uint64_t>& pin_lines = {});

    /// The checked flattening of `surface` cut open along `seams` (see
    /// nodara::flatten_cut_surface), with the same figures and errors as
    /// flatten_checked; `seam_lines` holds the line of each seam in its
    /// file, for the message of a seam the library refuses (CliError,
    /// invalid input).
    nodara::CutFlattening flatten_cut_checked(
        const nodara::TriangulatedSurface<3>& surface, const std::string& input,
        const nodara::FlattenOptions& options,
        const std::vector<std::array<nodara::index_t, 2>>& seams,
        const std::vector<std::uint64_t>& pin_lines,
        const std::vector<std::uint64_t>& seam_lines);
}  // namespace tessaplan

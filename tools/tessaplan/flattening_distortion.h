#pragma once

#include <string>
#include <vector>

#include <tessaplan/distortion.h>

#include "report.h"

namespace tessaplan
{
    /// Measures the distortion of the map `uv` of `surface` (read from
    /// `input`), puts its summary and the pieces' warnings (see
    /// piece_warnings; `packed` with --pack) into `report`, and returns the
    /// per-triangle measures. Throws CliError (flattening failed) when an
    /// open piece collapsed.
    nodara::TriangleDistortions measure_flattening(
        const nodara::TriangulatedSurface<3>& surface,
        const std::vector<nodara::Point<2>>& uv, const std::string& input,
        bool packed, Report& report);
}  // namespace tessaplan

#pragma once

#include <vector>

#include <tessaplan/distortion.h>

#include "cli/options.h"
#include "reading/mesh_reader.h"

namespace tessaplan
{
    /// Writes the output mesh of `mesh` with the map `uv` (moved into the
    /// unit square with --normalize, as the surface itself with --flat)
    /// and, with --svg and --png, the pictures of the map of `solved` (the
    /// surface the map was solved on and `distortions` measured) coloured
    /// by them. All files are opened before any is written, so that an
    /// unwritable path fails before any work is spent, and none is left
    /// behind on failure. Throws CliError for a file that cannot be
    /// written.
    void write_flattening(const MeshReadResult& mesh,
                          const nodara::TriangulatedSurface<3>& solved,
                          const std::vector<nodara::Point<2>>& uv,
                          const nodara::TriangleDistortions& distortions,
                          const nodara::DistortionSummary& summary,
                          const Options& options);
}  // namespace tessaplan

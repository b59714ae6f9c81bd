#pragma once

#include <ostream>

#include "cli/options.h"

namespace tessaplan
{
    /// Reads the input, cuts it into an atlas of charts packed into the
    /// unit square, checks the atlas exactly, writes the OBJ (the input's
    /// vertices, one texture coordinate per chart corner, the triangles) and
    /// the SVG, and prints the report on `out`; warnings go to standard
    /// error. Returns the exit status of a success. Throws CliError for
    /// every failure the user can act on; no output file is left behind
    /// then.
    int run_atlas(const Options& options, std::ostream& out);
}  // namespace tessaplan

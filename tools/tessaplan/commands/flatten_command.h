#pragma once

#include <ostream>

#include "cli/options.h"

namespace tessaplan
{
    /// Reads the input, flattens it, measures the distortion, writes the
    /// output files and prints the report on `out`; warnings go to standard
    /// error. Returns the exit status of a success. Throws CliError for
    /// every failure the user can act on; no output file is left behind
    /// then.
    int run_flatten(const Options& options, std::ostream& out);
}  // namespace tessaplan

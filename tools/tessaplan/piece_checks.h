#pragma once

#include <string>
#include <vector>

#include <tessaplan/distortion.h>

namespace tessaplan
{
    /// Throws CliError (flattening failed), naming `input` and the first
    /// such piece, when a piece with a border edge collapsed: a map of it
    /// is useless, so the run must fail before writing anything. A closed
    /// piece that collapsed only gets a warning (see piece_warnings): it
    /// cannot be flattened without cuts anyway.
    void check_no_open_piece_collapsed(const nodara::DistortionSummary& summary,
                                       const std::string& input);

    /// Warnings about the pieces: the closed ones (which cannot be
    /// flattened without cuts), flipped triangles (the map folds over
    /// itself) and, unless `packed`, that several pieces stay where their
    /// pins put them and may overlap.
    std::vector<std::string> piece_warnings(
        const nodara::DistortionSummary& summary, bool packed);
}  // namespace tessaplan

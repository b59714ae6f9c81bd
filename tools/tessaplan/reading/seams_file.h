#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <velmora/basic/types.h>

namespace tessaplan
{
    /// The seams of a file and, per seam, its line number (from 1).
    struct SeamsFile
    {
        std::vector<std::array<nodara::index_t, 2>> seams;
        std::vector<std::uint64_t> lines;
    };

    /// Reads a file of seams, one edge 'a b' per line (vertex numbers from
    /// 0, as the program numbers the input's vertices; blank lines and
    /// lines starting with '#' are skipped). Throws CliError:
    /// cannot_open_input when the file cannot be read, invalid_input naming
    /// the line for one that is not two vertex numbers.
    SeamsFile read_seams_file(const std::string& path);
}  // namespace tessaplan

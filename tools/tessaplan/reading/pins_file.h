#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tessaplan/lscm.h>

namespace tessaplan
{
    /// The pins of a file and, per pin, its line number (from 1).
    struct PinsFile
    {
        std::vector<nodara::VertexPin> pins;
        std::vector<std::uint64_t> lines;
    };

    /// Reads a file of pins, one `vertex u v` per line (vertex numbers
    /// from 0, as the program numbers the input's vertices; blank lines
    /// and lines starting with '#' are skipped). Throws CliError:
    /// cannot_open_input when the file cannot be read, invalid_input
    /// naming the line for one that is not a vertex number and two finite
    /// numbers.
    PinsFile read_pins_file(const std::string& path);
}  // namespace tessaplan

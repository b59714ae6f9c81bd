#include "reading/pins_file.h"

#include "cli/cli_error.h"
#include "cli/printable_text.h"
#include "reading/record_file.h"

namespace tessaplan
{
    PinsFile read_pins_file(const std::string& path)
    {
        const auto name = "pins file '" + printable(path) + "'";
        PinsFile pins;
        for (const auto& record : read_records(path, name))
        {
            nodara::VertexPin pin;
            const auto& words = record.words;
            if (words.size() != 3 ||
                !parse_vertex_number(words[0], pin.vertex) ||
                !parse_finite_number(words[1], pin.position[0]) ||
                !parse_finite_number(words[2], pin.position[1]))
            {
                throw CliError{ExitCode::invalid_input,
                               name + ", line " + std::to_string(record.line) +
                                   ": expected 'vertex u v' (a vertex number "
                                   "from 0 and two finite numbers)"};
            }
            pins.pins.push_back(pin);
            pins.lines.push_back(record.line);
        }
        return pins;
    }
}  // namespace tessaplan

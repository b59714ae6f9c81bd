#include "reading/pins_file.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "cli/cli_error.h"
#include "cli/printable_text.h"
#include "reading/input_file.h"

namespace tessaplan
{
    namespace
    {
        // Pin files are short lists typed or exported by hand; a larger
        // file is a mistake, not a list of pins.
        constexpr std::uint64_t max_file_bytes = 64ull << 20;

        bool parse_number(const std::string& word, double& value)
        {
            const auto* end = word.data() + word.size();
            const auto result = std::from_chars(word.data(), end, value);
            return result.ec == std::errc{} && result.ptr == end &&
                   std::isfinite(value);
        }

        bool parse_vertex(const std::string& word, nodara::index_t& vertex)
        {
            const auto* end = word.data() + word.size();
            const auto result = std::from_chars(word.data(), end, vertex);
            return result.ec == std::errc{} && result.ptr == end;
        }
    }  // namespace

    PinsFile read_pins_file(const std::string& path)
    {
        const auto name = "pins file '" + printable(path) + "'";
        if (check_input_file(path) > max_file_bytes)
        {
            throw CliError{ExitCode::invalid_input,
                           name + " is larger than 64 MiB"};
        }
        std::ifstream file{path};
        if (!file)
        {
            throw CliError{ExitCode::cannot_open_input, "cannot read " + name};
        }
        PinsFile pins;
        std::string line;
        for (std::uint64_t number = 1; std::getline(file, line); ++number)
        {
            std::istringstream fields{line};
            std::string vertex;
            std::string u;
            std::string v;
            std::string extra;
            if (!(fields >> vertex) || vertex[0] == '#')
            {
                continue;
            }
            nodara::VertexPin pin;
            if (!(fields >> u >> v) || (fields >> extra) ||
                !parse_vertex(vertex, pin.vertex) ||
                !parse_number(u, pin.position[0]) ||
                !parse_number(v, pin.position[1]))
            {
                throw CliError{ExitCode::invalid_input,
                               name + ", line " + std::to_string(number) +
                                   ": expected 'vertex u v' (a vertex number "
                                   "from 0 and two finite numbers)"};
            }
            pins.pins.push_back(pin);
            pins.lines.push_back(number);
        }
        return pins;
    }
}  // namespace tessaplan

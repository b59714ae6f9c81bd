#include "reading/seams_file.h"

#include "cli/cli_error.h"
#include "cli/printable_text.h"
#include "reading/record_file.h"

namespace tessaplan
{
    SeamsFile read_seams_file(const std::string& path)
    {
        const auto name = "seams file '" + printable(path) + "'";
        SeamsFile seams;
        for (const auto& record : read_records(path, name))
        {
            std::array<nodara::index_t, 2> edge{};
            const auto& words = record.words;
            if (words.size() != 2 || !parse_vertex_number(words[0], edge[0]) ||
                !parse_vertex_number(words[1], edge[1]))
            {
                throw CliError{ExitCode::invalid_input,
                               name + ", line " + std::to_string(record.line) +
                                   ": expected 'a b' (two vertex numbers from "
                                   "0)"};
            }
            seams.seams.push_back(edge);
            seams.lines.push_back(record.line);
        }
        return seams;
    }
}  // namespace tessaplan

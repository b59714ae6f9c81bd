#include "reading/record_file.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "cli/cli_error.h"
#include "reading/input_file.h"

namespace tessaplan
{
    namespace
    {
        // Files of records are short lists typed or exported by hand; a
        // larger file is a mistake, not a list.
        constexpr std::uint64_t max_file_bytes = 64ull << 20;
    }  // namespace

    std::vector<Record> read_records(const std::string& path,
                                     const std::string& name)
    {
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
        std::vector<Record> records;
        std::string text;
        for (std::uint64_t number = 1; std::getline(file, text); ++number)
        {
            std::istringstream fields{text};
            Record record{number, {}};
            for (std::string word; fields >> word;)
            {
                record.words.push_back(word);
            }
            if (!record.words.empty() && record.words[0][0] != '#')
            {
                records.push_back(std::move(record));
            }
        }
        return records;
    }

    bool parse_vertex_number(const std::string& word, std::uint32_t& vertex)
    {
        const auto* end = word.data() + word.size();
        const auto result = std::from_chars(word.data(), end, vertex);
        return result.ec == std::errc{} && result.ptr == end;
    }

    bool parse_finite_number(const std::string& word, double& value)
    {
        const auto* end = word.data() + word.size();
        const auto result = std::from_chars(word.data(), end, value);
        return result.ec == std::errc{} && result.ptr == end &&
               std::isfinite(value);
    }
}  // namespace tessaplan

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaplan
{
    /// One line of a small text file of records: its number (from 1) and
    /// its words.
    struct Record
    {
        std::uint64_t line{0};
        std::vector<std::string> words;
    };

    /// The records of a small text file (the pins or seams a user lists):
    /// every line with words, but blank lines and lines whose first word
    /// starts with '#'. `name` names the file in messages ("pins file
    /// 'x.txt'"). Throws CliError: cannot_open_input when the file cannot
    /// be read, invalid_input when it is larger than 64 MiB.
    std::vector<Record> read_records(const std::string& path,
                                     const std::string& name);

    /// Parses a whole word as a vertex number, from 0. Returns false for
    /// anything else.
    bool parse_vertex_number(const std::string& word, std::uint32_t& vertex);

    /// Parses a whole word as a finite number. Returns false for anything
    /// else.
    bool parse_finite_number(const std::string& word, double& value);
}  // namespace tessaplan

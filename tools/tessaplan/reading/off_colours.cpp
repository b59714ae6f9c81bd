#include "reading/off_colours.h"

#include <cstdint>
#include <sstream>
#include <vector>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        // The words of a line before any comment.
        std::vector<std::string> words_of(const std::string& line)
        {
            std::istringstream text{line.substr(0, line.find('#'))};
            std::vector<std::string> words;
            for (std::string word; text >> word;)
            {
                words.push_back(word);
            }
            return words;
        }

        [[noreturn]] void refuse(const std::string& path,
                                 const std::string& why)
        {
            throw CliError{ExitCode::invalid_input, "'" + path + "' " + why};
        }

        // Reads lines into `out` as they stand until one holds words, which
        // it returns (empty at the end of the file).
        std::vector<std::string> next_words(std::istream& file,
                                            std::ostringstream& out)
        {
            for (std::string line; std::getline(file, line);)
            {
                auto words = words_of(line);
                if (!words.empty())
                {
                    return words;
                }
                out << line << '\n';
            }
            return {};
        }

        // Whether `word` is an OFF keyword: "OFF" after its prefix.
        bool is_off_keyword(const std::string& word)
        {
            return word.size() >= 3 &&
                   word.compare(word.size() - 3, 3, "OFF") == 0;
        }

        void write_words(const std::vector<std::string>& words,
                         std::size_t from, std::size_t to,
                         std::ostringstream& out)
        {
            for (auto i = from; i < to && i < words.size(); ++i)
            {
                out << (i > from ? " " : "") << words[i];
            }
            out << '\n';
        }
    }  // namespace

    bool is_text_off_with_colours(std::istream& file)
    {
        // Read here, not by CGAL's header reader, which must not see a
        // header before its counts are checked.
        std::ostringstream skipped;
        const auto header = next_words(file, skipped);
        if (header.empty() || !is_off_keyword(header[0]))
        {
            return false;
        }
        const auto prefix = header[0].substr(0, header[0].size() - 3);
        const bool binary = header.size() > 1 && header[1] == "BINARY";
        return prefix.find('C') != std::string::npos && !binary;
    }

    std::string off_without_colours(std::istream& file, const std::string& path)
    {
        std::ostringstream out;
        auto header = next_words(file, out);
        if (header.empty() || !is_off_keyword(header[0]) ||
            header[0].find_first_of("4n") != std::string::npos)
        {
            refuse(path, "has an OFF header that is not read");
        }
        // The counts follow the keyword, on its line or the next.
        out << "OFF\n";
        auto counts =
            std::vector<std::string>(header.begin() + 1, header.end());
        if (counts.empty())
        {
            counts = next_words(file, out);
        }
        std::uint64_t nb_vertices = 0;
        if (counts.empty() || !(std::istringstream{counts[0]} >> nb_vertices))
        {
            refuse(path, "has no vertex count after its OFF header");
        }
        write_words(counts, 0, counts.size(), out);
        for (std::uint64_t v = 0; v < nb_vertices; ++v)
        {
            const auto words = next_words(file, out);
            if (words.size() < 3)
            {
                refuse(path,
                       "has a vertex line of fewer than three numbers "
                       "(vertex " +
                           std::to_string(v) + ")");
            }
            write_words(words, 0, 3, out);
        }
        out << file.rdbuf();
        return out.str();
    }
}  // namespace tessaplan

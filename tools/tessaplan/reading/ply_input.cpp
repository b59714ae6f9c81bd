#include "reading/ply_input.h"

#include <sstream>
#include <utility>
#include <vector>

namespace tessaplan
{
    namespace
    {
        struct Header
        {
            std::string text;
            bool single_precision{false};
        };

        bool is_float(const std::string& type)
        {
            return type == "float" || type == "float32";
        }

        // The header of `file` up to and including its end_header line,
        // with `float` turned into `double` in an ASCII file's property
        // lines (list values included).
        Header read_header(std::istream& file)
        {
            Header header;
            bool ascii = false;
            std::string element;
            std::string line;
            while (std::getline(file, line))
            {
                std::istringstream words{line};
                std::string keyword;
                words >> keyword;
                if (keyword == "format")
                {
                    std::string format;
                    words >> format;
                    ascii = format == "ascii";
                }
                else if (keyword == "element")
                {
                    words >> element;
                }
                else if (keyword == "property")
                {
                    std::vector<std::string> tokens;
                    for (std::string token; words >> token;)
                    {
                        tokens.push_back(token);
                    }
                    const bool list = !tokens.empty() && tokens[0] == "list";
                    const std::size_t type = list ? 2 : 0;
                    if (tokens.size() > type + 1 && is_float(tokens[type]))
                    {
                        header.single_precision =
                            header.single_precision ||
                            (!ascii && !list && element == "vertex");
                        if (ascii)
                        {
                            tokens[type] = "double";
                            line = "property";
                            for (const auto& token : tokens)
                            {
                                line += " " + token;
                            }
                        }
                    }
                }
                header.text += line + "\n";
                if (keyword == "end_header")
                {
                    break;
                }
            }
            return header;
        }
    }  // namespace

    PlyInput::SplicedBuffer::SplicedBuffer(std::string head,
                                           std::streambuf& rest)
        : head_(std::move(head)), rest_(rest)
    {
    }

    PlyInput::SplicedBuffer::int_type PlyInput::SplicedBuffer::underflow()
    {
        if (!head_served_)
        {
            head_served_ = true;
            if (!head_.empty())
            {
                setg(head_.data(), head_.data(), head_.data() + head_.size());
                return traits_type::to_int_type(*gptr());
            }
        }
        const auto count = rest_.sgetn(chunk_.data(), chunk_.size());
        if (count <= 0)
        {
            return traits_type::eof();
        }
        setg(chunk_.data(), chunk_.data(), chunk_.data() + count);
        return traits_type::to_int_type(*gptr());
    }

    namespace
    {
        // The rewritten header from the start of `file`; sets
        // `single_precision`.
        std::string head_of(std::istream& file, bool& single_precision)
        {
            file.clear();
            file.seekg(0);
            auto header = read_header(file);
            single_precision = header.single_precision;
            return std::move(header.text);
        }
    }  // namespace

    PlyInput::PlyInput(std::istream& file)
        : buffer_(head_of(file, single_precision_), *file.rdbuf()),
          stream_(&buffer_)
    {
    }
}  // namespace tessaplan

#include "reading/count_checks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <type_traits>
#include <vector>

#include <CGAL/IO/OFF/File_scanner_OFF.h>
#include <CGAL/IO/PLY/PLY_reader.h>
#include <boost/endian/conversion.hpp>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        namespace ply = CGAL::IO::internal;

        // CGAL's PLY formats: ASCII, then binary little and big endian.
        constexpr std::size_t ply_ascii = 0;

        // Bytes an ASCII number takes at least: a digit and a separator.
        constexpr std::uint64_t ascii_number_bytes = 2;

        void check_count(double count, std::uint64_t item_bytes,
                         std::uint64_t size, const std::string& what,
                         const std::string& path)
        {
            if (!(count >= 0) || count > static_cast<double>(size / item_bytes))
            {
                char number[32];
                std::snprintf(number, sizeof number, "%.0f", count);
                throw CliError{ExitCode::invalid_input,
                               "'" + path + "' claims " + number + " " + what +
                                   ", more than its " + std::to_string(size) +
                                   " bytes can hold"};
            }
        }

        // The walk through the data reads every value as CGAL's reader
        // will, through the property's own reading functions, so that
        // both see the same list lengths.

        // A list's length; false when it cannot be read.
        template <typename Length>
        bool read_length(const ply::PLY_read_number& property,
                         std::istream& file, double& length)
        {
            length = static_cast<double>(property.read<Length>(file));
            return !file.fail();
        }

        template <typename Value>
        void skip_values(const ply::PLY_read_number& property,
                         std::istream& file, std::uint64_t count)
        {
            for (std::uint64_t i = 0; i < count && !file.fail(); ++i)
            {
                property.read<Value>(file);
            }
        }

        // How one PLY property is stored: a number of `value_bytes`, or a
        // list of them whose length is read by `read_length`.
        struct Layout
        {
            bool list{false};
            std::uint64_t value_bytes{0};
            std::uint64_t length_bytes{0};
            bool (*read_length)(const ply::PLY_read_number&, std::istream&,
                                double&){nullptr};
            void (*skip_values)(const ply::PLY_read_number&, std::istream&,
                                std::uint64_t){nullptr};
        };

        template <typename F>
        void for_each_ply_type(F&& f)
        {
            f(std::int8_t{});
            f(std::uint8_t{});
            f(std::int16_t{});
            f(std::uint16_t{});
            f(std::int32_t{});
            f(std::uint32_t{});
            f(float{});
            f(double{});
        }

        // CGAL keeps a property's types in the type of its reader.
        Layout layout_of(const ply::PLY_read_number* property)
        {
            Layout layout;
            for_each_ply_type(
                [&](auto value)
                {
                    using Value = decltype(value);
                    if (dynamic_cast<const ply::PLY_read_typed_number<Value>*>(
                            property) != nullptr)
                    {
                        layout.value_bytes = sizeof(Value);
                    }
                    for_each_ply_type(
                        [&](auto length)
                        {
                            using Length = decltype(length);
                            using List =
                                ply::PLY_read_typed_list_with_typed_size<Length,
                                                                         Value>;
                            if (dynamic_cast<const List*>(property) == nullptr)
                            {
                                return;
                            }
                            layout = Layout{true, sizeof(Value), sizeof(Length),
                                            nullptr, &skip_values<Value>};
                            if constexpr (std::is_integral_v<Length>)
                            {
                                layout.read_length = &read_length<Length>;
                            }
                        });
                });
            return layout;
        }

        std::vector<Layout> layouts_of(ply::PLY_element& element)
        {
            std::vector<Layout> layouts;
            for (std::size_t k = 0; k < element.number_of_properties(); ++k)
            {
                layouts.push_back(layout_of(element.property(k)));
            }
            return layouts;
        }

        std::uint64_t item_bytes(const std::vector<Layout>& layouts,
                                 std::size_t format)
        {
            std::uint64_t bytes = 0;
            for (const auto& layout : layouts)
            {
                bytes += format == ply_ascii ? ascii_number_bytes
                         : layout.list       ? layout.length_bytes
                                             : layout.value_bytes;
            }
            return bytes == 0 ? 1 : bytes;
        }

        // Reads one list, checking its length before its values.
        void check_list(const ply::PLY_read_number& property,
                        const Layout& layout, std::istream& file,
                        std::size_t format, std::uint64_t size,
                        const std::string& path)
        {
            if (layout.read_length == nullptr)
            {
                throw CliError{
                    ExitCode::invalid_input,
                    "'" + path + "' gives a list length as a real number"};
            }
            double length = 0;
            if (!layout.read_length(property, file, length))
            {
                return;
            }
            check_count(
                length,
                format == ply_ascii ? ascii_number_bytes : layout.value_bytes,
                size, "values in the list " + property.name(), path);
            layout.skip_values(property, file,
                               static_cast<std::uint64_t>(length));
        }

        // Reads every item of `element`, checking each list's length. CGAL
        // does not check that a value was read before it uses it (a list
        // length from the end of the file can be anything): data that ends
        // early or does not read as numbers is refused here.
        void check_lists(std::istream& file, ply::PLY_element& element,
                         std::size_t format, std::uint64_t size,
                         const std::string& path)
        {
            const auto layouts = layouts_of(element);
            for (std::size_t item = 0;
                 item < element.number_of_items() && !file.fail(); ++item)
            {
                for (std::size_t k = 0; k < layouts.size() && !file.fail(); ++k)
                {
                    const auto& property = *element.property(k);
                    if (layouts[k].list)
                    {
                        check_list(property, layouts[k], file, format, size,
                                   path);
                    }
                    else
                    {
                        property.get(file);
                    }
                }
            }
            if (file.fail())
            {
                throw CliError{ExitCode::invalid_input,
                               "'" + path + "' ends early or has a value " +
                                   "that is not a number in its " +
                                   element.name() + " elements"};
            }
        }

        // Walks the vertices of a text OFF file with CGAL's scanner, as its
        // reader does. Returns false when they cannot be read.
        bool skip_off_vertices(CGAL::File_scanner_OFF& scanner,
                               std::istream& file)
        {
            for (std::size_t v = 0; v < scanner.size_of_vertices(); ++v)
            {
                double x = 0, y = 0, z = 0, w = 0;
                scanner.scan_vertex(x, y, z, w);
                if (scanner.has_normals())
                {
                    scanner.scan_normal(x, y, z);
                }
                if (scanner.has_textures())
                {
                    scanner.scan_texture(x, y, w);
                }
                if (!file.good())
                {
                    return false;
                }
            }
            return true;
        }

        // CGAL reads the count and the indices of a text OFF face line as
        // doubles and converts them to unsigned integers unchecked
        // (undefined for a negative or huge number): each line is read here
        // the same way first, and those must be whole numbers from 0 to
        // 2^32. What follows them on the line (a colour, "0.9 0 0") CGAL
        // skips.
        void check_off_face_lines(std::istream& file, std::size_t nb_faces,
                                  const std::string& path)
        {
            std::string line;
            for (std::size_t f = 0; f < nb_faces; ++f)
            {
                CGAL::skip_comment_OFF(file);
                if (!std::getline(file, line))
                {
                    return;
                }
                std::istringstream numbers{line.substr(0, line.find('#'))};
                const auto whole = [](double number)
                {
                    return number >= 0 && number <= 4294967296.0 &&
                           number == std::floor(number);
                };
                double count = 0;
                bool fine =
                    !(numbers >> CGAL::IO::iformat(count)) || whole(count);
                double index = 0;
                for (double k = 0;
                     fine && k < count && numbers >> CGAL::IO::iformat(index);
                     ++k)
                {
                    fine = whole(index);
                }
                if (!fine)
                {
                    throw CliError{ExitCode::invalid_input,
                                   "'" + path + "' has a face with " +
                                       "a count or an index that is not "
                                       "a whole number from 0: " +
                                       line.substr(0, 80)};
                }
            }
        }

        // CGAL's reader keeps the format to itself: the properties know it.
        std::size_t format_of(ply::PLY_reader& reader)
        {
            struct Probe : ply::PLY_read_number
            {
                using PLY_read_number::m_format;
            };
            for (std::size_t e = 0; e < reader.number_of_elements(); ++e)
            {
                auto& element = reader.element(e);
                if (element.number_of_properties() > 0)
                {
                    const ply::PLY_read_number* property = element.property(0);
                    return property->*(&Probe::m_format);
                }
            }
            return ply_ascii;
        }
        // CGAL's header reader adds a property to the last element read,
        // whether there is one or not, and takes a header without an
        // end_header line: neither must reach it.
        void check_property_lines(std::istream& file, const std::string& path)
        {
            std::string line;
            std::string keyword;
            bool element_seen = false;
            for (std::size_t number = 1; std::getline(file, line); ++number)
            {
                std::istringstream words{line};
                const bool has_word = static_cast<bool>(words >> keyword);
                if (number == 1 && (!has_word || keyword != "ply"))
                {
                    break;  // not PLY: the reader says so
                }
                if (number < 3 || !has_word)
                {
                    continue;
                }
                if (keyword == "end_header")
                {
                    file.clear();
                    file.seekg(0);
                    return;
                }
                element_seen = element_seen || keyword == "element";
                if (keyword == "property" && !element_seen)
                {
                    throw CliError{ExitCode::invalid_input,
                                   "'" + path +
                                       "' has a property before any "
                                       "element, line " +
                                       std::to_string(number)};
                }
            }
            // CGAL would go on reading the data from the end of the file.
            if (file.eof())
            {
                throw CliError{ExitCode::invalid_input,
                               "'" + path + "' has no end_header line"};
            }
            file.clear();
            file.seekg(0);
        }

        // CGAL reads the coordinates of a vertex as float or double
        // properties, and fails on others without checking.
        void check_coordinate_types(ply::PLY_element& element,
                                    const std::string& path)
        {
            if (element.name() != "vertex" && element.name() != "vertices")
            {
                return;
            }
            for (std::size_t k = 0; k < element.number_of_properties(); ++k)
            {
                const ply::PLY_read_number* property = element.property(k);
                const auto& name = property->name();
                if ((name == "x" || name == "y" || name == "z") &&
                    dynamic_cast<const ply::PLY_read_typed_number<float>*>(
                        property) == nullptr &&
                    dynamic_cast<const ply::PLY_read_typed_number<double>*>(
                        property) == nullptr)
                {
                    throw CliError{ExitCode::invalid_input,
                                   "'" + path + "' gives the coordinate " +
                                       name +
                                       " in a type other than float "
                                       "or double"};
                }
            }
        }

        // The next word of an OFF header, past white space and comments.
        std::string next_off_word(std::istream& file)
        {
            std::string word;
            while (file >> word && word.front() == '#')
            {
                file.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            }
            return file ? word : std::string{};
        }

        // The counts of an OFF header as CGAL reads them (the dimension of
        // an nOFF file first, then vertices, faces and, for OFF, edges),
        // text or binary. Empty when the header is not one CGAL reads.
        std::vector<long long> off_header_numbers(std::istream& file)
        {
            const auto keyword = next_off_word(file);
            const auto at = keyword.find("OFF");
            if (at == std::string::npos)
            {
                return {};
            }
            const bool dimensional = keyword.find('n') != std::string::npos &&
                                     keyword.find('n') < at;
            const std::size_t count = dimensional ? 4 : 3;
            std::vector<long long> numbers;
            // The rest of the keyword's line: BINARY, or the first counts.
            std::string rest;
            std::getline(file, rest);
            std::istringstream line{rest};
            std::string first;
            if (line >> first && first == "BINARY")
            {
                for (std::size_t k = 0; k < count; ++k)
                {
                    std::array<unsigned char, 4> bytes{};
                    if (!file.read(reinterpret_cast<char*>(bytes.data()), 4))
                    {
                        return {};
                    }
                    const auto value = static_cast<std::int32_t>(
                        std::uint32_t{bytes[0]} << 24 | bytes[1] << 16 |
                        bytes[2] << 8 | bytes[3]);
                    numbers.push_back(value);
                }
                return numbers;
            }
            std::vector<std::string> words;
            for (auto word = first; !word.empty() && word.front() != '#';
                 word.clear(), line >> word)
            {
                words.push_back(word);
            }
            std::reverse(words.begin(), words.end());
            const auto next_word = [&]()
            {
                if (words.empty())
                {
                    return next_off_word(file);
                }
                auto word = words.back();
                words.pop_back();
                return word;
            };
            for (std::size_t k = 0; k < count; ++k)
            {
                long long value = 0;
                std::istringstream word{next_word()};
                if (!(word >> value))
                {
                    return {};
                }
                numbers.push_back(value);
            }
            return numbers;
        }

        // CGAL's header reader doubles the edge count and estimates the
        // half-edges from the vertices and faces, in int: counts that
        // overflow there are refused before it runs.
        void check_off_header_range(std::istream& file, const std::string& path)
        {
            const auto numbers = off_header_numbers(file);
            file.clear();
            file.seekg(0);
            if (numbers.size() < 3)
            {
                return;
            }
            const auto n = numbers.size();
            const long long vertices = numbers[n - 3];
            const long long faces = numbers[n - 2];
            const long long edges = numbers[n - 1];
            const long long most = std::numeric_limits<int>::max();
            if (edges > most / 2 || edges < -most / 2 ||
                (vertices > 0 && faces > 0 &&
                 static_cast<double>(vertices + faces + 12) * 2.1 > most) ||
                vertices > most || faces > most)
            {
                throw CliError{ExitCode::invalid_input,
                               "'" + path + "' claims " +
                                   std::to_string(vertices) + " vertices, " +
                                   std::to_string(faces) + " faces and " +
                                   std::to_string(edges) +
                                   " edges, more than the OFF reader can "
                                   "count"};
            }
        }
    }  // namespace

    void check_off_counts(std::istream& file, std::uint64_t size,
                          const std::string& path)
    {
        check_off_header_range(file, path);
        CGAL::File_scanner_OFF scanner{file};
        if (!file)
        {
            return;
        }
        if (scanner.has_colors() && !scanner.binary())
        {
            // CGAL takes the colour of a text line from where it should be
            // without looking whether the line has that many numbers.
            throw CliError{ExitCode::invalid_input,
                           "'" + path +
                               "' is a text OFF file with colours (COFF), "
                               "which is not read"};
        }
        const std::uint64_t number_bytes =
            scanner.binary() ? 4 : ascii_number_bytes;
        check_count(static_cast<double>(scanner.size_of_vertices()),
                    3 * number_bytes, size, "vertices", path);
        check_count(static_cast<double>(scanner.size_of_facets()), number_bytes,
                    size, "faces", path);
        if (!scanner.binary() && skip_off_vertices(scanner, file))
        {
            check_off_face_lines(file, scanner.size_of_facets(), path);
        }
    }

    void check_ply_counts(std::istream& file, std::uint64_t size,
                          const std::string& path)
    {
        check_property_lines(file, path);
        ply::PLY_reader reader{false};
        if (!reader.init(file))
        {
            return;
        }
        const auto format = format_of(reader);
        for (std::size_t e = 0; e < reader.number_of_elements(); ++e)
        {
            auto& element = reader.element(e);
            check_coordinate_types(element, path);
            check_count(static_cast<double>(element.number_of_items()),
                        item_bytes(layouts_of(element), format), size,
                        element.name() + " elements", path);
        }
        for (std::size_t e = 0; e < reader.number_of_elements(); ++e)
        {
            check_lists(file, reader.element(e), format, size, path);
        }
    }

    StlHeader read_stl_header(std::istream& file)
    {
        // A binary file: an 80-byte header, the triangle count, then 50
        // bytes per triangle. A text file starts with "solid".
        std::array<char, 84> bytes{};
        StlHeader header;
        header.complete =
            static_cast<bool>(file.read(bytes.data(), bytes.size()));
        header.solid = std::memcmp(bytes.data(), "solid", 5) == 0;
        std::memcpy(&header.count, bytes.data() + 80, sizeof header.count);
        boost::endian::little_to_native_inplace(header.count);
        return header;
    }

    void check_stl_counts(std::istream& file, std::uint64_t size,
                          const std::string& path)
    {
        const auto header = read_stl_header(file);
        if (header.complete && !header.solid)
        {
            check_count(header.count, 50, size - 84, "triangles", path);
        }
    }
}  // namespace tessaplan

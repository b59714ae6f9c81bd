#include "reading/exact_reader.h"

#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/IO/OBJ.h>
#include <CGAL/IO/OFF.h>
#include <CGAL/IO/PLY.h>
#include <CGAL/IO/STL.h>

#include "cli/cli_error.h"
#include "reading/blank_to_space_buffer.h"
#include "reading/count_checks.h"
#include "reading/off_colours.h"
#include "reading/ply_input.h"

namespace tessaplan
{
    namespace
    {
        using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;

        // The largest polygon taken: CGAL's OFF reader sizes a polygon by
        // the count at the start of its line before it reads the corners.
        constexpr std::size_t max_corners = std::size_t{1} << 20;

        // A polygon whose size is checked before it is allocated.
        class BoundedPolygon : public std::vector<std::uint64_t>
        {
        public:
            void resize(std::size_t size)
            {
                if (size > max_corners)
                {
                    throw CliError{ExitCode::invalid_input,
                                   "a face claims " + std::to_string(size) +
                                       " corners, more than " +
                                       std::to_string(max_corners)};
                }
                std::vector<std::uint64_t>::resize(size);
            }
        };

        std::ifstream open(const std::string& path)
        {
            std::ifstream file{path, std::ios::binary};
            if (!file)
            {
                throw CliError{ExitCode::cannot_open_input,
                               "cannot open '" + path + "'"};
            }
            return file;
        }

        // Takes what CGAL's readers print, with verbose on, to standard
        // output and error while the object lives: their only account of
        // why a file was rejected.
        class ReaderMessages
        {
        public:
            ReaderMessages()
                : out_(std::cout.rdbuf(notes_.rdbuf())),
                  error_(std::cerr.rdbuf(errors_.rdbuf()))
            {
            }
            ReaderMessages(const ReaderMessages&) = delete;
            ReaderMessages& operator=(const ReaderMessages&) = delete;
            ~ReaderMessages()
            {
                std::cout.rdbuf(out_);
                std::cerr.rdbuf(error_);
            }

            // The last line of the errors, without CGAL's "error: ".
            std::string last_error() const
            {
                std::istringstream lines{errors_.str()};
                std::string line;
                std::string last;
                while (std::getline(lines, line))
                {
                    if (line.find_first_not_of(" \t\r") != std::string::npos)
                    {
                        last = line;
                    }
                }
                const std::string prefix = "error: ";
                if (last.compare(0, prefix.size(), prefix) == 0)
                {
                    last.erase(0, prefix.size());
                }
                return last;
            }

        private:
            std::ostringstream notes_;
            std::ostringstream errors_;
            std::streambuf* out_;
            std::streambuf* error_;
        };

        // Whether an STL file is text: it starts with "solid", and its size
        // is not that of a binary file (an 80-byte header, which may start
        // with "solid" too, a triangle count and 50 bytes per triangle).
        bool is_text_stl(std::istream& file, std::uint64_t size)
        {
            const auto header = read_stl_header(file);
            file.clear();
            file.seekg(0);
            return header.solid &&
                   !(header.complete &&
                     size == 84 + 50 * std::uint64_t{header.count});
        }

        // CGAL's own choice between binary and text STL reads a text file
        // whose "solid" is followed by a tab as binary, and then appends
        // the text parse to what the binary parse left (garbage points and
        // triangles): the choice is made here and only one parser runs.
        bool read_stl(std::istream& file, bool text,
                      std::vector<Kernel::Point_3>& points,
                      std::vector<BoundedPolygon>& polygons)
        {
            return text ? CGAL::IO::internal::parse_ASCII_STL(file, points,
                                                              polygons, true)
                        : CGAL::IO::internal::parse_binary_STL(file, points,
                                                               polygons, true);
        }

        bool read_with_cgal(std::istream& file, MeshFormat format,
                            std::uint64_t size,
                            std::vector<Kernel::Point_3>& points,
                            std::vector<BoundedPolygon>& polygons,
                            bool& single_precision)
        {
            const auto verbose = CGAL::parameters::verbose(true);
            switch (format)
            {
                case MeshFormat::obj:
                {
                    BlankToSpaceBuffer spaced{file};
                    std::istream text{&spaced};
                    return CGAL::IO::read_OBJ(text, points, polygons, verbose);
                }
                case MeshFormat::off:
                    return CGAL::IO::read_OFF(file, points, polygons, verbose);
                case MeshFormat::ply:
                {
                    PlyInput ply{file};
                    single_precision = ply.single_precision();
                    return CGAL::IO::read_PLY(ply.stream(), points, polygons,
                                              verbose);
                }
                case MeshFormat::stl:
                {
                    const bool text = is_text_stl(file, size);
                    single_precision = !text;
                    return read_stl(file, text, points, polygons);
                }
                case MeshFormat::gltf:
                case MeshFormat::other:
                    break;
            }
            return false;
        }

        void check_counts(std::istream& file, const std::string& path,
                          MeshFormat format, std::uint64_t size)
        {
            if (format == MeshFormat::off)
            {
                check_off_counts(file, size, path);
            }
            else if (format == MeshFormat::ply)
            {
                check_ply_counts(file, size, path);
            }
            else if (format == MeshFormat::stl)
            {
                check_stl_counts(file, size, path);
            }
        }

        PolygonSoup to_soup(const std::vector<Kernel::Point_3>& points,
                            std::vector<BoundedPolygon>& polygons)
        {
            PolygonSoup soup;
            soup.points.reserve(points.size());
            for (const auto& point : points)
            {
                soup.points.emplace_back(
                    std::array<double, 3>{point.x(), point.y(), point.z()});
            }
            soup.polygons.reserve(polygons.size());
            for (auto& polygon : polygons)
            {
                soup.polygons.emplace_back(std::move(polygon));
            }
            return soup;
        }
    }  // namespace

    PolygonSoup read_exact(const std::string& path, MeshFormat format,
                           std::uint64_t size)
    {
        auto opened = open(path);
        // Text OFF with vertex colours is read as the plain OFF it holds.
        const bool coloured =
            format == MeshFormat::off && is_text_off_with_colours(opened);
        opened.clear();
        opened.seekg(0);
        std::istringstream plain;
        if (coloured)
        {
            plain.str(off_without_colours(opened, path));
            size = plain.str().size();
        }
        std::istream& file =
            coloured ? static_cast<std::istream&>(plain) : opened;
        check_counts(file, path, format, size);
        file.clear();
        file.seekg(0);
        std::vector<Kernel::Point_3> points;
        std::vector<BoundedPolygon> polygons;
        bool read = false;
        bool single_precision = false;
        std::string reason;
        try
        {
            const ReaderMessages messages;
            read = read_with_cgal(file, format, size, points, polygons,
                                  single_precision);
            reason = messages.last_error();
        }
        catch (const std::exception& error)
        {
            // A polygon too large, or a count the reader could not
            // allocate for.
            throw CliError{ExitCode::invalid_input,
                           "cannot read '" + path + "': " + error.what()};
        }
        if (!read)
        {
            throw CliError{ExitCode::invalid_input,
                           "cannot read '" + path + "': not a valid " +
                               format_name(format) + " file" +
                               (reason.empty() ? "" : " (" + reason + ")")};
        }
        auto soup = to_soup(points, polygons);
        soup.single_precision = single_precision;
        return soup;
    }
}  // namespace tessaplan

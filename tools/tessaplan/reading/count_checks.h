#pragma once

#include <cstdint>
#include <istream>
#include <string>

namespace tessaplan
{
    // Checks of the counts a mesh file declares against its size, made
    // before a reader allocates for them: each throws CliError
    // (invalid_input) naming the count when the file of `size` bytes cannot
    // hold what it claims, and leaves damage of other kinds to the reader.
    // `file` is read from its start; its position afterwards is undefined.

    /// The vertex and face counts of an OFF header, and the count and
    /// indices of every face line of a text file (whole, from 0); text OFF
    /// with colours (COFF) is refused, as CGAL reads it past the end of
    /// short lines (read_exact gives it off_without_colours's text).
    void check_off_counts(std::istream& file, std::uint64_t size,
                          const std::string& path);

    /// The shape of a PLY header (no property before the first element, an
    /// end_header line, float or double coordinates), its element counts,
    /// and the length of every list
    /// in the data (a face's number of corners), read with the header's
    /// types and byte order.
    void check_ply_counts(std::istream& file, std::uint64_t size,
                          const std::string& path);

    /// The first 84 bytes of an STL file: whether it starts with "solid"
    /// (as a text file does, and many binary headers), and whether it holds
    /// them all, with the triangle count that a binary file gives there.
    struct StlHeader
    {
        bool solid{false};
        bool complete{false};
        std::uint32_t count{0};
    };

    /// Reads the header from the current position of `file`.
    StlHeader read_stl_header(std::istream& file);

    /// The triangle count of a binary STL file.
    void check_stl_counts(std::istream& file, std::uint64_t size,
                          const std::string& path);
}  // namespace tessaplan

#pragma once

#include <cstdint>
#include <string>

#include "reading/mesh_format.h"
#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// Reads an OBJ, OFF, PLY (ASCII or binary, either byte order) or STL
    /// file of `size` bytes with CGAL's polygon-soup readers: coordinates in
    /// double precision (ASCII numbers as written, binary PLY floats and
    /// binary STL widened, which the soup's single_precision says), vertices in
    /// the file's order and count, faces in the file's order with their corners
    /// as given. STL stores no shared vertices: equal corners come back as one
    /// vertex, numbered in the order of first appearance. Counts that the
    /// file cannot hold are refused before anything is allocated. Throws
    /// CliError (invalid_input) when the file is refused or the reader
    /// rejects it; indices are not checked against the vertex count.
    PolygonSoup read_exact(const std::string& path, MeshFormat format,
                           std::uint64_t size);
}  // namespace tessaplan

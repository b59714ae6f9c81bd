#pragma once

#include <string>

#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// Reads the per-vertex texture coordinates of the PLY file `path`,
    /// whose soup `soup` already holds: the vertex properties s and t, or
    /// u and v, texture_u and texture_v, texture_s and texture_t (floats or
    /// doubles), into soup.uvs, one per vertex, with soup.uv_polygons the
    /// soup's polygons. Leaves both empty when the vertices have none.
    /// Throws CliError (invalid_input) when the file cannot be read again.
    void read_ply_texture_coordinates(const std::string& path,
                                      PolygonSoup& soup);
}  // namespace tessaplan

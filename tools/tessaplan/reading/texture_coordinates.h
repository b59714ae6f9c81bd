#pragma once

#include <string>

#include "reading/gltf_scene.h"
#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// Reads the texture coordinates of the OBJ file `path`, whose soup
    /// `soup` already holds: every "vt u [v [w]]" line into soup.uvs, and
    /// per "f" line the vt of each corner ("v/vt" or "v/vt/vn"; negative
    /// numbers count back from the last vt read) into soup.uv_polygons; a
    /// face whose corners give no vt gets an empty entry. Throws CliError
    /// (invalid_input) for a vt that is not two finite numbers, a face whose
    /// corners give vt for some but not all, and one whose corners do not
    /// match the soup's face; that every vt exists is read_mesh's check.
    void read_obj_texture_coordinates(const std::string& path,
                                      PolygonSoup& soup);

    /// Fills soup.uvs and soup.uv_polygons from the TEXCOORD_0 of each
    /// primitive build_gltf_soup made `soup` of, as (u, 1 - v); a primitive
    /// without it gives its triangles empty entries. Throws CliError
    /// (invalid_input) for a TEXCOORD_0 that is not VEC2 of floats or of
    /// normalized unsigned bytes or shorts; that the values are finite is
    /// read_mesh's check.
    void read_gltf_texture_coordinates(const GltfScene& scene,
                                       PolygonSoup& soup,
                                       const std::string& path);
}  // namespace tessaplan

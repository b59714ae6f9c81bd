#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <tessaplan/seam_cut.h>
#include <velmora/geometry/point.h>

#include "reading/mesh_format.h"
#include "reading/polygon_soup.h"
#include "writing/output_file.h"

namespace tessaplan
{
    /// Whether an output keeps the scene of an OBJ input (see
    /// write_flattening_into_obj): OBJ in, OBJ out, with the input's
    /// positions (`flat` off).
    bool keeps_obj_scene(MeshFormat input, const std::string& output,
                         bool flat);

    /// Writes a copy of the OBJ file `input` with the flattening as its
    /// texture coordinates: every line as the input has it (vertices,
    /// normals, mtllib, usemtl, objects, groups, smoothing groups, comments)
    /// except its own "vt" lines, which are left out, and its faces, which
    /// keep their vertex and normal references and refer to the new "vt"
    /// lines, one per vertex of the surface (`uv`), written before the first
    /// face. `faces` are the input's faces of three corners or more, in its
    /// order, with the surface's vertex numbers (as read_mesh gives them).
    /// Throws CliError (invalid_input) when the file no longer holds those
    /// faces, and as OutputFile does.
    void write_flattening_into_obj(const std::string& input,
                                   const std::vector<Polygon>& faces,
                                   const std::vector<nodara::Point<2>>& uv,
                                   OutputFile& file);

    /// As write_flattening_into_obj, with one "vt" per chart corner (a
    /// vertex of `cut`): a face whose triangles (its fan, see
    /// fan_triangles) lie in one chart of `chart` keeps its corners; any
    /// other is written as its triangles, and one whose fan lost every
    /// triangle without texture coordinates. Returns the number of faces
    /// written as their triangles. Throws as write_flattening_into_obj.
    std::size_t write_atlas_into_obj(const std::string& input,
                                     const std::vector<Polygon>& faces,
                                     const std::vector<nodara::index_t>& chart,
                                     const nodara::SeamCut& cut,
                                     OutputFile& file);
}  // namespace tessaplan

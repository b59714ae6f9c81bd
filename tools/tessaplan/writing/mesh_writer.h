#pragma once

#include <string>

#include "writing/flattened_mesh.h"
#include "writing/output_file.h"

namespace tessaplan
{
    /// Writes `mesh` in the format the extension of `file.path()` names:
    /// ".ply" binary PLY, ".gltf" or ".glb" glTF, anything else OBJ. Throws
    /// CliError as OutputFile does.
    void write_mesh(const FlattenedMesh& mesh, OutputFile& file);

    /// Whether write_mesh writes OBJ to `path`: ".obj" or no extension.
    bool writes_obj(const std::string& path);
}  // namespace tessaplan

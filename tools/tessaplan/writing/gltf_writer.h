#pragma once

#include "writing/flattened_mesh.h"
#include "writing/output_file.h"

namespace tessaplan
{
    /// Writes `mesh` as glTF 2.0 with tinygltf: one mesh of the surface's
    /// triangles with POSITION and TEXCOORD_0 (single precision, as glTF
    /// stores them; TEXCOORD_0 is (u, 1 - v), as glTF's texture space
    /// starts at the image's top left where OBJ's starts at its bottom
    /// left); `binary` gives GLB, otherwise JSON with the buffer
    /// embedded. Throws CliError as OutputFile does, and
    /// (cannot_write_output) when tinygltf fails or a value is beyond
    /// single precision.
    void write_gltf(const FlattenedMesh& mesh, bool binary, OutputFile& file);
}  // namespace tessaplan

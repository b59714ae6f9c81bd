#pragma once

#include "writing/flattened_mesh.h"
#include "writing/output_file.h"

namespace tessaplan
{
    /// Writes `mesh` as binary little-endian PLY: per vertex x, y, z, u and
    /// v as doubles, and the input's faces as lists of int vertex numbers
    /// (their length a uchar, or a uint when a face has more than 255
    /// corners). Throws CliError as OutputFile does.
    void write_ply(const FlattenedMesh& mesh, OutputFile& file);
}  // namespace tessaplan

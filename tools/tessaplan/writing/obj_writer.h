#pragma once

#include "writing/flattened_mesh.h"
#include "writing/output_file.h"

namespace tessaplan
{
    /// Writes `mesh` as OBJ text: a "v x y z" line per vertex, each
    /// coordinate as the shortest text that reads back as the same double;
    /// unless the mesh is flat, one "vt u v" line per vertex in the same
    /// order; and an "f" line per face as the input gave it ("f a/a b/b
    /// c/c", or "f a b c" when flat; 1-based). Throws CliError as OutputFile
    /// does.
    void write_obj(const FlattenedMesh& mesh, OutputFile& file);
}  // namespace tessaplan

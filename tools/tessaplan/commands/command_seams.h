#pragma once

#include "cli/options.h"
#include "reading/mesh_reader.h"
#include "reading/seams_file.h"

namespace tessaplan
{
    /// The seams a command cuts along: those of the --seams file, with
    /// their lines, then, with --seams-from-uv, the edges where the input's
    /// texture coordinates are discontinuous (without lines). Throws
    /// CliError as read_seams_file does.
    SeamsFile command_seams(const Options& options, const MeshReadResult& mesh);
}  // namespace tessaplan

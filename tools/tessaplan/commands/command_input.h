#pragma once

#include "cli/options.h"
#include "commands/report.h"
#include "reading/mesh_reader.h"

namespace tessaplan
{
    /// The first steps of every command: reads the input (read_mesh with
    /// the joining the options ask for), describes it in `report` (the
    /// file names, format, precision, transforms, counts, border edges and
    /// the seconds spent reading) and adds the reader's warnings (faces and
    /// points left out). Throws CliError as read_mesh and check_uv_set do.
    MeshReadResult read_command_input(const Options& options,
                                      InputReport& report);
}  // namespace tessaplan

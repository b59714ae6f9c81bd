#pragma once

#include <cstdint>
#include <string>

#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// The argument that makes this program the child of
    /// read_with_assimp_caged.
    inline constexpr const char* assimp_child_argument =
        "--internal-read-with-assimp";

    /// Reads a file of `size` bytes through assimp (read_with_assimp) in a
    /// child process: this program again, run with assimp_child_argument,
    /// under limits on memory, CPU time and wall time, handing the mesh
    /// back through a pipe. assimp's code never runs in this process, so
    /// its crashes, aborts and endless loops cannot take it down. Throws
    /// CliError (invalid_input) with the child's message when it refuses
    /// the file, and with one line naming the format's reader when it dies
    /// by a signal or runs over a limit.
    PolygonSoup read_with_assimp_caged(const std::string& path,
                                       std::uint64_t size);

    /// The child's side: reads `path` through assimp and writes the mesh to
    /// standard output. Returns the exit status: 0, 4 with the message on
    /// standard error when the file is refused, or 3 when memory runs out.
    int run_assimp_child(const std::string& path);
}  // namespace tessaplan

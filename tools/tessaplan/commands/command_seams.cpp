#include "commands/command_seams.h"

#include <tessaplan/seam_cut.h>

namespace tessaplan
{
    SeamsFile command_seams(const Options& options, const MeshReadResult& mesh)
    {
        auto seams = options.seams.empty() ? SeamsFile{}
                                           : read_seams_file(options.seams);
        if (options.seams_from_uv)
        {
            const auto uv_seams =
                nodara::seam_edges(*mesh.surface, mesh.triangle_uvs);
            seams.seams.insert(seams.seams.end(), uv_seams.begin(),
                               uv_seams.end());
        }
        return seams;
    }
}  // namespace tessaplan

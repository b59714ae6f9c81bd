#include "reading/mesh_warnings.h"

namespace tessaplan
{
    std::vector<std::string> mesh_warnings(const MeshReadResult& mesh)
    {
        std::vector<std::string> warnings;
        if (mesh.nb_collapsed_faces > 0)
        {
            warnings.push_back(
                std::to_string(mesh.nb_collapsed_faces) +
                " triangles with fewer than three distinct vertices were "
                "left out");
        }
        if (mesh.nb_points_and_lines > 0)
        {
            warnings.push_back(std::to_string(mesh.nb_points_and_lines) +
                               " points and line segments were left out");
        }
        return warnings;
    }
}  // namespace tessaplan

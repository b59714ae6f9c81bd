#include "mesh_warnings.h"

#include <algorithm>

#include <velmora/mesh/duplicate_triangles.h>

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
        const auto duplicates = nodara::find_duplicate_triangles(*mesh.surface);
        if (!duplicates.empty())
        {
            const auto reversed =
                std::count_if(duplicates.begin(), duplicates.end(),
                              [](const nodara::DuplicateTriangle& duplicate)
                              { return duplicate.reversed; });
            warnings.push_back(
                std::to_string(duplicates.size()) +
                " triangles repeat the vertices of an earlier one (" +
                std::to_string(reversed) +
                " of them reversed): duplicates degrade the flattening");
        }
        return warnings;
    }
}  // namespace tessaplan

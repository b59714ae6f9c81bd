#pragma once

#include <string>
#include <vector>

#include "reading/mesh_reader.h"

namespace tessaplan
{
    /// What the user should know about a mesh as read: faces and points
    /// left out.
    std::vector<std::string> mesh_warnings(const MeshReadResult& mesh);
}  // namespace tessaplan

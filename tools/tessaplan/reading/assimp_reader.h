#pragma once

#include <string>

#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// Reads any format assimp knows but OBJ, OFF, PLY and STL (glTF/GLB,
    /// COLLADA, 3DS, FBX...), chosen by assimp from the content and the
    /// extension. Coordinates are single precision; every mesh that a node
    /// of the scene refers to is placed by that node's world transform and
    /// merged into one soup, in depth-first node order, without any other
    /// processing step (a file whose nodes place no mesh gives all its
    /// meshes as stored). Throws CliError (invalid_input) when assimp cannot
    /// read the file or a face names a vertex its mesh does not have.
    PolygonSoup read_with_assimp(const std::string& path);
}  // namespace tessaplan

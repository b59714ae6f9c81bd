#pragma once

#include <string>

#include "polygon_soup.h"

namespace tessaplan
{
    /// Reads any format assimp knows but OBJ, OFF, PLY and STL (glTF/GLB,
    /// COLLADA, 3DS, FBX...), chosen by assimp from the content and the
    /// extension. Coordinates are single precision; the meshes of the file
    /// are merged into one soup, in their order, without any processing
    /// step. Throws CliError (invalid_input) when assimp cannot read the
    /// file or a face names a vertex its mesh does not have.
    PolygonSoup read_with_assimp(const std::string& path);
}  // namespace tessaplan

#pragma once

#include <string>
#include <vector>

#include <tiny_gltf.h>
#include <velmora/geometry/point.h>

#include "reading/gltf_scene.h"

namespace tessaplan
{
    /// The attribute name of texture coordinate set `set`: "TEXCOORD_<set>".
    std::string texcoord_name(int set);

    /// Appends the texture coordinate `uv` as glTF stores it, (u, 1 - v) in
    /// single precision: glTF's texture space starts at the image's top
    /// left, tessaplan's at its bottom left. Throws CliError
    /// (cannot_write_output) naming `path` for a value beyond single
    /// precision.
    void append_texcoord(std::vector<float>& values, const nodara::Point<2>& uv,
                         const std::string& path);

    /// Checks that every primitive of `instances` has the texture
    /// coordinate sets below `set`, as glTF wants them numbered without a
    /// gap. Throws CliError (invalid_input) naming the first primitive
    /// without one.
    void check_texcoord_set(const tinygltf::Model& model,
                            const std::vector<GltfPrimitiveInstance>& instances,
                            int set, const std::string& input);
}  // namespace tessaplan

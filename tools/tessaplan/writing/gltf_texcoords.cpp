#include "writing/gltf_texcoords.h"

#include <cmath>

#include "cli/cli_error.h"

namespace tessaplan
{
    std::string texcoord_name(int set)
    {
        return "TEXCOORD_" + std::to_string(set);
    }

    void append_texcoord(std::vector<float>& values, const nodara::Point<2>& uv,
                         const std::string& path)
    {
        for (const double value : {uv[0], 1.0 - uv[1]})
        {
            const auto single = static_cast<float>(value);
            if (!std::isfinite(single))
            {
                throw CliError{ExitCode::cannot_write_output,
                               "cannot write '" + path +
                                   "': a texture coordinate is beyond glTF's "
                                   "single precision; write .obj or .ply "
                                   "instead"};
            }
            values.push_back(single);
        }
    }

    void check_texcoord_set(const tinygltf::Model& model,
                            const std::vector<GltfPrimitiveInstance>& instances,
                            int set, const std::string& input)
    {
        for (const auto& instance : instances)
        {
            const auto& primitive =
                model.meshes[static_cast<std::size_t>(instance.mesh)]
                    .primitives[static_cast<std::size_t>(instance.primitive)];
            for (int below = 0; below < set; ++below)
            {
                if (primitive.attributes.count(texcoord_name(below)) == 0)
                {
                    throw CliError{
                        ExitCode::invalid_input,
                        "'" + input + "': primitive " +
                            std::to_string(instance.primitive) + " of mesh " +
                            std::to_string(instance.mesh) + " has no " +
                            texcoord_name(below) + ", so --uv-set " +
                            std::to_string(set) +
                            " would leave a gap in its texture coordinate "
                            "sets"};
                }
            }
        }
    }
}  // namespace tessaplan

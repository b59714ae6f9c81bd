#include "writing/gltf_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

// tinygltf's implementation, without decoding or encoding images (the
// target's definitions TINYGLTF_NO_STB_IMAGE, TINYGLTF_NO_STB_IMAGE_WRITE
// and TINYGLTF_NO_EXTERNAL_IMAGE, which every file that includes tinygltf
// must share).
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        template <typename T>
        void append(std::vector<unsigned char>& data, T value)
        {
            const auto at = data.size();
            data.resize(at + sizeof value);
            std::memcpy(data.data() + at, &value, sizeof value);
        }

        // Appends a view and an accessor of `count` elements starting at
        // `offset` of the one buffer; returns the accessor's number.
        int add_accessor(tinygltf::Model& model, std::size_t offset,
                         std::size_t length, std::size_t count,
                         int component_type, int type, int target)
        {
            tinygltf::BufferView view;
            view.buffer = 0;
            view.byteOffset = offset;
            view.byteLength = length;
            view.target = target;
            model.bufferViews.push_back(view);
            tinygltf::Accessor accessor;
            accessor.bufferView =
                static_cast<int>(model.bufferViews.size()) - 1;
            accessor.componentType = component_type;
            accessor.count = count;
            accessor.type = type;
            model.accessors.push_back(accessor);
            return static_cast<int>(model.accessors.size()) - 1;
        }

        // POSITION needs its bounds.
        void set_bounds(tinygltf::Accessor& accessor,
                        const std::vector<float>& values)
        {
            accessor.minValues.assign(3, std::numeric_limits<double>::max());
            accessor.maxValues.assign(3, -std::numeric_limits<double>::max());
            for (std::size_t i = 0; i < values.size(); ++i)
            {
                auto& low = accessor.minValues[i % 3];
                auto& high = accessor.maxValues[i % 3];
                low = std::min(low, double{values[i]});
                high = std::max(high, double{values[i]});
            }
        }

        // glTF stores single precision: a value beyond its range would be
        // written as infinity, which no reader accepts.
        float stored(double value, nodara::index_t vertex, const char* what,
                     const std::string& path)
        {
            const auto single = static_cast<float>(value);
            if (!std::isfinite(single))
            {
                char text[32];
                std::snprintf(text, sizeof text, "%.6g", value);
                throw CliError{ExitCode::cannot_write_output,
                               "cannot write '" + path + "': vertex " +
                                   std::to_string(vertex) + " has a " + what +
                                   " beyond glTF's single precision (" + text +
                                   "); write .obj or .ply instead"};
            }
            return single;
        }

        // glTF allows integers of 32 bits for indices only: the input
        // vertex of each written vertex goes in a float, exact below 2^24.
        void add_original_index(tinygltf::Model& model,
                                tinygltf::Primitive& primitive,
                                const std::vector<nodara::index_t>& original,
                                std::vector<unsigned char>& data,
                                const std::string& path)
        {
            constexpr nodara::index_t exact = 1u << 24;
            const auto offset = data.size();
            for (const auto index : original)
            {
                if (index >= exact)
                {
                    throw CliError{ExitCode::cannot_write_output,
                                   "cannot write '" + path + "': vertex " +
                                       std::to_string(index) +
                                       " of the input is beyond the 2^24 "
                                       "that _ORIGINAL_INDEX holds exactly; "
                                       "write .ply instead"};
                }
                append(data, static_cast<float>(index));
            }
            primitive.attributes["_ORIGINAL_INDEX"] = add_accessor(
                model, offset, data.size() - offset, original.size(),
                TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR,
                TINYGLTF_TARGET_ARRAY_BUFFER);
        }

        tinygltf::Model make_model(const FlattenedMesh& mesh,
                                   const std::string& path)
        {
            const auto& surface = mesh.surface;
            std::vector<float> positions;
            std::vector<unsigned char> data;
            for (nodara::index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                const auto point = mesh.position(v);
                for (std::size_t k = 0; k < 3; ++k)
                {
                    positions.push_back(
                        stored(point[k], v, "coordinate", path));
                    append(data, positions.back());
                }
            }
            const auto uv_offset = data.size();
            for (nodara::index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                append(data,
                       stored(mesh.uv[v][0], v, "texture coordinate", path));
                // glTF's texture space has its origin at the image's top
                // left, OBJ's and ours at its bottom left.
                append(data, stored(1.0 - mesh.uv[v][1], v,
                                    "texture coordinate", path));
            }
            const auto index_offset = data.size();
            for (nodara::index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                for (const auto vertex : surface.polygon_vertices(t))
                {
                    append(data, static_cast<std::uint32_t>(vertex));
                }
            }

            tinygltf::Model model;
            const auto n = surface.nb_vertices();
            tinygltf::Primitive primitive;
            primitive.mode = TINYGLTF_MODE_TRIANGLES;
            primitive.attributes["POSITION"] = add_accessor(
                model, 0, uv_offset, n, TINYGLTF_COMPONENT_TYPE_FLOAT,
                TINYGLTF_TYPE_VEC3, TINYGLTF_TARGET_ARRAY_BUFFER);
            set_bounds(model.accessors.back(), positions);
            primitive.attributes["TEXCOORD_0"] =
                add_accessor(model, uv_offset, index_offset - uv_offset, n,
                             TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2,
                             TINYGLTF_TARGET_ARRAY_BUFFER);
            primitive.indices = add_accessor(
                model, index_offset, data.size() - index_offset,
                3 * std::size_t{surface.nb_polygons()},
                TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR,
                TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);

            if (mesh.original_index)
            {
                add_original_index(model, primitive, *mesh.original_index, data,
                                   path);
            }
            tinygltf::Buffer buffer;
            buffer.data = std::move(data);
            model.buffers.push_back(std::move(buffer));
            tinygltf::Mesh gltf_mesh;
            gltf_mesh.name = "flattened";
            gltf_mesh.primitives.push_back(primitive);
            model.meshes.push_back(gltf_mesh);
            tinygltf::Node node;
            node.mesh = 0;
            model.nodes.push_back(node);
            tinygltf::Scene scene;
            scene.nodes.push_back(0);
            model.scenes.push_back(scene);
            model.defaultScene = 0;
            model.asset.version = "2.0";
            model.asset.generator = "tessaplan";
            return model;
        }
    }  // namespace

    void write_gltf(const FlattenedMesh& mesh, bool binary, OutputFile& file)
    {
        const auto model = make_model(mesh, file.path());
        std::ostringstream text;
        tinygltf::TinyGLTF writer;
        if (!writer.WriteGltfSceneToStream(&model, text, false, binary))
        {
            throw CliError{
                ExitCode::cannot_write_output,
                "cannot write '" + file.path() + "': the glTF writer failed"};
        }
        file.write(text.str());
    }
}  // namespace tessaplan

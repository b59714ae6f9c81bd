#include "writing/gltf_atlas_split.h"

#include <cstring>
#include <utility>

#include <absl/container/flat_hash_map.h>

#include "cli/cli_error.h"
#include "reading/gltf_accessor_data.h"
#include "writing/gltf_texcoords.h"

namespace tessaplan
{
    namespace
    {
        // The split vertices: per new vertex its (primitive vertex, cut
        // vertex), and the new triangles.
        struct SplitVertices
        {
            std::vector<std::pair<std::uint32_t, nodara::index_t>> corners;
            std::vector<std::uint32_t> indices;
        };

        SplitVertices split_vertices(
            const GltfPrimitiveInstance& instance,
            const std::vector<std::uint64_t>& surface_triangle,
            const nodara::SeamCut& cut)
        {
            SplitVertices split;
            absl::flat_hash_map<std::pair<std::uint32_t, nodara::index_t>,
                                std::uint32_t>
                number;
            for (std::size_t k = 0; k < instance.triangles.size(); ++k)
            {
                const auto t = surface_triangle[instance.first_triangle + k];
                if (t == no_triangle)
                {
                    continue;
                }
                const auto& corners = cut.surface->polygon_vertices(
                    static_cast<nodara::index_t>(t));
                for (std::size_t c = 0; c < 3; ++c)
                {
                    const std::pair<std::uint32_t, nodara::index_t> key{
                        instance.triangles[k][c], corners[c]};
                    const auto found = number.emplace(
                        key, static_cast<std::uint32_t>(split.corners.size()));
                    if (found.second)
                    {
                        split.corners.push_back(key);
                    }
                    split.indices.push_back(found.first->second);
                }
            }
            return split;
        }

        // The elements of accessor `index` at the split vertices' primitive
        // vertices, as a new attribute (POSITION-like float VEC3 with its
        // bounds).
        int copied_attribute(const tinygltf::Model& model, int index,
                             const SplitVertices& split,
                             GltfBufferAppender& appender)
        {
            const auto& accessor =
                model.accessors[static_cast<std::size_t>(index)];
            const auto source = accessor_bytes(model, index);
            const auto size = element_size(accessor);
            std::vector<unsigned char> packed(split.corners.size() * size);
            for (std::size_t v = 0; v < split.corners.size(); ++v)
            {
                std::memcpy(packed.data() + v * size,
                            source.data() + split.corners[v].first * size,
                            size);
            }
            if (accessor.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT &&
                accessor.type == TINYGLTF_TYPE_VEC3)
            {
                std::vector<float> values(packed.size() / sizeof(float));
                std::memcpy(values.data(), packed.data(), packed.size());
                return appender.add_floats(values, TINYGLTF_TYPE_VEC3,
                                           !accessor.minValues.empty());
            }
            return appender.add_attribute(packed, accessor);
        }

        std::map<std::string, int> copied_attributes(
            const tinygltf::Model& model,
            const std::map<std::string, int>& attributes,
            const SplitVertices& split, const std::string& replaced,
            GltfBufferAppender& appender)
        {
            std::map<std::string, int> copied;
            for (const auto& attribute : attributes)
            {
                if (attribute.first != replaced &&
                    attribute.first != "_ORIGINAL_INDEX")
                {
                    copied[attribute.first] = copied_attribute(
                        model, attribute.second, split, appender);
                }
            }
            return copied;
        }

        int original_index(const SplitVertices& split,
                           GltfBufferAppender& appender,
                           const std::string& output)
        {
            constexpr std::uint32_t exact = 1u << 24;
            std::vector<float> values;
            values.reserve(split.corners.size());
            for (const auto& corner : split.corners)
            {
                if (corner.first >= exact)
                {
                    throw CliError{ExitCode::cannot_write_output,
                                   "cannot write '" + output + "': vertex " +
                                       std::to_string(corner.first) +
                                       " of a primitive is beyond the 2^24 "
                                       "that _ORIGINAL_INDEX holds exactly"};
                }
                values.push_back(static_cast<float>(corner.first));
            }
            return appender.add_floats(values, TINYGLTF_TYPE_SCALAR);
        }
    }  // namespace

    std::vector<std::uint64_t> surface_triangles(
        const GltfScene& scene, std::uint64_t nb_surface_triangles)
    {
        std::vector<std::uint64_t> surface;
        std::uint64_t next = 0;
        for (const auto& instance : scene.instances)
        {
            for (const auto& triangle : instance.triangles)
            {
                std::array<std::uint64_t, 3> v{};
                for (std::size_t c = 0; c < 3; ++c)
                {
                    v[c] =
                        scene.surface_vertex[instance.soup_vertex[triangle[c]]];
                }
                const bool kept = v[0] != v[1] && v[1] != v[2] && v[2] != v[0];
                surface.push_back(kept ? next++ : no_triangle);
            }
        }
        if (next != nb_surface_triangles)
        {
            throw CliError{ExitCode::internal_error,
                           "the glTF triangles (" + std::to_string(next) +
                               ") do not match the surface's (" +
                               std::to_string(nb_surface_triangles) + ")"};
        }
        return surface;
    }

    tinygltf::Primitive split_primitive(
        const tinygltf::Primitive& original,
        const GltfPrimitiveInstance& instance,
        const std::vector<std::uint64_t>& surface_triangle,
        const nodara::SeamCut& cut, int uv_set, GltfBufferAppender& appender,
        const std::string& output)
    {
        const auto& model = appender.model();
        auto primitive = original;
        const auto split = split_vertices(instance, surface_triangle, cut);
        if (split.corners.empty())
        {
            // Every triangle had two corners at one position.
            return primitive;
        }
        const auto uv_name = texcoord_name(uv_set);
        primitive.attributes = copied_attributes(model, primitive.attributes,
                                                 split, uv_name, appender);
        for (auto& target : primitive.targets)
        {
            target = copied_attributes(model, target, split, "", appender);
        }
        std::vector<float> uv;
        uv.reserve(2 * split.corners.size());
        for (const auto& corner : split.corners)
        {
            append_texcoord(uv, cut.images[corner.second], output);
        }
        primitive.attributes[uv_name] =
            appender.add_floats(uv, TINYGLTF_TYPE_VEC2);
        primitive.attributes["_ORIGINAL_INDEX"] =
            original_index(split, appender, output);
        primitive.indices = appender.add_indices(split.indices);
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        return primitive;
    }
}  // namespace tessaplan

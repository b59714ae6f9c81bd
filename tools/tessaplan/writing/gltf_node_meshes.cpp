#include "writing/gltf_node_meshes.h"

#include <map>
#include <utility>

namespace tessaplan
{
    namespace
    {
        // Where the document ended before a node's edits.
        struct Mark
        {
            std::size_t bytes;
            std::size_t views;
            std::size_t accessors;
        };

        Mark mark(const tinygltf::Model& model)
        {
            return {model.buffers.front().data.size(), model.bufferViews.size(),
                    model.accessors.size()};
        }

        void take_back(tinygltf::Model& model, const Mark& before)
        {
            model.buffers.front().data.resize(before.bytes);
            model.bufferViews.resize(before.views);
            model.accessors.resize(before.accessors);
        }

        // A version of a mesh: its index and the bytes its edits added.
        using Variant = std::pair<int, std::vector<unsigned char>>;

        int place_variant(tinygltf::Model& model, int mesh,
                          tinygltf::Mesh edited, const Mark& before,
                          std::vector<Variant>& variants)
        {
            const auto& data = model.buffers.front().data;
            std::vector<unsigned char> added(
                data.begin() + static_cast<std::ptrdiff_t>(before.bytes),
                data.end());
            for (const auto& variant : variants)
            {
                if (variant.second == added)
                {
                    take_back(model, before);
                    return variant.first;
                }
            }
            int index = mesh;
            if (variants.empty())
            {
                model.meshes[static_cast<std::size_t>(mesh)] =
                    std::move(edited);
            }
            else
            {
                model.meshes.push_back(std::move(edited));
                index = static_cast<int>(model.meshes.size()) - 1;
            }
            variants.emplace_back(index, std::move(added));
            return index;
        }
    }  // namespace

    void edit_node_meshes(tinygltf::Model& model,
                          const std::vector<GltfPrimitiveInstance>& instances,
                          const PrimitiveEdit& edit)
    {
        const auto originals = model.meshes;
        std::map<int, std::vector<Variant>> variants;
        GltfBufferAppender appender{model};
        for (std::size_t first = 0; first < instances.size();)
        {
            const auto node = instances[first].node;
            const auto mesh = instances[first].mesh;
            const auto before = mark(model);
            auto edited = originals[static_cast<std::size_t>(mesh)];
            auto end = first;
            for (; end < instances.size() && instances[end].node == node; ++end)
            {
                auto& primitive = edited.primitives[static_cast<std::size_t>(
                    instances[end].primitive)];
                primitive = edit(primitive, instances[end], appender);
            }
            model.nodes[static_cast<std::size_t>(node)].mesh = place_variant(
                model, mesh, std::move(edited), before, variants[mesh]);
            first = end;
        }
    }
}  // namespace tessaplan

#include "reading/gltf_document_checks.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "cli/cli_error.h"
#include "reading/gltf_accessor_data.h"

namespace tessaplan
{
    namespace
    {
        // Elements an accessor without a buffer view (all zeros) may have.
        constexpr std::size_t max_zero_elements = std::size_t{1} << 26;

        CliError fault(const std::string& path, const std::string& what)
        {
            return CliError{ExitCode::invalid_input,
                            "cannot read '" + path + "': " + what};
        }

        template <typename T>
        bool names_one_of(int index, const std::vector<T>& list)
        {
            return index >= 0 && static_cast<std::size_t>(index) < list.size();
        }

        // Whether `count` elements of `size` bytes, `stride` apart, from
        // `offset` fit in `length` bytes.
        bool fits(std::uint64_t offset, std::uint64_t count, std::uint64_t size,
                  std::uint64_t stride, std::uint64_t length)
        {
            if (count == 0)
            {
                return offset <= length;
            }
            return offset <= length && size <= length - offset &&
                   (count - 1) <= (length - offset - size) / stride;
        }

        void check_views(const tinygltf::Model& model, const std::string& path)
        {
            for (std::size_t v = 0; v < model.bufferViews.size(); ++v)
            {
                const auto& view = model.bufferViews[v];
                const auto name = "buffer view " + std::to_string(v);
                if (!names_one_of(view.buffer, model.buffers))
                {
                    throw fault(path, name + " names no buffer");
                }
                const auto size =
                    model.buffers[static_cast<std::size_t>(view.buffer)]
                        .data.size();
                if (!fits(view.byteOffset, 1, view.byteLength, 1, size))
                {
                    throw fault(path, name + " goes past the end of buffer " +
                                          std::to_string(view.buffer) + " (" +
                                          std::to_string(size) + " bytes)");
                }
                if (view.byteStride != 0 &&
                    (view.byteStride < 4 || view.byteStride > 252))
                {
                    throw fault(path, name + " has a byteStride of " +
                                          std::to_string(view.byteStride));
                }
            }
        }

        void check_sparse(const tinygltf::Model& model,
                          const tinygltf::Accessor& accessor,
                          const std::string& name, const std::string& path)
        {
            const auto& sparse = accessor.sparse;
            const auto index_size =
                component_size(sparse.indices.componentType);
            if (sparse.count < 1 ||
                static_cast<std::size_t>(sparse.count) > accessor.count ||
                !names_one_of(sparse.indices.bufferView, model.bufferViews) ||
                !names_one_of(sparse.values.bufferView, model.bufferViews) ||
                index_size == 0 ||
                sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_BYTE ||
                sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_SHORT ||
                sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT ||
                sparse.indices.byteOffset < 0 || sparse.values.byteOffset < 0)
            {
                throw fault(path, name + " has sparse values it cannot hold");
            }
            const auto& indices = model.bufferViews[static_cast<std::size_t>(
                sparse.indices.bufferView)];
            const auto& values = model.bufferViews[static_cast<std::size_t>(
                sparse.values.bufferView)];
            const auto count = static_cast<std::uint64_t>(sparse.count);
            if (!fits(static_cast<std::uint64_t>(sparse.indices.byteOffset),
                      count, index_size, index_size, indices.byteLength) ||
                !fits(static_cast<std::uint64_t>(sparse.values.byteOffset),
                      count, element_size(accessor), element_size(accessor),
                      values.byteLength))
            {
                throw fault(path, name +
                                      "'s sparse values go past the end "
                                      "of their buffer views");
            }
        }

        void check_accessor(const tinygltf::Model& model, std::size_t index,
                            const std::string& path)
        {
            const auto& accessor = model.accessors[index];
            const auto name = "accessor " + std::to_string(index);
            const auto size = element_size(accessor);
            if (size == 0)
            {
                throw fault(path, name +
                                      " has an unknown type or component "
                                      "type");
            }
            if (accessor.sparse.isSparse)
            {
                check_sparse(model, accessor, name, path);
            }
            if (accessor.bufferView < 0)
            {
                if (accessor.count > max_zero_elements)
                {
                    throw fault(path, name +
                                          " has no data and too many "
                                          "elements");
                }
                return;
            }
            if (!names_one_of(accessor.bufferView, model.bufferViews))
            {
                throw fault(path, name + " names no buffer view");
            }
            const auto& view =
                model
                    .bufferViews[static_cast<std::size_t>(accessor.bufferView)];
            const auto stride = view.byteStride != 0 ? view.byteStride : size;
            if (stride < size)
            {
                throw fault(path, name + " has elements of " +
                                      std::to_string(size) +
                                      " bytes, wider than its byteStride");
            }
            if (!fits(accessor.byteOffset, accessor.count, size, stride,
                      view.byteLength))
            {
                throw fault(path,
                            name + " (" + std::to_string(accessor.count) +
                                " elements of " + std::to_string(size) +
                                " bytes) goes past the end of buffer view " +
                                std::to_string(accessor.bufferView) + " (" +
                                std::to_string(view.byteLength) + " bytes)");
            }
        }

        void check_attributes(const tinygltf::Model& model,
                              const std::map<std::string, int>& attributes,
                              const std::string& name, const std::string& path)
        {
            for (const auto& attribute : attributes)
            {
                if (!names_one_of(attribute.second, model.accessors))
                {
                    throw fault(path, name + "'s " + attribute.first +
                                          " names no accessor");
                }
            }
        }

        void check_position(const tinygltf::Model& model,
                            const tinygltf::Primitive& primitive,
                            const std::string& name, const std::string& path)
        {
            if (primitive.extensions.count("KHR_draco_mesh_compression") > 0)
            {
                throw fault(path, name +
                                      " is compressed with Draco, which "
                                      "tessaplan does not read");
            }
            const auto position = primitive.attributes.find("POSITION");
            if (position == primitive.attributes.end())
            {
                throw fault(path, name + " has no POSITION");
            }
            const auto& accessor =
                model.accessors[static_cast<std::size_t>(position->second)];
            if (accessor.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT ||
                accessor.type != TINYGLTF_TYPE_VEC3)
            {
                throw fault(path, name +
                                      " has quantized positions (not float "
                                      "VEC3), which tessaplan does not "
                                      "read");
            }
        }

        // Whether an accessor can hold indices: one unsigned byte, short
        // or int per element, which is all the readers take.
        bool are_index_values(const tinygltf::Accessor& accessor)
        {
            return accessor.type == TINYGLTF_TYPE_SCALAR &&
                   (accessor.componentType ==
                        TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                    accessor.componentType ==
                        TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ||
                    accessor.componentType ==
                        TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
        }

        void check_meshes(const tinygltf::Model& model, const std::string& path)
        {
            for (std::size_t m = 0; m < model.meshes.size(); ++m)
            {
                const auto& primitives = model.meshes[m].primitives;
                for (std::size_t p = 0; p < primitives.size(); ++p)
                {
                    const auto name = "primitive " + std::to_string(p) +
                                      " of mesh " + std::to_string(m);
                    const auto& primitive = primitives[p];
                    check_attributes(model, primitive.attributes, name, path);
                    for (const auto& target : primitive.targets)
                    {
                        check_attributes(model, target, name, path);
                    }
                    if (primitive.indices >= 0 &&
                        !names_one_of(primitive.indices, model.accessors))
                    {
                        throw fault(path, name + "'s indices name no accessor");
                    }
                    if (primitive.indices >= 0 &&
                        !are_index_values(
                            model.accessors[static_cast<std::size_t>(
                                primitive.indices)]))
                    {
                        throw fault(path, name +
                                              "'s indices are not unsigned "
                                              "bytes, shorts or ints, one "
                                              "per element");
                    }
                    check_position(model, primitive, name, path);
                }
            }
        }

        // Each node's parent (-1 for none). Throws for a child that does
        // not exist or a node with two parents.
        std::vector<int> node_parents(const tinygltf::Model& model,
                                      const std::string& path)
        {
            std::vector<int> parent(model.nodes.size(), -1);
            for (std::size_t n = 0; n < model.nodes.size(); ++n)
            {
                for (const auto child : model.nodes[n].children)
                {
                    if (!names_one_of(child, model.nodes))
                    {
                        throw fault(path, "node " + std::to_string(n) +
                                              " has a child that does not "
                                              "exist");
                    }
                    auto& slot = parent[static_cast<std::size_t>(child)];
                    if (slot >= 0)
                    {
                        throw fault(path, "node " + std::to_string(child) +
                                              " has two parents");
                    }
                    slot = static_cast<int>(n);
                }
            }
            return parent;
        }

        // Depths from the roots, each node's once: a walk up from a node
        // whose depth is not known yet stops at one that is, at a root, or
        // at a node met earlier on the same walk (a cycle).
        void check_hierarchy(const tinygltf::Model& model,
                             const std::string& path)
        {
            const auto parent = node_parents(model, path);
            constexpr std::size_t unknown = SIZE_MAX;
            constexpr std::size_t on_walk = SIZE_MAX - 1;
            std::vector<std::size_t> depth(parent.size(), unknown);
            std::vector<std::size_t> walk;
            for (std::size_t start = 0; start < parent.size(); ++start)
            {
                walk.clear();
                auto node = static_cast<int>(start);
                std::size_t base = 0;
                while (node >= 0 && depth[node] == unknown)
                {
                    depth[node] = on_walk;
                    walk.push_back(static_cast<std::size_t>(node));
                    node = parent[static_cast<std::size_t>(node)];
                }
                if (node >= 0 && depth[node] == on_walk)
                {
                    throw fault(path, "its nodes form a cycle (through node " +
                                          std::to_string(node) + ")");
                }
                base = node >= 0 ? depth[node] + 1 : 0;
                for (auto k = walk.size(); k-- > 0;)
                {
                    depth[walk[k]] = base + (walk.size() - 1 - k);
                }
                if (!walk.empty() && depth[walk.front()] >= max_node_depth)
                {
                    throw fault(path, "its node hierarchy is deeper than " +
                                          std::to_string(max_node_depth) +
                                          " levels");
                }
            }
        }

        void check_scenes(const tinygltf::Model& model, const std::string& path)
        {
            if (model.defaultScene >= 0 &&
                !names_one_of(model.defaultScene, model.scenes))
            {
                throw fault(path, "its default scene does not exist");
            }
            const auto parent = node_parents(model, path);
            for (std::size_t s = 0; s < model.scenes.size(); ++s)
            {
                auto roots = model.scenes[s].nodes;
                std::sort(roots.begin(), roots.end());
                for (std::size_t k = 0; k < roots.size(); ++k)
                {
                    if (!names_one_of(roots[k], model.nodes) ||
                        parent[static_cast<std::size_t>(roots[k])] >= 0 ||
                        (k > 0 && roots[k] == roots[k - 1]))
                    {
                        throw fault(path, "scene " + std::to_string(s) +
                                              " has a node that does not "
                                              "exist, is a child or is "
                                              "listed twice");
                    }
                }
            }
            for (std::size_t n = 0; n < model.nodes.size(); ++n)
            {
                const auto mesh = model.nodes[n].mesh;
                if (mesh >= 0 && !names_one_of(mesh, model.meshes))
                {
                    throw fault(path, "node " + std::to_string(n) +
                                          " names a mesh that does not exist");
                }
            }
        }
    }  // namespace

    void check_gltf_document(const tinygltf::Model& model,
                             const std::string& path)
    {
        check_views(model, path);
        for (std::size_t a = 0; a < model.accessors.size(); ++a)
        {
            check_accessor(model, a, path);
        }
        for (std::size_t i = 0; i < model.images.size(); ++i)
        {
            const auto view = model.images[i].bufferView;
            if (view >= 0 && !names_one_of(view, model.bufferViews))
            {
                throw fault(path, "image " + std::to_string(i) +
                                      " names no buffer view");
            }
        }
        check_meshes(model, path);
        check_hierarchy(model, path);
        check_scenes(model, path);
    }
}  // namespace tessaplan

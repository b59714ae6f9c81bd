#include "reading/gltf_accessor_data.h"

#include <cstring>

namespace tessaplan
{
    namespace
    {
        // The unsigned integer at `data`, of a component type for indices.
        std::uint32_t unsigned_at(const unsigned char* data, int type)
        {
            switch (type)
            {
                case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
                    return data[0];
                case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
                {
                    std::uint16_t value = 0;
                    std::memcpy(&value, data, sizeof value);
                    return value;
                }
                default:
                {
                    std::uint32_t value = 0;
                    std::memcpy(&value, data, sizeof value);
                    return value;
                }
            }
        }

        // Puts the sparse values of `accessor` into `packed`.
        void apply_sparse(const tinygltf::Model& model,
                          const tinygltf::Accessor& accessor,
                          std::vector<unsigned char>& packed)
        {
            const auto& sparse = accessor.sparse;
            const auto& index_view = model.bufferViews[static_cast<std::size_t>(
                sparse.indices.bufferView)];
            const auto& value_view = model.bufferViews[static_cast<std::size_t>(
                sparse.values.bufferView)];
            const auto* indices =
                model.buffers[static_cast<std::size_t>(index_view.buffer)]
                    .data.data() +
                index_view.byteOffset +
                static_cast<std::size_t>(sparse.indices.byteOffset);
            const auto* values =
                model.buffers[static_cast<std::size_t>(value_view.buffer)]
                    .data.data() +
                value_view.byteOffset +
                static_cast<std::size_t>(sparse.values.byteOffset);
            const auto size = element_size(accessor);
            const auto index_size =
                component_size(sparse.indices.componentType);
            for (std::size_t k = 0; k < static_cast<std::size_t>(sparse.count);
                 ++k)
            {
                const auto target = unsigned_at(indices + k * index_size,
                                                sparse.indices.componentType);
                if (target < accessor.count)
                {
                    std::memcpy(packed.data() + target * size,
                                values + k * size, size);
                }
            }
        }
    }  // namespace

    std::size_t component_size(int component_type)
    {
        switch (component_type)
        {
            case TINYGLTF_COMPONENT_TYPE_BYTE:
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
                return 1;
            case TINYGLTF_COMPONENT_TYPE_SHORT:
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
                return 2;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
            case TINYGLTF_COMPONENT_TYPE_FLOAT:
                return 4;
            default:
                return 0;
        }
    }

    std::size_t component_count(int type)
    {
        switch (type)
        {
            case TINYGLTF_TYPE_SCALAR:
                return 1;
            case TINYGLTF_TYPE_VEC2:
                return 2;
            case TINYGLTF_TYPE_VEC3:
                return 3;
            case TINYGLTF_TYPE_VEC4:
            case TINYGLTF_TYPE_MAT2:
                return 4;
            case TINYGLTF_TYPE_MAT3:
                return 9;
            case TINYGLTF_TYPE_MAT4:
                return 16;
            default:
                return 0;
        }
    }

    std::size_t element_size(const tinygltf::Accessor& accessor)
    {
        return component_size(accessor.componentType) *
               component_count(accessor.type);
    }

    std::vector<unsigned char> accessor_bytes(const tinygltf::Model& model,
                                              int index)
    {
        const auto& accessor = model.accessors[static_cast<std::size_t>(index)];
        const auto size = element_size(accessor);
        std::vector<unsigned char> packed(accessor.count * size);
        if (accessor.bufferView >= 0)
        {
            const auto& view =
                model
                    .bufferViews[static_cast<std::size_t>(accessor.bufferView)];
            const auto stride = view.byteStride > 0 ? view.byteStride : size;
            const auto* first =
                model.buffers[static_cast<std::size_t>(view.buffer)]
                    .data.data() +
                view.byteOffset + accessor.byteOffset;
            for (std::size_t k = 0; k < accessor.count; ++k)
            {
                std::memcpy(packed.data() + k * size, first + k * stride, size);
            }
        }
        if (accessor.sparse.isSparse)
        {
            apply_sparse(model, accessor, packed);
        }
        return packed;
    }

    std::vector<std::uint32_t> accessor_indices(const tinygltf::Model& model,
                                                int index)
    {
        const auto& accessor = model.accessors[static_cast<std::size_t>(index)];
        const auto packed = accessor_bytes(model, index);
        const auto size = component_size(accessor.componentType);
        std::vector<std::uint32_t> values(accessor.count);
        for (std::size_t k = 0; k < values.size(); ++k)
        {
            values[k] =
                unsigned_at(packed.data() + k * size, accessor.componentType);
        }
        return values;
    }

    std::vector<std::array<double, 3>> accessor_points(
        const tinygltf::Model& model, int index)
    {
        const auto packed = accessor_bytes(model, index);
        std::vector<std::array<double, 3>> points(packed.size() /
                                                  (3 * sizeof(float)));
        for (std::size_t k = 0; k < points.size(); ++k)
        {
            float xyz[3];
            std::memcpy(xyz, packed.data() + k * sizeof xyz, sizeof xyz);
            points[k] = {xyz[0], xyz[1], xyz[2]};
        }
        return points;
    }
}  // namespace tessaplan

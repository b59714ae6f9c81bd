#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <tiny_gltf.h>

namespace tessaplan
{
    /// Bytes of one component of a glTF component type; 0 for one glTF does
    /// not have.
    std::size_t component_size(int component_type);

    /// Components of a glTF accessor type (SCALAR 1 ... MAT4 16); 0 for one
    /// glTF does not have.
    std::size_t component_count(int type);

    /// Bytes of one element of `accessor`, without padding.
    std::size_t element_size(const tinygltf::Accessor& accessor);

    /// The elements of accessor `index` of `model`, packed one after the
    /// other (count times element_size): read from its buffer view (zeros
    /// without one), with its sparse values put in. The document must have
    /// passed check_gltf_document, which bounds every read. Throws nothing.
    std::vector<unsigned char> accessor_bytes(const tinygltf::Model& model,
                                              int index);

    /// The values of accessor `index`, SCALAR of unsigned bytes, shorts or
    /// ints (indices), widened. The document must have passed
    /// check_gltf_document. Throws nothing.
    std::vector<std::uint32_t> accessor_indices(const tinygltf::Model& model,
                                                int index);

    /// The values of accessor `index`, VEC3 of floats (positions), in double
    /// precision. The document must have passed check_gltf_document.
    /// Throws nothing.
    std::vector<std::array<double, 3>> accessor_points(
        const tinygltf::Model& model, int index);
}  // namespace tessaplan

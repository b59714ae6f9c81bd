#pragma once

#include <cstddef>
#include <string>

#include <tiny_gltf.h>

namespace tessaplan
{
    /// The deepest node hierarchy a glTF document may have.
    constexpr std::size_t max_node_depth = 1000;

    /// Checks what tinygltf leaves unchecked in `model`, read from `path`,
    /// before any of its data is read: every buffer view lies inside its
    /// buffer, every accessor (count, component type, type, byteOffset,
    /// byteStride, sparse parts) inside its buffer view, every index a
    /// document holds names something that exists, the nodes form trees
    /// no deeper than max_node_depth (no cycle, no node with two parents,
    /// no scene root that is a child), and that what tessaplan cannot read
    /// is absent: primitives compressed with Draco, and positions that are
    /// not float VEC3 (quantized). Throws CliError (invalid_input)
    /// naming the first fault.
    void check_gltf_document(const tinygltf::Model& model,
                             const std::string& path);
}  // namespace tessaplan

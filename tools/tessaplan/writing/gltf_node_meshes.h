#pragma once

#include <functional>
#include <vector>

#include <tiny_gltf.h>

#include "reading/gltf_scene.h"
#include "writing/gltf_buffer_appender.h"

namespace tessaplan
{
    /// What a writer makes of one placed primitive (given as the input has
    /// it): the primitive to write in its place, its new data added with
    /// the appender.
    using PrimitiveEdit = std::function<tinygltf::Primitive(
        const tinygltf::Primitive&, const GltfPrimitiveInstance&,
        GltfBufferAppender&)>;

    /// Replaces the primitives of `instances` (build_gltf_soup's, whose
    /// buffers join_buffers joined) by what `edit` makes of them, node by
    /// node. The first node of a mesh edits the mesh itself; every other
    /// node of it gets a copy of the mesh with its own edits, unless they
    /// added exactly the bytes of an earlier node's, whose mesh it then
    /// shares (and its additions are taken back). Throws what `edit`
    /// throws.
    void edit_node_meshes(tinygltf::Model& model,
                          const std::vector<GltfPrimitiveInstance>& instances,
                          const PrimitiveEdit& edit);
}  // namespace tessaplan

#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "reading/gltf_scene.h"
#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// A glTF file read: its soup and its whole document.
    struct GltfReadResult
    {
        PolygonSoup soup;
        std::shared_ptr<GltfScene> scene;
    };

    /// Reads the glTF or GLB file `path` of `size` bytes with tinygltf in
    /// this process: checks its container and JSON nesting
    /// (gltf_container.h), the extensions it requires (Draco, meshopt and
    /// quantization are refused) and its references (GltfReferences) before
    /// parsing, the document after (check_gltf_document), keeps images as
    /// they are without decoding them, and makes the soup of its default
    /// scene (build_gltf_soup). Throws CliError: cannot_open_input when the
    /// file cannot be read, invalid_input for every fault those checks find
    /// and when tinygltf fails (with its first message).
    GltfReadResult read_gltf(const std::string& path, std::uint64_t size);
}  // namespace tessaplan

#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <vector>

#include <tiny_gltf.h>

#include "reading/polygon_soup.h"

namespace tessaplan
{
    /// The most vertices, and the most triangles, a scene may place (nodes
    /// that place one mesh many times multiply it).
    constexpr std::uint64_t max_soup_vertices = std::uint64_t{1} << 28;

    /// One triangle primitive placed by one node: its part of the soup.
    struct GltfPrimitiveInstance
    {
        int node{-1};
        int mesh{-1};
        int primitive{-1};
        /// Per vertex of the primitive (its POSITION's count), the soup
        /// vertex it became.
        std::vector<std::uint64_t> soup_vertex;
        /// Its triangles (strips and fans made triangles), as numbers of the
        /// primitive's vertices; soup polygon first_triangle + k is
        /// triangles[k].
        std::vector<std::array<std::uint32_t, 3>> triangles;
        std::uint64_t first_triangle{0};
    };

    /// Where a soup vertex comes from.
    struct GltfVertexSource
    {
        /// The index in GltfScene::instances.
        std::uint32_t instance{0};
        /// The vertex of its primitive.
        std::uint32_t vertex{0};
    };

    /// A glTF document as read, with how its default scene became a soup.
    struct GltfScene
    {
        tinygltf::Model model;
        /// The folder its images' URIs are relative to (canonical).
        std::filesystem::path folder;
        /// In soup order.
        std::vector<GltfPrimitiveInstance> instances;
        /// Per soup vertex.
        std::vector<GltfVertexSource> vertex_source;
        /// Per soup vertex, the surface vertex it was joined into (the
        /// identity when none were joined); set by read_mesh.
        std::vector<std::uint64_t> surface_vertex;
    };

    /// Fills `soup` from the default scene of `scene.model` (every root node
    /// when it names none): each node's mesh's primitives of triangles,
    /// strips or fans, their triangles' vertices placed by the node's world
    /// transform (composed in double precision), and records in `scene`
    /// where each soup vertex and triangle comes from. Every vertex of such
    /// a primitive is a soup vertex, used by a triangle or not. The document
    /// must have passed check_gltf_document. Throws CliError (invalid_input)
    /// for an index beyond its primitive's vertices, attributes of unequal
    /// counts, more than max_soup_vertices vertices or triangles, or no
    /// primitive of triangles at all.
    void build_gltf_soup(GltfScene& scene, PolygonSoup& soup,
                         const std::string& path);

    /// The nodes build_gltf_soup starts from: the default scene's, or
    /// every node without a parent when there is no default scene.
    std::vector<int> gltf_root_nodes(const tinygltf::Model& model);
}  // namespace tessaplan

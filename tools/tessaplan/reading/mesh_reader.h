#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <velmora/mesh/triangulated_surface.h>

#include "cli/options.h"
#include "reading/mesh_format.h"
#include "reading/polygon_soup.h"

namespace tessaplan
{
    struct GltfScene;

    /// A surface read from a file, with its faces as the file gives them.
    struct MeshReadResult
    {
        /// The file's vertices (joined ones once) and its faces split into
        /// triangles, with adjacencies.
        std::unique_ptr<nodara::TriangulatedSurface<3>> surface;
        /// The faces of three corners or more, in the file's order, with
        /// the surface's vertex numbers: what the output writes back.
        std::vector<Polygon> faces;
        MeshFormat format{MeshFormat::other};
        /// Whether the coordinates were stored (or read) in single
        /// precision: every format read through assimp, binary STL, and
        /// binary PLY whose coordinates are floats.
        bool single_precision{false};
        /// Whether node transforms placed the meshes (formats with a scene
        /// graph, read through assimp); false when every one was the
        /// identity.
        bool transforms_applied{false};
        /// Vertices joined into an earlier one at the same position.
        std::uint64_t nb_joined_vertices{0};
        /// Triangles left out because two of their corners are one vertex.
        nodara::index_t nb_collapsed_faces{0};
        /// Points and line segments, which a surface has no use for.
        nodara::index_t nb_points_and_lines{0};
        /// For glTF input, the whole document and where each vertex of the
        /// surface comes from; null for other formats.
        std::shared_ptr<GltfScene> gltf;
        /// Per triangle of `surface`, the file's texture coordinates of its
        /// corners, with v upwards, when read_mesh was asked for them; empty
        /// otherwise.
        std::vector<std::array<nodara::Point<2>, 3>> triangle_uvs;
    };

    /// The corners k of `face` whose triangle (0, k, k + 1) read_mesh
    /// keeps: those without a repeated corner.
    std::vector<std::size_t> fan_corners(const Polygon& face);

    /// The triangles of `face` as read_mesh makes them: a fan from its
    /// first corner, leaving out the triangles with a repeated corner.
    std::vector<std::array<nodara::index_t, 3>> fan_triangles(
        const Polygon& face);

    /// Reads a mesh file: OBJ, OFF, PLY and STL exactly (see read_exact),
    /// glTF and GLB with tinygltf keeping the document (see read_gltf),
    /// every other format through assimp (see read_with_assimp). Polygons
    /// are split into triangles as fans from their first corner. Vertices
    /// at the same position are joined with Weld::on, and with
    /// Weld::by_format for STL, glTF and the formats read through assimp
    /// (which split vertices per face); STL's are joined even with Weld::off,
    /// as it stores no shared vertices. Otherwise every vertex of the file is
    /// a vertex of the surface, used or not. Throws CliError: cannot_open_input
    /// when the file cannot be opened or is not a regular file, invalid_input
    /// when it cannot be read, claims counts it cannot hold, has a face that
    /// refers to a vertex that does not exist, a coordinate that is not finite,
    /// no triangle, or fewer than two vertices. With `uvs`, also reads the
    /// file's texture coordinates (OBJ's vt, PLY's vertex s and t, glTF's
    /// TEXCOORD_0, the first set of the formats read through assimp) into
    /// triangle_uvs, and throws CliError (invalid_input) when the file
    /// gives none, or none for a face, or one that is not finite.
    MeshReadResult read_mesh(const std::string& path, Weld weld,
                             bool uvs = false);
}  // namespace tessaplan

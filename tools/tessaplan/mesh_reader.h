#pragma once

#include <memory>
#include <string>

#include <velmora/mesh/triangulated_surface.h>

namespace tessaplan
{
    /// A surface read from a file, with what was left out of it.
    struct MeshReadResult
    {
        /// The triangles and the vertices they use, with adjacencies.
        std::unique_ptr<nodara::TriangulatedSurface<3>> surface;
        /// Faces whose corners fell on fewer than three distinct vertices
        /// once vertices at the same position were joined.
        nodara::index_t nb_collapsed_faces{0};
        /// Points and line segments, which a surface has no use for.
        nodara::index_t nb_points_and_lines{0};
        /// The number of objects (meshes) merged into the surface.
        nodara::index_t nb_meshes{0};
    };

    /// Reads an OBJ, OFF, PLY or STL file (chosen by its extension, in any
    /// letter case) with assimp. Polygons are split into triangles; vertices
    /// at exactly the same position are joined, within and across the
    /// file's meshes, which are merged into one surface. Vertices keep the
    /// order in which assimp gives them: the file's order for PLY and OFF,
    /// the order of first use by the faces for OBJ and STL. Throws CliError:
    /// cannot_open_input when the file cannot be opened, invalid_input when
    /// its format is not one of these, when the reader rejects it or reports
    /// an error, when a face refers to a vertex that does not exist, when a
    /// coordinate is not finite, when there is no triangle or fewer than two
    /// vertices.
    MeshReadResult read_mesh(const std::string& path);
}  // namespace tessaplan

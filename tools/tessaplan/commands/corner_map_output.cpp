#include "commands/corner_map_output.h"

#include <tessaplan/conversion.h>

#include "commands/picture_output.h"
#include "writing/atlas_obj_writer.h"
#include "writing/gltf_scene_writer.h"
#include "writing/mesh_writer.h"
#include "writing/obj_scene_writer.h"
#include "writing/output_file.h"

namespace tessaplan
{
    namespace
    {
        // The mesh split along the seams, as PLY or glTF: one vertex per
        // chart corner with its input vertex, the triangles.
        void write_split_mesh(const nodara::SeamCut& cut, OutputFile& file)
        {
            std::vector<Polygon> triangles;
            triangles.reserve(cut.surface->nb_polygons());
            for (nodara::index_t t = 0; t < cut.surface->nb_polygons(); ++t)
            {
                const auto& corners = cut.surface->polygon_vertices(t);
                triangles.push_back({corners[0], corners[1], corners[2]});
            }
            FlattenedMesh split{*cut.surface, triangles, cut.images, false,
                                &cut.source};
            write_mesh(split, file);
        }
    }  // namespace

    std::size_t write_corner_map(
        const Options& options, const MeshReadResult& mesh,
        const std::vector<nodara::index_t>& triangle_chart,
        const nodara::SeamCut& cut,
        const nodara::TriangleDistortions& distortions,
        const nodara::DistortionSummary& summary,
        const std::vector<nodara::index_t>* triangle_page)
    {
        OutputFile mesh_file{options.output};
        PictureOutput pictures{options};
        std::size_t nb_split = 0;
        if (triangle_page != nullptr)
        {
            nb_split =
                write_atlas_obj(*mesh.surface, mesh.faces, triangle_chart, cut,
                                mesh_file, triangle_page);
        }
        else if (keeps_obj_scene(mesh.format, options.output, false))
        {
            nb_split = write_atlas_into_obj(options.input, mesh.faces,
                                            triangle_chart, cut, mesh_file);
        }
        else if (keeps_gltf_scene(mesh, options.output, false))
        {
            write_gltf_scene_atlas(*mesh.gltf, cut, options.uv_set,
                                   options.input, mesh_file);
        }
        else if (writes_obj(options.output))
        {
            nb_split = write_atlas_obj(*mesh.surface, mesh.faces,
                                       triangle_chart, cut, mesh_file);
        }
        else
        {
            write_split_mesh(cut, mesh_file);
        }
        if (pictures.wanted())
        {
            const auto layout =
                nodara::convert_surface3d_into_2d(*cut.surface, cut.images);
            pictures.write(*layout, distortions, summary,
                           PictureBorders::outlined);
        }
        commit_together({&mesh_file, pictures.svg(), pictures.png()});
        return nb_split;
    }
}  // namespace tessaplan

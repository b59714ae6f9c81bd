#include "commands/flattening_output.h"

#include <tessaplan/conversion.h>

#include "commands/picture_output.h"
#include "writing/gltf_scene_writer.h"
#include "writing/mesh_writer.h"
#include "writing/obj_scene_writer.h"
#include "writing/output_file.h"
#include "writing/uv_transform.h"

namespace tessaplan
{
    void write_flattening(const MeshReadResult& mesh,
                          const nodara::TriangulatedSurface<3>& solved,
                          const std::vector<nodara::Point<2>>& uv,
                          const nodara::TriangleDistortions& distortions,
                          const nodara::DistortionSummary& summary,
                          const Options& options)
    {
        OutputFile obj_file{options.output};
        PictureOutput pictures{options};
        const auto transform =
            options.normalize ? unit_square_transform(uv) : UvTransform{};
        FlattenedMesh flattened{*mesh.surface, mesh.faces, {}, options.flat};
        for (const auto& point : uv)
        {
            flattened.uv.push_back(transform.apply(point));
        }
        if (keeps_obj_scene(mesh.format, options.output, options.flat))
        {
            write_flattening_into_obj(options.input, mesh.faces, flattened.uv,
                                      obj_file);
        }
        else if (keeps_gltf_scene(mesh, options.output, options.flat))
        {
            write_gltf_scene_flattening(*mesh.gltf, flattened.uv,
                                        options.uv_set, options.input,
                                        obj_file);
        }
        else
        {
            write_mesh(flattened, obj_file);
        }
        if (pictures.wanted())
        {
            const auto layout = nodara::convert_surface3d_into_2d(solved, uv);
            pictures.write(*layout, distortions, summary,
                           PictureBorders::plain);
        }
        commit_together({&obj_file, pictures.svg(), pictures.png()});
    }
}  // namespace tessaplan

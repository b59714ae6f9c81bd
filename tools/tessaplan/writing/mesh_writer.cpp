#include "writing/mesh_writer.h"

#include "reading/mesh_format.h"
#include "writing/gltf_writer.h"
#include "writing/obj_writer.h"
#include "writing/ply_writer.h"

namespace tessaplan
{
    bool writes_obj(const std::string& path)
    {
        const auto extension = lower_extension(path);
        return extension != ".ply" && extension != ".gltf" &&
               extension != ".glb";
    }

    void write_mesh(const FlattenedMesh& mesh, OutputFile& file)
    {
        const auto extension = lower_extension(file.path());
        if (extension == ".ply")
        {
            write_ply(mesh, file);
        }
        else if (extension == ".gltf" || extension == ".glb")
        {
            write_gltf(mesh, extension == ".glb", file);
        }
        else
        {
            write_obj(mesh, file);
        }
    }
}  // namespace tessaplan

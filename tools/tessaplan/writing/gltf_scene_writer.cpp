#include "writing/gltf_scene_writer.h"

#include <sstream>

#include "cli/cli_error.h"
#include "reading/confined_path.h"
#include "reading/gltf_scene.h"
#include "reading/mesh_format.h"
#include "writing/gltf_atlas_split.h"
#include "writing/gltf_buffer_appender.h"
#include "writing/gltf_node_meshes.h"
#include "writing/gltf_texcoords.h"

namespace tessaplan
{
    namespace
    {
        // Percent-encodes what a relative URI cannot hold as it is.
        std::string encoded_path(const std::string& path)
        {
            static const char* const hex = "0123456789ABCDEF";
            std::string uri;
            for (const char c : path)
            {
                const auto byte = static_cast<unsigned char>(c);
                if (byte <= 0x20 || byte >= 0x7F || c == '%' || c == '#' ||
                    c == '?' || c == ':')
                {
                    uri += '%';
                    uri += hex[byte >> 4];
                    uri += hex[byte & 15];
                }
                else
                {
                    uri += c;
                }
            }
            return uri;
        }

        // External images stay where they are: their URIs, relative to the
        // input's folder, are made relative to the output's.
        void relocate_images(tinygltf::Model& model,
                             const std::filesystem::path& input_folder,
                             const std::string& output)
        {
            const auto output_folder =
                confining_folder(std::filesystem::path{output}.parent_path());
            if (output_folder == input_folder)
            {
                return;
            }
            const auto back =
                input_folder.lexically_relative(output_folder).generic_string();
            for (auto& image : model.images)
            {
                if (!image.uri.empty() && image.uri.rfind("data:", 0) != 0)
                {
                    image.uri = encoded_path(back) + "/" + image.uri;
                }
            }
        }

        // The document with its buffers joined and new data appended by
        // `edit`, written as GLB or JSON by the output's extension.
        void write_edited(const GltfScene& scene, const PrimitiveEdit& edit,
                          OutputFile& file)
        {
            auto model = scene.model;
            join_buffers(model);
            edit_node_meshes(model, scene.instances, edit);
            relocate_images(model, scene.folder, file.path());
            std::ostringstream text;
            tinygltf::TinyGLTF writer;
            if (!writer.WriteGltfSceneToStream(
                    &model, text, false,
                    lower_extension(file.path()) == ".glb"))
            {
                throw CliError{ExitCode::cannot_write_output,
                               "cannot write '" + file.path() +
                                   "': the glTF writer failed"};
            }
            file.write(text.str());
        }

        tinygltf::Primitive flattened_primitive(
            const GltfScene& scene, tinygltf::Primitive primitive,
            const GltfPrimitiveInstance& instance,
            const std::vector<nodara::Point<2>>& uv, int uv_set,
            GltfBufferAppender& appender, const std::string& output)
        {
            std::vector<float> values;
            values.reserve(2 * instance.soup_vertex.size());
            for (const auto soup : instance.soup_vertex)
            {
                append_texcoord(
                    values,
                    uv[static_cast<std::size_t>(scene.surface_vertex[soup])],
                    output);
            }
            primitive.attributes[texcoord_name(uv_set)] =
                appender.add_floats(values, TINYGLTF_TYPE_VEC2);
            return primitive;
        }
    }  // namespace

    bool keeps_gltf_scene(const MeshReadResult& mesh, const std::string& output,
                          bool flat)
    {
        const auto extension = lower_extension(output);
        return mesh.gltf != nullptr && !flat &&
               (extension == ".gltf" || extension == ".glb");
    }

    void check_uv_set(const MeshReadResult& mesh, const std::string& input,
                      const std::string& output, bool flat, int uv_set)
    {
        if (uv_set == 0)
        {
            return;
        }
        if (!keeps_gltf_scene(mesh, output, flat))
        {
            throw CliError{ExitCode::usage,
                           "option --uv-set applies to glTF input written as "
                           ".gltf or .glb (without --flat)"};
        }
        check_texcoord_set(mesh.gltf->model, mesh.gltf->instances, uv_set,
                           input);
    }

    void write_gltf_scene_flattening(const GltfScene& scene,
                                     const std::vector<nodara::Point<2>>& uv,
                                     int uv_set, const std::string& input,
                                     OutputFile& file)
    {
        check_texcoord_set(scene.model, scene.instances, uv_set, input);
        const auto& output = file.path();
        write_edited(
            scene,
            [&](const tinygltf::Primitive& original,
                const GltfPrimitiveInstance& instance,
                GltfBufferAppender& appender)
            {
                return flattened_primitive(scene, original, instance, uv,
                                           uv_set, appender, output);
            },
            file);
    }

    void write_gltf_scene_atlas(const GltfScene& scene,
                                const nodara::SeamCut& cut, int uv_set,
                                const std::string& input, OutputFile& file)
    {
        check_texcoord_set(scene.model, scene.instances, uv_set, input);
        const auto surface_triangle =
            surface_triangles(scene, cut.surface->nb_polygons());
        const auto& output = file.path();
        write_edited(
            scene,
            [&](const tinygltf::Primitive& original,
                const GltfPrimitiveInstance& instance,
                GltfBufferAppender& appender)
            {
                return split_primitive(original, instance, surface_triangle,
                                       cut, uv_set, appender, output);
            },
            file);
    }
}  // namespace tessaplan

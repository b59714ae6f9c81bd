#include "writing/obj_writer.h"

#include <string>

#include "writing/obj_text.h"

namespace tessaplan
{
    namespace
    {
        using nodara::index_t;

        constexpr std::size_t chunk_size = 1 << 16;

        // Hands the text to the file once it is large enough.
        void pass_on(std::string& text, OutputFile& file, bool always = false)
        {
            if (always || text.size() >= chunk_size)
            {
                file.write(text);
                text.clear();
            }
        }

        void append_header(std::string& text, const FlattenedMesh& mesh)
        {
            text += mesh.flat ? "# tessaplan: flattened surface, z = 0\n# "
                              : "# tessaplan: 3D vertices with the "
                                "flattening as texture coordinates\n# ";
            text += std::to_string(mesh.surface.nb_vertices());
            text += " vertices, ";
            text += std::to_string(mesh.faces.size());
            text += " faces\n";
        }

        void write_vertices(std::string& text, const FlattenedMesh& mesh,
                            OutputFile& file)
        {
            for (index_t v = 0; v < mesh.surface.nb_vertices(); ++v)
            {
                const auto point = mesh.position(v);
                text += 'v';
                for (std::size_t k = 0; k < 3; ++k)
                {
                    text += ' ';
                    append_obj_number(text, point[k]);
                }
                text += '\n';
                pass_on(text, file);
            }
            for (index_t v = 0; !mesh.flat && v < mesh.surface.nb_vertices();
                 ++v)
            {
                text += "vt ";
                append_obj_number(text, mesh.uv[v][0]);
                text += ' ';
                append_obj_number(text, mesh.uv[v][1]);
                text += '\n';
                pass_on(text, file);
            }
        }

        // One "f" line per face: "f a b c", or "f a/a b/b c/c" when every
        // vertex has the texture coordinate of the same number.
        void write_faces(std::string& text, const FlattenedMesh& mesh,
                         OutputFile& file)
        {
            for (const auto& face : mesh.faces)
            {
                text += 'f';
                for (const auto vertex : face)
                {
                    text += ' ';
                    append_obj_index(text, vertex);
                    if (!mesh.flat)
                    {
                        text += '/';
                        append_obj_index(text, vertex);
                    }
                }
                text += '\n';
                pass_on(text, file);
            }
            pass_on(text, file, true);
        }
    }  // namespace

    void write_obj(const FlattenedMesh& mesh, OutputFile& file)
    {
        std::string text;
        text.reserve(2 * chunk_size);
        append_header(text, mesh);
        write_vertices(text, mesh, file);
        write_faces(text, mesh, file);
    }
}  // namespace tessaplan

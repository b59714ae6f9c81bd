#include "obj_writer.h"

#include <array>
#include <charconv>
#include <string>

namespace tessaplan
{
    namespace
    {
        using nodara::index_t;

        constexpr std::size_t chunk_size = 1 << 16;

        // Shortest text that reads back as the same double.
        void append_number(std::string& text, double value)
        {
            std::array<char, 32> buffer{};
            const auto end = std::to_chars(buffer.data(),
                                           buffer.data() + buffer.size(), value)
                                 .ptr;
            text.append(buffer.data(), end);
        }

        // Coordinates read from a file are single-precision numbers: those
        // are written as their shortest single-precision text, which is the
        // text they were most likely given as (0.1, not
        // 0.10000000149011612). Other values are written in full.
        void append_coordinate(std::string& text, double value)
        {
            const auto single = static_cast<float>(value);
            if (static_cast<double>(single) != value)
            {
                append_number(text, value);
                return;
            }
            std::array<char, 32> buffer{};
            const auto end =
                std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                              single)
                    .ptr;
            text.append(buffer.data(), end);
        }

        void append_index(std::string& text, index_t vertex)
        {
            std::array<char, 16> buffer{};
            const auto end =
                std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                              std::uint64_t{vertex} + 1)
                    .ptr;
            text.append(buffer.data(), end);
        }

        // Hands the text to the file once it is large enough.
        void pass_on(std::string& text, OutputFile& file, bool always = false)
        {
            if (always || text.size() >= chunk_size)
            {
                file.write(text);
                text.clear();
            }
        }

        template <index_t D>
        void append_header(std::string& text,
                           const nodara::TriangulatedSurface<D>& surface,
                           const char* description)
        {
            text += "# tessaplan: ";
            text += description;
            text += "\n# ";
            text += std::to_string(surface.nb_vertices());
            text += " vertices, ";
            text += std::to_string(surface.nb_polygons());
            text += " triangles\n";
        }

        // One "f" line per triangle: "f a b c", or "f a/a b/b c/c" when every
        // vertex has the texture coordinate of the same number.
        template <nodara::index_t D>
        void write_faces(std::string& text,
                         const nodara::TriangulatedSurface<D>& surface,
                         bool textured, OutputFile& file)
        {
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                text += 'f';
                for (const auto vertex : surface.polygon_vertices(t))
                {
                    text += ' ';
                    append_index(text, vertex);
                    if (textured)
                    {
                        text += '/';
                        append_index(text, vertex);
                    }
                }
                text += '\n';
                pass_on(text, file);
            }
            pass_on(text, file, true);
        }
    }  // namespace

    void write_textured_obj(const nodara::TriangulatedSurface<3>& surface,
                            const std::vector<nodara::Point<2>>& uv,
                            const UvTransform& transform, OutputFile& file)
    {
        std::string text;
        text.reserve(2 * chunk_size);
        append_header(text, surface,
                      "3D vertices with the flattening as texture "
                      "coordinates");
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto& point = surface.point(v);
            text += "v ";
            append_coordinate(text, point[0]);
            text += ' ';
            append_coordinate(text, point[1]);
            text += ' ';
            append_coordinate(text, point[2]);
            text += '\n';
            pass_on(text, file);
        }
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto point = transform.apply(uv[v]);
            text += "vt ";
            append_number(text, point[0]);
            text += ' ';
            append_number(text, point[1]);
            text += '\n';
            pass_on(text, file);
        }
        write_faces(text, surface, true, file);
    }

    void write_flat_obj(const nodara::TriangulatedSurface<2>& surface,
                        const UvTransform& transform, OutputFile& file)
    {
        std::string text;
        text.reserve(2 * chunk_size);
        append_header(text, surface, "flattened surface, z = 0");
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto point = transform.apply(surface.point(v));
            text += "v ";
            append_number(text, point[0]);
            text += ' ';
            append_number(text, point[1]);
            text += " 0\n";
            pass_on(text, file);
        }
        write_faces(text, surface, false, file);
    }
}  // namespace tessaplan

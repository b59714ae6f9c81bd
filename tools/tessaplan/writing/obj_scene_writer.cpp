#include "writing/obj_scene_writer.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "cli/cli_error.h"
#include "writing/mesh_writer.h"
#include "writing/obj_text.h"

namespace tessaplan
{
    namespace
    {
        using nodara::index_t;

        constexpr std::size_t chunk_size = 1 << 16;

        // One corner of a face line: its vertex reference as the reader
        // takes it, and its normal reference as written ("" for none).
        struct ObjCorner
        {
            int vertex{0};
            std::string normal;
        };

        // Writes the corners of one face of three corners or more,
        // `face` in the file's order, with the line ending `end`.
        using FaceWriter = std::function<void(
            std::string& text, std::size_t face,
            const std::vector<ObjCorner>& corners, const char* end)>;

        CliError changed_error(const std::string& input)
        {
            return CliError{ExitCode::invalid_input,
                            "'" + input +
                                "' changed while it was read: its faces are "
                                "no longer the ones flattened"};
        }

        std::string normal_reference(const std::string& line, std::size_t start)
        {
            const auto end = line.find_first_of(" \t\r\v\f", start);
            const auto token = line.substr(start, end - start);
            const auto first = token.find('/');
            const auto second = first == std::string::npos
                                    ? std::string::npos
                                    : token.find('/', first + 1);
            return second == std::string::npos ? std::string{}
                                               : token.substr(second + 1);
        }

        // The corners of a face line, found as the OBJ reader finds them:
        // an integer, then the rest of the text up to the next space
        // skipped.
        std::vector<ObjCorner> face_corners(std::istringstream& words,
                                            const std::string& line)
        {
            std::vector<ObjCorner> corners;
            while (words >> std::ws)
            {
                const auto start = words.tellg();
                int vertex = 0;
                if (start < 0 || !(words >> vertex))
                {
                    break;
                }
                corners.push_back(
                    {vertex,
                     normal_reference(line, static_cast<std::size_t>(start))});
                words.ignore(256, ' ');
            }
            return corners;
        }

        void append_corner(std::string& text, const ObjCorner& corner,
                           index_t texture_point)
        {
            text += ' ';
            text += std::to_string(corner.vertex);
            text += '/';
            append_obj_index(text, texture_point);
            if (!corner.normal.empty())
            {
                text += '/';
                text += corner.normal;
            }
        }

        void append_untextured_face(std::string& text,
                                    const std::vector<ObjCorner>& corners,
                                    const char* end)
        {
            text += 'f';
            for (const auto& corner : corners)
            {
                text += ' ';
                text += std::to_string(corner.vertex);
                if (!corner.normal.empty())
                {
                    text += "//";
                    text += corner.normal;
                }
            }
            text += end;
        }

        std::string texture_lines(const std::vector<nodara::Point<2>>& points)
        {
            std::string text = "# texture coordinates by tessaplan\n";
            for (const auto& point : points)
            {
                text += "vt ";
                append_obj_number(text, point[0]);
                text += ' ';
                append_obj_number(text, point[1]);
                text += '\n';
            }
            return text;
        }

        // Copies `input` to `file` line by line, leaving out its "vt"
        // lines, writing `textures` before the first face and every face
        // through `write_face`.
        void rewrite_obj(const std::string& input, std::size_t nb_faces,
                         const std::string& textures,
                         const FaceWriter& write_face, OutputFile& file)
        {
            std::ifstream stream{input, std::ios::binary};
            std::string text;
            std::string line;
            std::string keyword;
            std::size_t face = 0;
            bool textured = false;
            while (std::getline(stream, line))
            {
                // Read as the OBJ reader reads it: blanks as spaces.
                auto spaced = line;
                std::replace_if(
                    spaced.begin(), spaced.end(),
                    [](char c) { return c == '\t' || c == '\v' || c == '\f'; },
                    ' ');
                std::istringstream words{spaced};
                words >> keyword;
                if (!words || (keyword != "vt" && keyword != "f"))
                {
                    text += line;
                    text += '\n';
                }
                else if (keyword == "f")
                {
                    if (!textured)
                    {
                        file.write(text);
                        file.write(textures);
                        text.clear();
                        textured = true;
                    }
                    const auto corners = face_corners(words, spaced);
                    const char* end =
                        !line.empty() && line.back() == '\r' ? "\r\n" : "\n";
                    if (corners.size() < 3)
                    {
                        append_untextured_face(text, corners, end);
                        continue;
                    }
                    if (face == nb_faces)
                    {
                        throw changed_error(input);
                    }
                    write_face(text, face++, corners, end);
                }
                if (text.size() >= chunk_size)
                {
                    file.write(text);
                    text.clear();
                }
            }
            if (stream.bad() || face != nb_faces)
            {
                throw changed_error(input);
            }
            file.write(text);
        }

        // A triangle of a face's fan: the surface's triangle and the face's
        // corners 0, k and k + 1.
        struct FanTriangle
        {
            index_t triangle{0};
            std::size_t k{0};
        };

        // The triangles fan_triangles keeps of `face`, numbered from `next`
        // (which moves past them).
        std::vector<FanTriangle> fan(const Polygon& face, index_t& next)
        {
            std::vector<FanTriangle> triangles;
            for (std::size_t k = 1; k + 1 < face.size(); ++k)
            {
                if (face[0] != face[k] && face[k] != face[k + 1] &&
                    face[k + 1] != face[0])
                {
                    triangles.push_back({next++, k});
                }
            }
            return triangles;
        }

        bool in_one_chart(const std::vector<FanTriangle>& triangles,
                          const std::vector<index_t>& chart)
        {
            for (const auto& triangle : triangles)
            {
                if (chart[triangle.triangle] !=
                    chart[triangles.front().triangle])
                {
                    return false;
                }
            }
            return true;
        }

        // Writes one face of the atlas: whole when its fan lies in one
        // chart, else as its triangles. Returns whether it was split.
        bool append_atlas_face(std::string& text,
                               const std::vector<ObjCorner>& corners,
                               const std::vector<FanTriangle>& triangles,
                               const std::vector<index_t>& chart,
                               const nodara::SeamCut& cut, const char* end)
        {
            const auto image = [&cut](index_t t, nodara::local_index_t k) {
                return cut.surface->polygon_vertex({t, k});
            };
            if (triangles.size() + 2 == corners.size() &&
                in_one_chart(triangles, chart))
            {
                text += 'f';
                append_corner(text, corners[0],
                              image(triangles.front().triangle, 0));
                append_corner(text, corners[1],
                              image(triangles.front().triangle, 1));
                for (const auto& triangle : triangles)
                {
                    append_corner(text, corners[triangle.k + 1],
                                  image(triangle.triangle, 2));
                }
                text += end;
                return false;
            }
            for (const auto& triangle : triangles)
            {
                text += 'f';
                append_corner(text, corners[0], image(triangle.triangle, 0));
                append_corner(text, corners[triangle.k],
                              image(triangle.triangle, 1));
                append_corner(text, corners[triangle.k + 1],
                              image(triangle.triangle, 2));
                text += end;
            }
            return true;
        }
    }  // namespace

    bool keeps_obj_scene(MeshFormat input, const std::string& output, bool flat)
    {
        return input == MeshFormat::obj && writes_obj(output) && !flat;
    }

    void write_flattening_into_obj(const std::string& input,
                                   const std::vector<Polygon>& faces,
                                   const std::vector<nodara::Point<2>>& uv,
                                   OutputFile& file)
    {
        const auto write_face = [&](std::string& text, std::size_t face,
                                    const std::vector<ObjCorner>& corners,
                                    const char* end)
        {
            if (corners.size() != faces[face].size())
            {
                throw changed_error(input);
            }
            text += 'f';
            for (std::size_t k = 0; k < corners.size(); ++k)
            {
                append_corner(text, corners[k],
                              static_cast<index_t>(faces[face][k]));
            }
            text += end;
        };
        rewrite_obj(input, faces.size(), texture_lines(uv), write_face, file);
    }

    std::size_t write_atlas_into_obj(const std::string& input,
                                     const std::vector<Polygon>& faces,
                                     const std::vector<index_t>& chart,
                                     const nodara::SeamCut& cut,
                                     OutputFile& file)
    {
        index_t next = 0;
        std::size_t nb_split = 0;
        const auto write_face = [&](std::string& text, std::size_t face,
                                    const std::vector<ObjCorner>& corners,
                                    const char* end)
        {
            if (corners.size() != faces[face].size())
            {
                throw changed_error(input);
            }
            const auto triangles = fan(faces[face], next);
            if (triangles.empty())
            {
                append_untextured_face(text, corners, end);
                return;
            }
            nb_split +=
                append_atlas_face(text, corners, triangles, chart, cut, end)
                    ? 1
                    : 0;
        };
        rewrite_obj(input, faces.size(), texture_lines(cut.images), write_face,
                    file);
        return nb_split;
    }
}  // namespace tessaplan

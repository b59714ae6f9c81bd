#include "reading/texture_coordinates.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "cli/cli_error.h"
#include "reading/blank_to_space_buffer.h"
#include "reading/gltf_accessor_data.h"

namespace tessaplan
{
    namespace
    {
        CliError fault(const std::string& path, const std::string& what)
        {
            return CliError{ExitCode::invalid_input, "'" + path + "' " + what};
        }

        // Whether `token` starts with an integer, as an OBJ corner does.
        bool starts_with_integer(const std::string& token)
        {
            const auto digit = token[0] == '-' || token[0] == '+' ? 1 : 0;
            return token.size() > static_cast<std::size_t>(digit) &&
                   std::isdigit(static_cast<unsigned char>(token[digit]));
        }

        // The vt of an OBJ corner "v/vt[/vn]", as written (from 1,
        // negative from the end), or 0 when it gives none.
        long long corner_vt(const std::string& token)
        {
            const auto slash = token.find('/');
            if (slash == std::string::npos || slash + 1 >= token.size() ||
                token[slash + 1] == '/')
            {
                return 0;
            }
            return std::strtoll(token.c_str() + slash + 1, nullptr, 10);
        }

        class ObjUvReader
        {
        public:
            ObjUvReader(const std::string& path, PolygonSoup& soup)
                : path_(path), soup_(soup)
            {
            }

            void read_line(const std::string& line, std::uint64_t number)
            {
                std::istringstream words{line};
                std::string keyword;
                if (!(words >> keyword))
                {
                    return;
                }
                if (keyword == "vt")
                {
                    read_vt(words, number);
                }
                else if (keyword == "f")
                {
                    read_face(words, number);
                }
            }

        private:
            void read_vt(std::istringstream& words, std::uint64_t number)
            {
                double u = 0;
                double v = 0;
                // A number that is not finite fails to parse.
                if (!(words >> u) || (!(words >> v) && !words.eof()))
                {
                    throw fault(path_,
                                "has a vt that is not finite numbers "
                                "(line " +
                                    std::to_string(number) + ")");
                }
                soup_.uvs.emplace_back(std::array<double, 2>{u, v});
            }

            // Corners are taken while they start with a number, as the
            // faces' reader takes them.
            void read_face(std::istringstream& words, std::uint64_t number)
            {
                Polygon face;
                std::size_t corners = 0;
                std::string token;
                while (words >> token && starts_with_integer(token))
                {
                    ++corners;
                    const auto vt = corner_vt(token);
                    if (vt == 0)
                    {
                        continue;
                    }
                    const auto count = static_cast<long long>(soup_.uvs.size());
                    const auto index = vt < 0 ? count + vt : vt - 1;
                    face.push_back(index < 0
                                       ? ~std::uint64_t{0}
                                       : static_cast<std::uint64_t>(index));
                }
                if (!face.empty() && face.size() != corners)
                {
                    throw fault(path_,
                                "has a face with texture coordinates "
                                "on some corners only (line " +
                                    std::to_string(number) + ")");
                }
                const auto index = soup_.uv_polygons.size();
                if (index < soup_.polygons.size() && !face.empty() &&
                    soup_.polygons[index].size() != corners)
                {
                    throw fault(path_,
                                "has a face whose texture coordinates do not "
                                "match its corners (line " +
                                    std::to_string(number) + ")");
                }
                soup_.uv_polygons.push_back(std::move(face));
            }

            const std::string& path_;
            PolygonSoup& soup_;
        };

        // One component of a TEXCOORD, as a number in [0, 1] for the
        // normalized integer types.
        double component_value(const unsigned char* bytes, int component_type)
        {
            if (component_type == TINYGLTF_COMPONENT_TYPE_FLOAT)
            {
                float value = 0;
                std::memcpy(&value, bytes, sizeof value);
                return value;
            }
            if (component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE)
            {
                return bytes[0] / 255.0;
            }
            std::uint16_t value = 0;
            std::memcpy(&value, bytes, sizeof value);
            return value / 65535.0;
        }

        // The TEXCOORD_0 of accessor `index`, as (u, 1 - v).
        std::vector<nodara::Point<2>> texcoords(const tinygltf::Model& model,
                                                int index,
                                                const std::string& name,
                                                const std::string& path)
        {
            const auto& accessor =
                model.accessors[static_cast<std::size_t>(index)];
            const auto type = accessor.componentType;
            const bool is_float = type == TINYGLTF_COMPONENT_TYPE_FLOAT;
            if (accessor.type != TINYGLTF_TYPE_VEC2 ||
                !(is_float ||
                  ((type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                    type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) &&
                   accessor.normalized)))
            {
                throw fault(path, "has a TEXCOORD_0 in " + name +
                                      " that is not VEC2 of floats or of "
                                      "normalized unsigned bytes or shorts");
            }
            const auto bytes = accessor_bytes(model, index);
            const auto size = component_size(type);
            std::vector<nodara::Point<2>> uvs(accessor.count);
            for (std::size_t k = 0; k < uvs.size(); ++k)
            {
                std::array<double, 2> uv{};
                for (int c = 0; c < 2; ++c)
                {
                    uv[c] = component_value(bytes.data() + (2 * k + c) * size,
                                            type);
                }
                uvs[k] = nodara::Point<2>{{uv[0], 1.0 - uv[1]}};
            }
            return uvs;
        }
    }  // namespace

    void read_obj_texture_coordinates(const std::string& path,
                                      PolygonSoup& soup)
    {
        std::ifstream file{path, std::ios::binary};
        if (!file)
        {
            throw CliError{ExitCode::cannot_open_input,
                           "cannot open '" + path + "'"};
        }
        BlankToSpaceBuffer spaced{file};
        std::istream text{&spaced};
        ObjUvReader reader{path, soup};
        std::string line;
        std::uint64_t number = 0;
        while (std::getline(text, line))
        {
            reader.read_line(line, ++number);
        }
    }

    void read_gltf_texture_coordinates(const GltfScene& scene,
                                       PolygonSoup& soup,
                                       const std::string& path)
    {
        soup.uv_polygons.assign(soup.polygons.size(), {});
        for (const auto& instance : scene.instances)
        {
            const auto& primitive =
                scene.model.meshes[static_cast<std::size_t>(instance.mesh)]
                    .primitives[static_cast<std::size_t>(instance.primitive)];
            const auto found = primitive.attributes.find("TEXCOORD_0");
            if (found == primitive.attributes.end())
            {
                continue;
            }
            const auto first = soup.uvs.size();
            const auto uvs =
                texcoords(scene.model, found->second,
                          "primitive " + std::to_string(instance.primitive) +
                              " of mesh " + std::to_string(instance.mesh),
                          path);
            soup.uvs.insert(soup.uvs.end(), uvs.begin(), uvs.end());
            for (std::size_t k = 0; k < instance.triangles.size(); ++k)
            {
                const auto& triangle = instance.triangles[k];
                soup.uv_polygons[instance.first_triangle + k] = {
                    first + triangle[0], first + triangle[1],
                    first + triangle[2]};
            }
        }
    }
}  // namespace tessaplan

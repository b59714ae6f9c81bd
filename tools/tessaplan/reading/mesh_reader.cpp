#include "reading/mesh_reader.h"

#include <array>
#include <cmath>
#include <sstream>

#include <velmora/mesh/triangulated_surface_builder.h>

#include "cli/cli_error.h"
#include "reading/assimp_cage.h"
#include "reading/exact_reader.h"
#include "reading/gltf_reader.h"
#include "reading/input_file.h"
#include "reading/ply_texture_coordinates.h"
#include "reading/texture_coordinates.h"
#include "reading/vertex_welding.h"

namespace tessaplan
{
    namespace
    {
        using nodara::index_t;

        CliError input_error(const std::string& path, const std::string& what)
        {
            return CliError{ExitCode::invalid_input, "'" + path + "' " + what};
        }

        std::string coordinates_text(const nodara::Point<3>& point)
        {
            std::ostringstream text;
            text << '(' << point[0] << ", " << point[1] << ", " << point[2]
                 << ')';
            return text.str();
        }

        // Checks what the readers leave to their caller: that every face
        // index names a vertex and that every coordinate is finite.
        void check_soup(const PolygonSoup& soup, const std::string& path)
        {
            for (const auto& polygon : soup.polygons)
            {
                for (const auto corner : polygon)
                {
                    if (corner >= soup.points.size())
                    {
                        throw input_error(
                            path,
                            "has a face with a vertex index out of "
                            "range for " +
                                std::to_string(soup.points.size()) +
                                " vertices");
                    }
                }
            }
            for (const auto& point : soup.points)
            {
                if (!point.is_finite())
                {
                    throw input_error(path,
                                      "has a vertex with a coordinate that is "
                                      "not a finite number " +
                                          coordinates_text(point));
                }
            }
            if (soup.points.size() >= nodara::NO_ID)
            {
                throw input_error(path, "has too many vertices");
            }
        }

        std::vector<std::array<index_t, 3>> triangulate(
            const std::vector<Polygon>& faces, MeshReadResult& result)
        {
            std::vector<std::array<index_t, 3>> triangles;
            for (const auto& face : faces)
            {
                const auto fan = fan_triangles(face);
                result.nb_collapsed_faces +=
                    static_cast<index_t>(face.size() - 2 - fan.size());
                triangles.insert(triangles.end(), fan.begin(), fan.end());
            }
            return triangles;
        }

        std::unique_ptr<nodara::TriangulatedSurface<3>> build_surface(
            const std::vector<nodara::Point<3>>& points,
            const std::vector<std::array<index_t, 3>>& triangles)
        {
            auto surface = nodara::TriangulatedSurface<3>::create();
            auto builder =
                nodara::TriangulatedSurfaceBuilder<3>::create(*surface);
            builder->create_vertices(static_cast<index_t>(points.size()));
            for (index_t v = 0; v < points.size(); ++v)
            {
                builder->set_point(v, points[v]);
            }
            builder->reserve_triangles(static_cast<index_t>(triangles.size()));
            for (const auto& triangle : triangles)
            {
                builder->create_triangle(triangle);
            }
            builder->compute_polygon_adjacencies();
            return surface;
        }

        PolygonSoup read_soup(const std::string& path, MeshFormat format,
                              std::uint64_t size, MeshReadResult& result)
        {
            if (format == MeshFormat::gltf)
            {
                auto gltf = read_gltf(path, size);
                result.gltf = std::move(gltf.scene);
                return std::move(gltf.soup);
            }
            if (format == MeshFormat::other)
            {
                return read_with_assimp_caged(path, size);
            }
            return read_exact(path, format, size);
        }

        // The soup's texture coordinates, which must exist and be finite,
        // for every face.
        void read_texture_coordinates(const std::string& path,
                                      const MeshReadResult& result,
                                      PolygonSoup& soup)
        {
            if (result.format == MeshFormat::obj)
            {
                read_obj_texture_coordinates(path, soup);
            }
            else if (result.format == MeshFormat::ply)
            {
                read_ply_texture_coordinates(path, soup);
            }
            else if (result.gltf)
            {
                read_gltf_texture_coordinates(*result.gltf, soup, path);
            }
            if (soup.uvs.empty())
            {
                throw input_error(path,
                                  "has no texture coordinates (read from "
                                  "OBJ's vt, PLY's vertex s and t, glTF's "
                                  "TEXCOORD_0 and the first set of the "
                                  "formats assimp reads)");
            }
            if (soup.uv_polygons.size() != soup.polygons.size())
            {
                throw input_error(path,
                                  "has texture coordinates that do not "
                                  "match its faces");
            }
            for (std::size_t f = 0; f < soup.polygons.size(); ++f)
            {
                for (const auto uv : soup.uv_polygons[f])
                {
                    if (uv >= soup.uvs.size())
                    {
                        throw input_error(path,
                                          "has a face whose texture "
                                          "coordinate does not exist");
                    }
                }
                if (soup.polygons[f].size() >= 3 &&
                    soup.uv_polygons[f].size() != soup.polygons[f].size())
                {
                    throw input_error(path,
                                      "gives no texture coordinates "
                                      "for face " +
                                          std::to_string(f) + " of " +
                                          std::to_string(soup.polygons.size()));
                }
            }
            for (const auto& uv : soup.uvs)
            {
                if (!std::isfinite(uv[0]) || !std::isfinite(uv[1]))
                {
                    throw input_error(path,
                                      "has a texture coordinate that "
                                      "is not a finite number");
                }
            }
        }

        // The texture coordinates of the triangles of `faces` as
        // read_mesh makes them, from those of their corners.
        std::vector<std::array<nodara::Point<2>, 3>>
        triangle_texture_coordinates(const std::vector<Polygon>& faces,
                                     const std::vector<Polygon>& uv_faces,
                                     const std::vector<nodara::Point<2>>& uvs)
        {
            std::vector<std::array<nodara::Point<2>, 3>> triangles;
            for (std::size_t f = 0; f < faces.size(); ++f)
            {
                const auto& uv = uv_faces[f];
                for (const auto k : fan_corners(faces[f]))
                {
                    triangles.push_back(
                        {uvs[uv[0]], uvs[uv[k]], uvs[uv[k + 1]]});
                }
            }
            return triangles;
        }

        bool joins_vertices(MeshFormat format, Weld weld)
        {
            return weld == Weld::on ||
                   (weld == Weld::by_format && (format == MeshFormat::other ||
                                                format == MeshFormat::gltf));
        }

        // STL's reader joins equal corners itself: each triangle corner
        // that became an earlier vertex counts as joined.
        std::uint64_t joined_stl_corners(const PolygonSoup& soup)
        {
            std::uint64_t corners = 0;
            for (const auto& polygon : soup.polygons)
            {
                corners += polygon.size();
            }
            return corners -
                   std::min<std::uint64_t>(corners, soup.points.size());
        }
    }  // namespace

    std::vector<std::size_t> fan_corners(const Polygon& face)
    {
        std::vector<std::size_t> fan;
        for (std::size_t k = 1; k + 1 < face.size(); ++k)
        {
            if (face[0] != face[k] && face[k] != face[k + 1] &&
                face[k + 1] != face[0])
            {
                fan.push_back(k);
            }
        }
        return fan;
    }

    std::vector<std::array<index_t, 3>> fan_triangles(const Polygon& face)
    {
        std::vector<std::array<index_t, 3>> fan;
        for (const auto k : fan_corners(face))
        {
            fan.push_back({static_cast<index_t>(face[0]),
                           static_cast<index_t>(face[k]),
                           static_cast<index_t>(face[k + 1])});
        }
        return fan;
    }

    MeshReadResult read_mesh(const std::string& path, Weld weld, bool uvs)
    {
        const auto size = check_input_file(path);
        MeshReadResult result;
        result.format = detect_format(path, size);
        auto soup = read_soup(path, result.format, size, result);
        check_soup(soup, path);
        if (uvs)
        {
            read_texture_coordinates(path, result, soup);
        }
        else
        {
            soup.uvs.clear();
            soup.uv_polygons.clear();
        }
        result.single_precision = soup.single_precision;
        result.transforms_applied = soup.transforms_applied;
        if (result.format == MeshFormat::stl)
        {
            result.nb_joined_vertices = joined_stl_corners(soup);
        }
        if (joins_vertices(result.format, weld))
        {
            const auto before = soup.points.size();
            auto joined = weld_vertices_mapped(soup);
            result.nb_joined_vertices += before - soup.points.size();
            if (result.gltf)
            {
                result.gltf->surface_vertex = std::move(joined);
            }
        }
        std::vector<Polygon> uv_faces;
        for (std::size_t f = 0; f < soup.polygons.size(); ++f)
        {
            if (soup.polygons[f].size() < 3)
            {
                ++result.nb_points_and_lines;
                continue;
            }
            result.faces.push_back(std::move(soup.polygons[f]));
            if (uvs)
            {
                uv_faces.push_back(std::move(soup.uv_polygons[f]));
            }
        }
        if (soup.points.size() < 2)
        {
            throw input_error(path, "has fewer than two vertices");
        }
        const auto triangles = triangulate(result.faces, result);
        if (triangles.empty())
        {
            throw input_error(path, "holds no triangles");
        }
        if (triangles.size() >= nodara::NO_ID)
        {
            throw input_error(path, "has too many triangles");
        }
        result.surface = build_surface(soup.points, triangles);
        if (uvs)
        {
            result.triangle_uvs =
                triangle_texture_coordinates(result.faces, uv_faces, soup.uvs);
        }
        return result;
    }
}  // namespace tessaplan

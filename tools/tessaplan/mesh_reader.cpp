#include "mesh_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/DefaultLogger.hpp>
#include <assimp/Importer.hpp>
#include <assimp/LogStream.hpp>

#include <velmora/mesh/triangulated_surface_builder.h>

#include "cli_error.h"

namespace tessaplan
{
    namespace
    {
        using nodara::index_t;

        // One line of text, without assimp's "Error, T0: " prefix.
        std::string one_line(std::string message)
        {
            const auto thread_tag = message.find(", T");
            if (message.rfind("Error", 0) == 0 &&
                thread_tag != std::string::npos)
            {
                const auto colon = message.find(": ", thread_tag);
                if (colon != std::string::npos)
                {
                    message.erase(0, colon + 2);
                }
            }
            std::replace(message.begin(), message.end(), '\n', ' ');
            std::replace(message.begin(), message.end(), '\r', ' ');
            while (!message.empty() && message.back() == ' ')
            {
                message.pop_back();
            }
            return message;
        }

        // Keeps the error messages that assimp logs while the object lives.
        // Some readers report damage that they repair silently (the OFF
        // reader clamps indices out of range) only through the log.
        class ErrorLog
        {
        public:
            ErrorLog()
            {
                Assimp::DefaultLogger::create(ASSIMP_DEFAULT_LOG_NAME,
                                              Assimp::Logger::NORMAL, 0);
                Assimp::DefaultLogger::get()->attachStream(&stream_,
                                                           Assimp::Logger::Err);
            }
            ErrorLog(const ErrorLog&) = delete;
            ErrorLog& operator=(const ErrorLog&) = delete;
            ~ErrorLog()
            {
                // Detached, the stream stays ours and is not deleted by the
                // logger.
                Assimp::DefaultLogger::get()->detachStream(&stream_,
                                                           Assimp::Logger::Err);
                Assimp::DefaultLogger::kill();
            }

            const std::vector<std::string>& errors() const
            {
                return stream_.errors;
            }

        private:
            struct Stream : Assimp::LogStream
            {
                void write(const char* message) override
                {
                    errors.push_back(one_line(message));
                }
                std::vector<std::string> errors;
            };
            Stream stream_;
        };

        enum class Format
        {
            obj,
            off,
            ply,
            stl
        };

        Format format_of(const std::string& path)
        {
            auto extension = std::filesystem::path{path}.extension().string();
            std::transform(extension.begin(), extension.end(),
                           extension.begin(),
                           [](unsigned char c)
                           { return static_cast<char>(std::tolower(c)); });
            if (extension == ".obj")
            {
                return Format::obj;
            }
            if (extension == ".off")
            {
                return Format::off;
            }
            if (extension == ".ply")
            {
                return Format::ply;
            }
            if (extension == ".stl")
            {
                return Format::stl;
            }
            throw CliError{
                ExitCode::invalid_input,
                "unknown format of '" + path +
                    "': expected a file name ending in .obj, .off, .ply or "
                    ".stl"};
        }

        void check_readable(const std::string& path)
        {
            std::error_code error;
            if (std::filesystem::is_directory(path, error))
            {
                throw CliError{ExitCode::cannot_open_input,
                               "cannot open '" + path + "': it is a folder"};
            }
            std::ifstream file{path, std::ios::binary};
            if (!file)
            {
                throw CliError{
                    ExitCode::cannot_open_input,
                    "cannot open '" + path + "': " + std::strerror(errno)};
            }
        }

        std::string coordinates_text(const aiVector3D& point)
        {
            std::ostringstream text;
            text << '(' << point.x << ", " << point.y << ", " << point.z << ')';
            return text.str();
        }

        // Checks what assimp does not: that every face index names a vertex
        // of its mesh (before any post-processing step reads them) and that
        // every coordinate is finite (before joining, which would merge a
        // vertex with a NaN coordinate into another one).
        void check_raw_scene(const aiScene& scene, const std::string& path)
        {
            std::uint64_t nb_faces = 0;
            for (unsigned int m = 0; m < scene.mNumMeshes; ++m)
            {
                const auto& mesh = *scene.mMeshes[m];
                nb_faces += mesh.mNumFaces;
                for (unsigned int f = 0; f < mesh.mNumFaces; ++f)
                {
                    const auto& face = mesh.mFaces[f];
                    for (unsigned int k = 0; k < face.mNumIndices; ++k)
                    {
                        if (face.mIndices[k] >= mesh.mNumVertices)
                        {
                            throw CliError{
                                ExitCode::invalid_input,
                                "'" + path + "' has a face with vertex index " +
                                    std::to_string(face.mIndices[k]) +
                                    ", out of range for " +
                                    std::to_string(mesh.mNumVertices) +
                                    " vertices"};
                        }
                    }
                }
                for (unsigned int v = 0; v < mesh.mNumVertices; ++v)
                {
                    const auto& point = mesh.mVertices[v];
                    if (!std::isfinite(point.x) || !std::isfinite(point.y) ||
                        !std::isfinite(point.z))
                    {
                        throw CliError{ExitCode::invalid_input,
                                       "'" + path +
                                           "' has a vertex with a coordinate "
                                           "that is not a finite number " +
                                           coordinates_text(point)};
                    }
                }
            }
            if (nb_faces == 0)
            {
                throw CliError{ExitCode::invalid_input,
                               "'" + path + "' holds no triangles"};
            }
        }

        // Bit pattern of a position, with -0 taken as +0, for joining equal
        // positions across meshes.
        std::array<std::uint32_t, 3> position_key(const aiVector3D& point)
        {
            std::array<std::uint32_t, 3> key{};
            const std::array<float, 3> values{point.x + 0.0f, point.y + 0.0f,
                                              point.z + 0.0f};
            std::memcpy(key.data(), values.data(), sizeof(key));
            return key;
        }

        MeshReadResult build_surface(const aiScene& scene,
                                     const std::string& path)
        {
            MeshReadResult result;
            result.nb_meshes = scene.mNumMeshes;
            std::vector<aiVector3D> points;
            std::vector<std::array<index_t, 3>> triangles;
            absl::flat_hash_map<std::array<std::uint32_t, 3>, index_t> joined;
            std::vector<index_t> mesh_to_surface;
            for (unsigned int m = 0; m < scene.mNumMeshes; ++m)
            {
                const auto& mesh = *scene.mMeshes[m];
                mesh_to_surface.resize(mesh.mNumVertices);
                for (unsigned int v = 0; v < mesh.mNumVertices; ++v)
                {
                    const auto inserted =
                        joined.emplace(position_key(mesh.mVertices[v]),
                                       static_cast<index_t>(points.size()));
                    if (inserted.second)
                    {
                        if (points.size() >= nodara::NO_ID - 1)
                        {
                            throw CliError{
                                ExitCode::invalid_input,
                                "'" + path + "' has too many vertices"};
                        }
                        points.push_back(mesh.mVertices[v]);
                    }
                    mesh_to_surface[v] = inserted.first->second;
                }
                for (unsigned int f = 0; f < mesh.mNumFaces; ++f)
                {
                    const auto& face = mesh.mFaces[f];
                    if (face.mNumIndices < 3)
                    {
                        ++result.nb_points_and_lines;
                        continue;
                    }
                    if (face.mNumIndices > 3)
                    {
                        // Left by the triangulation step only when it
                        // cannot split a polygon; not expected.
                        ++result.nb_collapsed_faces;
                        continue;
                    }
                    const std::array<index_t, 3> triangle{
                        mesh_to_surface[face.mIndices[0]],
                        mesh_to_surface[face.mIndices[1]],
                        mesh_to_surface[face.mIndices[2]]};
                    if (triangle[0] == triangle[1] ||
                        triangle[1] == triangle[2] ||
                        triangle[2] == triangle[0])
                    {
                        ++result.nb_collapsed_faces;
                        continue;
                    }
                    triangles.push_back(triangle);
                }
            }
            if (points.size() < 2)
            {
                throw CliError{ExitCode::invalid_input,
                               "'" + path + "' has fewer than two vertices"};
            }
            if (triangles.empty())
            {
                throw CliError{ExitCode::invalid_input,
                               "'" + path + "' holds no triangles"};
            }
            if (triangles.size() >= nodara::NO_ID)
            {
                throw CliError{ExitCode::invalid_input,
                               "'" + path + "' has too many triangles"};
            }

            result.surface = nodara::TriangulatedSurface<3>::create();
            auto builder =
                nodara::TriangulatedSurfaceBuilder<3>::create(*result.surface);
            builder->create_vertices(static_cast<index_t>(points.size()));
            for (index_t v = 0; v < points.size(); ++v)
            {
                builder->set_point(
                    v,
                    nodara::Point<3>{{points[v].x, points[v].y, points[v].z}});
            }
            builder->reserve_triangles(static_cast<index_t>(triangles.size()));
            for (const auto& triangle : triangles)
            {
                builder->create_triangle(triangle);
            }
            builder->compute_polygon_adjacencies();
            return result;
        }
    }  // namespace

    MeshReadResult read_mesh(const std::string& path)
    {
        check_readable(path);
        const auto format = format_of(path);
        const ErrorLog log;
        Assimp::Importer importer;
        // Only positions count: vertices that differ in normals, texture
        // coordinates or colours alone are one vertex of the surface.
        importer.SetPropertyInteger(
            AI_CONFIG_PP_RVC_FLAGS,
            aiComponent_NORMALS | aiComponent_TANGENTS_AND_BITANGENTS |
                aiComponent_COLORS | aiComponent_TEXCOORDS |
                aiComponent_BONEWEIGHTS);
        const aiScene* scene = importer.ReadFile(path, 0);
        if (scene == nullptr)
        {
            throw CliError{ExitCode::invalid_input,
                           "cannot read '" + path +
                               "': " + one_line(importer.GetErrorString())};
        }
        if (format == Format::off && !log.errors().empty())
        {
            throw CliError{
                ExitCode::invalid_input,
                "cannot read '" + path + "': " + log.errors().front()};
        }
        check_raw_scene(*scene, path);
        // No step that reorders vertices or faces: joining keeps the first
        // of equal vertices in place, triangulation splits polygons where
        // they are.
        scene = importer.ApplyPostProcessing(
            aiProcess_ValidateDataStructure | aiProcess_RemoveComponent |
            aiProcess_JoinIdenticalVertices | aiProcess_Triangulate);
        if (scene == nullptr)
        {
            throw CliError{ExitCode::invalid_input,
                           "cannot read '" + path +
                               "': " + one_line(importer.GetErrorString())};
        }
        return build_surface(*scene, path);
    }
}  // namespace tessaplan

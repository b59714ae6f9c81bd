#include "reading/assimp_reader.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include <absl/container/flat_hash_set.h>
#include <assimp/BaseImporter.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include "cli/cli_error.h"
#include "reading/confined_io_system.h"

namespace tessaplan
{
    namespace
    {
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

        // Takes the importers of the formats read exactly out of assimp, so
        // that it never guesses one of them from the content: they are the
        // ones that crashed on damaged files.
        std::vector<std::unique_ptr<Assimp::BaseImporter>> remove_exact_loaders(
            Assimp::Importer& importer)
        {
            std::vector<std::unique_ptr<Assimp::BaseImporter>> removed;
            for (const char* extension : {".obj", ".off", ".ply", ".stl"})
            {
                auto* loader = importer.GetImporter(extension);
                if (loader != nullptr &&
                    importer.UnregisterLoader(loader) == AI_SUCCESS)
                {
                    removed.emplace_back(loader);
                }
            }
            return removed;
        }

        // A node's placement in double precision, row-major as assimp's.
        using Transform = std::array<std::array<double, 4>, 4>;

        Transform identity()
        {
            Transform t{};
            for (std::size_t i = 0; i < 4; ++i)
            {
                t[i][i] = 1.0;
            }
            return t;
        }

        Transform times(const Transform& a, const aiMatrix4x4& b)
        {
            Transform product{};
            for (unsigned i = 0; i < 4; ++i)
            {
                for (unsigned j = 0; j < 4; ++j)
                {
                    double sum = 0.0;
                    for (unsigned k = 0; k < 4; ++k)
                    {
                        sum += a[i][k] * static_cast<double>(b[k][j]);
                    }
                    product[i][j] = sum;
                }
            }
            return product;
        }

        nodara::Point<3> placed(const Transform& t, const aiVector3D& p)
        {
            std::array<double, 3> xyz{};
            for (std::size_t i = 0; i < 3; ++i)
            {
                xyz[i] =
                    t[i][0] * p.x + t[i][1] * p.y + t[i][2] * p.z + t[i][3];
            }
            return nodara::Point<3>{xyz};
        }

        void append_mesh(const aiMesh& mesh, const Transform& transform,
                         const std::string& path, PolygonSoup& soup)
        {
            const auto offset = soup.points.size();
            // The identity keeps every coordinate as stored, -0 included.
            const bool moved = transform != identity();
            for (unsigned int v = 0; v < mesh.mNumVertices; ++v)
            {
                const auto& p = mesh.mVertices[v];
                soup.points.push_back(moved
                                          ? placed(transform, p)
                                          : nodara::Point<3>{{p.x, p.y, p.z}});
            }
            const auto uv_offset = soup.uvs.size();
            const auto* uvs = mesh.mTextureCoords[0];
            for (unsigned int v = 0; uvs != nullptr && v < mesh.mNumVertices;
                 ++v)
            {
                soup.uvs.emplace_back(
                    std::array<double, 2>{uvs[v].x, uvs[v].y});
            }
            for (unsigned int f = 0; f < mesh.mNumFaces; ++f)
            {
                const auto& face = mesh.mFaces[f];
                Polygon polygon;
                for (unsigned int k = 0; k < face.mNumIndices; ++k)
                {
                    if (face.mIndices[k] >= mesh.mNumVertices)
                    {
                        throw CliError{ExitCode::invalid_input,
                                       "'" + path +
                                           "' has a face with vertex index " +
                                           std::to_string(face.mIndices[k]) +
                                           ", out of range for " +
                                           std::to_string(mesh.mNumVertices) +
                                           " vertices"};
                    }
                    polygon.push_back(offset + face.mIndices[k]);
                }
                // The texture coordinates are per vertex, numbered as the
                // mesh's vertices are.
                soup.uv_polygons.emplace_back();
                for (const auto corner : uvs != nullptr ? polygon : Polygon{})
                {
                    soup.uv_polygons.back().push_back(uv_offset + corner -
                                                      offset);
                }
                soup.polygons.push_back(std::move(polygon));
            }
        }

        // Every mesh a node refers to, placed by the node's world transform
        // (its own times its ancestors'), in depth-first node order: a mesh
        // two nodes refer to is there twice, as the file's viewer shows it.
        // The walk keeps its own stack, so a deep hierarchy cannot
        // overflow the call stack, and visits each node once, so a damaged
        // file whose nodes form a cycle cannot keep it going.
        void append_scene(const aiScene& scene, const std::string& path,
                          PolygonSoup& soup)
        {
            std::vector<std::pair<const aiNode*, Transform>> pending{
                {scene.mRootNode, identity()}};
            while (!pending.empty())
            {
                const auto [node, parent] = pending.back();
                pending.pop_back();
                const auto world = times(parent, node->mTransformation);
                soup.transforms_applied =
                    soup.transforms_applied ||
                    (node->mNumMeshes > 0 && world != identity());
                for (unsigned int m = 0; m < node->mNumMeshes; ++m)
                {
                    if (node->mMeshes[m] < scene.mNumMeshes)
                    {
                        append_mesh(*scene.mMeshes[node->mMeshes[m]], world,
                                    path, soup);
                    }
                }
                for (unsigned int c = node->mNumChildren; c-- > 0;)
                {
                    pending.emplace_back(node->mChildren[c], world);
                }
            }
        }

        // Fails naming the first file the input refers to that the reader
        // was not allowed to open.
        void check_references(const ConfinedIOSystem& io,
                              const std::string& path)
        {
            if (!io.refused().empty())
            {
                throw CliError{ExitCode::invalid_input,
                               "'" + path + "' refers to '" +
                                   io.refused().front() +
                                   "', which is outside its folder or not a "
                                   "regular file: a "
                                   "file may only refer to regular files "
                                   "beside it or below"};
            }
        }

        // assimp chooses a reader by the extension, and by content only
        // for some formats: binary glTF is recognised here by its magic.
        const aiScene* read_scene(Assimp::Importer& importer,
                                  const std::string& path)
        {
            std::ifstream file{path, std::ios::binary};
            std::array<char, 4> magic{};
            if (file.read(magic.data(), magic.size()) &&
                std::string(magic.data(), magic.size()) == "glTF")
            {
                const std::string data{std::istreambuf_iterator<char>(file),
                                       {}};
                const std::string whole = "glTF" + data;
                return importer.ReadFileFromMemory(whole.data(), whole.size(),
                                                   0, "glb");
            }
            return importer.ReadFile(path, 0);
        }
    }  // namespace

    PolygonSoup read_with_assimp(const std::string& path)
    {
        Assimp::Importer importer;
        // No longer the importer's to delete.
        const auto removed = remove_exact_loaders(importer);
        // The importer owns its IO system and deletes it; `confined` only
        // watches it.
        auto io = std::make_unique<ConfinedIOSystem>(
            std::filesystem::path{path}.parent_path());
        const auto* confined = io.get();
        importer.SetIOHandler(io.release());
        const aiScene* scene = read_scene(importer, path);
        check_references(*confined, path);
        if (scene == nullptr)
        {
            throw CliError{ExitCode::invalid_input,
                           "cannot read '" + path +
                               "': " + one_line(importer.GetErrorString())};
        }
        PolygonSoup soup;
        soup.single_precision = true;
        if (scene->mRootNode != nullptr)
        {
            append_scene(*scene, path, soup);
        }
        // A file without nodes that place its meshes: all of them, as
        // stored.
        if (soup.polygons.empty() && soup.points.empty())
        {
            for (unsigned int m = 0; m < scene->mNumMeshes; ++m)
            {
                append_mesh(*scene->mMeshes[m], identity(), path, soup);
            }
        }
        return soup;
    }
}  // namespace tessaplan

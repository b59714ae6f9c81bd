#include "assimp_reader.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <memory>

#include <assimp/BaseImporter.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include "cli_error.h"

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

        void append_mesh(const aiMesh& mesh, const std::string& path,
                         PolygonSoup& soup)
        {
            const auto offset = soup.points.size();
            for (unsigned int v = 0; v < mesh.mNumVertices; ++v)
            {
                const auto& point = mesh.mVertices[v];
                soup.points.emplace_back(
                    std::array<double, 3>{point.x, point.y, point.z});
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
                soup.polygons.push_back(std::move(polygon));
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
        const aiScene* scene = read_scene(importer, path);
        if (scene == nullptr)
        {
            throw CliError{ExitCode::invalid_input,
                           "cannot read '" + path +
                               "': " + one_line(importer.GetErrorString())};
        }
        PolygonSoup soup;
        for (unsigned int m = 0; m < scene->mNumMeshes; ++m)
        {
            append_mesh(*scene->mMeshes[m], path, soup);
        }
        return soup;
    }
}  // namespace tessaplan

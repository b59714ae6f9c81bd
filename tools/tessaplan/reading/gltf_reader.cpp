#include "reading/gltf_reader.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

#include "cli/cli_error.h"
#include "reading/gltf_container.h"
#include "reading/gltf_document_checks.h"
#include "reading/gltf_references.h"

namespace tessaplan
{
    namespace
    {
        std::string file_bytes(const std::string& path, std::uint64_t size)
        {
            std::ifstream file{path, std::ios::binary};
            std::string bytes(size, '\0');
            if (!file.read(&bytes[0], static_cast<std::streamsize>(size)))
            {
                throw CliError{
                    ExitCode::cannot_open_input,
                    "cannot open '" + path + "': " + std::strerror(errno)};
            }
            return bytes;
        }

        // Images stay as the file stores them: an embedded one keeps its
        // bytes (data: URIs decoded), one in a buffer view stays there.
        bool keep_image(tinygltf::Image* image, const int, std::string*,
                        std::string*, int, int, const unsigned char* bytes,
                        int size, void*)
        {
            if (image->bufferView < 0 && size > 0)
            {
                image->image.assign(bytes, bytes + size);
                image->as_is = true;
            }
            return true;
        }

        nlohmann::json parse_document(absl::string_view json,
                                      const std::string& path)
        {
            auto document =
                nlohmann::json::parse(json.begin(), json.end(), nullptr, false);
            if (document.is_discarded() || !document.is_object())
            {
                throw CliError{ExitCode::invalid_input,
                               "cannot read '" + path +
                                   "': its JSON is not a glTF document"};
            }
            return document;
        }

        // Geometry stored in a way tessaplan cannot read, refused before
        // tinygltf, which would fail on its accessors without data.
        void check_required_extensions(const nlohmann::json& document,
                                       const std::string& path)
        {
            const auto required = document.find("extensionsRequired");
            if (required == document.end() || !required->is_array())
            {
                return;
            }
            for (const auto& name : *required)
            {
                if (name == "KHR_draco_mesh_compression" ||
                    name == "EXT_meshopt_compression" ||
                    name == "KHR_mesh_quantization")
                {
                    throw CliError{ExitCode::invalid_input,
                                   "cannot read '" + path + "': it requires " +
                                       name.get<std::string>() +
                                       ", which tessaplan does not read"};
                }
            }
        }

        std::string first_line(const std::string& text)
        {
            const auto line = text.substr(0, text.find('\n'));
            return line.empty() ? "tinygltf failed" : line;
        }

        tinygltf::Model parse(const GltfContainer& container,
                              const std::string& bytes,
                              GltfReferences& references,
                              const std::string& path)
        {
            tinygltf::TinyGLTF loader;
            loader.SetFsCallbacks(references.callbacks());
            loader.SetImageLoader(&keep_image, nullptr);
            loader.SetStoreOriginalJSONForExtrasAndExtensions(true);
            const auto folder = std::filesystem::path{path}.parent_path();
            const auto base =
                folder.empty() ? std::string{"."} : folder.string();
            tinygltf::Model model;
            std::string error;
            std::string warning;
            const bool read =
                container.is_glb
                    ? loader.LoadBinaryFromMemory(
                          &model, &error, &warning,
                          reinterpret_cast<const unsigned char*>(bytes.data()),
                          static_cast<unsigned int>(bytes.size()), base)
                    : loader.LoadASCIIFromString(
                          &model, &error, &warning, bytes.data(),
                          static_cast<unsigned int>(bytes.size()), base);
            if (!read)
            {
                throw CliError{
                    ExitCode::invalid_input,
                    "cannot read '" + path + "': " + first_line(error)};
            }
            return model;
        }
    }  // namespace

    GltfReadResult read_gltf(const std::string& path, std::uint64_t size)
    {
        if (size > UINT32_MAX)
        {
            throw CliError{
                ExitCode::invalid_input,
                "cannot read '" + path + "': glTF files are at most 4 GiB"};
        }
        const auto bytes = file_bytes(path, size);
        const auto container = split_gltf_container(bytes, path);
        check_json_depth(container.json, path);
        const auto document = parse_document(container.json, path);
        check_required_extensions(document, path);
        GltfReferences references{document, path};
        GltfReadResult result;
        result.scene = std::make_shared<GltfScene>();
        result.scene->model = parse(container, bytes, references, path);
        result.scene->folder = references.folder();
        check_gltf_document(result.scene->model, path);
        build_gltf_soup(*result.scene, result.soup, path);
        return result;
    }
}  // namespace tessaplan

#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include <tiny_gltf.h>
#include <nlohmann/json_fwd.hpp>

namespace tessaplan
{
    /// The files a glTF document refers to (its buffers' and images'
    /// URIs), checked before tinygltf reads it, and the only files
    /// tinygltf may then open.
    class GltfReferences
    {
    public:
        /// Checks every URI of the buffers and images of `document`, the
        /// parsed JSON of the glTF file `path`:
        /// a data: URI, or a relative path (percent-encoded) to an existing
        /// regular file inside the input's folder (no ".." out of it, no
        /// absolute path, no other scheme), for a buffer at least as long as
        /// the byteLength it claims. Throws CliError (invalid_input) naming
        /// the first reference that fails.
        GltfReferences(const nlohmann::json& document, const std::string& path);
        GltfReferences(const GltfReferences&) = delete;
        GltfReferences& operator=(const GltfReferences&) = delete;

        /// File callbacks for tinygltf that open only the checked files,
        /// reading of a buffer the bytes it claims. They refer to this
        /// object, which must outlive their use.
        tinygltf::FsCallbacks callbacks();

        /// The folder the references are confined to (canonical).
        const std::filesystem::path& folder() const { return folder_; }

    private:
        /// Checks one URI; `length` is the bytes a buffer claims (0 for
        /// an image).
        void check(const std::string& uri, std::uint64_t length);

        static bool exists(const std::string& file, void* self);
        static std::string expand(const std::string& file, void* self);
        static bool read(std::vector<unsigned char>* data, std::string* error,
                         const std::string& file, void* self);
        static bool write(std::string* error, const std::string& file,
                          const std::vector<unsigned char>& data, void* self);

        std::string path_;
        std::filesystem::path folder_;
        /// The checked files by canonical path, with the bytes to read.
        std::map<std::filesystem::path, std::uint64_t> allowed_;
    };

    /// `uri` with its percent escapes decoded; false when one is broken.
    bool decode_uri(const std::string& uri, std::string& decoded);
}  // namespace tessaplan

#include "reading/gltf_container.h"

#include <cstdint>
#include <cstring>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        constexpr std::uint32_t json_chunk = 0x4E4F534A;
        constexpr std::uint32_t binary_chunk = 0x004E4942;
        constexpr std::size_t header_size = 12;
        constexpr std::size_t chunk_header_size = 8;

        CliError glb_error(const std::string& path, const std::string& what)
        {
            return CliError{ExitCode::invalid_input,
                            "cannot read '" + path + "': GLB " + what};
        }

        std::uint32_t word(absl::string_view bytes, std::size_t at)
        {
            std::uint32_t value = 0;
            std::memcpy(&value, bytes.data() + at, sizeof value);
            return value;
        }

        // The chunk at `at`: its type and contents; advances `at` past it.
        std::pair<std::uint32_t, absl::string_view> next_chunk(
            absl::string_view bytes, std::size_t& at, const std::string& path)
        {
            if (bytes.size() - at < chunk_header_size)
            {
                throw glb_error(path, "chunk header at byte " +
                                          std::to_string(at) +
                                          " goes past the end of the file");
            }
            const std::uint64_t length = word(bytes, at);
            const auto type = word(bytes, at + 4);
            at += chunk_header_size;
            if (length > bytes.size() - at)
            {
                throw glb_error(path,
                                "chunk of " + std::to_string(length) +
                                    " bytes at byte " + std::to_string(at) +
                                    " goes past the end of the file (" +
                                    std::to_string(bytes.size()) + " bytes)");
            }
            const auto contents = bytes.substr(at, length);
            at += length;
            return {type, contents};
        }

        GltfContainer split_glb(absl::string_view bytes,
                                const std::string& path)
        {
            if (bytes.size() < header_size || word(bytes, 4) != 2)
            {
                throw glb_error(path, "header is not that of version 2");
            }
            if (word(bytes, 8) != bytes.size())
            {
                throw glb_error(path, "header gives a length of " +
                                          std::to_string(word(bytes, 8)) +
                                          " bytes, the file has " +
                                          std::to_string(bytes.size()));
            }
            std::size_t at = header_size;
            GltfContainer container;
            container.is_glb = true;
            const auto first = next_chunk(bytes, at, path);
            if (first.first != json_chunk)
            {
                throw glb_error(path, "does not start with its JSON chunk");
            }
            container.json = first.second;
            while (at < bytes.size())
            {
                const auto chunk = next_chunk(bytes, at, path);
                if (chunk.first == binary_chunk && container.binary.empty())
                {
                    container.binary = chunk.second;
                }
            }
            return container;
        }
    }  // namespace

    bool starts_as_glb(absl::string_view bytes)
    {
        return bytes.substr(0, 4) == "glTF";
    }

    GltfContainer split_gltf_container(absl::string_view bytes,
                                       const std::string& path)
    {
        if (starts_as_glb(bytes))
        {
            return split_glb(bytes, path);
        }
        GltfContainer container;
        container.json = bytes;
        return container;
    }

    void check_json_depth(absl::string_view json, const std::string& path)
    {
        std::size_t depth = 0;
        bool in_string = false;
        for (std::size_t i = 0; i < json.size(); ++i)
        {
            const char c = json[i];
            if (in_string)
            {
                i += c == '\\' ? 1 : 0;
                in_string = c != '"';
                continue;
            }
            in_string = c == '"';
            depth += (c == '[' || c == '{') ? 1 : 0;
            depth -= (depth > 0 && (c == ']' || c == '}')) ? 1 : 0;
            if (depth > max_json_depth)
            {
                throw CliError{ExitCode::invalid_input,
                               "cannot read '" + path +
                                   "': its JSON nests arrays and objects "
                                   "deeper than " +
                                   std::to_string(max_json_depth) + " levels"};
            }
        }
    }
}  // namespace tessaplan

#include "reading/mesh_format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <absl/strings/match.h>
#include <absl/strings/string_view.h>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        // The first bytes of the file, enough for every signature below.
        std::string file_start(const std::string& path)
        {
            std::ifstream file{path, std::ios::binary};
            std::array<char, 84> bytes{};
            file.read(bytes.data(), bytes.size());
            if (file.bad() || (!file && file.gcount() == 0 && !file.eof()))
            {
                throw CliError{
                    ExitCode::cannot_open_input,
                    "cannot open '" + path + "': " + std::strerror(errno)};
            }
            return std::string(bytes.data(),
                               static_cast<std::size_t>(file.gcount()));
        }

        bool starts_with_word(absl::string_view text, absl::string_view word)
        {
            return absl::StartsWith(text, word) &&
                   (text.size() == word.size() ||
                    std::isspace(
                        static_cast<unsigned char>(text[word.size()])) != 0);
        }

        // OFF and its variants: [ST][C][N][4][n]OFF as the first word.
        bool is_off(absl::string_view start)
        {
            const auto word = start.substr(0, start.find_first_of(" \t\r\n"));
            return absl::EndsWith(word, "OFF") && word.size() <= 9 &&
                   word.substr(0, word.size() - 3)
                           .find_first_not_of("STCN4n") ==
                       absl::string_view::npos;
        }

        // A binary STL file is exactly its header, a count and 50 bytes
        // per triangle.
        bool is_binary_stl(absl::string_view start, std::uint64_t size)
        {
            if (start.size() < 84)
            {
                return false;
            }
            std::uint32_t count = 0;
            std::memcpy(&count, start.data() + 80, sizeof count);
            return size == 84 + 50 * std::uint64_t{count};
        }

    }  // namespace

    std::string lower_extension(const std::string& path)
    {
        auto extension = std::filesystem::path{path}.extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c)
                       { return static_cast<char>(std::tolower(c)); });
        return extension;
    }

    const char* format_name(MeshFormat format)
    {
        switch (format)
        {
            case MeshFormat::obj:
                return "OBJ";
            case MeshFormat::off:
                return "OFF";
            case MeshFormat::ply:
                return "PLY";
            case MeshFormat::stl:
                return "STL";
            case MeshFormat::gltf:
                return "glTF";
            case MeshFormat::other:
                break;
        }
        return "read by assimp";
    }

    MeshFormat detect_format(const std::string& path, std::uint64_t size)
    {
        const auto start = file_start(path);
        if (starts_with_word(start, "ply"))
        {
            return MeshFormat::ply;
        }
        if (is_off(start))
        {
            return MeshFormat::off;
        }
        if (absl::StartsWith(start, "glTF") || lower_extension(path) == ".gltf")
        {
            return MeshFormat::gltf;
        }
        if (starts_with_word(start, "solid") || is_binary_stl(start, size))
        {
            return MeshFormat::stl;
        }
        const auto extension = lower_extension(path);
        if (extension == ".obj")
        {
            return MeshFormat::obj;
        }
        if (extension == ".off")
        {
            return MeshFormat::off;
        }
        if (extension == ".ply")
        {
            return MeshFormat::ply;
        }
        if (extension == ".stl")
        {
            return MeshFormat::stl;
        }
        return MeshFormat::other;
    }
}  // namespace tessaplan

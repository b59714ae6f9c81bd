#pragma once

#include <cstdint>
#include <string>

namespace tessaplan
{
    /// The formats read exactly, and all the others.
    enum class MeshFormat
    {
        obj,
        off,
        ply,
        stl,
        /// glTF 2.0, JSON or binary (GLB), read with tinygltf.
        gltf,
        /// Any other format assimp reads (glTF, COLLADA, 3DS, FBX...).
        other
    };

    /// The format's name for messages and the report.
    const char* format_name(MeshFormat format);

    /// The extension of `path` in lower case, with its dot ("" for none).
    std::string lower_extension(const std::string& path);

    /// The format of the file at `path` of `size` bytes: PLY, OFF, GLB and
    /// STL by their content wherever it says so, then OBJ, OFF, PLY, STL
    /// and glTF by the extension (in any letter case), and `other` for the
    /// rest. Throws
    /// CliError (cannot_open_input) when the file cannot be read.
    MeshFormat detect_format(const std::string& path, std::uint64_t size);
}  // namespace tessaplan

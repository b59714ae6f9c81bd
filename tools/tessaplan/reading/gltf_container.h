#pragma once

#include <cstddef>
#include <string>

#include <absl/strings/string_view.h>

namespace tessaplan
{
    /// The parts of a glTF file: its JSON text and, for GLB, its binary
    /// chunk (empty when it has none or the file is JSON).
    struct GltfContainer
    {
        absl::string_view json;
        absl::string_view binary;
        bool is_glb{false};
    };

    /// The deepest nesting of arrays and objects the JSON of a glTF file
    /// may have.
    constexpr std::size_t max_json_depth = 64;

    /// Whether `bytes` start as GLB does ("glTF").
    bool starts_as_glb(absl::string_view bytes);

    /// Splits the bytes of the glTF file `path` (a view on `bytes`, which
    /// must outlive the result): GLB when they start with its magic, JSON
    /// otherwise. For GLB, checks the header (version 2, length equal to the
    /// file's size) and that the JSON chunk comes first and every chunk
    /// lies inside the file. Throws CliError (invalid_input) naming what is
    /// wrong.
    GltfContainer split_gltf_container(absl::string_view bytes,
                                       const std::string& path);

    /// Checks, without parsing it, that `json` nests arrays and objects at
    /// most max_json_depth deep (strings are skipped, escapes included), so
    /// that a parser that recurses cannot run out of stack. Throws CliError
    /// (invalid_input) for deeper nesting.
    void check_json_depth(absl::string_view json, const std::string& path);
}  // namespace tessaplan

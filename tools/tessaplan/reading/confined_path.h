#pragma once

#include <filesystem>
#include <string>

namespace tessaplan
{
    /// The folder whose files an input may refer to: `folder` made absolute
    /// and canonical ("." when empty).
    std::filesystem::path confining_folder(const std::filesystem::path& folder);

    /// Whether `file` (absolute, or relative to the working folder) may be
    /// read as a reference of an input confined to `folder` (as
    /// confining_folder gives it): its canonical path lies inside the folder
    /// and, when it exists, it is a regular file. Throws nothing.
    bool is_confined_file(const std::filesystem::path& folder,
                          const std::string& file);
}  // namespace tessaplan

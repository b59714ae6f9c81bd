#pragma once

#include <cstdint>
#include <string>

namespace tessaplan
{
    /// Checks that `path` names a regular file that this process can read,
    /// without blocking on a FIFO or a device, and returns its size in
    /// bytes. Throws CliError (cannot_open_input) for a missing or
    /// unreadable file, a folder, or anything else that is not a regular
    /// file.
    std::uint64_t check_input_file(const std::string& path);
}  // namespace tessaplan

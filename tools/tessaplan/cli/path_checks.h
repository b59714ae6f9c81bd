#pragma once

#include <string>

namespace tessaplan
{
    /// Checks that no output is the input and that no two outputs are the
    /// same: the same file when both exist (whatever the spelling of their
    /// paths, links included), the same resolved path otherwise. `svg` and
    /// `png` may be empty. Throws CliError (usage) naming the clash.
    void check_distinct_files(const std::string& input,
                              const std::string& output, const std::string& svg,
                              const std::string& png);

    /// Checks that `path`, if it exists, is a regular file (after links):
    /// a device, a FIFO or a folder is never replaced. Throws CliError
    /// (cannot_write_output) otherwise.
    void check_replaceable(const std::string& path);
}  // namespace tessaplan

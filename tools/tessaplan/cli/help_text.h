#pragma once

#include <string>

#include "cli/options.h"

namespace tessaplan
{
    /// The text printed by --help: the program's, listing its commands,
    /// when no command was named, else the named command's own.
    std::string help_text(const Options& options);

    /// The text printed by --version.
    std::string version_text();
}  // namespace tessaplan

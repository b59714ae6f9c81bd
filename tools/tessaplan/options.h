#pragma once

#include <string>
#include <vector>

namespace tessaplan
{
    /// What the command line asks for.
    struct Options
    {
        bool help{false};
        std::string input;
        /// Empty: next to the input, as <stem>-flat.obj.
        std::string output;
        std::string svg;
        bool flat{false};
        bool normalize{false};
        bool json{false};
        /// Lay the pieces out side by side.
        bool pack{false};
        /// Join vertices at the same position (always done for STL).
        bool weld{false};
    };

    /// Reads the arguments that follow the program name. Throws CliError
    /// (usage) for an unknown command or option, a missing or empty value
    /// or input, or more than one input.
    Options parse_options(const std::vector<std::string>& arguments);

    /// The output path used when none is given: <stem>-flat.obj in the
    /// folder of the input.
    std::string default_output_path(const std::string& input);

    /// The text printed by --help.
    std::string help_text();
}  // namespace tessaplan

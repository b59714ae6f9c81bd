#pragma once

#include <string>
#include <vector>

namespace tessaplan
{
    /// The commands of the program.
    enum class Command
    {
        flatten,
        atlas
    };

    /// What the command line asks for.
    struct Options
    {
        bool help{false};
        Command command{Command::flatten};
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
        /// atlas: the bound on each chart's conformal distortion p95, the
        /// gap between charts in texels and the texels along the side.
        double max_distortion{1.15};
        double padding{2.0};
        unsigned resolution{1024};
    };

    /// Reads the arguments that follow the program name. Throws CliError
    /// (usage) for an unknown command or option, a missing or empty value
    /// or input, or more than one input.
    Options parse_options(const std::vector<std::string>& arguments);

    /// The output path used when none is given: <stem>-flat.obj (or
    /// <stem>-atlas.obj for atlas) in the folder of the input.
    std::string default_output_path(const std::string& input,
                                    Command command = Command::flatten);

    /// The text printed by --help.
    std::string help_text();
}  // namespace tessaplan

#pragma once

#include <string>
#include <vector>

#include <tessaplan/atlas.h>
#include <tessaplan/surface_flattening.h>
#include <tessaplan/true_size.h>

namespace tessaplan
{
    /// The commands of the program.
    enum class Command
    {
        flatten,
        atlas
    };

    /// Whether vertices at the same position are joined.
    enum class Weld
    {
        /// Joined for the formats that split vertices per face (STL and
        /// those read through assimp), kept apart for the others.
        by_format,
        on,
        off
    };

    /// What the command line asks for.
    struct Options
    {
        /// Print the help of `command` (or of the program, when no command
        /// was named) and exit.
        bool help{false};
        /// Whether a command was named; false for "tessaplan --help".
        bool has_command{false};
        /// Print the version and exit.
        bool version{false};
        Command command{Command::flatten};
        std::string input;
        /// Empty: next to the input, as <stem>-flat.obj.
        std::string output;
        std::string svg;
        /// The PNG picture; empty when none is asked for.
        std::string png;
        bool flat{false};
        bool normalize{false};
        bool json{false};
        /// Lay the pieces out side by side.
        bool pack{false};
        /// --pins FILE: vertices pinned at given positions; empty for none.
        std::string pins;
        /// --seams FILE: edges to cut the surface open along (flatten) or
        /// that no chart crosses (atlas); empty for none.
        std::string seams;
        /// --seams-from-uv: cut (flatten) or end charts (atlas) where the
        /// input's own texture coordinates are discontinuous, too.
        bool seams_from_uv{false};
        /// --charts-from-uv (atlas): the input's UV islands are the charts.
        bool charts_from_uv{false};
        /// --method: what the flattening minimises.
        nodara::FlatteningMethod method{nodara::FlatteningMethod::lscm};
        /// --scale: what sets each piece's size.
        nodara::FlatteningScale scale{nodara::FlatteningScale::pins};
        /// --weld and --no-weld.
        Weld weld{Weld::by_format};
        /// Exit with "flattening failed" when the map folds over itself.
        bool fail_on_fold{false};
        /// --uv-set N: the texture coordinate set (TEXCOORD_N) written into
        /// a glTF input's document.
        int uv_set{0};
        /// atlas: the bound on each chart's conformal distortion p95, the
        /// gap between charts in texels and the texels along the side,
        /// with the library's defaults.
        nodara::AtlasOptions atlas;
    };

    /// Reads the arguments that follow the program name. Throws CliError
    /// (usage) for an unknown command or option, a missing or empty value
    /// or input, more than one input, or an output whose extension the
    /// command does not write.
    Options parse_options(const std::vector<std::string>& arguments);

    /// The output path used when none is given: <stem>-flat.obj (or
    /// <stem>-atlas.obj for atlas) in the folder of the input.
    std::string default_output_path(const std::string& input,
                                    Command command = Command::flatten);
}  // namespace tessaplan

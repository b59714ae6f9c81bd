#include "cli/options.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "cli/cli_error.h"
#include "reading/mesh_format.h"

namespace tessaplan
{
    namespace
    {
        // Points to the help of the command at hand.
        CliError usage_error(const std::string& message, const Options& options)
        {
            const std::string help = !options.has_command ? "tessaplan --help"
                                     : options.command == Command::atlas
                                         ? "tessaplan atlas --help"
                                         : "tessaplan flatten --help";
            return CliError{ExitCode::usage, message + " (see " + help + ")"};
        }

        // The value of an option given as "--name VALUE" or "--name=VALUE";
        // advances `index` past a separate value.
        std::string option_value(const std::vector<std::string>& arguments,
                                 std::size_t& index, const std::string& name,
                                 const Options& options)
        {
            const auto& argument = arguments[index];
            if (argument.size() > name.size() && argument[name.size()] == '=')
            {
                if (argument.size() == name.size() + 1)
                {
                    throw usage_error("option " + name + " needs a value",
                                      options);
                }
                return argument.substr(name.size() + 1);
            }
            if (index + 1 >= arguments.size() || arguments[index + 1].empty())
            {
                throw usage_error("option " + name + " needs a value", options);
            }
            return arguments[++index];
        }

        bool is_option(const std::string& argument, const std::string& name)
        {
            return argument == name || argument.rfind(name + "=", 0) == 0;
        }

        // A number that must fill its whole text.
        double number_value(const std::string& text, const std::string& name,
                            const Options& options)
        {
            std::size_t used = 0;
            double value = 0;
            try
            {
                value = std::stod(text, &used);
            }
            catch (const std::exception&)
            {
                used = 0;
            }
            if (used == 0 || used != text.size() || !std::isfinite(value))
            {
                throw usage_error(
                    "option " + name + " needs a number, got '" + text + "'",
                    options);
            }
            return value;
        }

        // An option of the atlas command that takes a number: its range
        // and where its value goes.
        struct AtlasNumber
        {
            const char* name;
            /// The field it sets; null for --resolution, a whole number.
            double nodara::AtlasOptions::*field;
            double low;
            double high;
            bool whole;
            const char* range;
        };

        const AtlasNumber atlas_numbers[] = {
            {"--max-distortion", &nodara::AtlasOptions::max_distortion, 1.0,
             HUGE_VAL, false, "at least 1"},
            {"--padding", &nodara::AtlasOptions::padding, 0.0, 1e6, false,
             "from 0 to 1000000"},
            {"--resolution", nullptr, 16, 1 << 24, true,
             "a whole number from 16 to 16777216"},
            {"--max-chart-area", &nodara::AtlasOptions::max_chart_area, 0.0,
             HUGE_VAL, false, "at least 0; 0: unbounded"},
            {"--max-boundary-length",
             &nodara::AtlasOptions::max_boundary_length, 0.0, HUGE_VAL, false,
             "at least 0; 0: unbounded"},
            {"--texels-per-unit", &nodara::AtlasOptions::texels_per_unit, 0.0,
             HUGE_VAL, false,
             "at least 0; 0: the largest that fits one square"}};

        const AtlasNumber* atlas_number(const std::string& argument)
        {
            for (const auto& number : atlas_numbers)
            {
                if (is_option(argument, number.name))
                {
                    return &number;
                }
            }
            return nullptr;
        }

        void refuse_other_command(const std::string& name,
                                  const Options& options)
        {
            if (options.command != Command::atlas)
            {
                throw usage_error(
                    "option " + name + " belongs to the atlas command",
                    options);
            }
        }

        // An atlas option that takes a number (atlas_numbers), checked
        // against its range.
        void read_atlas_option(const std::vector<std::string>& arguments,
                               std::size_t& index, const AtlasNumber& number,
                               Options& options)
        {
            const std::string name = number.name;
            refuse_other_command(name, options);
            const auto value = number_value(
                option_value(arguments, index, name, options), name, options);
            if (!(value >= number.low && value <= number.high) ||
                (number.whole && value != std::floor(value)))
            {
                throw usage_error("option " + name + " is out of range (" +
                                      number.range + ")",
                                  options);
            }
            if (number.field == nullptr)
            {
                options.atlas.resolution = static_cast<nodara::index_t>(value);
            }
            else
            {
                options.atlas.*number.field = value;
            }
        }

        // --rotate and --no-rotate of the atlas command.
        bool read_atlas_switch(const std::string& argument, Options& options)
        {
            if (argument != "--rotate" && argument != "--no-rotate" &&
                argument != "--charts-from-uv")
            {
                return false;
            }
            refuse_other_command(argument, options);
            if (argument == "--charts-from-uv")
            {
                options.charts_from_uv = true;
            }
            else
            {
                options.atlas.rotate = argument == "--rotate";
            }
            return true;
        }

        // --uv-set N: a whole number from 0 to 15, for glTF output.
        void read_uv_set(const std::vector<std::string>& arguments,
                         std::size_t& index, Options& options)
        {
            const auto value = number_value(
                option_value(arguments, index, "--uv-set", options), "--uv-set",
                options);
            if (value < 0 || value > 15 || value != std::floor(value))
            {
                throw usage_error(
                    "option --uv-set needs a whole number from 0 to 15",
                    options);
            }
            options.uv_set = static_cast<int>(value);
        }

        void read_scale(const std::vector<std::string>& arguments,
                        std::size_t& index, Options& options)
        {
            const auto value =
                option_value(arguments, index, "--scale", options);
            if (options.command != Command::flatten)
            {
                throw usage_error(
                    "option --scale belongs to the flatten command", options);
            }
            if (value != "pins" && value != "area")
            {
                throw usage_error(
                    "option --scale needs 'pins' or 'area', not '" + value +
                        "'",
                    options);
            }
            options.scale = value == "area" ? nodara::FlatteningScale::area
                                            : nodara::FlatteningScale::pins;
        }

        // --pins FILE, which only the flatten command takes, and --seams
        // FILE, which both take.
        void read_constraint_file(const std::vector<std::string>& arguments,
                                  std::size_t& index, Options& options)
        {
            const bool pins = is_option(arguments[index], "--pins");
            if (pins)
            {
                options.pins =
                    option_value(arguments, index, "--pins", options);
            }
            else
            {
                options.seams =
                    option_value(arguments, index, "--seams", options);
            }
            if (pins && options.command != Command::flatten)
            {
                throw usage_error(
                    "option --pins belongs to the flatten command", options);
            }
        }

        void read_method(const std::vector<std::string>& arguments,
                         std::size_t& index, Options& options)
        {
            const auto value =
                option_value(arguments, index, "--method", options);
            if (options.command != Command::flatten)
            {
                throw usage_error(
                    "option --method belongs to the flatten command", options);
            }
            if (value != "lscm" && value != "arap")
            {
                throw usage_error(
                    "option --method needs 'lscm' or 'arap', "
                    "not '" +
                        value + "'",
                    options);
            }
            options.method = value == "arap" ? nodara::FlatteningMethod::arap
                                             : nodara::FlatteningMethod::lscm;
        }

        // The command, or --help / --version alone. A --help anywhere
        // before "--" asks for the help of the command named first.
        void read_command(const std::vector<std::string>& arguments,
                          Options& options)
        {
            const auto& first = arguments.front();
            options.has_command = first == "flatten" || first == "atlas";
            options.command =
                first == "atlas" ? Command::atlas : Command::flatten;
            for (const auto& argument : arguments)
            {
                if (argument == "--")
                {
                    break;
                }
                options.help =
                    options.help || argument == "-h" || argument == "--help";
            }
            if (options.help)
            {
                return;
            }
            if (first == "--version" && arguments.size() == 1)
            {
                options.version = true;
            }
            else if (!options.has_command)
            {
                throw usage_error("unknown command '" + first +
                                      "'; the commands are 'flatten' and "
                                      "'atlas'",
                                  options);
            }
        }

        void read_input(const std::string& argument, Options& options)
        {
            if (!options.input.empty())
            {
                throw usage_error("more than one input file given ('" +
                                      options.input + "' and '" + argument +
                                      "')",
                                  options);
            }
            if (argument.empty())
            {
                throw usage_error("empty input file name", options);
            }
            options.input = argument;
        }

        // --flat, --normalize, --pack and --fail-on-fold, which only the
        // flatten command takes.
        bool read_flatten_switch(const std::string& argument, Options& options)
        {
            bool* const target =
                argument == "--flat"           ? &options.flat
                : argument == "--normalize"    ? &options.normalize
                : argument == "--pack"         ? &options.pack
                : argument == "--fail-on-fold" ? &options.fail_on_fold
                                               : nullptr;
            if (target == nullptr)
            {
                return false;
            }
            if (options.command != Command::flatten)
            {
                throw usage_error(
                    "option " + argument + " belongs to the flatten command",
                    options);
            }
            *target = true;
            return true;
        }

        void read_option(const std::vector<std::string>& arguments,
                         std::size_t& i, Options& options)
        {
            const auto& argument = arguments[i];
            if (argument == "-o" || is_option(argument, "--output"))
            {
                options.output =
                    option_value(arguments, i,
                                 argument == "-o" ? "-o" : "--output", options);
            }
            else if (argument.rfind("-o", 0) == 0 && argument.size() > 2 &&
                     argument[2] != '-')
            {
                options.output = argument.substr(2);
            }
            else if (is_option(argument, "--svg"))
            {
                options.svg = option_value(arguments, i, "--svg", options);
            }
            else if (is_option(argument, "--png"))
            {
                options.png = option_value(arguments, i, "--png", options);
            }
            else if (read_flatten_switch(argument, options))
            {
            }
            else if (const auto* number = atlas_number(argument))
            {
                read_atlas_option(arguments, i, *number, options);
            }
            else if (read_atlas_switch(argument, options))
            {
            }
            else if (is_option(argument, "--uv-set"))
            {
                read_uv_set(arguments, i, options);
            }
            else if (is_option(argument, "--scale"))
            {
                read_scale(arguments, i, options);
            }
            else if (is_option(argument, "--method"))
            {
                read_method(arguments, i, options);
            }
            else if (is_option(argument, "--pins") ||
                     is_option(argument, "--seams"))
            {
                read_constraint_file(arguments, i, options);
            }
            else if (argument == "--json")
            {
                options.json = true;
            }
            else if (argument == "--seams-from-uv")
            {
                options.seams_from_uv = true;
            }
            else if (argument == "--weld" || argument == "--no-weld")
            {
                options.weld = argument == "--weld" ? Weld::on : Weld::off;
            }
            else
            {
                throw usage_error("unknown option '" + argument + "'", options);
            }
        }

        // The extensions each command writes, in the words of its errors.
        // The extensions both commands write.
        const std::vector<std::string>& output_extensions()
        {
            static const std::vector<std::string> written{".obj", ".ply",
                                                          ".gltf", ".glb"};
            return written;
        }

        // A name without an extension is written as OBJ.
        void check_output_extension(const Options& options)
        {
            const auto& allowed = output_extensions();
            const auto extension = lower_extension(options.output);
            if (extension.empty() || std::find(allowed.begin(), allowed.end(),
                                               extension) != allowed.end())
            {
                return;
            }
            std::string list;
            for (const auto& name : allowed)
            {
                list += (list.empty() ? "" : ", ") + name;
            }
            throw usage_error(
                "cannot write '" + options.output + "': the " +
                    (options.command == Command::atlas ? "atlas" : "flatten") +
                    " command writes " + list + " files",
                options);
        }

        // Pages (--texels-per-unit) are written as OBJ materials, which
        // the other formats do not hold.
        void check_pages_output(const Options& options)
        {
            const auto extension = lower_extension(options.output);
            if (options.command == Command::atlas &&
                options.atlas.texels_per_unit > 0 && !extension.empty() &&
                extension != ".obj")
            {
                throw usage_error("cannot write '" + options.output +
                                      "': --texels-per-unit writes its pages "
                                      "as the materials of an .obj file",
                                  options);
            }
        }

        // Throws CliError (usage) when `path`, if given, is spelled as
        // `other`.
        void check_different(const std::string& path, const std::string& other,
                             const std::string& what,
                             const std::string& other_what,
                             const Options& options)
        {
            namespace fs = std::filesystem;
            if (!path.empty() && fs::path{path}.lexically_normal() ==
                                     fs::path{other}.lexically_normal())
            {
                throw usage_error(what + " and " + other_what + " are the same",
                                  options);
            }
        }

        void check_files(Options& options)
        {
            if (options.input.empty())
            {
                throw usage_error("no input file given", options);
            }
            if (options.output.empty())
            {
                options.output =
                    default_output_path(options.input, options.command);
            }
            check_output_extension(options);
            check_pages_output(options);
            check_different(options.svg, options.output, "the SVG file",
                            "the output file", options);
            check_different(options.png, options.output, "the PNG file",
                            "the output file", options);
            check_different(options.png, options.svg, "the PNG file",
                            "the SVG file", options);
        }
    }  // namespace

    Options parse_options(const std::vector<std::string>& arguments)
    {
        Options options;
        if (arguments.empty())
        {
            throw usage_error("no command given", options);
        }
        read_command(arguments, options);
        if (options.help || options.version)
        {
            return options;
        }
        bool only_files = false;
        for (std::size_t i = 1; i < arguments.size(); ++i)
        {
            const auto& argument = arguments[i];
            if (only_files || argument.empty() || argument == "-" ||
                argument.front() != '-')
            {
                read_input(argument, options);
            }
            else if (argument == "--")
            {
                only_files = true;
            }
            else
            {
                read_option(arguments, i, options);
            }
        }
        check_files(options);
        return options;
    }

    std::string default_output_path(const std::string& input, Command command)
    {
        const std::filesystem::path path{input};
        auto name = path.stem().string() +
                    (command == Command::atlas ? "-atlas.obj" : "-flat.obj");
        return (path.parent_path() / name).string();
    }
}  // namespace tessaplan

#include "options.h"

#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "cli_error.h"

namespace tessaplan
{
    namespace
    {
        CliError usage_error(const std::string& message)
        {
            return CliError{ExitCode::usage,
                            message + " (see tessaplan --help)"};
        }

        // The value of an option given as "--name VALUE" or "--name=VALUE";
        // advances `index` past a separate value.
        std::string option_value(const std::vector<std::string>& arguments,
                                 std::size_t& index, const std::string& name)
        {
            const auto& argument = arguments[index];
            if (argument.size() > name.size() && argument[name.size()] == '=')
            {
                if (argument.size() == name.size() + 1)
                {
                    throw usage_error("option " + name + " needs a value");
                }
                return argument.substr(name.size() + 1);
            }
            if (index + 1 >= arguments.size() || arguments[index + 1].empty())
            {
                throw usage_error("option " + name + " needs a value");
            }
            return arguments[++index];
        }

        bool is_option(const std::string& argument, const std::string& name)
        {
            return argument == name || argument.rfind(name + "=", 0) == 0;
        }

        // A number that must fill its whole text.
        double number_value(const std::string& text, const std::string& name)
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
                throw usage_error("option " + name + " needs a number, got '" +
                                  text + "'");
            }
            return value;
        }

        // --max-distortion X, --padding P or --resolution R of the atlas
        // command, each checked against its range.
        void read_atlas_option(const std::vector<std::string>& arguments,
                               std::size_t& index, Options& options)
        {
            const auto& argument = arguments[index];
            const auto name = argument.substr(0, argument.find('='));
            if (options.command != Command::atlas)
            {
                throw usage_error("option " + name +
                                  " belongs to the atlas command");
            }
            const auto value =
                number_value(option_value(arguments, index, name), name);
            if (name == "--max-distortion" && value >= 1.0)
            {
                options.max_distortion = value;
            }
            else if (name == "--padding" && value >= 0.0 && value <= 1e6)
            {
                options.padding = value;
            }
            else if (name == "--resolution" && value >= 16 &&
                     value <= (1 << 24) && value == std::floor(value))
            {
                options.resolution = static_cast<unsigned>(value);
            }
            else
            {
                throw usage_error(
                    "option " + name +
                    " is out of range (--max-distortion at least 1, "
                    "--padding from 0, --resolution a whole number from 16 "
                    "to 16777216)");
            }
        }
    }  // namespace

    Options parse_options(const std::vector<std::string>& arguments)
    {
        Options options;
        if (arguments.empty())
        {
            throw usage_error("no command given");
        }
        for (const auto& argument : arguments)
        {
            if (argument == "--")
            {
                break;
            }
            if (argument == "-h" || argument == "--help")
            {
                options.help = true;
                return options;
            }
        }
        if (arguments.front() == "atlas")
        {
            options.command = Command::atlas;
        }
        else if (arguments.front() != "flatten")
        {
            throw usage_error("unknown command '" + arguments.front() +
                              "'; the commands are 'flatten' and 'atlas'");
        }
        bool only_files = false;
        for (std::size_t i = 1; i < arguments.size(); ++i)
        {
            const auto& argument = arguments[i];
            if (only_files || argument.empty() || argument == "-" ||
                argument.front() != '-')
            {
                if (!options.input.empty())
                {
                    throw usage_error("more than one input file given ('" +
                                      options.input + "' and '" + argument +
                                      "')");
                }
                if (argument.empty())
                {
                    throw usage_error("empty input file name");
                }
                options.input = argument;
            }
            else if (argument == "--")
            {
                only_files = true;
            }
            else if (argument == "-o" || is_option(argument, "--output"))
            {
                options.output = option_value(
                    arguments, i, argument == "-o" ? "-o" : "--output");
            }
            else if (argument.rfind("-o", 0) == 0 && argument.size() > 2 &&
                     argument[2] != '-')
            {
                options.output = argument.substr(2);
            }
            else if (is_option(argument, "--svg"))
            {
                options.svg = option_value(arguments, i, "--svg");
            }
            else if (argument == "--flat" || argument == "--normalize" ||
                     argument == "--pack")
            {
                if (options.command != Command::flatten)
                {
                    throw usage_error("option " + argument +
                                      " belongs to the flatten command");
                }
                options.flat = options.flat || argument == "--flat";
                options.normalize =
                    options.normalize || argument == "--normalize";
                options.pack = options.pack || argument == "--pack";
            }
            else if (is_option(argument, "--max-distortion") ||
                     is_option(argument, "--padding") ||
                     is_option(argument, "--resolution"))
            {
                read_atlas_option(arguments, i, options);
            }
            else if (argument == "--json")
            {
                options.json = true;
            }
            else if (argument == "--weld")
            {
                options.weld = true;
            }
            else
            {
                throw usage_error("unknown option '" + argument + "'");
            }
        }
        if (options.input.empty())
        {
            throw usage_error("no input file given");
        }
        if (options.output.empty())
        {
            options.output =
                default_output_path(options.input, options.command);
        }
        if (!options.svg.empty() &&
            std::filesystem::path{options.svg}.lexically_normal() ==
                std::filesystem::path{options.output}.lexically_normal())
        {
            throw usage_error("the SVG file and the output file are the same");
        }
        return options;
    }

    std::string default_output_path(const std::string& input, Command command)
    {
        const std::filesystem::path path{input};
        auto name = path.stem().string() +
                    (command == Command::atlas ? "-atlas.obj" : "-flat.obj");
        return (path.parent_path() / name).string();
    }

    std::string help_text()
    {
        return R"(Usage: tessaplan flatten INPUT [-o OUTPUT] [--weld] [--flat] [--normalize]
                          [--pack] [--svg FILE] [--json]

Flattens a triangulated surface into the plane by least squares conformal
maps (LSCM), measures how much the flattening distorts every triangle, and
writes the result.

INPUT is read exactly when it is OBJ, OFF, PLY (ASCII or binary) or STL
(ASCII or binary): the file's vertices in its order, in double precision,
and its faces in its order. Every other format assimp reads (glTF, COLLADA,
3DS, FBX...) is read in single precision. Polygons are split into triangles
for the flattening and written back as they were; points and lines are
ignored. Counts the file cannot hold are refused before reading.

Options:
  -o, --output FILE  Where to write the result: .ply (binary PLY), .gltf or
                     .glb (glTF), anything else OBJ. Default: <stem>-flat.obj
                     next to INPUT. Never the input, never an existing file
                     that is not a regular file.
  --weld             Join vertices at exactly the same position (always done
                     for STL). Without it they are a seam.
  --flat             Write the flattened surface itself (z = 0) instead of
                     the 3D surface with texture coordinates.
  --normalize        Scale the flattening uniformly, and move it, so that it
                     fits the unit square [0, 1] x [0, 1]. Without it the
                     coordinates are written as computed.
  --pack             Lay the pieces out side by side, their bounding boxes
                     apart, each moved rigidly (possibly turned by a quarter
                     turn) at the common scale, packed into a small square.
                     Pieces that share a vertex move together. Without it
                     each piece stays where its pinned vertices put it.
  --svg FILE         Also draw the flattened surface as an SVG picture: every
                     triangle coloured by its conformal distortion (viridis
                     scale, with a legend), flipped triangles outlined in red.
  --json             Print the report as one JSON object instead of text.
  -h, --help         Print this help and exit.

Output: without --flat, the file holds the input's vertices (OBJ: v x y z,
in full precision), one texture coordinate per vertex (OBJ: vt u v, in the
same order; PLY: u and v; glTF: TEXCOORD_0) and the input's faces (OBJ:
"f a/a b/b c/c"). With --flat the positions are the flattening (u v 0).
Files are written in full to a temporary file next to the destination and
renamed into place, so a failed run leaves no partial file behind.

Report (on standard output): the input's format (and whether it was read in
single precision), the vertices joined by --weld, vertices, triangles,
border edges, the pieces (triangles joined through edges shared by exactly
two triangles; per piece its triangles, its border edges - also the sides
of an edge shared by more than two triangles -, whether it is closed, and
its area ratio, the flat area over the 3D area), the time spent reading,
flattening and writing, and the distortion: mean, 95th percentile and
maximum of the conformal distortion (sigma1/sigma2 >= 1 of each triangle's
map; 1 keeps angles, infinite for a collapsed triangle) and of the area
distortion (a triangle's share of the flat area divided by its share of the
3D area), the number of flipped triangles (turned against the majority of
their piece, read in the piece's consistent orientation, or collapsed), of
collapsed triangles (flat area below 1e-12 of the 3D area) and of triangles
with zero area in 3D (left out of the statistics); with --pack, the fill
(the pieces' boxes' share of the bounding square). With --json the keys are
format, single_precision, joined_vertices, vertices, triangles,
border_edges, pieces {count, list: [{triangles, border_edges, closed,
area_ratio, collapsed_triangles}]}, seconds {read, parameterize,
measure, write}, conformal_distortion {mean, p95, max}, area_distortion
{mean, p95, max}, flipped_triangles, collapsed_triangles,
degenerate_triangles, pack_fill (null without --pack), input, output, svg
and warnings; numbers that are not finite are written as null.
Warnings (for example for a closed surface, which cannot be flattened
without cuts, or for a map that folds over itself) go to standard error, and while standard error is a terminal
it also shows which stage is running.

Exit status:
  0  success
  1  unexpected internal error
  2  wrong command line, or an output that is the input or the other output
  3  the input file cannot be opened (missing, unreadable, a folder, not a
     regular file)
  4  the input is not a usable surface: unknown or corrupt format, counts
     the file cannot hold, indices out of range, non-finite coordinates, no
     triangles, fewer than two vertices
  5  the flattening failed (the library's message is shown), or a piece
     with a border edge collapsed (its flat area below 1e-12 of its 3D
     area); no output is written then
  6  an output file cannot be written, or exists and is not a regular file
Errors are reported as one line on standard error.
)";
    }
}  // namespace tessaplan

#include "commands/flattening.h"

#include <velmora/basic/velmora_exception.h>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        // ", line N" for the item at `index` of a file whose lines are
        // `lines`; empty when it came from no file.
        std::string line_text(std::size_t index,
                              const std::vector<std::uint64_t>& lines)
        {
            return index < lines.size()
                       ? ", line " + std::to_string(lines[index])
                       : std::string{};
        }

        // Runs `flatten`, turning the library's errors into the program's:
        // bad pins and seams are invalid input named by their line, other
        // failures a failed flattening.
        template <typename Flatten>
        auto checked(const std::string& input, Flatten flatten,
                     const std::vector<std::uint64_t>& pin_lines,
                     const std::vector<std::uint64_t>& seam_lines)
        {
            try
            {
                return flatten();
            }
            catch (const nodara::PinError& error)
            {
                throw CliError{ExitCode::invalid_input,
                               "cannot flatten '" + input + "' with the pins" +
                                   line_text(error.pin(), pin_lines) + ": " +
                                   error.what()};
            }
            catch (const nodara::SeamError& error)
            {
                throw CliError{ExitCode::invalid_input,
                               "cannot flatten '" + input +
                                   "' along the seams" +
                                   line_text(error.seam(), seam_lines) + ": " +
                                   error.what()};
            }
            catch (const nodara::PieceFlatteningError& error)
            {
                throw CliError{
                    ExitCode::flattening_failed,
                    "cannot flatten '" + input + "': " + error.what() +
                        (error.closed()
                             ? "; 'tessaplan atlas' cuts it into charts, or "
                               "--seams cuts it where you choose"
                             : "")};
            }
            catch (const nodara::VelmoraException& error)
            {
                throw CliError{
                    ExitCode::flattening_failed,
                    "cannot flatten '" + input + "': " + error.what()};
            }
        }
    }  // namespace

    nodara::SurfaceFlattening flatten_checked(
        const nodara::TriangulatedSurface<3>& surface, const std::string& input,
        const nodara::FlattenOptions& options,
        const std::vector<std::uint64_t>& pin_lines)
    {
        return checked(
            input, [&] { return nodara::flatten_surface(surface, options); },
            pin_lines, {});
    }

    nodara::CutFlattening flatten_cut_checked(
        const nodara::TriangulatedSurface<3>& surface, const std::string& input,
        const nodara::FlattenOptions& options,
        const std::vector<std::array<nodara::index_t, 2>>& seams,
        const std::vector<std::uint64_t>& pin_lines,
        const std::vector<std::uint64_t>& seam_lines)
    {
        return checked(
            input,
            [&]
            { return nodara::flatten_cut_surface(surface, seams, options); },
            pin_lines, seam_lines);
    }
}  // namespace tessaplan

#include "commands/flattening.h"

#include <velmora/basic/velmora_exception.h>

#include "cli/cli_error.h"

namespace tessaplan
{
    nodara::SurfaceFlattening flatten_checked(
        const nodara::TriangulatedSurface<3>& surface, const std::string& input,
        const nodara::FlattenOptions& options,
        const std::vector<std::uint64_t>& pin_lines)
    {
        try
        {
            return nodara::flatten_surface(surface, options);
        }
        catch (const nodara::PinError& error)
        {
            const auto line =
                error.pin() < pin_lines.size()
                    ? ", line " + std::to_string(pin_lines[error.pin()])
                    : std::string{};
            throw CliError{ExitCode::invalid_input,
                           "cannot flatten '" + input + "' with the pins" +
                               line + ": " + error.what()};
        }
        catch (const nodara::PieceFlatteningError& error)
        {
            throw CliError{ExitCode::flattening_failed,
                           "cannot flatten '" + input + "': " + error.what() +
                               (error.closed() ? "; 'tessaplan atlas' cuts it "
                                                 "into charts"
                                               : "")};
        }
        catch (const nodara::VelmoraException& error)
        {
            throw CliError{ExitCode::flattening_failed,
                           "cannot flatten '" + input + "': " + error.what()};
        }
    }
}  // namespace tessaplan

#include "commands/flattening.h"

#include <velmora/basic/velmora_exception.h>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        // Throws CliError when a coordinate of the flattening is not finite.
        void check_finite(const std::vector<nodara::Point<2>>& uv,
                          const std::string& input)
        {
            for (const auto& point : uv)
            {
                if (!point.is_finite())
                {
                    throw CliError{ExitCode::flattening_failed,
                                   "cannot flatten '" + input +
                                       "': the solution has coordinates "
                                       "that are not finite numbers"};
                }
            }
        }
    }  // namespace

    nodara::SurfaceFlattening flatten_checked(
        const nodara::TriangulatedSurface<3>& surface, const std::string& input)
    {
        try
        {
            auto flattening = nodara::flatten_surface(surface);
            check_finite(flattening.map, input);
            return flattening;
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

    nodara::PiecePacking pack_flattening(
        const nodara::TriangulatedSurface<3>& surface,
        const std::vector<nodara::Point<2>>& uv, const std::string& input)
    {
        auto packing = nodara::pack_pieces(surface, uv);
        check_finite(packing.uv, input);
        return packing;
    }
}  // namespace tessaplan

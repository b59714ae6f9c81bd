#include "flattening.h"

#include <tessaplan/lscm.h>
#include <velmora/basic/velmora_exception.h>

#include "cli_error.h"

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

    std::vector<nodara::Point<2>> flatten_surface(
        const nodara::TriangulatedSurface<3>& surface, const std::string& input,
        bool closed)
    {
        std::vector<nodara::Point<2>> uv;
        try
        {
            uv = nodara::compute_LSCM_map(surface);
        }
        catch (const nodara::VelmoraException& error)
        {
            std::string message =
                "cannot flatten '" + input + "': " + error.what();
            if (closed)
            {
                message +=
                    " (the surface is closed: it cannot be flattened "
                    "without cuts; 'tessaplan atlas' cuts it into "
                    "charts)";
            }
            throw CliError{ExitCode::flattening_failed, message};
        }
        check_finite(uv, input);
        return uv;
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

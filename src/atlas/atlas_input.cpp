#include "atlas_input.h"

#include <cmath>
#include <string>

#include <velmora/basic/velmora_exception.h>

namespace nodara
{
    namespace
    {
        [[noreturn]] void refuse(const std::string& message)
        {
            throw InvalidInputException{"[compute_atlas] " + message};
        }

        void check_size_options(const AtlasOptions& options)
        {
            if (!(options.max_chart_area >= 0.0))
            {
                refuse(
                    "The largest chart area must be at least 0 (0 or "
                    "infinity: unbounded)");
            }
            if (!(options.max_boundary_length >= 0.0))
            {
                refuse(
                    "The largest chart border length must be at least 0 "
                    "(0 or infinity: unbounded)");
            }
            if (!(options.texels_per_unit >= 0.0) ||
                !std::isfinite(options.texels_per_unit))
            {
                refuse(
                    "The texels per unit must be a finite number, at "
                    "least 0 (0: the largest that fits one square)");
            }
        }

    }  // namespace

    void check_atlas_input(const TriangulatedSurface<3>& surface,
                           const AtlasOptions& options)
    {
        if (surface.nb_polygons() == 0)
        {
            refuse("The surface has no triangle");
        }
        for (index_t v = 0; v < surface.nb_vertices(); ++v)
        {
            const auto& p = surface.point(v);
            if (!std::isfinite(p[0]) || !std::isfinite(p[1]) ||
                !std::isfinite(p[2]))
            {
                refuse("Vertex " + std::to_string(v) +
                       " has a coordinate that is not finite");
            }
        }
        if (!(options.max_distortion >= 1.0) ||
            !std::isfinite(options.max_distortion))
        {
            refuse("The distortion bound must be a number of at least 1");
        }
        if (!(options.max_area_distortion >= 1.0) ||
            !std::isfinite(options.max_area_distortion))
        {
            refuse(
                "The area distortion bound must be a number of at least "
                "1");
        }
        if (!(options.padding >= 0.0) || !std::isfinite(options.padding))
        {
            refuse("The padding must be a number of texels, at least 0");
        }
        if (options.resolution < 16 || options.resolution > (1u << 24))
        {
            refuse("The resolution must be from 16 to 16777216 texels");
        }
        check_size_options(options);
    }

    void check_corner_map(const TriangulatedSurface<3>& surface,
                          absl::Span<const std::array<Point<2>, 3>> corners,
                          const std::string& operation)
    {
        if (corners.size() != surface.nb_polygons())
        {
            throw InvalidInputException{
                "[" + operation + "] The map must hold one entry per triangle"};
        }
        for (const auto& triangle : corners)
        {
            for (const auto& p : triangle)
            {
                if (!std::isfinite(p[0]) || !std::isfinite(p[1]))
                {
                    throw InvalidInputException{
                        "[" + operation +
                        "] The map holds a coordinate that is not finite"};
                }
            }
        }
    }
}  // namespace nodara

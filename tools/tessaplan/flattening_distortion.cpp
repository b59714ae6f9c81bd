#include "flattening_distortion.h"

#include "piece_checks.h"

namespace tessaplan
{
    nodara::TriangleDistortions measure_flattening(
        const nodara::TriangulatedSurface<3>& surface,
        const std::vector<nodara::Point<2>>& uv, const std::string& input,
        bool packed, Report& report)
    {
        auto distortions = nodara::compute_triangle_distortions(surface, uv);
        report.distortion = nodara::summarize_distortions(distortions);
        check_no_open_piece_collapsed(report.distortion, input);
        const auto warnings = piece_warnings(report.distortion, packed);
        report.warnings.insert(report.warnings.end(), warnings.begin(),
                               warnings.end());
        return distortions;
    }
}  // namespace tessaplan

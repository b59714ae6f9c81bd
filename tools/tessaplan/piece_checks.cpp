#include "piece_checks.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "cli_error.h"

namespace tessaplan
{
    namespace
    {
        std::string ratio_text(double ratio)
        {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%.3g", ratio);
            return buffer;
        }

        std::string pieces_text(std::size_t count)
        {
            return std::to_string(count) + (count == 1 ? " piece" : " pieces");
        }

        // Closed pieces cannot be flattened without cuts.
        std::optional<std::string> closed_pieces_warning(
            const nodara::DistortionSummary& summary)
        {
            std::size_t closed = 0;
            std::size_t collapsed = 0;
            for (const auto& piece : summary.pieces)
            {
                closed += piece.closed() ? 1 : 0;
                collapsed += piece.closed() && piece.collapsed ? 1 : 0;
            }
            if (closed == 0)
            {
                return std::nullopt;
            }
            return pieces_text(closed) + " of the surface " +
                   (closed == 1 ? "is" : "are") +
                   " closed (no border edge): a closed surface cannot be "
                   "flattened without cuts, expect strong distortion and "
                   "overlaps" +
                   (collapsed > 0
                        ? " (" + std::to_string(collapsed) + " collapsed)"
                        : "") +
                   "; 'tessaplan atlas' cuts it into charts";
        }

        // Flipped triangles: the map folds over itself there.
        std::string fold_warning(const nodara::DistortionSummary& summary)
        {
            nodara::index_t triangles = 0;
            for (const auto& piece : summary.pieces)
            {
                triangles += piece.nb_triangles;
            }
            return "the map folds over itself: " +
                   std::to_string(summary.nb_flipped_triangles) + " of " +
                   std::to_string(triangles) +
                   " triangles are flipped (turned against the others of "
                   "their piece); 'tessaplan atlas' cuts the surface into "
                   "charts that do not fold";
        }
    }  // namespace

    void check_no_open_piece_collapsed(const nodara::DistortionSummary& summary,
                                       const std::string& input)
    {
        const auto& pieces = summary.pieces;
        for (std::size_t p = 0; p < pieces.size(); ++p)
        {
            if (pieces[p].collapsed && !pieces[p].closed())
            {
                throw CliError{ExitCode::flattening_failed,
                               "cannot flatten '" + input + "': piece " +
                                   std::to_string(p) + " of " +
                                   std::to_string(pieces.size()) + " (" +
                                   std::to_string(pieces[p].nb_triangles) +
                                   " triangles) collapsed, its flat area is " +
                                   ratio_text(pieces[p].area_ratio) +
                                   " times its 3D area"};
            }
        }
    }

    std::vector<std::string> piece_warnings(
        const nodara::DistortionSummary& summary, bool packed)
    {
        std::vector<std::string> warnings;
        if (auto closed = closed_pieces_warning(summary))
        {
            warnings.push_back(std::move(*closed));
        }
        if (summary.nb_flipped_triangles > 0)
        {
            warnings.push_back(fold_warning(summary));
        }
        if (!packed && summary.pieces.size() > 1)
        {
            warnings.push_back(
                "the surface has " + pieces_text(summary.pieces.size()) +
                ", each flattened where its pins put it: they may overlap "
                "(--pack lays them out side by side)");
        }
        return warnings;
    }
}  // namespace tessaplan

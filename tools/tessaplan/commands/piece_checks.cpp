#include "commands/piece_checks.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <utility>

#include <absl/container/flat_hash_map.h>
#include <velmora/geometry/position_key.h>

namespace tessaplan
{
    namespace
    {
        std::string pieces_text(std::size_t count)
        {
            return std::to_string(count) + (count == 1 ? " piece" : " pieces");
        }

        // Closed pieces cannot be flattened without cuts.
        std::optional<std::string> closed_pieces_warning(
            const nodara::DistortionSummary& summary)
        {
            std::size_t closed = 0;
            for (const auto& piece : summary.pieces)
            {
                closed += piece.closed() ? 1 : 0;
            }
            if (closed == 0)
            {
                return std::nullopt;
            }
            return pieces_text(closed) + " of the surface " +
                   (closed == 1 ? "is" : "are") +
                   " closed (no border edge): a closed surface cannot be "
                   "flattened without cuts, expect strong distortion and "
                   "overlaps; 'tessaplan atlas' cuts it into charts";
        }

        std::string triangles_text(nodara::index_t count)
        {
            return std::to_string(count) +
                   (count == 1 ? " triangle" : " triangles");
        }

        // A piece this small is one face of the file: a triangle, or a
        // quad split in two.
        constexpr nodara::index_t face_triangles = 2;

        // Per piece: whether it is one face with a corner at a position
        // where the surface has another vertex too (a bow-tie's shared
        // vertex does not count).
        std::vector<bool> single_pieces_touching_others(
            const nodara::TriangulatedSurface<3>& solved,
            const nodara::TriangleDistortions& distortions)
        {
            constexpr auto several = nodara::NO_ID;
            absl::flat_hash_map<std::array<double, 3>, nodara::index_t> at;
            for (nodara::index_t t = 0; t < solved.nb_polygons(); ++t)
            {
                for (nodara::local_index_t k = 0; k < 3; ++k)
                {
                    const auto v = solved.polygon_vertex({t, k});
                    const auto found =
                        at.emplace(nodara::position_key(solved.point(v)), v);
                    if (found.first->second != v)
                    {
                        found.first->second = several;
                    }
                }
            }
            std::vector<bool> touching(distortions.pieces.size(), false);
            for (nodara::index_t t = 0; t < solved.nb_polygons(); ++t)
            {
                const auto piece = distortions.piece[t];
                for (nodara::local_index_t k = 0;
                     distortions.pieces[piece].nb_triangles <= face_triangles &&
                     k < 3;
                     ++k)
                {
                    touching[piece] =
                        touching[piece] ||
                        at.at(nodara::position_key(solved.point(
                            solved.polygon_vertex({t, k})))) == several;
                }
            }
            return touching;
        }
    }  // namespace

    std::string fold_text(const nodara::DistortionSummary& summary)
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
            warnings.push_back(fold_text(summary));
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

    std::vector<std::string> left_out_warnings(
        const nodara::SolveSelection& selection)
    {
        std::vector<std::string> warnings;
        if (selection.nb_repeated_corners > 0)
        {
            warnings.push_back(
                triangles_text(selection.nb_repeated_corners) +
                " with corners at fewer than three distinct positions " +
                (selection.nb_repeated_corners == 1 ? "was" : "were") +
                " left out of the solve and keep the map of their vertices");
        }
        if (selection.nb_duplicates > 0)
        {
            warnings.push_back(
                triangles_text(selection.nb_duplicates) +
                (selection.nb_duplicates == 1 ? " repeats" : " repeat") +
                " the vertices of an earlier one (either way round): "
                "the copies were left out of the solve and keep the map of "
                "their vertices");
        }
        return warnings;
    }

    std::vector<std::string> unjoined_faces_warning(
        const nodara::TriangulatedSurface<3>& solved,
        const nodara::TriangleDistortions& distortions)
    {
        const auto touching =
            single_pieces_touching_others(solved, distortions);
        const auto count = static_cast<std::size_t>(
            std::count(touching.begin(), touching.end(), true));
        if (2 * count <= touching.size())
        {
            return {};
        }
        return {std::to_string(count) + " of the " +
                pieces_text(touching.size()) +
                " are single faces (one or two triangles) whose corners lie "
                "on other pieces' corners: the faces seem not to share their "
                "vertices; "
                "--weld joins the vertices at one position"};
    }
}  // namespace tessaplan

#include "commands/piece_checks.h"

#include <gtest/gtest.h>

namespace tessaplan
{
    namespace
    {
        nodara::PieceDistortion piece(nodara::index_t border_edges,
                                      double area_ratio)
        {
            nodara::PieceDistortion result;
            result.nb_triangles = 4;
            result.nb_border_edges = border_edges;
            result.area_ratio = area_ratio;
            result.collapsed = !(area_ratio >= nodara::collapsed_area_ratio);
            return result;
        }

        nodara::DistortionSummary summary_of(
            std::vector<nodara::PieceDistortion> pieces)
        {
            nodara::DistortionSummary summary{};
            summary.pieces = std::move(pieces);
            return summary;
        }
    }  // namespace

    TEST(PieceChecks, LeftOutTrianglesAreCountedByKind)
    {
        nodara::SolveSelection selection;
        EXPECT_TRUE(left_out_warnings(selection).empty());
        selection.nb_repeated_corners = 1;
        selection.nb_duplicates = 5;
        const auto warnings = left_out_warnings(selection);
        ASSERT_EQ(warnings.size(), 2u);
        EXPECT_EQ(warnings[0].rfind("1 triangle with corners", 0), 0u);
        EXPECT_EQ(warnings[1].rfind("5 triangles repeat", 0), 0u);
    }

    TEST(PieceChecks, SmallOrClosedPiecesOnlyWarn)
    {
        // Small but above the threshold, and a closed piece.
        const auto summary = summary_of({piece(6, 1e-11), piece(0, 0.5)});
        const auto warnings = piece_warnings(summary, false);
        ASSERT_EQ(warnings.size(), 2u);
        EXPECT_NE(warnings[0].find("1 piece of the surface is closed"),
                  std::string::npos);
        EXPECT_NE(warnings[0].find("cuts"), std::string::npos);
        EXPECT_NE(warnings[1].find("2 pieces"), std::string::npos);
        EXPECT_NE(warnings[1].find("--pack"), std::string::npos);

        // Packed pieces do not overlap; one open piece warrants nothing.
        EXPECT_EQ(piece_warnings(summary, true).size(), 1u);
        EXPECT_TRUE(piece_warnings(summary_of({piece(3, 1.0)}), false).empty());
    }

    TEST(PieceChecks, FlippedTrianglesWarnThatTheMapFolds)
    {
        auto summary = summary_of({piece(6, 1.0), piece(6, 1.0)});
        summary.nb_flipped_triangles = 3;
        const auto warnings = piece_warnings(summary, true);
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].find("folds"), std::string::npos);
        EXPECT_NE(warnings[0].find("3 of 8 triangles"), std::string::npos);
        EXPECT_NE(warnings[0].find("atlas"), std::string::npos);

        summary.nb_flipped_triangles = 0;
        EXPECT_TRUE(piece_warnings(summary, true).empty());
    }
}  // namespace tessaplan

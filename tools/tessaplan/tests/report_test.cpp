#include "commands/report.h"

#include <limits>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tessaplan
{
    namespace
    {
        Report sample_report()
        {
            Report report;
            report.input = "in.obj";
            report.output = "out/in-flat.obj";
            report.vertices = 4;
            report.triangles = 2;
            report.border_edges = 4;
            report.read_seconds = 0.25;
            report.parameterize_seconds = 1.5;
            report.write_seconds = 0.125;
            report.distortion.conformal = {1.25, 1.5, 2.0};
            report.distortion.area = {1.0, 1.75, 3.0};
            report.distortion.nb_flipped_triangles = 3;
            report.distortion.nb_degenerate_triangles = 1;
            report.distortion.nb_collapsed_triangles = 2;
            nodara::PieceDistortion open_piece;
            open_piece.nb_triangles = 2;
            open_piece.nb_border_edges = 4;
            open_piece.area_ratio = 0.5;
            open_piece.nb_collapsed_triangles = 2;
            nodara::PieceDistortion closed_piece;
            closed_piece.nb_triangles = 8;
            closed_piece.area_ratio = 1e-20;
            report.distortion.pieces = {open_piece, closed_piece};
            report.warnings = {"one \"quoted\"\nwarning"};
            return report;
        }
    }  // namespace

    TEST(Report, JsonHoldsEveryValueUnderItsKey)
    {
        std::ostringstream out;
        print_json_report(sample_report(), out);
        const auto text = out.str();
        EXPECT_EQ(text.find('\n'), text.size() - 1);  // one line
        const auto json = nlohmann::json::parse(text);
        EXPECT_EQ(json["vertices"], 4);
        EXPECT_EQ(json["triangles"], 2);
        EXPECT_FALSE(json.contains("components"));
        EXPECT_EQ(json["pieces"]["count"], 2);
        const auto& pieces = json["pieces"]["list"];
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_EQ(pieces[0]["triangles"], 2);
        EXPECT_EQ(pieces[0]["border_edges"], 4);
        EXPECT_EQ(pieces[0]["closed"], false);
        EXPECT_EQ(pieces[0]["area_ratio"], 0.5);
        EXPECT_EQ(pieces[0]["collapsed_triangles"], 2);
        EXPECT_EQ(pieces[1]["closed"], true);
        EXPECT_EQ(pieces[1]["area_ratio"], 1e-20);
        EXPECT_EQ(json["collapsed_triangles"], 2);
        EXPECT_TRUE(json["pack_fill"].is_null());
        EXPECT_EQ(json["border_edges"], 4);
        EXPECT_EQ(json["seconds"]["read"], 0.25);
        EXPECT_EQ(json["seconds"]["parameterize"], 1.5);
        EXPECT_EQ(json["seconds"]["write"], 0.125);
        EXPECT_EQ(json["conformal_distortion"]["mean"], 1.25);
        EXPECT_EQ(json["conformal_distortion"]["p95"], 1.5);
        EXPECT_EQ(json["conformal_distortion"]["max"], 2.0);
        EXPECT_EQ(json["area_distortion"]["p95"], 1.75);
        EXPECT_EQ(json["flipped_triangles"], 3);
        EXPECT_EQ(json["degenerate_triangles"], 1);
        EXPECT_EQ(json["svg"], nullptr);
        EXPECT_EQ(json["warnings"][0], "one \"quoted\"\nwarning");
    }

    TEST(Report, NumbersThatAreNotFiniteBecomeNull)
    {
        auto report = sample_report();
        const double infinity = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        report.distortion.conformal = {infinity, 3.0, infinity};
        report.distortion.area = {nan, nan, nan};
        report.input = "bad\xff name.obj";  // not UTF-8
        std::ostringstream out;
        print_json_report(report, out);
        const auto json = nlohmann::json::parse(out.str());
        EXPECT_TRUE(json["conformal_distortion"]["mean"].is_null());
        EXPECT_EQ(json["conformal_distortion"]["p95"], 3.0);
        EXPECT_TRUE(json["conformal_distortion"]["max"].is_null());
        EXPECT_TRUE(json["area_distortion"]["mean"].is_null());
        EXPECT_TRUE(json["input"].is_string());

        std::ostringstream text;
        print_text_report(report, text);
        EXPECT_NE(text.str().find("max inf"), std::string::npos);
        EXPECT_NE(text.str().find("mean n/a"), std::string::npos);
    }

    TEST(Report, TextListsEveryPieceAndThePackingFill)
    {
        auto report = sample_report();
        report.pack_fill = 0.8;
        std::ostringstream out;
        print_text_report(report, out);
        const auto text = out.str();
        const auto line_of = [&text](const std::string& label)
        {
            const auto start = text.find("\n" + label + " ");
            return start == std::string::npos
                       ? std::string{}
                       : text.substr(start + 1,
                                     text.find('\n', start + 1) - start - 1);
        };
        EXPECT_NE(line_of("pieces").find(" 2"), std::string::npos) << text;
        EXPECT_NE(line_of("  piece 0")
                      .find("2 triangles, 4 border edges, open, area ratio "
                            "0.5, length scale 0.707107, 2 collapsed "
                            "triangles"),
                  std::string::npos)
            << text;
        EXPECT_NE(line_of("  piece 1")
                      .find("8 triangles, 0 border edges, closed, area "
                            "ratio 1e-20, length scale 1e-10"),
                  std::string::npos)
            << text;
        EXPECT_NE(line_of("packing fill").find("80.0 % of the bounding square"),
                  std::string::npos)
            << text;

        std::ostringstream json_text;
        print_json_report(report, json_text);
        EXPECT_EQ(nlohmann::json::parse(json_text.str())["pack_fill"], 0.8);
    }
}  // namespace tessaplan

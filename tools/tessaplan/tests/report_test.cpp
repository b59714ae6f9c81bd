#include "report.h"

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
            report.components = 1;
            report.border_edges = 4;
            report.read_seconds = 0.25;
            report.parameterize_seconds = 1.5;
            report.write_seconds = 0.125;
            report.distortion.conformal = {1.25, 1.5, 2.0};
            report.distortion.area = {1.0, 1.75, 3.0};
            report.distortion.nb_flipped_triangles = 3;
            report.distortion.nb_degenerate_triangles = 1;
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
        EXPECT_EQ(json["components"], 1);
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
}  // namespace tessaplan

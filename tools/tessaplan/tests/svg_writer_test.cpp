#include "writing/svg_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include <velmora/mesh/triangulated_surface_builder.h>

namespace tessaplan
{
    namespace
    {
        namespace fs = std::filesystem;

        // A 2x1 strip of four triangles in the plane.
        std::unique_ptr<nodara::TriangulatedSurface<2>> make_strip()
        {
            auto surface = nodara::TriangulatedSurface<2>::create();
            nodara::TriangulatedSurfaceBuilder<2> builder{*surface};
            for (const auto& p : {std::array<double, 2>{0, 0},
                                  {1, 0},
                                  {2, 0},
                                  {0, 1},
                                  {1, 1},
                                  {2, 1}})
            {
                builder.create_point(nodara::Point<2>{p});
            }
            builder.create_triangle({0, 1, 4});
            builder.create_triangle({0, 4, 3});
            builder.create_triangle({1, 2, 5});
            builder.create_triangle({1, 5, 4});
            return surface;
        }

        std::string draw(const nodara::TriangleDistortions& distortions,
                         const nodara::TriangulatedSurface<2>& layout)
        {
            const auto path =
                fs::temp_directory_path() /
                ("svg_writer_test_" + std::to_string(::getpid()) + ".svg");
            {
                OutputFile file{path.string()};
                write_distortion_svg(layout, distortions,
                                     nodara::summarize_distortions(distortions),
                                     "strip & <title>", file);
                file.commit();
            }
            std::ifstream in{path};
            std::ostringstream text;
            text << in.rdbuf();
            fs::remove(path);
            return text.str();
        }

        std::string draw(const nodara::TriangleDistortions& distortions)
        {
            return draw(distortions, *make_strip());
        }

        // A square of n x n unit cells, two triangles each, the cells of
        // one colour (conformal distortion 1) and of another (1.3) in turn.
        std::pair<std::unique_ptr<nodara::TriangulatedSurface<2>>,
                  nodara::TriangleDistortions>
        checkerboard(int n)
        {
            auto surface = nodara::TriangulatedSurface<2>::create();
            nodara::TriangulatedSurfaceBuilder<2> builder{*surface};
            for (int j = 0; j <= n; ++j)
            {
                for (int i = 0; i <= n; ++i)
                {
                    builder.create_point(nodara::Point<2>{{1.0 * i, 1.0 * j}});
                }
            }
            nodara::TriangleDistortions distortions;
            const auto corner = [n](int i, int j)
            { return static_cast<nodara::index_t>(j * (n + 1) + i); };
            for (int j = 0; j < n; ++j)
            {
                for (int i = 0; i < n; ++i)
                {
                    builder.create_triangle(
                        {corner(i, j), corner(i + 1, j), corner(i + 1, j + 1)});
                    builder.create_triangle(
                        {corner(i, j), corner(i + 1, j + 1), corner(i, j + 1)});
                    const double value = (i + j) % 2 == 0 ? 1.0 : 1.3;
                    distortions.conformal.insert(distortions.conformal.end(), 2,
                                                 value);
                }
            }
            const std::size_t count = 2 * n * n;
            distortions.area.assign(count, 1.0);
            distortions.signed_image_area.assign(count, 0.5);
            distortions.flipped.assign(count, false);
            distortions.degenerate.assign(count, false);
            distortions.collapsed.assign(count, false);
            distortions.piece.assign(count, 0);
            return {std::move(surface), distortions};
        }

        // Per fill colour, the area its paths cover (nonzero rule, loops
        // apart), in square pixels, and the longest path data of an
        // element. The paths are drawn on a grid of tenths of a pixel.
        struct FilledPaths
        {
            std::map<std::string, double> areas;
            std::map<std::string, int> elements;
            std::size_t longest_data{0};
        };
        // Twice the signed area of path data of closed "M x y l dx dy ...
        // z" loops.
        double doubled_area(const std::string& data)
        {
            std::istringstream in{data};
            double area = 0;
            std::array<double, 2> start{};
            std::array<double, 2> at{};
            char command = 0;
            while (in >> std::ws && in.peek() != EOF)
            {
                if (std::isalpha(in.peek()))
                {
                    in >> command;
                    if (command == 'z')
                    {
                        area += at[0] * start[1] - start[0] * at[1];
                    }
                    continue;
                }
                std::array<double, 2> next{};
                in >> next[0] >> next[1];
                if (command == 'M')
                {
                    start = next;
                }
                else
                {
                    next = {at[0] + next[0], at[1] + next[1]};
                    area += at[0] * next[1] - next[0] * at[1];
                }
                at = next;
            }
            return area;
        }

        FilledPaths filled_paths(const std::string& svg)
        {
            const std::string prefix = "<path fill=\"#";
            FilledPaths paths;
            for (auto at = svg.find(prefix); at != std::string::npos;
                 at = svg.find(prefix, at + 1))
            {
                const auto colour = svg.substr(at + prefix.size() - 1, 7);
                const auto first = svg.find(" d=\"", at) + 4;
                const auto data =
                    svg.substr(first, svg.find('"', first) - first);
                const auto tag = svg.substr(at, first - at);
                EXPECT_NE(tag.find("transform=\"scale(0.1)\""),
                          std::string::npos);
                paths.areas[colour] += doubled_area(data) / 2.0 / 100.0;
                ++paths.elements[colour];
                paths.longest_data = std::max(paths.longest_data, data.size());
            }
            return paths;
        }

        std::size_t count(const std::string& text, const std::string& part)
        {
            std::size_t found = 0;
            for (auto at = text.find(part); at != std::string::npos;
                 at = text.find(part, at + 1))
            {
                ++found;
            }
            return found;
        }

        // The "d" data of the path stroked in the colour of flipped
        // triangles, or "" when there is none.
        std::string flipped_outline(const std::string& svg)
        {
            const auto start =
                svg.find("<path fill=\"none\" stroke=\"#e4002b\"");
            if (start == std::string::npos)
            {
                return {};
            }
            const auto end = svg.find('>', start);
            const auto data = svg.find(" d=\"", start);
            if (data == std::string::npos || data > end)
            {
                return {};
            }
            const auto first = data + 4;
            return svg.substr(first, svg.find('"', first) - first);
        }

        // The colours of the filled triangle paths, in drawing order.
        std::vector<std::string> fill_colours(const std::string& svg)
        {
            const std::string prefix = "<path fill=\"#";
            std::vector<std::string> colours;
            for (auto at = svg.find(prefix); at != std::string::npos;
                 at = svg.find(prefix, at + 1))
            {
                const auto colour = svg.substr(at + prefix.size() - 1, 7);
                if (svg.compare(at + prefix.size() + 6, 9, "\" stroke=") == 0)
                {
                    colours.push_back(colour);
                }
            }
            return colours;
        }

        // Whether "#rrggbb" is within a few steps of the colour given.
        bool close_to(const std::string& hex, int red, int green, int blue)
        {
            const auto channel = [&hex](int index)
            { return std::stoi(hex.substr(1 + 2 * index, 2), nullptr, 16); };
            return std::abs(channel(0) - red) <= 4 &&
                   std::abs(channel(1) - green) <= 4 &&
                   std::abs(channel(2) - blue) <= 4;
        }
    }  // namespace

    TEST(SvgWriter, FlippedTrianglesAreOutlinedAndEveryTriangleFilled)
    {
        const double infinity = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        nodara::TriangleDistortions distortions;
        distortions.conformal = {1.0, 1.5, infinity, nan};
        distortions.area = {1.0, 1.0, 0.0, nan};
        distortions.signed_image_area = {0.5, -0.5, 0.0, 0.5};
        distortions.flipped = {false, true, true, false};
        distortions.degenerate = {false, false, false, true};
        distortions.collapsed = {false, false, false, false};
        distortions.piece = {0, 0, 0, 0};
        const auto svg = draw(distortions);

        // Triangles 1 and 2 outlined, each also ringed.
        const auto outline = flipped_outline(svg);
        EXPECT_EQ(count(outline, "M"), 2u);
        EXPECT_EQ(count(svg, "<circle"), 2u);
        // One filled path per colour, from the bottom of the scale (1.0)
        // through 1.5 to the top (infinity), then grey for the triangle of
        // zero 3D area.
        const auto fills = fill_colours(svg);
        ASSERT_EQ(fills.size(), 4u);
        EXPECT_TRUE(close_to(fills[0], 0x44, 0x01, 0x54)) << fills[0];
        EXPECT_FALSE(close_to(fills[1], 0x44, 0x01, 0x54)) << fills[1];
        EXPECT_FALSE(close_to(fills[1], 0xfd, 0xe7, 0x25)) << fills[1];
        EXPECT_TRUE(close_to(fills[2], 0xfd, 0xe7, 0x25)) << fills[2];
        EXPECT_EQ(fills[3], "#9e9e9e");
        EXPECT_NE(svg.find("flipped triangles: 2"), std::string::npos);
        EXPECT_NE(svg.find("zero area in 3D: 1"), std::string::npos);
        // The title is escaped.
        EXPECT_NE(svg.find("strip &amp; &lt;title&gt;"), std::string::npos);
        EXPECT_EQ(svg.find("<title>"), std::string::npos);
    }

    TEST(SvgWriter, NoOutlineWithoutFlippedTriangles)
    {
        nodara::TriangleDistortions distortions;
        distortions.conformal = {1.0, 1.1, 1.2, 1.3};
        distortions.area = {1.0, 1.0, 1.0, 1.0};
        distortions.signed_image_area = {0.5, 0.5, 0.5, 0.5};
        distortions.flipped = {false, false, false, false};
        distortions.degenerate = {false, false, false, false};
        distortions.collapsed = {false, false, false, false};
        distortions.piece = {0, 0, 0, 0};
        const auto svg = draw(distortions);
        EXPECT_EQ(flipped_outline(svg), "");
        EXPECT_EQ(count(svg, "<circle"), 0u);
        // The scale reaches 1.3 in round steps of 0.1: the largest value
        // takes the top colour and the legend tops out at 1.4.
        EXPECT_NE(svg.find(">1.4</text>"), std::string::npos);
    }

    TEST(SvgWriter, EachColourCoversItsCellsExactlyInSmallElements)
    {
        // 11250 cells of each colour joined at their corners: more points
        // than one part of a path takes, and more data than one element.
        constexpr int n = 150;
        const auto [layout, distortions] = checkerboard(n);
        const auto paths = filled_paths(draw(distortions, *layout));
        ASSERT_EQ(paths.areas.size(), 2u);
        const double cell = 800.0 / n;
        for (const auto& [colour, area] : paths.areas)
        {
            EXPECT_NEAR(area, n * n / 2 * cell * cell, 1e-4 * 800 * 800 / 2)
                << colour;
            EXPECT_GT(paths.elements.at(colour), 1) << colour;
        }
        EXPECT_LE(paths.longest_data, std::size_t{1} << 17);
    }
}  // namespace tessaplan

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include <tessaplan/atlas.h>
#include <tessaplan/solve_selection.h>
#include <velmora/geometry/triangle.h>

#include "atlas/chart_packing.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        // An n x n grid of cells over [0, size]^2, its point (x, y) placed
        // at `place(x, y)`.
        template <typename Place>
        std::unique_ptr<TriangulatedSurface<3>> grid(index_t n, double size,
                                                     Place place)
        {
            testing::Points points;
            testing::Triangles triangles;
            for (index_t j = 0; j <= n; ++j)
            {
                for (index_t i = 0; i <= n; ++i)
                {
                    points.push_back(place(size * i / n, size * j / n));
                }
            }
            const auto id = [n](index_t i, index_t j)
            { return j * (n + 1) + i; };
            for (index_t j = 0; j < n; ++j)
            {
                for (index_t i = 0; i < n; ++i)
                {
                    triangles.push_back(
                        {id(i, j), id(i + 1, j), id(i + 1, j + 1)});
                    triangles.push_back(
                        {id(i, j), id(i + 1, j + 1), id(i, j + 1)});
                }
            }
            return testing::make_surface(points, triangles);
        }

        // A wavy height field over [0, size]^2.
        std::unique_ptr<TriangulatedSurface<3>> waves(double size = 4)
        {
            return grid(30, size,
                        [size](double x, double y) -> std::array<double, 3>
                        {
                            return {x, y,
                                    0.15 * size * std::sin(6 * x / size) *
                                        std::cos(5 * y / size)};
                        });
        }

        // Charts of two triangles each: rectangles of assorted sizes,
        // turned by assorted angles, as their flattened maps.
        std::vector<Chart> turned_rectangles()
        {
            std::vector<Chart> charts;
            for (int i = 0; i < 12; ++i)
            {
                const double angle = 0.37 * i + 0.2;
                const double width = 1.0 + 0.3 * i;
                const double height = 0.4 + 0.05 * (i % 5);
                const auto at = [&](double x, double y)
                {
                    return Point<2>{
                        {std::cos(angle) * x - std::sin(angle) * y,
                         std::sin(angle) * x + std::cos(angle) * y}};
                };
                Chart chart;
                chart.triangles = {index_t(2 * i), index_t(2 * i + 1)};
                chart.map.corners = {
                    {at(0, 0), at(width, 0), at(width, height)},
                    {at(0, 0), at(width, height), at(0, height)}};
                chart.map.valid = true;
                charts.push_back(chart);
            }
            return charts;
        }

        // Whether every packed chart's edges are its map's edges times
        // texels per unit over the resolution: no chart turned.
        bool none_turned(const std::vector<Chart>& maps,
                         const std::vector<Chart>& packed,
                         const ChartPacking& packing,
                         const AtlasOptions& options)
        {
            const double factor = packing.texels_per_unit / options.resolution;
            for (std::size_t c = 0; c < maps.size(); ++c)
            {
                const auto corners =
                    packed_corners(packed[c], packing.placements[c],
                                   packing.texels_per_unit, options);
                for (std::size_t t = 0; t < corners.size(); ++t)
                {
                    const auto& map = maps[c].map.corners[t];
                    for (int k = 1; k < 3; ++k)
                    {
                        for (int d = 0; d < 2; ++d)
                        {
                            const double packed_edge =
                                corners[t][k][d] - corners[t][0][d];
                            const double map_edge =
                                (map[k][d] - map[0][d]) * factor;
                            if (std::abs(packed_edge - map_edge) > 1e-9)
                            {
                                return false;
                            }
                        }
                    }
                }
            }
            return true;
        }

        std::map<index_t, std::vector<index_t>> chart_triangles(
            const Atlas& atlas)
        {
            std::map<index_t, std::vector<index_t>> charts;
            for (index_t t = 0; t < atlas.triangle_chart.size(); ++t)
            {
                charts[atlas.triangle_chart[t]].push_back(t);
            }
            return charts;
        }

        // The 3D area and border length of a set of triangles.
        std::array<double, 2> area_and_border(
            const TriangulatedSurface<3>& surface,
            const std::vector<index_t>& triangles)
        {
            const auto chart = compact_surface_of_triangles(surface, triangles);
            double area = 0;
            double border = 0;
            for (index_t t = 0; t < chart->nb_polygons(); ++t)
            {
                area += chart->triangle(t).area();
                for (local_index_t k = 0; k < 3; ++k)
                {
                    if (chart->is_edge_on_border({t, k}))
                    {
                        const auto& a =
                            chart->point(chart->polygon_vertex({t, k}));
                        const auto& b = chart->point(chart->polygon_vertex(
                            {t, static_cast<local_index_t>((k + 1) % 3)}));
                        border +=
                            std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
                    }
                }
            }
            return {{area, border}};
        }

        std::string message_with(AtlasOptions options)
        {
            return testing::message_of([&options]
                                       { compute_atlas(*waves(), options); });
        }
    }  // namespace

    TEST(AtlasOptions, BadValuesAreRefusedWithTheirReason)
    {
        const double nan = std::nan("");
        const auto expect_refused =
            [](AtlasOptions options, const std::string& words)
        {
            const auto message = message_with(options);
            EXPECT_EQ(message.rfind("[compute_atlas] ", 0), 0u) << message;
            EXPECT_NE(message.find(words), std::string::npos) << message;
        };
        for (const double area : {-1.0, nan, -HUGE_VAL})
        {
            AtlasOptions options;
            options.max_chart_area = area;
            expect_refused(options, "largest chart area");
        }
        for (const double length : {-0.5, nan})
        {
            AtlasOptions options;
            options.max_boundary_length = length;
            expect_refused(options, "border length");
        }
        for (const double texels : {-1.0, nan, HUGE_VAL})
        {
            AtlasOptions options;
            options.texels_per_unit = texels;
            expect_refused(options, "texels per unit");
        }
        // The whole wave is one chart of about 4 x 4 units: at 1000 texels
        // per unit it is far larger than a page of 1024 texels.
        AtlasOptions options;
        options.texels_per_unit = 1000;
        expect_refused(options, "does not fit a page of 1024 x 1024 texels");
    }

    TEST(AtlasOptions, WithoutRotationEveryChartKeepsItsOrientation)
    {
        const auto maps = turned_rectangles();
        for (const double texels_per_unit : {0.0, 20.0})
        {
            SCOPED_TRACE(texels_per_unit);
            AtlasOptions options;
            options.resolution = 128;
            options.texels_per_unit = texels_per_unit;
            options.rotate = false;
            auto charts = maps;
            const auto unturned = pack_charts(charts, options);
            EXPECT_TRUE(none_turned(maps, charts, unturned, options));
            // Turned for a tight box, the oblique rectangles lie along the
            // square's sides instead.
            options.rotate = true;
            charts = maps;
            const auto turned = pack_charts(charts, options);
            EXPECT_FALSE(none_turned(maps, charts, turned, options));
        }
    }

    TEST(AtlasOptions, ChartsKeepTheirAreaAndBorderBounds)
    {
        const auto surface = waves();
        const auto free = compute_atlas(*surface);
        double total = 0;
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            total += surface->triangle(t).area();
        }
        AtlasOptions options;
        options.max_chart_area = total / 12;
        options.max_boundary_length = 5;
        const auto bounded = compute_atlas(*surface, options);
        EXPECT_TRUE(bounded.check.valid());
        EXPECT_GE(bounded.charts.size(), 12u);
        EXPECT_GT(bounded.charts.size(), free.charts.size());
        for (const auto& chart : chart_triangles(bounded))
        {
            const auto size = area_and_border(*surface, chart.second);
            if (chart.second.size() > 1)
            {
                EXPECT_LE(size[0], options.max_chart_area) << chart.first;
                EXPECT_LE(size[1], options.max_boundary_length) << chart.first;
            }
        }
        // The bounds are in the surface's units: the surface 2^40 times
        // larger with bounds 2^80 and 2^40 times larger has the same charts.
        const auto large = waves(std::ldexp(4.0, 40));
        options.max_chart_area = std::ldexp(options.max_chart_area, 80);
        options.max_boundary_length =
            std::ldexp(options.max_boundary_length, 40);
        EXPECT_EQ(compute_atlas(*large, options).triangle_chart,
                  bounded.triangle_chart);
    }

    TEST(AtlasOptions, AFixedDensityFillsAsManyPagesAsNeeded)
    {
        const auto surface = waves();
        const auto single = compute_atlas(*surface);
        EXPECT_EQ(single.nb_pages, 1u);
        EXPECT_EQ(single.triangle_page,
                  std::vector<index_t>(surface->nb_polygons(), 0));
        // A chart's border bounds its extent, so each fits a page.
        AtlasOptions options;
        options.max_chart_area = 1.0;
        options.max_boundary_length = 4.5;
        options.resolution = 128;
        options.texels_per_unit = 30;
        const auto atlas = compute_atlas(*surface, options);
        EXPECT_EQ(atlas.texels_per_unit, 30.0);
        EXPECT_GT(atlas.nb_pages, 1u);
        EXPECT_TRUE(atlas.check.valid());
        std::vector<std::vector<index_t>> pages(atlas.nb_pages);
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            ASSERT_LT(atlas.triangle_page[t], atlas.nb_pages);
            pages[atlas.triangle_page[t]].push_back(t);
            // A chart lies on one page.
            const auto first =
                std::find(atlas.triangle_chart.begin(),
                          atlas.triangle_chart.end(), atlas.triangle_chart[t]) -
                atlas.triangle_chart.begin();
            EXPECT_EQ(atlas.triangle_page[t], atlas.triangle_page[first]);
            for (const auto& corner : atlas.corners[t])
            {
                EXPECT_TRUE(corner[0] >= 0 && corner[0] <= 1 &&
                            corner[1] >= 0 && corner[1] <= 1);
            }
        }
        for (const auto& page : pages)
        {
            ASSERT_FALSE(page.empty());
            CornerMap corners;
            for (const auto t : page)
            {
                corners.push_back(atlas.corners[t]);
            }
            EXPECT_TRUE(
                check_atlas(*compact_surface_of_triangles(*surface, page),
                            corners)
                    .valid());
        }
        // Each chart's map has its 3D area: at 30 texels per unit, the
        // pages' triangles cover 30^2 texels per unit of 3D area.
        double area_3d = 0;
        double texels = 0;
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            area_3d += surface->triangle(t).area();
            const auto& q = atlas.corners[t];
            texels += 128 * 128 * Triangle<2>{q[0], q[1], q[2]}.area();
        }
        EXPECT_NEAR(texels, area_3d * 30 * 30, 1e-6 * texels);
    }
}  // namespace nodara

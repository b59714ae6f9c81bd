#include <cmath>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include <tessaplan/atlas.h>
#include <velmora/basic/velmora_exception.h>
#include <velmora/mesh/polygon_components.h>
#include <velmora/mesh/triangulated_surface_builder.h>

#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        const double pi = std::acos(-1.0);

        std::unique_ptr<TriangulatedSurface<3>> torus()
        {
            return testing::wrapped_grid(
                40, 20,
                [](double u, double v) -> std::array<double, 3>
                {
                    const double a = 2 * pi * u;
                    const double b = 2 * pi * v;
                    return {(2 + 0.7 * std::cos(b)) * std::cos(a),
                            (2 + 0.7 * std::cos(b)) * std::sin(a),
                            0.7 * std::sin(b)};
                });
        }

        std::unique_ptr<TriangulatedSurface<3>> sphere(int levels)
        {
            return testing::sphere(
                levels, [](const std::array<double, 3>&) { return 1.0; });
        }

        // Every chart must be one piece of Euler characteristic 1 (a disc).
        void expect_disc_charts(const TriangulatedSurface<3>& surface,
                                const Atlas& atlas)
        {
            std::map<index_t, std::vector<index_t>> charts;
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                ASSERT_NE(atlas.triangle_chart[t], NO_ID) << t;
                charts[atlas.triangle_chart[t]].push_back(t);
            }
            for (const auto& chart : charts)
            {
                std::set<index_t> vertices;
                std::set<std::pair<index_t, index_t>> edges;
                testing::Points points;
                testing::Triangles triangles;
                std::map<index_t, index_t> local;
                for (const auto t : chart.second)
                {
                    std::array<index_t, 3> corners{};
                    for (local_index_t k = 0; k < 3; ++k)
                    {
                        const auto v = surface.polygon_vertex({t, k});
                        const auto w = surface.polygon_vertex(
                            {t, static_cast<local_index_t>((k + 1) % 3)});
                        vertices.insert(v);
                        edges.insert(std::minmax(v, w));
                        if (!local.count(v))
                        {
                            local[v] = static_cast<index_t>(points.size());
                            const auto& p = surface.point(v);
                            points.push_back({p[0], p[1], p[2]});
                        }
                        corners[k] = local[v];
                    }
                    triangles.push_back(corners);
                }
                const auto euler = static_cast<long>(vertices.size()) -
                                   static_cast<long>(edges.size()) +
                                   static_cast<long>(chart.second.size());
                EXPECT_EQ(euler, 1) << "chart " << chart.first;
                EXPECT_EQ(compute_polygon_components(
                              *testing::make_surface(points, triangles))
                              .nb_components,
                          1u)
                    << "chart " << chart.first;
            }
        }

        void expect_valid_atlas(const TriangulatedSurface<3>& surface,
                                const char* name)
        {
            SCOPED_TRACE(name);
            const auto atlas = compute_atlas(surface);
            const auto check = check_atlas(surface, atlas.corners);
            EXPECT_TRUE(check.valid())
                << check.nb_flipped_triangles << " flipped, "
                << check.nb_overlapping_pairs << " overlapping pairs";
            for (const auto& triangle : atlas.corners)
            {
                for (const auto& corner : triangle)
                {
                    EXPECT_GE(corner[0], 0.0);
                    EXPECT_LE(corner[0], 1.0);
                    EXPECT_GE(corner[1], 0.0);
                    EXPECT_LE(corner[1], 1.0);
                }
            }
            for (const auto& chart : atlas.charts)
            {
                if (!chart.degenerate)
                {
                    EXPECT_LE(chart.conformal_p95, 1.15);
                    EXPECT_LE(chart.area_p95, 2.0);
                }
            }
            expect_disc_charts(surface, atlas);
            EXPECT_GT(atlas.efficiency, 0.2);
        }
    }  // namespace

    TEST(ComputeAtlas, ClosedSurfacesAndSurfacesWithHandles)
    {
        expect_valid_atlas(*sphere(3), "sphere");
        expect_valid_atlas(*torus(), "torus");
        // A cube: six flat faces of 2 x 2 cells, sharing their edges.
        expect_valid_atlas(*testing::wrapped_grid(
                               4, 3,
                               [](double u, double v) -> std::array<double, 3>
                               {
                                   // A square tube closed by
                                   // nothing: the wrap makes a
                                   // torus of four flat sides.
                                   const double a = 2 * pi * u;
                                   return {std::cos(a) * 2, std::sin(a) * 2,
                                           std::sin(2 * pi * v)};
                               }),
                           "four-sided torus");
    }

    TEST(ComputeAtlas, PiecesTouchingAtAVertexAndDegenerateTriangles)
    {
        const auto surface =
            testing::make_surface({{0, 0, 0},
                                   {1, 0, 0.2},
                                   {0, 1, 0.1},
                                   {-1, 0, 0.3},
                                   {0, -1, 0},
                                   {2, 0, 0},
                                   {3, 0, 0},
                                   {4, 0, 0}},
                                  {{0, 1, 2}, {0, 3, 4}, {5, 6, 7}});
        expect_valid_atlas(*surface, "bow-tie");
        const auto atlas = compute_atlas(*surface);
        EXPECT_EQ(atlas.nb_degenerate_triangles, 1u);
        EXPECT_THROW(compute_atlas(*TriangulatedSurface<3>::create()),
                     VelmoraException);
        AtlasOptions bad;
        bad.max_distortion = 0.5;
        EXPECT_THROW(compute_atlas(*surface, bad), VelmoraException);
    }
}  // namespace nodara

namespace nodara
{
    namespace
    {
        // The torus with every coordinate multiplied by 2^exponent.
        std::unique_ptr<TriangulatedSurface<3>> scaled_torus(int exponent)
        {
            const auto original = torus();
            testing::Points points;
            testing::Triangles triangles;
            for (index_t v = 0; v < original->nb_vertices(); ++v)
            {
                const auto& p = original->point(v);
                points.push_back({std::ldexp(p[0], exponent),
                                  std::ldexp(p[1], exponent),
                                  std::ldexp(p[2], exponent)});
            }
            for (index_t t = 0; t < original->nb_polygons(); ++t)
            {
                triangles.push_back(original->polygon_vertices(t));
            }
            return testing::make_surface(points, triangles);
        }
    }  // namespace

    TEST(ComputeAtlas, AUniformScaleDoesNotChangeTheAtlas)
    {
        // At 2^660 lengths squared overflow, at 2^-1000 they vanish: the
        // atlas is computed in a frame of the surface's own size.
        const auto reference = compute_atlas(*torus());
        for (const int exponent : {660, -1000})
        {
            const auto atlas = compute_atlas(*scaled_torus(exponent));
            EXPECT_EQ(atlas.triangle_chart, reference.triangle_chart);
            EXPECT_EQ(atlas.corners, reference.corners);
            EXPECT_EQ(atlas.texels_per_unit,
                      std::ldexp(reference.texels_per_unit, -exponent));
            EXPECT_TRUE(atlas.check.valid());
        }
    }

    TEST(ComputeAtlas, ExtremeButFiniteTrianglesGetAnAtlasOrAClearError)
    {
        // A triangle of subnormal size, and a sliver a trillion times
        // thinner than long (whose packing once asked for gigabytes).
        for (const auto& points :
             {testing::Points{{0, 0, 0}, {1e-320, 0, 0}, {0, 1e-320, 0}},
              testing::Points{{0, 0, 0}, {1, 0, 0}, {0, 1e-12, 0}}})
        {
            const auto atlas =
                compute_atlas(*testing::make_surface(points, {{0, 1, 2}}));
            EXPECT_TRUE(atlas.check.valid());
            EXPECT_EQ(atlas.charts.size(), 1u);
        }
        // A grid with one vertex 1e200 away: no texel grid holds both its
        // needles and its other triangles, and that is said, not crashed.
        testing::Points points;
        testing::Triangles triangles;
        testing::add_patch(points, triangles, 6, 0.0);
        points[10] = {1e200, 0.5, 0.0};
        const auto surface = testing::make_surface(points, triangles);
        try
        {
            const auto atlas = compute_atlas(*surface);
            EXPECT_TRUE(atlas.check.valid());
        }
        catch (const ComputationException& error)
        {
            EXPECT_NE(std::string{error.what()}.find("[compute_atlas]"),
                      std::string::npos);
        }
    }
}  // namespace nodara

namespace nodara
{
    namespace
    {
        // A closed box (6 x 5 x 1, triangles of area up to 15) whose top
        // front edge carries six more vertices, every other one nudged off
        // the edge by `nudge`, and whose top is fanned from the edge's end:
        // five slivers of area about 1e-20 and one of zero area, as CAD
        // exports make them.
        std::unique_ptr<TriangulatedSurface<3>> box_with_slivers(double nudge)
        {
            testing::Points points{{0, 0, 0}, {6, 0, 0}, {6, 5, 0}, {0, 5, 0},
                                   {0, 0, 1}, {6, 0, 1}, {6, 5, 1}, {0, 5, 1}};
            for (index_t k = 1; k < 7; ++k)
            {
                points.push_back({6.0 * k / 7, nudge * (k % 2), 1.0});
            }
            testing::Triangles triangles{{0, 3, 2}, {0, 2, 1}, {1, 2, 6},
                                         {1, 6, 5}, {2, 3, 7}, {2, 7, 6},
                                         {3, 0, 4}, {3, 4, 7}};
            const std::vector<index_t> top{8, 9, 10, 11, 12, 13, 5, 6, 7};
            for (std::size_t i = 0; i + 1 < top.size(); ++i)
            {
                triangles.push_back({4, top[i], top[i + 1]});
            }
            const std::vector<index_t> front{0, 1, 5, 13, 12, 11, 10, 9, 8, 4};
            for (std::size_t i = 1; i + 1 < front.size(); ++i)
            {
                triangles.push_back({front[0], front[i], front[i + 1]});
            }
            return testing::make_surface(points, triangles);
        }
    }  // namespace

    TEST(ComputeAtlas, SliversGetChartsOfTheirOwnAtEveryResolution)
    {
        const auto surface = box_with_slivers(1e-20);
        for (const index_t resolution : {256u, 1024u, 4096u})
        {
            AtlasOptions options;
            options.resolution = resolution;
            const auto atlas = compute_atlas(*surface, options);
            EXPECT_TRUE(atlas.check.valid()) << resolution;
            EXPECT_EQ(atlas.nb_degenerate_triangles, 6u) << resolution;
            // The slivers' images keep their turn and an area once placed.
            for (index_t t = 0; t < surface->nb_polygons(); ++t)
            {
                if (atlas.charts[atlas.triangle_chart[t]].degenerate &&
                    !(surface->triangle(t).area() == 0))
                {
                    const auto& c = atlas.corners[t];
                    EXPECT_GT((c[1][0] - c[0][0]) * (c[2][1] - c[0][1]) -
                                  (c[1][1] - c[0][1]) * (c[2][0] - c[0][0]),
                              0)
                        << t;
                }
            }
        }
        // Thin triangles that the square's coordinates hold stay in charts
        // with their neighbours.
        const auto atlas = compute_atlas(*box_with_slivers(1e-6));
        EXPECT_EQ(atlas.nb_degenerate_triangles, 1u);
        EXPECT_TRUE(atlas.check.valid());
    }
}  // namespace nodara

namespace nodara
{
    namespace
    {
        // A closed plate 200 x 200 x 3 whose grid lines crowd towards one
        // corner (cells from 0.2 to 54 wide): 480 triangles of very
        // different sizes, as a build plate exported for printing.
        std::unique_ptr<TriangulatedSurface<3>> crowded_plate()
        {
            const index_t n = 10;
            const auto at = [](index_t i)
            { return 200.0 * std::pow(i / double(n), 3.0); };
            testing::Points points;
            testing::Triangles triangles;
            std::map<std::array<double, 3>, index_t> ids;
            const auto id = [&](double x, double y, double z)
            {
                const auto [it, added] = ids.insert(
                    {{x, y, z}, static_cast<index_t>(points.size())});
                if (added)
                {
                    points.push_back({x, y, z});
                }
                return it->second;
            };
            const auto quad = [&](std::array<std::array<double, 3>, 4> q)
            {
                std::array<index_t, 4> v;
                for (int k = 0; k < 4; ++k)
                {
                    v[k] = id(q[k][0], q[k][1], q[k][2]);
                }
                triangles.push_back({v[0], v[1], v[2]});
                triangles.push_back({v[0], v[2], v[3]});
            };
            for (index_t i = 0; i < n; ++i)
            {
                const double a = at(i);
                const double b = at(i + 1);
                for (index_t j = 0; j < n; ++j)
                {
                    const double c = at(j);
                    const double d = at(j + 1);
                    quad({{{a, c, 3}, {b, c, 3}, {b, d, 3}, {a, d, 3}}});
                    quad({{{a, c, 0}, {a, d, 0}, {b, d, 0}, {b, c, 0}}});
                }
                quad({{{a, 0, 0}, {b, 0, 0}, {b, 0, 3}, {a, 0, 3}}});
                quad({{{200, a, 0}, {200, b, 0}, {200, b, 3}, {200, a, 3}}});
                quad({{{b, 200, 0}, {a, 200, 0}, {a, 200, 3}, {b, 200, 3}}});
                quad({{{0, b, 0}, {0, a, 0}, {0, a, 3}, {0, b, 3}}});
            }
            return testing::make_surface(points, triangles);
        }
    }  // namespace

    TEST(ComputeAtlas, PackedChartsNeverOverlapAtAnyResolution)
    {
        const auto plate = crowded_plate();
        ASSERT_EQ(plate->nb_polygons(), 480u);
        double last_texels_per_unit = 0;
        for (index_t resolution = 256; resolution <= 16384; resolution *= 2)
        {
            AtlasOptions options;
            options.resolution = resolution;
            const auto atlas = compute_atlas(*plate, options);
            EXPECT_TRUE(atlas.check.valid()) << resolution;
            EXPECT_EQ(atlas.check.nb_overlapping_pairs, 0u) << resolution;
            // Above 2048 texels the packing goes by blocks of texels: it
            // still grows with the resolution.
            EXPECT_GT(atlas.texels_per_unit, 1.9 * last_texels_per_unit)
                << resolution;
            last_texels_per_unit = atlas.texels_per_unit;
        }
    }

    TEST(ComputeAtlas, LaysALongChartAlongTheDiagonal)
    {
        // A flat strip 20 x 1, one chart: lying in the square it covers at
        // most 20 / 20^2 = 5% of it; turned to its squarest box, whose
        // sides are 21 / sqrt(2), about 9%.
        testing::Points points;
        testing::Triangles triangles;
        for (index_t i = 0; i <= 20; ++i)
        {
            points.push_back({double(i), 0.0, 0.0});
            points.push_back({double(i), 1.0, 0.0});
        }
        for (index_t i = 0; i < 20; ++i)
        {
            triangles.push_back({2 * i, 2 * i + 2, 2 * i + 3});
            triangles.push_back({2 * i, 2 * i + 3, 2 * i + 1});
        }
        const auto strip = testing::make_surface(points, triangles);
        for (index_t resolution = 256; resolution <= 4096; resolution *= 4)
        {
            AtlasOptions options;
            options.resolution = resolution;
            const auto atlas = compute_atlas(*strip, options);
            EXPECT_TRUE(atlas.check.valid()) << resolution;
            ASSERT_EQ(atlas.charts.size(), 1u) << resolution;
            EXPECT_GT(atlas.efficiency, 0.07) << resolution;
        }
    }
}  // namespace nodara

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>

#include <gtest/gtest.h>

#include <velmora/geometry/triangle.h>

#include "atlas/chart_cutting.h"
#include "atlas/chart_flattening.h"
#include "atlas/chart_growth.h"
#include "atlas/chart_merging.h"
#include "atlas/chart_seeds.h"
#include "atlas/chart_shrinking.h"
#include "atlas/chart_topology.h"
#include "atlas/seam_straightening.h"
#include "atlas/surface_facts.h"
#include "distortion/triangle_distortion.h"
#include "lscm/lscm.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using Place = std::array<std::array<double, 3>, 3>;

        // A flat square of (2 n)^2 quads, two triangles each.
        std::unique_ptr<TriangulatedSurface<3>> flat_square(index_t n)
        {
            testing::Points points;
            testing::Triangles triangles;
            const index_t side = 2 * n;
            for (index_t j = 0; j <= side; ++j)
            {
                for (index_t i = 0; i <= side; ++i)
                {
                    points.push_back({1.0 * i / side, 1.0 * j / side, 0.0});
                }
            }
            for (index_t j = 0; j < side; ++j)
            {
                for (index_t i = 0; i < side; ++i)
                {
                    const index_t v = j * (side + 1) + i;
                    triangles.push_back({v, v + 1, v + side + 2});
                    triangles.push_back({v, v + side + 2, v + side + 1});
                }
            }
            return testing::make_surface(points, triangles);
        }

        // A ramp winding `turns` times round an axis, gently rising: it
        // flattens conformally onto an annulus sector of as many turns,
        // which overlaps itself beyond one.
        std::unique_ptr<TriangulatedSurface<3>> ramp(double turns)
        {
            testing::Points points;
            testing::Triangles triangles;
            const index_t around = 120;
            const index_t across = 4;
            for (index_t i = 0; i <= around; ++i)
            {
                const double angle = 2 * testing::pi * turns * i / around;
                for (index_t j = 0; j <= across; ++j)
                {
                    const double radius = 1.0 + 0.5 * j / across;
                    points.push_back({radius * std::cos(angle),
                                      radius * std::sin(angle), 0.02 * angle});
                }
            }
            for (index_t i = 0; i < around; ++i)
            {
                for (index_t j = 0; j < across; ++j)
                {
                    const index_t v = i * (across + 1) + j;
                    triangles.push_back({v, v + across + 1, v + across + 2});
                    triangles.push_back({v, v + across + 2, v + 1});
                }
            }
            return testing::make_surface(points, triangles);
        }

        Place place(const TriangulatedSurface<3>& surface, index_t t)
        {
            Place corners{};
            for (local_index_t k = 0; k < 3; ++k)
            {
                const auto& p = surface.point(surface.polygon_vertex({t, k}));
                corners[k] = {p[0], p[1], p[2]};
            }
            std::sort(corners.begin(), corners.end());
            return corners;
        }

        // The charts as sets of triangle places, in a canonical order.
        std::vector<std::vector<Place>> charts_by_place(
            const TriangulatedSurface<3>& surface,
            const std::vector<Chart>& charts)
        {
            std::vector<std::vector<Place>> result;
            for (const auto& chart : charts)
            {
                std::vector<Place> places;
                for (const auto t : chart.triangles)
                {
                    places.push_back(place(surface, t));
                }
                std::sort(places.begin(), places.end());
                result.push_back(places);
            }
            std::sort(result.begin(), result.end());
            return result;
        }

        // The triangles of `surface`, in their order.
        std::vector<index_t> every_triangle(
            const TriangulatedSurface<3>& surface)
        {
            std::vector<index_t> all(surface.nb_polygons());
            std::iota(all.begin(), all.end(), index_t{0});
            return all;
        }

        // The charts cut, merged and with their seams straightened.
        std::vector<Chart> finish(const TriangulatedSurface<3>& surface)
        {
            const ChartBounds bounds;
            const auto facts = surface_facts(surface);
            auto charts = cut_charts(surface, facts, bounds);
            merge_charts(surface, facts.adjacencies, bounds, charts);
            straighten_seams(surface, facts, bounds, charts);
            return charts;
        }

        // Figures of `n` triangles of unit area, each image of `area_2d(i)`
        // and conformal distortion `conformal(i)`, all clean.
        template <typename Area, typename Conformal>
        FlatteningFigures figures(index_t n, Area area_2d, Conformal conformal)
        {
            FlatteningFigures result;
            for (index_t i = 0; i < n; ++i)
            {
                result.areas_3d.push_back(1.0);
                result.areas_2d.push_back(area_2d(i));
                result.conformal.push_back(conformal(i));
            }
            result.clean_prefix = n;
            return result;
        }

        double distance(const std::array<double, 3>& a,
                        const std::array<double, 3>& b)
        {
            return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
        }
    }  // namespace

    TEST(ChartShrinking, KeepsAboutTheLongestPrefixThatKeepsTheBounds)
    {
        const ChartBounds bounds;
        const auto unit = [](index_t) { return 1.0; };
        // The first 60 images keep their size; later ones grow 50 times,
        // which a prefix of more than 60 cannot absorb.
        const auto grown = figures(
            100, [](index_t i) { return i < 60 ? 1.0 : 50.0; }, unit);
        const auto kept = kept_prefix(grown, bounds, 100);
        EXPECT_LE(kept, 60u);
        EXPECT_GE(kept, 45u);
        // Conformal distortion beyond the bound from triangle 30 on: at
        // most 5 % of a prefix may carry it.
        const auto sheared =
            figures(100, unit, [](index_t i) { return i < 30 ? 1.0 : 2.0; });
        const auto kept_conformal = kept_prefix(sheared, bounds, 100);
        EXPECT_LE(kept_conformal, 31u);
        EXPECT_GE(kept_conformal, 23u);
        // A flip or overlap seen at triangle 20 bounds the prefix.
        auto folded = figures(100, unit, unit);
        folded.clean_prefix = 20;
        EXPECT_EQ(kept_prefix(folded, bounds, 100), 20u);
        // A map that failed for no reason seen keeps at most 7/8.
        folded.clean_prefix = 100;
        EXPECT_LE(kept_prefix(folded, bounds, 100), 88u);
        EXPECT_GE(kept_prefix(folded, bounds, 100), 80u);
        // No figures: the solve failed; half, and at least one.
        EXPECT_EQ(kept_prefix(FlatteningFigures{}, bounds, 10), 5u);
        EXPECT_EQ(kept_prefix(FlatteningFigures{}, bounds, 1), 1u);
    }

    TEST(ChartGrowth, GrowsRoundChartsWhoseShorterGrowthsArePrefixes)
    {
        const auto surface = flat_square(20);
        const auto facts = surface_facts(*surface);
        const auto ranks = ranks_in_order(seed_order(*surface));
        ChartGrowth growth{*surface,      facts.adjacencies,
                           facts.normals, facts.areas,
                           ranks,         1.1};
        const std::vector<bool> taken(surface->nb_polygons(), false);
        // A triangle at the centre of the unit square.
        index_t seed = 0;
        for (index_t t = 0; t < surface->nb_polygons(); ++t)
        {
            const auto corners = place(*surface, t);
            if (corners[0][0] == 0.5 && corners[0][1] == 0.5)
            {
                seed = t;
            }
        }
        const double area = 0.2;
        const double radius = std::sqrt(area / testing::pi);
        const auto chart = growth.grow(seed, taken, area, radius);
        EXPECT_TRUE(is_disc(*surface, facts.adjacencies, chart));
        const auto centre = place(*surface, seed)[0];
        double farthest = 0;
        for (const auto t : chart)
        {
            for (const auto& corner : place(*surface, t))
            {
                farthest = std::max(farthest, distance(centre, corner));
            }
        }
        // A disc of that area, give or take a triangle.
        EXPECT_LT(farthest, radius + 0.1);
        const auto shorter = growth.grow(seed, taken, area / 3, radius);
        ASSERT_LT(shorter.size(), chart.size());
        EXPECT_TRUE(std::equal(shorter.begin(), shorter.end(), chart.begin()));
        // Without a pull to the seed, the flat square grows in seed order
        // into a strip far longer than the disc.
        const auto strip = growth.grow(seed, taken, area, HUGE_VAL);
        double longest = 0;
        for (const auto t : strip)
        {
            longest =
                std::max(longest, distance(centre, place(*surface, t)[0]));
        }
        EXPECT_GT(longest, 2 * radius);
    }

    TEST(ChartFlattening, FiguresFollowTheMapAndNameWhereItOverlaps)
    {
        const ChartBounds bounds;
        const auto flat = ramp(0.5);
        auto all = every_triangle(*flat);
        const auto half_turn = flatten_chart_with_figures(*flat, all, bounds);
        ASSERT_TRUE(half_turn.map.valid);
        EXPECT_EQ(half_turn.figures.clean_prefix, flat->nb_polygons());
        // The figures measure the map returned, each corner the image of
        // the input's corner of that rank.
        const auto& figures = half_turn.figures;
        ASSERT_EQ(figures.conformal.size(), all.size());
        for (index_t t = 0; t < all.size(); ++t)
        {
            const auto& v = flat->polygon_vertices(t);
            const auto& image = half_turn.map.corners[t];
            EXPECT_NEAR(
                figures.conformal[t],
                conformal_distortion({&flat->point(v[0]), &flat->point(v[1]),
                                      &flat->point(v[2])},
                                     image),
                1e-9);
            EXPECT_NEAR(figures.areas_3d[t], flat->triangle(t).area(), 1e-15);
            const Triangle<2> flat_image{image[0], image[1], image[2]};
            EXPECT_NEAR(figures.areas_2d[t], flat_image.area(), 1e-15);
        }
        // One and a half turns overlap past the first turn: cut where the
        // overlaps named end, the ramp keeps about one turn.
        const auto winding = ramp(1.5);
        auto triangles = every_triangle(*winding);
        auto overlapping =
            flatten_chart_with_figures(*winding, triangles, bounds);
        EXPECT_FALSE(overlapping.map.valid);
        EXPECT_LT(overlapping.figures.clean_prefix, triangles.size());
        while (!overlapping.map.valid && triangles.size() > 1)
        {
            const auto size = static_cast<index_t>(triangles.size());
            const auto kept = kept_prefix(overlapping.figures, bounds, size);
            ASSERT_LT(kept, size);
            EXPECT_LE(kept, overlapping.figures.clean_prefix);
            triangles.resize(kept);
            overlapping =
                flatten_chart_with_figures(*winding, triangles, bounds);
        }
        const double turns = 1.5 * triangles.size() / winding->nb_polygons();
        EXPECT_GT(turns, 0.75);
        EXPECT_LT(turns, 1.05);
    }

    TEST(ChartFlattening, AFailedMapKeptOnAPrefixPassesWithoutASolve)
    {
        const ChartBounds bounds;
        const auto winding = ramp(1.5);
        auto triangles = every_triangle(*winding);
        const auto overlapping =
            flatten_chart_with_figures(*winding, triangles, bounds);
        ASSERT_FALSE(overlapping.map.valid);
        const auto& corners = overlapping.map.corners;
        EXPECT_FALSE(restricted_flattening(*winding, triangles, corners, bounds)
                         .map.valid);

        // On its first nine tenths of a turn, the same map, scaled to the
        // prefix's own area, passes.
        std::vector<index_t> prefix(
            triangles.begin(), triangles.begin() + triangles.size() * 6 / 10);
        const auto kept =
            restricted_flattening(*winding, prefix, corners, bounds);
        ASSERT_TRUE(kept.map.valid);
        ASSERT_EQ(kept.map.corners.size(), prefix.size());
        const auto length = [](const std::array<Point<2>, 3>& c, int k) {
            return Vector<2>{c[k], c[(k + 1) % 3]}.length();
        };
        const double scale =
            length(kept.map.corners[0], 0) / length(corners[0], 0);
        for (std::size_t t = 0; t < prefix.size(); ++t)
        {
            for (int k = 0; k < 3; ++k)
            {
                EXPECT_NEAR(length(kept.map.corners[t], k),
                            scale * length(corners[t], k), 1e-9);
            }
        }
        // A map of fewer triangles than the prefix is no map of it.
        const CornerMap short_map(corners.begin(), corners.begin() + 1);
        EXPECT_FALSE(restricted_flattening(*winding, prefix, short_map, bounds)
                         .map.valid);
    }

    TEST(ChartFlattening, AMapExtendedOverANeighbourKeepsItsOwnCorners)
    {
        const ChartBounds bounds;
        // Triangles given in any order and turned any way.
        const auto patch = testing::shuffled(*testing::patch_surface(8), 3);
        const auto center = [&patch](index_t t)
        {
            std::array<double, 2> c{};
            for (const auto v : patch->polygon_vertices(t))
            {
                c[0] += patch->point(v)[0] / 3;
                c[1] += patch->point(v)[1] / 3;
            }
            return c;
        };
        // The patch but for its corner cell at x, y < 1/8.
        Chart base;
        std::vector<index_t> corner_cell;
        for (index_t t = 0; t < patch->nb_polygons(); ++t)
        {
            const auto c = center(t);
            (c[0] < 0.125 && c[1] < 0.125 ? corner_cell : base.triangles)
                .push_back(t);
        }
        ASSERT_EQ(corner_cell.size(), 2u);
        base.map = flatten_chart(*patch, base.triangles, bounds);
        ASSERT_TRUE(base.map.valid);

        const auto extended =
            extended_flattening(*patch, base, corner_cell, bounds);
        ASSERT_TRUE(extended.map.valid);
        const auto& corners = extended.map.corners;
        ASSERT_EQ(corners.size(), base.triangles.size() + 2);
        // The base's corners, up to the union's scale, and the new cell
        // laid without flip and hardly distorted.
        const auto length = [](const std::array<Point<2>, 3>& c, int k) {
            return Vector<2>{c[k], c[(k + 1) % 3]}.length();
        };
        const double scale =
            length(corners[0], 0) / length(base.map.corners[0], 0);
        EXPECT_NEAR(scale, 1.0, 0.01);
        for (std::size_t t = 0; t < base.triangles.size(); ++t)
        {
            for (int k = 0; k < 3; ++k)
            {
                EXPECT_NEAR(length(corners[t], k),
                            scale * length(base.map.corners[t], k), 1e-9);
            }
        }
        EXPECT_LT(extended.map.conformal_p95, 1.1);
        for (std::size_t t = base.triangles.size(); t < corners.size(); ++t)
        {
            const auto& c = corners[t];
            const double area = Triangle<2>{c[0], c[1], c[2]}.area();
            const auto cell = corner_cell[t - base.triangles.size()];
            EXPECT_NEAR(area, patch->triangle(cell).area(), 0.05 / 128);
        }

        // Triangles that touch the base at one vertex at most are laid
        // nowhere.
        const Chart one_cell{corner_cell,
                             flatten_chart(*patch, corner_cell, bounds)};
        std::vector<index_t> far;
        for (const auto t : base.triangles)
        {
            const auto c = center(t);
            if (c[0] > 0.75 && c[1] > 0.75)
            {
                far.push_back(t);
            }
        }
        EXPECT_FALSE(
            extended_flattening(*patch, one_cell, far, bounds).map.valid);
    }

    TEST(ChartCutting, CutsALargeSurfaceInRegionsAlikeInAnyTriangleOrder)
    {
        // 32768 triangles: cut in two regions at once.
        const auto surface = testing::bumpy_sphere(6);
        const ChartBounds bounds;
        const auto facts = surface_facts(*surface);
        const auto charts = cut_charts(*surface, facts, bounds);
        std::vector<int> covered(surface->nb_polygons(), 0);
        for (const auto& chart : charts)
        {
            EXPECT_TRUE(chart.map.valid || chart.triangles.size() == 1);
            EXPECT_TRUE(is_disc(*surface, facts.adjacencies, chart.triangles));
            for (const auto t : chart.triangles)
            {
                ++covered[t];
            }
        }
        EXPECT_EQ(std::count(covered.begin(), covered.end(), 1),
                  static_cast<long>(surface->nb_polygons()));
        const auto other = testing::shuffled(*surface, 5);
        EXPECT_TRUE(
            charts_by_place(
                *other, cut_charts(*other, surface_facts(*other), bounds)) ==
            charts_by_place(*surface, charts));
    }

    TEST(ChartCutting, CutsTheSameChartsInAnyTriangleOrder)
    {
        const auto surface = testing::bumpy_sphere(4);
        const ChartBounds bounds;
        const auto charts =
            cut_charts(*surface, surface_facts(*surface), bounds);
        ASSERT_GT(charts.size(), 5u);
        std::vector<bool> covered(surface->nb_polygons(), false);
        for (const auto& chart : charts)
        {
            EXPECT_TRUE(chart.map.valid || chart.triangles.size() == 1);
            EXPECT_LE(chart.map.conformal_p95, bounds.max_conformal);
            EXPECT_LE(chart.map.area_p95, bounds.max_area);
            for (const auto t : chart.triangles)
            {
                EXPECT_FALSE(covered[t]);
                covered[t] = true;
            }
        }
        EXPECT_EQ(std::count(covered.begin(), covered.end(), false), 0);
        const auto reference = charts_by_place(*surface, charts);
        const auto finished = charts_by_place(*surface, finish(*surface));
        for (const unsigned seed : {1u, 2u})
        {
            const auto other = testing::shuffled(*surface, seed);
            const auto cut = charts_by_place(
                *other, cut_charts(*other, surface_facts(*other), bounds));
            // Compared whole: printing them would flood the log.
            EXPECT_EQ(cut.size(), reference.size()) << seed;
            EXPECT_TRUE(cut == reference) << seed;
            EXPECT_TRUE(charts_by_place(*other, finish(*other)) == finished)
                << seed;
        }
    }

    TEST(ChartFlattening, ChartSolveGivesTheMapOfThePublicSolve)
    {
        // A ramp and a bumpy cap: the chart solve leaves out only work whose
        // result it would not keep, so the maps are the same to the bit.
        const auto sphere = testing::bumpy_sphere(4);
        std::vector<index_t> cap;
        for (index_t t = 0; t < sphere->nb_polygons(); ++t)
        {
            if (sphere->point(sphere->polygon_vertex({t, 0}))[2] > -0.2)
            {
                cap.push_back(t);
            }
        }
        for (const double turns : {0.5, 1.5})
        {
            const auto surface = ramp(turns);
            EXPECT_EQ(compute_chart_LSCM_map(*surface),
                      compute_LSCM_map(*surface))
                << turns;
        }
        ASSERT_GT(cap.size(), 10u);
        ASSERT_LT(cap.size(), sphere->nb_polygons());
        testing::Points points;
        testing::Triangles triangles;
        std::map<index_t, index_t> local;
        for (const auto t : cap)
        {
            std::array<index_t, 3> corners{};
            for (local_index_t k = 0; k < 3; ++k)
            {
                const auto v = sphere->polygon_vertex({t, k});
                if (local.count(v) == 0)
                {
                    const auto& p = sphere->point(v);
                    local[v] = static_cast<index_t>(points.size());
                    points.push_back({p[0], p[1], p[2]});
                }
                corners[k] = local[v];
            }
            triangles.push_back(corners);
        }
        const auto part = testing::make_surface(points, triangles);
        const auto map = compute_chart_LSCM_map(*part);
        ASSERT_EQ(map.size(), part->nb_vertices());
        EXPECT_EQ(map, compute_LSCM_map(*part));
    }
}  // namespace nodara

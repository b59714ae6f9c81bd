#include <tessaplan/lscm.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <Eigen/Dense>

#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::make_surface;
        using testing::message_of;
        using testing::Points;
        using testing::Triangles;

        // The conformal energy of a map, computed from each triangle's own
        // frame: area * |J - J's similarity part|^2 with J the map's
        // Jacobian, for maps that keep (sense = 1) or reverse (-1) the
        // triangles' turning.
        double conformal_energy(const TriangulatedSurface<3>& surface,
                                const std::vector<Point<2>>& map, int sense)
        {
            double energy = 0;
            for (index_t t = 0; t < surface.nb_polygons(); ++t)
            {
                const auto v = surface.polygon_vertices(t);
                const Vector<3> e1{surface.point(v[0]), surface.point(v[1])};
                const Vector<3> e2{surface.point(v[0]), surface.point(v[2])};
                const auto x = e1.normalize();
                const auto n = cross(e1, e2);
                const auto y = cross(n, e1).normalize();
                Eigen::Matrix2d local;
                local << e1.dot(x), e2.dot(x), e1.dot(y), e2.dot(y);
                Eigen::Matrix2d image;
                image << map[v[1]][0] - map[v[0]][0],
                    map[v[2]][0] - map[v[0]][0], map[v[1]][1] - map[v[0]][1],
                    map[v[2]][1] - map[v[0]][1];
                const Eigen::Matrix2d j = image * local.inverse();
                const double area = n.length() / 2;
                const double a = j(0, 0);
                const double b = j(0, 1);
                const double c = j(1, 0);
                const double d = j(1, 1);
                energy += sense > 0
                              ? area * ((a - d) * (a - d) + (b + c) * (b + c))
                              : area * ((a + d) * (a + d) + (b - c) * (b - c));
            }
            return energy;
        }

        // The minimiser of the conformal energy with `pins` fixed, by a
        // dense solve: the energy is quadratic in the free coordinates, so
        // its Hessian and gradient come from its values at unit steps.
        std::vector<Point<2>> dense_minimiser(
            const TriangulatedSurface<3>& surface,
            const std::vector<VertexPin>& pins, int sense)
        {
            std::vector<Point<2>> map(surface.nb_vertices());
            std::vector<bool> pinned(surface.nb_vertices(), false);
            for (const auto& pin : pins)
            {
                map[pin.vertex] = pin.position;
                pinned[pin.vertex] = true;
            }
            std::vector<std::pair<index_t, int>> free;
            for (index_t v = 0; v < surface.nb_vertices(); ++v)
            {
                if (!pinned[v])
                {
                    free.emplace_back(v, 0);
                    free.emplace_back(v, 1);
                }
            }
            const auto n = static_cast<Eigen::Index>(free.size());
            const auto energy_at = [&](Eigen::Index i, Eigen::Index j)
            {
                auto moved = map;
                for (const auto k : {i, j})
                {
                    if (k >= 0)
                    {
                        moved[free[k].first][free[k].second] += 1.0;
                    }
                }
                return conformal_energy(surface, moved, sense);
            };
            const double base = energy_at(-1, -1);
            Eigen::VectorXd single(n);
            for (Eigen::Index i = 0; i < n; ++i)
            {
                single[i] = energy_at(i, -1);
            }
            Eigen::MatrixXd hessian(n, n);
            for (Eigen::Index i = 0; i < n; ++i)
            {
                for (Eigen::Index j = i; j < n; ++j)
                {
                    // For i == j the step is taken twice: E(2 e_i).
                    hessian(i, j) =
                        energy_at(i, j) - single[i] - single[j] + base;
                    hessian(j, i) = hessian(i, j);
                }
            }
            Eigen::VectorXd gradient(n);
            for (Eigen::Index i = 0; i < n; ++i)
            {
                gradient[i] = single[i] - base - hessian(i, i) / 2;
            }
            const Eigen::VectorXd x = hessian.ldlt().solve(-gradient);
            for (Eigen::Index i = 0; i < n; ++i)
            {
                map[free[i].first][free[i].second] = x[i];
            }
            return map;
        }

        double largest_difference(const std::vector<Point<2>>& a,
                                  const std::vector<Point<2>>& b)
        {
            double largest = 0;
            for (std::size_t v = 0; v < a.size(); ++v)
            {
                largest = std::max({largest, std::abs(a[v][0] - b[v][0]),
                                    std::abs(a[v][1] - b[v][1])});
            }
            return largest;
        }

        // The pins the solve used, at the positions it gave them.
        std::vector<VertexPin> used_pins(const LSCMSolution& solution)
        {
            std::vector<VertexPin> pins;
            for (const auto v : solution.pinned_vertices)
            {
                pins.push_back({v, solution.map[v]});
            }
            return pins;
        }

        // Two curved patches apart, of 36 vertices each.
        std::unique_ptr<TriangulatedSurface<3>> two_patches()
        {
            Points points;
            Triangles triangles;
            testing::add_patch(points, triangles, 5, 0);
            testing::add_patch(points, triangles, 5, 3);
            return make_surface(points, triangles);
        }

        Point<2> at(double u, double v)
        {
            return Point<2>{{u, v}};
        }
    }  // namespace

    TEST(LSCMGivenPins, TheMapIsTheDenseMinimiserUnderThePins)
    {
        const auto surface = two_patches();
        // One pin on the first patch, two then three on the second.
        for (const auto& given : std::vector<std::vector<VertexPin>>{
                 {{7, at(0.5, 0.5)}, {36, at(2, 0)}, {71, at(3, 1)}},
                 {{7, at(0.5, 0.5)},
                  {36, at(2, 0)},
                  {71, at(3, 1)},
                  {50, at(2.2, 0.9)}}})
        {
            const auto solution = solve_LSCM(*surface, given);
            for (const auto& pin : given)
            {
                EXPECT_EQ(solution.map[pin.vertex], pin.position);
            }
            // The first patch got one pin more; the second only the given.
            const auto& pins = solution.pinned_vertices;
            EXPECT_EQ(pins.size(), given.size() + 1);
            EXPECT_EQ(std::count_if(pins.begin(), pins.end(),
                                    [](index_t v) { return v < 36; }),
                      2);
            const auto used = used_pins(solution);
            const double keeping = largest_difference(
                solution.map, dense_minimiser(*surface, used, 1));
            const double reversing = largest_difference(
                solution.map, dense_minimiser(*surface, used, -1));
            EXPECT_LT(std::min(keeping, reversing), 1e-9);
            EXPECT_GT(std::max(keeping, reversing), 1e-3);
        }
    }

    TEST(LSCMGivenPins, NoPinsGiveTheAutomaticMap)
    {
        const auto surface = two_patches();
        const auto automatic = solve_LSCM(*surface);
        const auto given = solve_LSCM(*surface, {});
        EXPECT_EQ(given.map, automatic.map);
        EXPECT_EQ(given.pinned_vertices, automatic.pinned_vertices);
        // Repeating a pin at its own position changes nothing.
        const std::vector<VertexPin> twice{
            {3, at(1, 2)}, {3, at(1, 2)}, {40, at(5, 5)}, {60, at(6, 5)}};
        const auto repeated = solve_LSCM(*surface, twice);
        EXPECT_EQ(repeated.map[3], at(1, 2));
    }

    TEST(LSCMGivenPins, BadPinsAreRefusedByName)
    {
        const auto surface = two_patches();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const auto message = [&](std::vector<VertexPin> pins)
        { return message_of([&] { solve_LSCM(*surface, pins); }); };
        EXPECT_EQ(message({{0, at(0, 0)}, {72, at(1, 1)}}),
                  "[solve_LSCM] Pin 1 names vertex 72, beyond the surface's "
                  "72 vertices");
        EXPECT_EQ(message({{5, at(nan, 0)}}),
                  "[solve_LSCM] Pin 0 has a position that is not finite");
        EXPECT_EQ(message({{5, at(0, 0)}, {6, at(1, 0)}, {5, at(0, 1)}}),
                  "[solve_LSCM] Pin 2 gives vertex 5 another position than "
                  "pin 0");
        EXPECT_EQ(message({{40, at(0, 0)}, {5, at(1, 0)}, {41, at(0, 0)}}),
                  "[solve_LSCM] Pin 2 lies at the position of pin 0, in the "
                  "same piece (1): two pins of a piece need distinct "
                  "positions");
        // Pins of different pieces may share a position.
        EXPECT_EQ(message({{5, at(0, 0)}, {40, at(0, 0)}}), "no exception");
    }
}  // namespace nodara

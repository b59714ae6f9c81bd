#include <cmath>

#include <gtest/gtest.h>
#include <Eigen/IterativeLinearSolvers>

#include <tessaplan/attribute/attribute_lookup.h>
#include "lscm/normal_equations_solver.h"
#include "lscm_inspector.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using testing::add_patch;
        using testing::Points;
        using testing::Triangles;

        // The map the iterative solver alone gives, started from the
        // projection: free unknowns in slot order.
        Eigen::VectorXd plain_iterative(const TriangulatedSurface<3>& surface)
        {
            const auto copy = surface.clone();
            const AssembledLSCM assembled{*copy, "plain"};
            const auto& inspector = assembled.inspector;
            Eigen::LeastSquaresConjugateGradient<Eigen::SparseMatrix<double>>
                solver;
            solver.setMaxIterations(100 * copy->nb_vertices());
            solver.setTolerance(1e-10);
            solver.compute(inspector.free_matrix());
            return solver.solveWithGuess(inspector.pinned_values(),
                                         inspector.free_values());
        }

        // The library's map, in the same slot order, and how it started.
        Eigen::VectorXd library_map(const TriangulatedSurface<3>& surface,
                                    bool& started_from_direct_solution)
        {
            LSCM lscm{surface, "uv"};
            lscm.solve();
            started_from_direct_solution =
                lscm.statistics().started_from_direct_solution;
            return LSCMInspector{lscm}.free_values();
        }
    }  // namespace

    TEST(LSCMDirectStart, MatchesThePlainIterativeMapOnACurvedSurface)
    {
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 24, 0.0);
        const auto surface = testing::make_surface(points, triangles);
        bool direct = false;
        const auto map = library_map(*surface, direct);
        EXPECT_TRUE(direct);
        const auto plain = plain_iterative(*surface);
        // Both meet the solver's test; they agree to its tolerance.
        EXPECT_LT((map - plain).norm(), 1e-8 * plain.norm());
    }

    // The direct solve releases the system's matrix and triplets while it
    // factors, and computes them again: they must come back identical.
    TEST(LSCMDirectStart, KeepsTheSystemMembersAsBuilt)
    {
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 24, 0.0);
        const auto surface = testing::make_surface(points, triangles);
        const AssembledLSCM built{*surface, "built"};
        const auto& built_view = built.inspector;
        LSCM solved{*surface, "solved"};
        solved.solve();
        ASSERT_TRUE(solved.statistics().started_from_direct_solution);
        const LSCMInspector solved_view{solved};

        const auto& expected = built_view.free_triplets();
        const auto& actual = solved_view.free_triplets();
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t k = 0; k < expected.size(); ++k)
        {
            ASSERT_EQ(actual[k].row(), expected[k].row()) << k;
            ASSERT_EQ(actual[k].col(), expected[k].col()) << k;
            ASSERT_EQ(actual[k].value(), expected[k].value()) << k;
        }
        const auto same_matrix = [](const Eigen::SparseMatrix<double>& a,
                                    const Eigen::SparseMatrix<double>& b)
        {
            using Values = Eigen::Map<const Eigen::VectorXd>;
            using Indices = Eigen::Map<const Eigen::VectorXi>;
            return a.rows() == b.rows() && a.cols() == b.cols() &&
                   a.isCompressed() && b.isCompressed() &&
                   a.nonZeros() == b.nonZeros() &&
                   Indices(a.outerIndexPtr(), a.cols() + 1) ==
                       Indices(b.outerIndexPtr(), b.cols() + 1) &&
                   Indices(a.innerIndexPtr(), a.nonZeros()) ==
                       Indices(b.innerIndexPtr(), b.nonZeros()) &&
                   Values(a.valuePtr(), a.nonZeros()) ==
                       Values(b.valuePtr(), b.nonZeros());
        };
        EXPECT_TRUE(
            same_matrix(solved_view.free_matrix(), built_view.free_matrix()));
        EXPECT_TRUE(same_matrix(solved_view.pinned_matrix(),
                                built_view.pinned_matrix()));
        EXPECT_EQ(solved_view.pinned_values(), built_view.pinned_values());
    }

    TEST(LSCMDirectStart, LeavesTheCallersThreadSettingsAsTheyWere)
    {
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 8, 0.0);
        const auto surface = testing::make_surface(points, triangles);
        for (const int threads : {1, 3})
        {
            omp_set_num_threads(threads);
            bool direct = false;
            library_map(*surface, direct);
            EXPECT_EQ(omp_get_max_threads(), threads);
        }
    }

    TEST(LSCMDirectStart, LoneFreeVertexKeepsItsProjection)
    {
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 6, 0.0);
        points.push_back({0.4, 0.5, 2.0});
        const auto surface = testing::make_surface(points, triangles);
        bool direct = false;
        library_map(*surface, direct);
        EXPECT_TRUE(direct);
        const auto lone = static_cast<index_t>(points.size() - 1);
        const auto uv =
            find_attribute<Point<2>>(surface->vertex_attribute_manager(), "uv");
        const auto copy = surface->clone();
        LSCM projection{*copy, "uv"};
        LSCMInspector{projection}.pin_vertices();
        EXPECT_EQ(uv->value(lone), find_attribute<Point<2>>(
                                       copy->vertex_attribute_manager(), "uv")
                                       ->value(lone));
    }

    TEST(LSCMDirectStart, EveryPieceTakesTheDirectStart)
    {
        // Two separate patches, each with its own pins: the normal matrix is
        // nonsingular and the direct solution is the solver's answer.
        Points points;
        Triangles triangles;
        add_patch(points, triangles, 5, 0.0);
        add_patch(points, triangles, 3, 0.25);
        const auto surface = testing::make_surface(points, triangles);
        bool direct = false;
        const auto map = library_map(*surface, direct);
        EXPECT_TRUE(direct);
        const auto plain = plain_iterative(*surface);
        EXPECT_LT((map - plain).norm(), 1e-8 * plain.norm());
    }

    TEST(SolveNormalEquations, SolvesComplexFormSystemsAndRefusesOthers)
    {
        // F is the real form of W = [[1, i], [0, 2], [1, 1]] with a third,
        // empty complex column; b of c = (1, 2i, 1 + i).
        std::vector<Eigen::Triplet<double>> entries;
        const auto add = [&](int t, int s, double a, double c)
        {
            entries.emplace_back(2 * t, 2 * s, a);
            entries.emplace_back(2 * t, 2 * s + 1, -c);
            entries.emplace_back(2 * t + 1, 2 * s, c);
            entries.emplace_back(2 * t + 1, 2 * s + 1, a);
        };
        add(0, 0, 1, 0);
        add(0, 1, 0, 1);
        add(1, 1, 2, 0);
        add(2, 0, 1, 0);
        add(2, 1, 1, 0);
        Eigen::SparseMatrix<double> F(6, 6);
        F.setFromTriplets(entries.begin(), entries.end());
        Eigen::VectorXd b(6);
        b << 1, 0, 0, 2, 1, 1;
        Eigen::VectorXd x = Eigen::VectorXd::Constant(6, 7.0);
        ASSERT_TRUE(solve_normal_equations(F, b, x));
        // The normal equations hold and the empty column kept its values.
        const Eigen::VectorXd normal_residual = F.transpose() * (b - F * x);
        EXPECT_LT(normal_residual.norm(), 1e-12);
        EXPECT_EQ(x[4], 7.0);
        EXPECT_EQ(x[5], 7.0);

        Eigen::SparseMatrix<double> broken = F;
        broken.coeffRef(0, 0) = 2.0;
        Eigen::VectorXd untouched = Eigen::VectorXd::Zero(6);
        EXPECT_FALSE(solve_normal_equations(broken, b, untouched));
        EXPECT_EQ(untouched, Eigen::VectorXd::Zero(6));

        // Two equal columns: W^H W is singular, with an exact zero pivot.
        Eigen::SparseMatrix<double> singular(2, 4);
        entries.clear();
        add(0, 0, 1, 0);
        add(0, 1, 1, 0);
        singular.setFromTriplets(entries.begin(), entries.end());
        Eigen::VectorXd y = Eigen::VectorXd::Zero(4);
        EXPECT_FALSE(
            solve_normal_equations(singular, Eigen::VectorXd::Ones(2), y));
    }
}  // namespace nodara

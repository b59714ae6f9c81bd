#include <complex>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "lscm/complex_normal_system.h"
#include "lscm/geometric_dissection.h"
#include "lscm/normal_equations_solver.h"
#include "lscm/parallel_triplets.h"
#include "lscm_inspector.h"
#include "surface_factory.h"

namespace nodara
{
    namespace
    {
        using Triplets = std::vector<Eigen::Triplet<double>>;
        using Complex = std::complex<double>;

        // Restores the caller's OpenMP thread count.
        class ThreadCount
        {
        public:
            explicit ThreadCount(int threads) : saved_(omp_get_max_threads())
            {
                omp_set_num_threads(threads);
            }
            ~ThreadCount() { omp_set_num_threads(saved_); }

        private:
            int saved_;
        };

        void expect_same_matrix(const Eigen::SparseMatrix<double>& a,
                                const Eigen::SparseMatrix<double>& b)
        {
            ASSERT_EQ(a.rows(), b.rows());
            ASSERT_EQ(a.cols(), b.cols());
            ASSERT_TRUE(a.isCompressed());
            ASSERT_EQ(a.nonZeros(), b.nonZeros());
            for (Eigen::Index c = 0; c <= a.cols(); ++c)
            {
                ASSERT_EQ(a.outerIndexPtr()[c], b.outerIndexPtr()[c]);
            }
            for (Eigen::Index p = 0; p < a.nonZeros(); ++p)
            {
                EXPECT_EQ(a.innerIndexPtr()[p], b.innerIndexPtr()[p]);
                // Bit for bit: repeated entries summed in the same order.
                EXPECT_EQ(a.valuePtr()[p], b.valuePtr()[p]);
            }
        }

        // The real form of W (rows x columns complex) from its entries.
        Eigen::SparseMatrix<double> real_form(
            int rows, int columns,
            const std::vector<std::tuple<int, int, Complex>>& entries)
        {
            Triplets triplets;
            for (const auto& [t, s, w] : entries)
            {
                triplets.emplace_back(2 * t, 2 * s, w.real());
                triplets.emplace_back(2 * t, 2 * s + 1, -w.imag());
                triplets.emplace_back(2 * t + 1, 2 * s, w.imag());
                triplets.emplace_back(2 * t + 1, 2 * s + 1, w.real());
            }
            Eigen::SparseMatrix<double> F(2 * rows, 2 * columns);
            F.setFromTriplets(triplets.begin(), triplets.end());
            return F;
        }
    }  // namespace

    TEST(SetFromTripletsInParallel, MatchesEigenWithRepeatsAndAnyThreads)
    {
        std::mt19937 random{7};
        std::uniform_int_distribution<int> row(0, 39);
        std::uniform_int_distribution<int> column(0, 29);
        std::uniform_real_distribution<double> value(-1.0, 1.0);
        Triplets triplets;
        for (int k = 0; k < 600; ++k)
        {
            // Few rows and columns: many positions repeat, out of order.
            triplets.emplace_back(row(random), column(random) % 25,
                                  value(random));
        }
        Eigen::SparseMatrix<double> expected(40, 30);
        expected.setFromTriplets(triplets.begin(), triplets.end());
        for (const int threads : {1, 2, 3})
        {
            const ThreadCount scope{threads};
            Eigen::SparseMatrix<double> matrix(5, 5);
            set_from_triplets_in_parallel(triplets, 40, 30, matrix);
            expect_same_matrix(matrix, expected);
        }

        // Triplets already in column order and without repeats, as the
        // assembly writes them, go through untouched.
        Triplets ordered;
        for (int c = 0; c < 30; ++c)
        {
            for (int r = c % 3; r < 40; r += 3)
            {
                ordered.emplace_back(r, c, value(random));
            }
        }
        expected.setFromTriplets(ordered.begin(), ordered.end());
        const ThreadCount scope{2};
        Eigen::SparseMatrix<double> matrix;
        set_from_triplets_in_parallel(ordered, 40, 30, matrix);
        expect_same_matrix(matrix, expected);
    }

    TEST(ComplexNormalSystem, IsTheLowerTriangleOfWHWAndWHc)
    {
        // W: 5 x 4 with an empty column 2.
        const std::vector<std::tuple<int, int, Complex>> entries{
            {0, 0, {1, 2}},  {0, 1, {0, -1}}, {1, 1, {3, 0}},
            {1, 3, {-2, 1}}, {2, 0, {1, 1}},  {2, 3, {0.5, 0}},
            {3, 1, {2, -2}}, {4, 3, {1, 0}},  {4, 0, {-1, 3}}};
        const auto F = real_form(5, 4, entries);
        Eigen::VectorXd b(10);
        b << 1, 2, -1, 0, 3, 1, 0, -2, 1, 1;
        Eigen::MatrixXcd W = Eigen::MatrixXcd::Zero(5, 4);
        for (const auto& [t, s, w] : entries)
        {
            W(t, s) = w;
        }
        Eigen::VectorXcd c(5);
        for (int t = 0; t < 5; ++t)
        {
            c[t] = Complex{b[2 * t], b[2 * t + 1]};
        }
        const Eigen::MatrixXcd normal = W.adjoint() * W;
        const Eigen::VectorXcd rhs = W.adjoint() * c;

        for (const int threads : {1, 2})
        {
            const ThreadCount scope{threads};
            ComplexNormalSystem system;
            ASSERT_TRUE(assemble_complex_normal_system(F, b, system));
            EXPECT_EQ(system.columns, (std::vector<int>{0, 1, 3}));
            ASSERT_EQ(system.column_start.size(), 4u);
            int nb_lower = 0;
            for (int j = 0; j < 3; ++j)
            {
                const auto begin = system.column_start[j];
                const auto end = system.column_start[j + 1];
                ASSERT_LT(begin, end);
                EXPECT_EQ(system.row[begin], j);
                for (auto p = begin; p < end; ++p)
                {
                    if (p > begin)
                    {
                        EXPECT_LT(system.row[p - 1], system.row[p]);
                    }
                    const auto i = system.columns[system.row[p]];
                    EXPECT_LT(std::abs(system.value[p] -
                                       normal(i, system.columns[j])),
                              1e-14);
                }
                for (int i = j; i < 3; ++i)
                {
                    nb_lower += std::abs(normal(system.columns[i],
                                                system.columns[j])) > 0;
                }
                EXPECT_LT(std::abs(system.rhs[j] - rhs[system.columns[j]]),
                          1e-14);
            }
            EXPECT_EQ(static_cast<int>(system.row.size()), nb_lower);
        }

        // Real columns that do not pair into a complex one are refused.
        auto broken = F;
        broken.coeffRef(3, 2) = 7.0;
        ComplexNormalSystem system;
        EXPECT_FALSE(assemble_complex_normal_system(broken, b, system));
        EXPECT_FALSE(assemble_complex_normal_system(F, Eigen::VectorXd::Zero(8),
                                                    system));
    }

    TEST(SolveNormalEquations, EveryOrderingGivesTheSameSolution)
    {
        testing::Points points;
        testing::Triangles triangles;
        testing::add_patch(points, triangles, 30, 0.0);
        const auto surface = testing::make_surface(points, triangles);
        const AssembledLSCM assembled{*surface, "uv"};
        const auto& inspector = assembled.inspector;
        const auto& F = inspector.free_matrix();
        const auto& b = inspector.pinned_values();
        Eigen::VectorXd reference;
        for (const auto ordering :
             {FillOrdering::amd, FillOrdering::metis,
              FillOrdering::nested_dissection, FillOrdering::geometric,
              FillOrdering::automatic})
        {
            Eigen::VectorXd x = inspector.free_values();
            NormalEquationsFigures figures;
            ASSERT_TRUE(solve_normal_equations(F, b, x, ordering, &figures));
            EXPECT_NE(figures.ordering, FillOrdering::automatic);
            if (ordering != FillOrdering::automatic)
            {
                EXPECT_EQ(figures.ordering, ordering);
            }
            // The factor holds at least the lower triangle of W^H W.
            EXPECT_GE(figures.factor_nonzeros, F.cols() / 2);
            EXPECT_GE(figures.factor_stored_entries, figures.factor_nonzeros);
            const Eigen::VectorXd normal_residual = F.transpose() * (b - F * x);
            EXPECT_LT(normal_residual.norm(),
                      1e-10 * (F.transpose() * b).norm());
            if (reference.size() == 0)
            {
                reference = x;
            }
            EXPECT_LT((x - reference).norm(), 1e-10 * reference.norm());
        }
    }

    TEST(GeometricDissection, SeparatorsComeAfterThePartsTheySplit)
    {
        testing::Points points;
        testing::Triangles triangles;
        testing::add_patch(points, triangles, 20, 0.0);
        const auto surface = testing::make_surface(points, triangles);
        const AssembledLSCM assembled{*surface, "uv"};
        const auto& inspector = assembled.inspector;
        ComplexNormalSystem system;
        ASSERT_TRUE(assemble_complex_normal_system(
            inspector.free_matrix(), inspector.pinned_values(), system));
        const auto n = static_cast<long>(system.columns.size());
        const auto parts =
            geometric_dissection(system, inspector.free_values(), 20);
        ASSERT_EQ(static_cast<long>(parts.size()), n);
        long nb_parts = 0;
        for (const auto part : parts)
        {
            ASSERT_GE(part, 0);
            nb_parts = std::max(nb_parts, part + 1);
        }
        std::vector<long> size(nb_parts, 0);
        for (const auto part : parts)
        {
            ++size[part];
        }
        // 439 unknowns in parts of at most 20 or separators: cut several
        // times, every number used.
        EXPECT_GT(nb_parts, n / 20);
        for (const auto s : size)
        {
            EXPECT_GT(s, 0);
        }
        // The last part is the first cut's separator: a line across the
        // 21 x 21 grid. Without it, the parts split into those numbered
        // below some L and the rest, with no edge between the two groups.
        const auto top = nb_parts - 1;
        EXPECT_LE(size[top], 2 * 21);
        std::vector<int> crossing(nb_parts + 1, 0);
        for (long j = 0; j < n; ++j)
        {
            for (auto p = system.column_start[j];
                 p < system.column_start[j + 1]; ++p)
            {
                const auto a = parts[system.row[p]];
                const auto b = parts[j];
                if (a == top || b == top || a == b)
                {
                    continue;
                }
                // Every L in (min, max] would be crossed by this edge.
                ++crossing[std::min(a, b) + 1];
                --crossing[std::max(a, b) + 1];
            }
        }
        bool split = false;
        int open = 0;
        for (long L = 1; L < top; ++L)
        {
            open += crossing[L];
            split = split || open == 0;
        }
        EXPECT_TRUE(split);
    }
}  // namespace nodara

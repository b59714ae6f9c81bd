#include "normal_equations_solver.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>
#include <type_traits>

#include <cholmod.h>
#include <boost/pending/disjoint_sets.hpp>

#include "cholmod_huge_pages.h"
#include "complex_normal_system.h"
#include "geometric_dissection.h"

namespace nodara
{
    namespace
    {
        static_assert(std::is_same<SuiteSparse_long, long>::value,
                      "the normal system's indices are CHOLMOD's long ones");

        // Nested dissection pays for its ordering time, against minimum
        // degree (AMD), once one connected piece of the system has this many
        // unknowns; pieces are ordered on their own, so many small ones stay
        // with AMD. On disk-shaped meshes of 1e6 unknowns, AMD's factor
        // takes 30.6 Gflop, METIS's 12.5 but METIS orders in 4 to 5 times
        // AMD's time, and the geometric dissection's 19.2 in AMD's time:
        // the geometric one gave the shortest total.
        constexpr long nested_dissection_threshold = 400000;

        // Parts of the geometric dissection that are not cut further.
        constexpr long dissection_leaf_size = 200;
        // Systems with fewer unknowns are factored by simplicial Cholesky.
        constexpr std::size_t simplicial_columns = 5000;

        double seconds_since(std::chrono::steady_clock::time_point start)
        {
            return std::chrono::duration<double>(
                       std::chrono::steady_clock::now() - start)
                .count();
        }

        // One CHOLMOD workspace, with 64-bit indices: the factor of tens of
        // millions of triangles outgrows 32-bit ones.
        class Cholmod
        {
        public:
            Cholmod()
            {
                use_huge_pages_in_cholmod();
                cholmod_l_start(&common_);
                // CHOLMOD prints its warnings (a matrix that is not positive
                // definite) on standard output; the library must never
                // write there.
                common_.print = 0;
                common_.supernodal = CHOLMOD_SUPERNODAL;
            }
            ~Cholmod() { cholmod_l_finish(&common_); }
            Cholmod(const Cholmod&) = delete;
            Cholmod& operator=(const Cholmod&) = delete;

            cholmod_common* get() { return &common_; }

            // Throws when the last call ran out of memory.
            void check_memory() const
            {
                if (common_.status == CHOLMOD_OUT_OF_MEMORY)
                {
                    throw std::bad_alloc{};
                }
            }

        private:
            cholmod_common common_{};
        };

        struct FactorDeleter
        {
            cholmod_common* common;
            void operator()(cholmod_factor* factor) const
            {
                cholmod_l_free_factor(&factor, common);
            }
        };

        struct DenseDeleter
        {
            cholmod_common* common;
            void operator()(cholmod_dense* dense) const
            {
                cholmod_l_free_dense(&dense, common);
            }
        };

        using Factor = std::unique_ptr<cholmod_factor, FactorDeleter>;
        using Dense = std::unique_ptr<cholmod_dense, DenseDeleter>;

        // The number of unknowns of the largest connected piece of the
        // system's graph.
        long largest_piece(const ComplexNormalSystem& system)
        {
            const auto n = static_cast<long>(system.columns.size());
            boost::disjoint_sets_with_storage<> sets{
                static_cast<std::size_t>(n)};
            for (long v = 0; v < n; ++v)
            {
                sets.make_set(v);
            }
            for (long j = 0; j < n; ++j)
            {
                for (auto p = system.column_start[j];
                     p < system.column_start[j + 1]; ++p)
                {
                    sets.union_set(j, system.row[p]);
                }
            }
            std::vector<long> size(n, 0);
            long largest = 0;
            for (long v = 0; v < n; ++v)
            {
                const auto root = static_cast<long>(sets.find_set(v));
                largest = std::max(largest, ++size[root]);
            }
            return largest;
        }

        FillOrdering chosen(FillOrdering ordering,
                            const ComplexNormalSystem& system)
        {
            if (ordering != FillOrdering::automatic)
            {
                return ordering;
            }
            return largest_piece(system) < nested_dissection_threshold
                       ? FillOrdering::amd
                       : FillOrdering::geometric;
        }

        int cholmod_ordering(FillOrdering ordering)
        {
            switch (ordering)
            {
                case FillOrdering::metis:
                    return CHOLMOD_METIS;
                case FillOrdering::nested_dissection:
                    return CHOLMOD_NESDIS;
                default:
                    return CHOLMOD_AMD;
            }
        }

        // CHOLMOD's view of the system's lower triangle: it only reads it.
        cholmod_sparse lower_triangle(ComplexNormalSystem& system)
        {
            const auto n = system.columns.size();
            cholmod_sparse A{};
            A.nrow = n;
            A.ncol = n;
            A.nzmax = system.row.size();
            A.p = system.column_start.data();
            A.i = system.row.data();
            A.x = system.value.data();
            A.stype = -1;
            A.itype = CHOLMOD_LONG;
            A.xtype = CHOLMOD_COMPLEX;
            A.dtype = CHOLMOD_DOUBLE;
            A.sorted = 1;
            A.packed = 1;
            return A;
        }

        cholmod_dense rhs_view(ComplexNormalSystem& system)
        {
            const auto n = system.rhs.size();
            cholmod_dense B{};
            B.nrow = n;
            B.ncol = 1;
            B.nzmax = n;
            B.d = n;
            B.x = system.rhs.data();
            B.xtype = CHOLMOD_COMPLEX;
            B.dtype = CHOLMOD_DOUBLE;
            return B;
        }
    }  // namespace

    bool solve_normal_equations(const Eigen::SparseMatrix<double>& F,
                                const Eigen::VectorXd& b, Eigen::VectorXd& x,
                                FillOrdering ordering,
                                NormalEquationsFigures* figures)
    {
        const auto start = std::chrono::steady_clock::now();
        ComplexNormalSystem system;
        if (!assemble_complex_normal_system(F, b, system))
        {
            return false;
        }
        const auto assembly_seconds = seconds_since(start);
        const bool solved =
            solve_complex_normal_system(system, x, ordering, figures);
        if (figures != nullptr)
        {
            figures->assembly_seconds = assembly_seconds;
        }
        return solved;
    }

    bool solve_complex_normal_system(ComplexNormalSystem& system,
                                     Eigen::VectorXd& x, FillOrdering ordering,
                                     NormalEquationsFigures* figures)
    {
        NormalEquationsFigures own;
        auto& report = figures != nullptr ? *figures : own;
        auto start = std::chrono::steady_clock::now();
        report.ordering = chosen(ordering, system);

        Cholmod cholmod;
        auto* common = cholmod.get();
        common->nmethods = 1;
        if (system.columns.size() < simplicial_columns)
        {
            // Supernodes pay off on large factors only: a small one (a
            // chart of an atlas) is factored faster column by column.
            common->supernodal = CHOLMOD_SIMPLICIAL;
        }
        common->method[0].ordering = cholmod_ordering(report.ordering);
        auto A = lower_triangle(system);
        Factor L{nullptr, FactorDeleter{common}};
        if (report.ordering == FillOrdering::geometric)
        {
            auto parts = geometric_dissection(system, x, dissection_leaf_size);
            std::vector<long> permutation(system.columns.size());
            if (!cholmod_l_camd(&A, nullptr, 0, parts.data(),
                                permutation.data(), common))
            {
                cholmod.check_memory();
                return false;
            }
            common->method[0].ordering = CHOLMOD_GIVEN;
            L.reset(cholmod_l_analyze_p(&A, permutation.data(), nullptr, 0,
                                        common));
        }
        else
        {
            L.reset(cholmod_l_analyze(&A, common));
        }
        cholmod.check_memory();
        if (!L)
        {
            return false;
        }
        report.ordering_seconds = seconds_since(start);
        report.factor_nonzeros = common->lnz;
        report.factor_flops = common->fl;

        start = std::chrono::steady_clock::now();
        cholmod_l_factorize(&A, L.get(), common);
        cholmod.check_memory();
        report.factor_seconds = seconds_since(start);
        if (common->status != CHOLMOD_OK || L->minor < L->n)
        {
            return false;
        }
        // The matrix is no longer needed once factored.
        report.factor_stored_entries =
            static_cast<double>(L->is_super ? L->xsize : L->nzmax);
        decltype(system.column_start){}.swap(system.column_start);
        decltype(system.row){}.swap(system.row);
        decltype(system.value){}.swap(system.value);

        start = std::chrono::steady_clock::now();
        auto B = rhs_view(system);
        Dense z{cholmod_l_solve(CHOLMOD_A, L.get(), &B, common),
                DenseDeleter{common}};
        cholmod.check_memory();
        report.substitution_seconds = seconds_since(start);
        if (!z)
        {
            return false;
        }
        const auto* values = static_cast<const double*>(z->x);
        const auto n = static_cast<long>(system.columns.size());
        const Eigen::Map<const Eigen::VectorXd> solution{values, 2 * n};
        if (!solution.allFinite())
        {
            return false;
        }
        for (long k = 0; k < n; ++k)
        {
            x[2 * system.columns[k]] = values[2 * k];
            x[2 * system.columns[k] + 1] = values[2 * k + 1];
        }
        return true;
    }
}  // namespace nodara

#pragma once

#include <Eigen/SparseCore>

#include "complex_normal_system.h"

namespace nodara
{
    /// The fill-reducing ordering of the sparse Cholesky factorisation.
    enum class FillOrdering
    {
        /// Minimum degree below, geometric nested dissection from 400000
        /// unknowns in one connected piece of the system (x is then read
        /// as positions, see geometric).
        automatic,
        /// Approximate minimum degree.
        amd,
        /// METIS's nested dissection of the matrix graph.
        metis,
        /// CHOLMOD's nested dissection: METIS separators, constrained
        /// minimum degree on the parts.
        nested_dissection,
        /// Nested dissection by the unknowns' positions in the plane (see
        /// geometric_dissection), constrained minimum degree on the parts.
        /// The entries of x on entry are read as those positions.
        geometric
    };

    /// What one solve_normal_equations call did, for benchmarks.
    struct NormalEquationsFigures
    {
        /// The ordering used (never automatic).
        FillOrdering ordering{FillOrdering::amd};
        /// Building W^H W and W^H c from F and b.
        double assembly_seconds{0};
        /// Choice of the ordering, ordering and symbolic analysis.
        double ordering_seconds{0};
        /// Numerical factorisation.
        double factor_seconds{0};
        /// Forward and back substitution.
        double substitution_seconds{0};
        /// Entries of the factor, and the flop count of a real simplicial
        /// factorisation of its pattern (CHOLMOD's measure).
        double factor_nonzeros{0};
        double factor_flops{0};
        /// Entries the factor stores, the zeros that supernodes pad with
        /// included.
        double factor_stored_entries{0};
    };

    /// Solves min |F x - b| through a sparse Cholesky factorisation of the
    /// normal equations. F must be the real form of a complex matrix W: every
    /// 2 x 2 block of rows (2i, 2i + 1) and columns (2j, 2j + 1) reads
    /// [[a, -c], [c, a]] for the entry a + i c of W, and b pairs likewise into
    /// a complex vector. The factorisation is then done on the Hermitian
    /// matrix W^H W, a quarter of the size of F^T F. Only the columns that
    /// hold entries take part; the entries of x of empty columns are left as
    /// they are. Returns false, with x unchanged, when F is not of that form,
    /// when the factorisation meets a pivot that is not positive or when the
    /// solution is not finite. A matrix that is singular only up to rounding
    /// may still be factored: the caller makes sure the system is well posed.
    /// Fills `figures` when given. Throws std::bad_alloc when memory runs
    /// out.
    bool solve_normal_equations(const Eigen::SparseMatrix<double>& F,
                                const Eigen::VectorXd& b, Eigen::VectorXd& x,
                                FillOrdering ordering = FillOrdering::automatic,
                                NormalEquationsFigures* figures = nullptr);

    /// The second half of solve_normal_equations, for callers that assemble
    /// the system themselves (see assemble_complex_normal_system): factors
    /// and solves it, writes the solution into the entries of x of the
    /// system's columns and releases the system's matrix. Returns false, with
    /// x unchanged, on a pivot that is not positive or a solution that is not
    /// finite. Throws std::bad_alloc when memory runs out.
    bool solve_complex_normal_system(
        ComplexNormalSystem& system, Eigen::VectorXd& x,
        FillOrdering ordering = FillOrdering::automatic,
        NormalEquationsFigures* figures = nullptr);
}  // namespace nodara

#pragma once

#include <complex>
#include <vector>

#include <Eigen/SparseCore>

#include <velmora/basic/huge_pages.h>

namespace nodara
{
    /// The normal equations W^H W z = W^H c of a least-squares system given
    /// in real form (see solve_normal_equations), restricted to the complex
    /// columns of W that hold entries.
    struct ComplexNormalSystem
    {
        /// The complex columns of W that hold entries, in increasing order;
        /// unknown k of the system is column columns[k].
        std::vector<int> columns;
        /// The lower triangle of W^H W, column-compressed, rows sorted in
        /// each column, the diagonal first.
        LargeVector<long> column_start;
        LargeVector<long> row;
        LargeVector<std::complex<double>> value;
        /// W^H c.
        LargeVector<std::complex<double>> rhs;
    };

    /// Builds the normal equations of min |F x - b| straight from F's
    /// entries, in parallel over the unknowns. Returns false when F and b
    /// are not the real form of a complex matrix and vector, or when F has
    /// no entry. Throws std::bad_alloc when memory runs out.
    bool assemble_complex_normal_system(const Eigen::SparseMatrix<double>& F,
                                        const Eigen::VectorXd& b,
                                        ComplexNormalSystem& system);
}  // namespace nodara

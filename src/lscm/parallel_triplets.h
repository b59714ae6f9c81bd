#pragma once

#include <absl/types/span.h>
#include <Eigen/SparseCore>

namespace nodara
{
    /// Fills `matrix` (rows x columns, column-compressed) from `triplets`, in
    /// parallel, with the same result as Eigen's setFromTriplets: rows sorted
    /// in each column, the values of repeated positions summed in the order
    /// of the triplets. Every triplet must lie inside the matrix. Throws
    /// std::bad_alloc when memory runs out.
    void set_from_triplets_in_parallel(
        absl::Span<const Eigen::Triplet<double>> triplets, int rows,
        int columns, Eigen::SparseMatrix<double>& matrix);
}  // namespace nodara

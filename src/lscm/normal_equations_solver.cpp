#include "normal_equations_solver.h"

#include <complex>
#include <vector>

#include <Eigen/CholmodSupport>

namespace nodara
{
    namespace
    {
        using Complex = std::complex<double>;
        using RealMatrix = Eigen::SparseMatrix<double>;
        using ComplexMatrix = Eigen::SparseMatrix<Complex>;

        // The complex columns of F (pairs of real columns) that hold entries.
        std::vector<int> filled_columns(const RealMatrix& F)
        {
            std::vector<int> columns;
            const auto* outer = F.outerIndexPtr();
            for (int s = 0; s < F.cols() / 2; ++s)
            {
                if (outer[2 * s + 2] > outer[2 * s])
                {
                    columns.push_back(s);
                }
            }
            return columns;
        }

        // Appends complex column s of F as column k of W. Returns false when
        // the two real columns are not the real form of one complex column.
        bool append_column(const RealMatrix& F, int s, int k, ComplexMatrix& W)
        {
            RealMatrix::InnerIterator first(F, 2 * s);
            RealMatrix::InnerIterator second(F, 2 * s + 1);
            W.startVec(k);
            while (first)
            {
                const auto row = first.row();
                if (!second || row % 2 != 0 || second.row() != row)
                {
                    return false;
                }
                const double a = first.value();
                const double minus_c = second.value();
                if (!(++first) || !(++second) || first.row() != row + 1 ||
                    second.row() != row + 1)
                {
                    return false;
                }
                const double c = first.value();
                if (second.value() != a || minus_c != -c)
                {
                    return false;
                }
                ++first;
                ++second;
                W.insertBack(row / 2, k) = Complex{a, c};
            }
            return !second;
        }

        bool complex_form(const RealMatrix& F, const std::vector<int>& columns,
                          ComplexMatrix& W)
        {
            W.resize(F.rows() / 2, static_cast<int>(columns.size()));
            W.reserve(F.nonZeros() / 4);
            for (std::size_t k = 0; k < columns.size(); ++k)
            {
                if (!append_column(F, columns[k], static_cast<int>(k), W))
                {
                    return false;
                }
            }
            W.finalize();
            return true;
        }
    }  // namespace

    bool solve_normal_equations(const RealMatrix& F, const Eigen::VectorXd& b,
                                Eigen::VectorXd& x)
    {
        if (F.rows() % 2 != 0 || F.cols() % 2 != 0 || b.size() != F.rows())
        {
            return false;
        }
        const auto columns = filled_columns(F);
        ComplexMatrix W;
        if (columns.empty() || !complex_form(F, columns, W))
        {
            return false;
        }
        // std::complex<double> is laid out as two doubles, so b reads in place
        // as the complex vector whose parts are its pairs.
        const Eigen::Map<const Eigen::VectorXcd> c{
            reinterpret_cast<const Complex*>(b.data()), b.size() / 2};
        const Eigen::VectorXcd rhs = W.adjoint() * c;
        Eigen::CholmodSupernodalLLT<ComplexMatrix> cholesky;
        // CHOLMOD prints its warnings (a matrix that is not positive
        // definite) on standard output; the library must never write there.
        cholesky.cholmod().print = 0;
        {
            const ComplexMatrix normal = W.adjoint() * W;
            W.resize(0, 0);
            W.data().squeeze();
            cholesky.compute(normal);
        }
        if (cholesky.info() != Eigen::Success)
        {
            return false;
        }
        const Eigen::VectorXcd z = cholesky.solve(rhs);
        if (cholesky.info() != Eigen::Success || !z.allFinite())
        {
            return false;
        }
        for (std::size_t k = 0; k < columns.size(); ++k)
        {
            const auto& value = z[static_cast<Eigen::Index>(k)];
            x[2 * columns[k]] = value.real();
            x[2 * columns[k] + 1] = value.imag();
        }
        return true;
    }
}  // namespace nodara

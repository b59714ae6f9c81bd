#include "complex_normal_system.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include <omp.h>

namespace nodara
{
    namespace
    {
        using Complex = std::complex<double>;
        using RealMatrix = Eigen::SparseMatrix<double>;

        // W column by column and row by row.
        struct ComplexMatrix
        {
            LargeVector<long> column_start;
            LargeVector<int> row;
            LargeVector<Complex> column_value;
            LargeVector<long> row_start;
            LargeVector<int> column;
            LargeVector<Complex> row_value;
        };

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

        // Reads complex column s of F into W from position p on. Returns
        // false when its two real columns are not the real form of one
        // complex column.
        bool read_column(const RealMatrix& F, int s, long p, ComplexMatrix& W)
        {
            const auto* outer = F.outerIndexPtr();
            const auto* inner = F.innerIndexPtr();
            const auto* values = F.valuePtr();
            const auto first = outer[2 * s];
            const auto second = outer[2 * s + 1];
            const auto size = second - first;
            if (size % 2 != 0 || outer[2 * s + 2] - second != size)
            {
                return false;
            }
            for (long e = 0; e < size; e += 2, ++p)
            {
                const auto row = inner[first + e];
                if (row % 2 != 0 || inner[first + e + 1] != row + 1 ||
                    inner[second + e] != row ||
                    inner[second + e + 1] != row + 1)
                {
                    return false;
                }
                const double a = values[first + e];
                const double c = values[first + e + 1];
                if (values[second + e] != -c || values[second + e + 1] != a)
                {
                    return false;
                }
                W.row[p] = row / 2;
                W.column_value[p] = Complex{a, c};
            }
            return true;
        }

        bool read_columns(const RealMatrix& F, const std::vector<int>& columns,
                          ComplexMatrix& W)
        {
            const auto n = static_cast<long>(columns.size());
            const auto* outer = F.outerIndexPtr();
            W.column_start.assign(n + 1, 0);
            for (long k = 0; k < n; ++k)
            {
                const auto s = columns[k];
                W.column_start[k + 1] =
                    W.column_start[k] + (outer[2 * s + 1] - outer[2 * s]) / 2;
            }
            W.row.resize(W.column_start[n]);
            W.column_value.resize(W.column_start[n]);
            bool form = true;
#pragma omp parallel for schedule(static) reduction(&& : form)
            for (long k = 0; k < n; ++k)
            {
                form = read_column(F, columns[k], W.column_start[k], W) && form;
            }
            return form;
        }

        // The row-compressed copy of W, columns increasing in each row.
        void transpose(long nb_rows, ComplexMatrix& W)
        {
            const auto n = static_cast<long>(W.column_start.size()) - 1;
            W.row_start.assign(nb_rows + 1, 0);
            for (const auto r : W.row)
            {
                ++W.row_start[r + 1];
            }
            std::partial_sum(W.row_start.begin(), W.row_start.end(),
                             W.row_start.begin());
            std::vector<long> next(W.row_start.begin(), W.row_start.end() - 1);
            W.column.resize(W.row.size());
            W.row_value.resize(W.row.size());
            for (long k = 0; k < n; ++k)
            {
                for (auto p = W.column_start[k]; p < W.column_start[k + 1]; ++p)
                {
                    const auto q = next[W.row[p]]++;
                    W.column[q] = static_cast<int>(k);
                    W.row_value[q] = W.column_value[p];
                }
            }
        }

        // Lower triangle of W^H W: entry (i, j), i >= j, sums
        // conj(W(t, i)) W(t, j) over the rows t that hold both. Each thread
        // marks, for every row i, where column j's entry of it lies; columns
        // are taken in increasing order by each thread, so a mark below the
        // column's start is stale.
        void multiply(const ComplexMatrix& W, ComplexNormalSystem& system)
        {
            const auto n = static_cast<long>(W.column_start.size()) - 1;
            auto& start = system.column_start;
            start.assign(n + 1, 0);
#pragma omp parallel
            {
                std::vector<long> mark(n, -1);
#pragma omp for schedule(static)
                for (long j = 0; j < n; ++j)
                {
                    long count = 0;
                    for (auto p = W.column_start[j]; p < W.column_start[j + 1];
                         ++p)
                    {
                        const auto t = W.row[p];
                        for (auto q = W.row_start[t]; q < W.row_start[t + 1];
                             ++q)
                        {
                            const auto i = W.column[q];
                            if (i >= j && mark[i] != j)
                            {
                                mark[i] = j;
                                ++count;
                            }
                        }
                    }
                    start[j + 1] = count;
                }
            }
            std::partial_sum(start.begin(), start.end(), start.begin());
            system.row.resize(start[n]);
            system.value.resize(start[n]);
#pragma omp parallel
            {
                std::vector<long> mark(n, -1);
                std::vector<std::pair<long, Complex>> entries;
#pragma omp for schedule(static)
                for (long j = 0; j < n; ++j)
                {
                    const auto begin = start[j];
                    auto end = begin;
                    for (auto p = W.column_start[j]; p < W.column_start[j + 1];
                         ++p)
                    {
                        const auto t = W.row[p];
                        const auto w = W.column_value[p];
                        for (auto q = W.row_start[t]; q < W.row_start[t + 1];
                             ++q)
                        {
                            const auto i = W.column[q];
                            if (i < j)
                            {
                                continue;
                            }
                            const auto product = std::conj(W.row_value[q]) * w;
                            if (mark[i] < begin)
                            {
                                mark[i] = end;
                                system.row[end] = i;
                                system.value[end] = product;
                                ++end;
                            }
                            else
                            {
                                system.value[mark[i]] += product;
                            }
                        }
                    }
                    entries.clear();
                    for (auto e = begin; e < end; ++e)
                    {
                        entries.emplace_back(system.row[e], system.value[e]);
                    }
                    std::sort(entries.begin(), entries.end(),
                              [](const auto& x, const auto& y)
                              { return x.first < y.first; });
                    for (auto e = begin; e < end; ++e)
                    {
                        system.row[e] = entries[e - begin].first;
                        system.value[e] = entries[e - begin].second;
                    }
                }
            }
        }

        // W^H c for the c whose parts are the pairs of b.
        void multiply_rhs(const ComplexMatrix& W, const Eigen::VectorXd& b,
                          ComplexNormalSystem& system)
        {
            const auto n = static_cast<long>(W.column_start.size()) - 1;
            system.rhs.assign(n, Complex{});
#pragma omp parallel for schedule(static)
            for (long j = 0; j < n; ++j)
            {
                Complex sum{};
                for (auto p = W.column_start[j]; p < W.column_start[j + 1]; ++p)
                {
                    const auto t = W.row[p];
                    sum += std::conj(W.column_value[p]) *
                           Complex{b[2 * t], b[2 * t + 1]};
                }
                system.rhs[j] = sum;
            }
        }
    }  // namespace

    bool assemble_complex_normal_system(const RealMatrix& F,
                                        const Eigen::VectorXd& b,
                                        ComplexNormalSystem& system)
    {
        if (F.rows() % 2 != 0 || F.cols() % 2 != 0 || b.size() != F.rows())
        {
            return false;
        }
        RealMatrix compressed;
        const RealMatrix* source = &F;
        if (!F.isCompressed())
        {
            compressed = F;
            compressed.makeCompressed();
            source = &compressed;
        }
        system.columns = filled_columns(*source);
        if (system.columns.empty())
        {
            return false;
        }
        ComplexMatrix W;
        if (!read_columns(*source, system.columns, W))
        {
            return false;
        }
        transpose(F.rows() / 2, W);
        multiply(W, system);
        multiply_rhs(W, b, system);
        return true;
    }
}  // namespace nodara

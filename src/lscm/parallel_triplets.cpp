#include "parallel_triplets.h"

#include <velmora/basic/huge_pages.h>

#include <algorithm>
#include <utility>

#include <omp.h>

namespace nodara
{
    namespace
    {
        // Sorts the entries [begin, end) by row, stably, sums those of one
        // row into its first and returns how many rows are left.
        int collapse_column(int* inner, double* values, int begin, int end)
        {
            std::vector<std::pair<int, double>> entries;
            for (auto p = begin; p < end; ++p)
            {
                entries.emplace_back(inner[p], values[p]);
            }
            std::stable_sort(entries.begin(), entries.end(),
                             [](const auto& a, const auto& b)
                             { return a.first < b.first; });
            auto out = begin;
            for (std::size_t e = 0; e < entries.size(); ++e)
            {
                if (e > 0 && entries[e].first == entries[e - 1].first)
                {
                    values[out - 1] += entries[e].second;
                    continue;
                }
                inner[out] = entries[e].first;
                values[out] = entries[e].second;
                ++out;
            }
            return out - begin;
        }
    }  // namespace

    // Each thread takes one contiguous range of triplets; its entries of a
    // column go after those of the ranges before it, so every column holds
    // its entries in triplet order. Columns that then come out unsorted or
    // with a repeated row are sorted and summed on their own.
    void set_from_triplets_in_parallel(
        absl::Span<const Eigen::Triplet<double>> triplets, int rows,
        int columns, Eigen::SparseMatrix<double>& matrix)
    {
        const auto size = static_cast<long>(triplets.size());
        const int nb_ranges = std::max(1, omp_get_max_threads());
        const auto range_start = [&](int r) { return size * r / nb_ranges; };
        std::vector<std::vector<int>> next(nb_ranges);
#pragma omp parallel for schedule(static, 1)
        for (int r = 0; r < nb_ranges; ++r)
        {
            next[r].assign(columns, 0);
            for (auto k = range_start(r); k < range_start(r + 1); ++k)
            {
                ++next[r][triplets[k].col()];
            }
        }
        matrix.resize(rows, columns);
        matrix.resizeNonZeros(size);
        advise_huge_pages(matrix.innerIndexPtr(), size * sizeof(int));
        advise_huge_pages(matrix.valuePtr(), size * sizeof(double));
        auto* outer = matrix.outerIndexPtr();
        auto* inner = matrix.innerIndexPtr();
        auto* values = matrix.valuePtr();
        outer[0] = 0;
        for (int c = 0; c < columns; ++c)
        {
            auto position = outer[c];
            for (int r = 0; r < nb_ranges; ++r)
            {
                const auto count = next[r][c];
                next[r][c] = position;
                position += count;
            }
            outer[c + 1] = position;
        }
#pragma omp parallel for schedule(static, 1)
        for (int r = 0; r < nb_ranges; ++r)
        {
            auto& position = next[r];
            for (auto k = range_start(r); k < range_start(r + 1); ++k)
            {
                const auto& triplet = triplets[k];
                const auto p = position[triplet.col()]++;
                inner[p] = triplet.row();
                values[p] = triplet.value();
            }
        }
        next.clear();
        std::vector<int> kept(columns);
        bool collapsed = false;
#pragma omp parallel for schedule(static) reduction(|| : collapsed)
        for (int c = 0; c < columns; ++c)
        {
            const auto begin = outer[c];
            const auto end = outer[c + 1];
            auto p = begin + 1;
            while (p < end && inner[p - 1] < inner[p])
            {
                ++p;
            }
            kept[c] = end - begin;
            if (p < end)
            {
                kept[c] = collapse_column(inner, values, begin, end);
                collapsed = collapsed || kept[c] != end - begin;
            }
        }
        if (!collapsed)
        {
            return;
        }
        // Columns move towards the front only, so in increasing order.
        int out = 0;
        for (int c = 0; c < columns; ++c)
        {
            const auto begin = outer[c];
            std::copy(inner + begin, inner + begin + kept[c], inner + out);
            std::copy(values + begin, values + begin + kept[c], values + out);
            outer[c] = out;
            out += kept[c];
        }
        outer[columns] = out;
        matrix.resizeNonZeros(out);
    }
}  // namespace nodara

#include "geometric_dissection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace nodara
{
    namespace
    {
        class Dissection
        {
        public:
            Dissection(const ComplexNormalSystem& system,
                       const Eigen::VectorXd& positions, long leaf_size)
                : leaf_size_(std::max(1L, leaf_size)),
                  n_(static_cast<long>(system.columns.size())),
                  part_(n_, 0),
                  side_(n_, -1)
            {
                read_positions(system, positions);
                read_graph(system);
            }

            std::vector<long> run()
            {
                std::vector<int> vertices(n_);
                std::iota(vertices.begin(), vertices.end(), 0);
                dissect(vertices.data(), vertices.data() + n_);
                return std::move(part_);
            }

        private:
            void read_positions(const ComplexNormalSystem& system,
                                const Eigen::VectorXd& positions)
            {
                xy_.resize(n_);
                for (long k = 0; k < n_; ++k)
                {
                    const auto c = system.columns[k];
                    // Positions that are not finite would break the
                    // ordering of the cuts: they count as the origin.
                    const auto finite = [](double value)
                    { return std::isfinite(value) ? value : 0.0; };
                    xy_[k] = {finite(positions[2 * c]),
                              finite(positions[2 * c + 1])};
                }
            }

            // Both directions of every off-diagonal entry.
            void read_graph(const ComplexNormalSystem& system)
            {
                start_.assign(n_ + 1, 0);
                for (long j = 0; j < n_; ++j)
                {
                    for (auto p = system.column_start[j];
                         p < system.column_start[j + 1]; ++p)
                    {
                        const auto i = system.row[p];
                        if (i != j)
                        {
                            ++start_[i + 1];
                            ++start_[j + 1];
                        }
                    }
                }
                std::partial_sum(start_.begin(), start_.end(), start_.begin());
                neighbour_.resize(start_[n_]);
                std::vector<long> next(start_.begin(), start_.end() - 1);
                for (long j = 0; j < n_; ++j)
                {
                    for (auto p = system.column_start[j];
                         p < system.column_start[j + 1]; ++p)
                    {
                        const auto i = system.row[p];
                        if (i != j)
                        {
                            neighbour_[next[i]++] = static_cast<int>(j);
                            neighbour_[next[j]++] = static_cast<int>(i);
                        }
                    }
                }
            }

            void dissect(int* begin, int* end)
            {
                const auto size = end - begin;
                if (size <= leaf_size_)
                {
                    close_part(begin, end);
                    return;
                }
                std::array<double, 2> low{xy_[*begin]};
                std::array<double, 2> high{xy_[*begin]};
                for (auto* v = begin; v != end; ++v)
                {
                    for (int a = 0; a < 2; ++a)
                    {
                        low[a] = std::min(low[a], xy_[*v][a]);
                        high[a] = std::max(high[a], xy_[*v][a]);
                    }
                }
                const int axis = high[0] - low[0] >= high[1] - low[1] ? 0 : 1;
                auto* middle = begin + size / 2;
                std::nth_element(begin, middle, end,
                                 [this, axis](int a, int b)
                                 { return xy_[a][axis] < xy_[b][axis]; });
                // The upper half is marked with this cut's number.
                const long cut = cuts_++;
                for (auto* v = middle; v != end; ++v)
                {
                    side_[*v] = cut;
                }
                auto* separator = std::partition(
                    begin, middle,
                    [this, cut](int v)
                    {
                        for (auto p = start_[v]; p < start_[v + 1]; ++p)
                        {
                            if (side_[neighbour_[p]] == cut)
                            {
                                return false;
                            }
                        }
                        return true;
                    });
                dissect(begin, separator);
                dissect(middle, end);
                close_part(separator, middle);
            }

            void close_part(const int* begin, const int* end)
            {
                if (begin == end)
                {
                    return;
                }
                for (auto* v = begin; v != end; ++v)
                {
                    part_[*v] = parts_;
                }
                ++parts_;
            }

            long leaf_size_;
            long n_;
            std::vector<long> part_;
            std::vector<long> side_;
            std::vector<std::array<double, 2>> xy_;
            std::vector<long> start_;
            std::vector<int> neighbour_;
            long cuts_{0};
            long parts_{0};
        };
    }  // namespace

    std::vector<long> geometric_dissection(const ComplexNormalSystem& system,
                                           const Eigen::VectorXd& positions,
                                           long leaf_size)
    {
        return Dissection{system, positions, leaf_size}.run();
    }
}  // namespace nodara

#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

namespace nodara
{
    /// Rows [first, end) of one column of texels.
    using RowRun = std::array<int, 2>;

    /// Per column of a square of texels, the runs of rows that no chart
    /// holds, lowest first: the room under the charts' overhangs as well as
    /// that above the skyline. A run below a chart that is shorter than
    /// `shortest` rows is given up (counted as held), which keeps the runs
    /// few; the run reaching the top of the square is always kept.
    class FreeRows
    {
    public:
        /// An empty square of `side` texels.
        FreeRows(int side, int shortest);

        int side() const { return static_cast<int>(runs_.size()); }

        /// The free runs of `column`, lowest first.
        const std::vector<RowRun>& runs(int column) const
        {
            return runs_[column];
        }

        /// Per column, the first row of the free run that reaches the top
        /// of the square, or the side when its top row is held.
        const std::vector<int>& skyline() const { return skyline_; }

        /// Whether rows [first, end) of `column` are all free.
        bool is_free(int column, int first, int end) const;

        /// Holds rows [first, end) of `column`, which must be free.
        void hold(int column, int first, int end);

        /// The lowest y, from `from` up, at which rows [y + bottom, y +
        /// top] of `column` are all free, or INT_MAX when there is none.
        int lowest_fit(int column, int bottom, int top, int from) const
        {
            for (const auto& run : runs_[column])
            {
                const int y = std::max(from, run[0] - bottom);
                if (y + top < run[1])
                {
                    return y;
                }
            }
            return INT_MAX;
        }

        /// The first row of the free run of `column` that holds `row`,
        /// which must be free.
        int run_start(int column, int row) const;

        /// The first row of the lowest free run of `column` at least
        /// `height` rows tall, or the side when there is none.
        int lowest_room(int column, int height) const;

        /// The class of rooms that a column of `height` rows needs: k for
        /// heights from 2^k up to 2^(k + 1) - 1 (0 for none).
        static int room_class(int height);

        /// Per column, the first row of the lowest free run at least 2^k
        /// rows tall (lowest_room), kept up to date.
        const std::vector<int>& rooms(int k) const { return rooms_[k]; }

    private:
        // The index of the run of `column` that holds the free `row`.
        std::size_t run_of(int column, int row) const;

        std::vector<std::vector<RowRun>> runs_;
        std::vector<int> skyline_;
        std::vector<std::vector<int>> rooms_;
        int shortest_;
    };
}  // namespace nodara

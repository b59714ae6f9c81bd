#include "free_rows.h"

#include <algorithm>
#include <climits>

namespace nodara
{
    FreeRows::FreeRows(int side, int shortest)
        : runs_(side, std::vector<RowRun>{RowRun{{0, side}}}),
          skyline_(side, 0),
          rooms_(room_class(side) + 1),
          shortest_(std::max(1, shortest))
    {
        for (int k = 0; k < static_cast<int>(rooms_.size()); ++k)
        {
            rooms_[k].assign(side, (1 << k) <= side ? 0 : side);
        }
    }

    int FreeRows::room_class(int height)
    {
        int k = 0;
        while (k < 30 && (2 << k) <= height)
        {
            ++k;
        }
        return k;
    }

    std::size_t FreeRows::run_of(int column, int row) const
    {
        const auto& runs = runs_[column];
        return static_cast<std::size_t>(
            std::partition_point(runs.begin(), runs.end(),
                                 [row](const RowRun& run)
                                 { return run[1] <= row; }) -
            runs.begin());
    }

    bool FreeRows::is_free(int column, int first, int end) const
    {
        const auto& runs = runs_[column];
        const auto i = run_of(column, first);
        return first >= end ||
               (i < runs.size() && runs[i][0] <= first && end <= runs[i][1]);
    }

    void FreeRows::hold(int column, int first, int end)
    {
        auto& runs = runs_[column];
        const auto run = runs.begin() + run_of(column, first);
        const RowRun above{{end, (*run)[1]}};
        const RowRun below{{(*run)[0], first}};
        // Only the top run may be shorter than `shortest_`: a chart can
        // still rest on it.
        const auto kept = [&](const RowRun& part)
        {
            return part[1] == side() ? part[0] < part[1]
                                     : part[1] - part[0] >= shortest_;
        };
        const auto next = runs.erase(run);
        const auto at = kept(above) ? runs.insert(next, above) : next;
        if (kept(below))
        {
            runs.insert(at, below);
        }
        skyline_[column] =
            !runs.empty() && runs.back()[1] == side() ? runs.back()[0] : side();
        for (int k = 0; k < static_cast<int>(rooms_.size()); ++k)
        {
            rooms_[k][column] = lowest_room(column, 1 << k);
        }
    }

    int FreeRows::run_start(int column, int row) const
    {
        return runs_[column][run_of(column, row)][0];
    }

    int FreeRows::lowest_room(int column, int height) const
    {
        for (const auto& run : runs_[column])
        {
            if (run[1] - run[0] >= height)
            {
                return run[0];
            }
        }
        return side();
    }
}  // namespace nodara

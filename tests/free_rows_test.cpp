#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "atlas/free_rows.h"

namespace nodara
{
    namespace
    {
        // A square of texels held or free one by one, column by column:
        // what FreeRows must agree with.
        class TexelGrid
        {
        public:
            TexelGrid(int side, int shortest)
                : held_(side, std::vector<bool>(side, false)),
                  shortest_(shortest)
            {
            }

            int side() const { return static_cast<int>(held_.size()); }

            bool is_free(int column, int first, int end) const
            {
                for (int row = first; row < end; ++row)
                {
                    if (held_[column][row])
                    {
                        return false;
                    }
                }
                return true;
            }

            // Holds the rows, then gives up the free runs below a held row
            // that are shorter than `shortest`.
            void hold(int column, int first, int end)
            {
                for (int row = first; row < end; ++row)
                {
                    held_[column][row] = true;
                }
                for (const auto& run : runs(column))
                {
                    if (run[1] < side() && run[1] - run[0] < shortest_)
                    {
                        for (int row = run[0]; row < run[1]; ++row)
                        {
                            held_[column][row] = true;
                        }
                    }
                }
            }

            // The column's longest runs of free rows, lowest first.
            std::vector<RowRun> runs(int column) const
            {
                std::vector<RowRun> found;
                for (int row = 0; row < side(); ++row)
                {
                    if (held_[column][row])
                    {
                        continue;
                    }
                    if (found.empty() || found.back()[1] != row)
                    {
                        found.push_back({{row, row + 1}});
                    }
                    else
                    {
                        ++found.back()[1];
                    }
                }
                return found;
            }

            int lowest_fit(int column, int bottom, int top, int from) const
            {
                for (int y = from; y + top < side(); ++y)
                {
                    if (is_free(column, y + bottom, y + top + 1))
                    {
                        return y;
                    }
                }
                return INT_MAX;
            }

        private:
            std::vector<std::vector<bool>> held_;
            int shortest_;
        };

        // Every answer of `rows` about `column` against the grid's.
        void expect_same_column(const FreeRows& rows, const TexelGrid& grid,
                                int column, std::mt19937& random)
        {
            const int side = grid.side();
            const auto runs = grid.runs(column);
            EXPECT_EQ(rows.runs(column), runs);
            const int sky =
                !runs.empty() && runs.back()[1] == side ? runs.back()[0] : side;
            EXPECT_EQ(rows.skyline()[column], sky);
            for (int k = 0; (1 << k) <= side; ++k)
            {
                const auto room =
                    std::find_if(runs.begin(), runs.end(),
                                 [k](const RowRun& run)
                                 { return run[1] - run[0] >= (1 << k); });
                EXPECT_EQ(rows.rooms(k)[column],
                          room == runs.end() ? side : (*room)[0]);
            }
            std::uniform_int_distribution<int> row{0, side - 1};
            for (int query = 0; query < 8; ++query)
            {
                const int a = row(random);
                const int b = row(random);
                const int bottom = std::min(a, b) % 7;
                const int top = bottom + std::abs(a - b) % 19;
                const int from = row(random) / 2;
                EXPECT_EQ(rows.lowest_fit(column, bottom, top, from),
                          grid.lowest_fit(column, bottom, top, from));
                EXPECT_EQ(rows.is_free(column, std::min(a, b), std::max(a, b)),
                          grid.is_free(column, std::min(a, b), std::max(a, b)));
                if (grid.is_free(column, a, a + 1))
                {
                    const auto run = std::find_if(
                        runs.begin(), runs.end(),
                        [a](const RowRun& r) { return r[0] <= a && a < r[1]; });
                    EXPECT_EQ(rows.run_start(column, a), (*run)[0]);
                }
            }
        }
    }  // namespace

    TEST(FreeRows, AgreesWithATexelGridUnderRandomHolds)
    {
        std::mt19937 random{11};
        for (const int shortest : {1, 4, 9})
        {
            SCOPED_TRACE(shortest);
            const int side = 48;
            FreeRows rows(side, shortest);
            TexelGrid grid(side, shortest);
            std::uniform_int_distribution<int> pick{0, side - 1};
            for (int step = 0; step < 1500; ++step)
            {
                const int column = pick(random);
                const int first = pick(random);
                const int end = std::min(
                    side, first + 1 + pick(random) % (step % 3 == 0 ? 12 : 4));
                ASSERT_EQ(rows.is_free(column, first, end),
                          grid.is_free(column, first, end));
                if (grid.is_free(column, first, end))
                {
                    rows.hold(column, first, end);
                    grid.hold(column, first, end);
                }
                expect_same_column(rows, grid, column, random);
                expect_same_column(rows, grid, pick(random), random);
            }
        }
    }

    TEST(FreeRows, RoomClassesDoublePerClass)
    {
        EXPECT_EQ(FreeRows::room_class(0), 0);
        for (int k = 0; k < 12; ++k)
        {
            EXPECT_EQ(FreeRows::room_class(1 << k), k);
            EXPECT_EQ(FreeRows::room_class((2 << k) - 1), k);
        }
    }
}  // namespace nodara

#pragma once

#include <chrono>

namespace tessaplan
{
    /// Measures the seconds of one stage of a command after another.
    class Stopwatch
    {
    public:
        /// The seconds since construction or the last lap, and starts the
        /// next lap.
        double lap()
        {
            const auto now = std::chrono::steady_clock::now();
            const double seconds =
                std::chrono::duration<double>(now - start_).count();
            start_ = now;
            return seconds;
        }

    private:
        std::chrono::steady_clock::time_point start_{
            std::chrono::steady_clock::now()};
    };
}  // namespace tessaplan

#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace tessaplan
{
    /// Shows on standard error which stage of the work is running and for
    /// how long, on one line redrawn in place a few times a second, while
    /// the object lives. Does nothing when not enabled (standard error is
    /// not a terminal), so that logs and pipes get no progress noise.
    class Progress
    {
    public:
        explicit Progress(bool enabled);
        Progress(const Progress&) = delete;
        Progress& operator=(const Progress&) = delete;
        /// Stops the redrawing and erases the line.
        ~Progress();

        /// Starts a new stage, e.g. "flattening 1000000 triangles".
        void stage(const std::string& description);

        /// Whether standard error is a terminal.
        static bool standard_error_is_terminal();

    private:
        void redraw_until_stopped();
        void draw();

        bool enabled_;
        std::mutex mutex_;
        std::condition_variable wake_;
        std::string description_;
        std::chrono::steady_clock::time_point stage_start_;
        bool stopping_{false};
        std::thread thread_;
    };
}  // namespace tessaplan

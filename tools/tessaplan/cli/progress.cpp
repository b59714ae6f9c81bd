#include "cli/progress.h"

#include <cstdio>

#include <unistd.h>

namespace tessaplan
{
    namespace
    {
        constexpr auto redraw_interval = std::chrono::milliseconds{250};
        // Carriage return and "erase to the end of the line".
        constexpr const char* clear_line = "\r\033[K";
    }  // namespace

    Progress::Progress(bool enabled) : enabled_(enabled)
    {
        if (enabled_)
        {
            stage_start_ = std::chrono::steady_clock::now();
            thread_ = std::thread{[this] { redraw_until_stopped(); }};
        }
    }

    Progress::~Progress()
    {
        if (!enabled_)
        {
            return;
        }
        {
            const std::lock_guard<std::mutex> lock{mutex_};
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
        std::fputs(clear_line, stderr);
        std::fflush(stderr);
    }

    void Progress::stage(const std::string& description)
    {
        if (!enabled_)
        {
            return;
        }
        {
            const std::lock_guard<std::mutex> lock{mutex_};
            description_ = description;
            stage_start_ = std::chrono::steady_clock::now();
        }
        wake_.notify_one();
    }

    bool Progress::standard_error_is_terminal()
    {
        return ::isatty(STDERR_FILENO) == 1;
    }

    void Progress::redraw_until_stopped()
    {
        std::unique_lock<std::mutex> lock{mutex_};
        while (!stopping_)
        {
            draw();
            wake_.wait_for(lock, redraw_interval);
        }
    }

    void Progress::draw()
    {
        if (description_.empty())
        {
            return;
        }
        const std::chrono::duration<double> elapsed =
            std::chrono::steady_clock::now() - stage_start_;
        std::fprintf(stderr, "%stessaplan: %s ... %.1f s", clear_line,
                     description_.c_str(), elapsed.count());
        std::fflush(stderr);
    }
}  // namespace tessaplan

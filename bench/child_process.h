#pragma once

#include <functional>
#include <map>
#include <string>

namespace nodara
{
    namespace bench
    {
        /// How a measurement run in a child process ended.
        struct ChildResult
        {
            bool finished{false};   // exited on its own with status 0
            bool timed_out{false};  // killed at the time limit
            std::string output;     // what the child wrote to its pipe
            long peak_rss_kb{0};    // the child's peak resident memory
        };

        /// Runs `work` in a forked child, which writes its result text to
        /// the given file descriptor; kills it after `seconds`.
        ChildResult run_in_child(const std::function<std::string()>& work,
                                 double seconds);

        /// Named figures a child reports.
        using Fields = std::map<std::string, double>;

        /// The figures as "name=value " items, in full precision: what a
        /// child writes to its pipe.
        std::string format(const Fields& fields);

        /// The figures of a child's text (format's).
        Fields parse_fields(const std::string& text);

        /// Why a child did not finish, and its peak memory: "timed out (peak
        /// 812 MB)", or its message in place of "timed out".
        std::string failure_text(const ChildResult& result);
    }  // namespace bench
}  // namespace nodara

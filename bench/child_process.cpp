#include "child_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nodara
{
    namespace bench
    {
        namespace
        {
            void write_all(int fd, const std::string& text)
            {
                std::size_t done = 0;
                while (done < text.size())
                {
                    const auto n =
                        ::write(fd, text.data() + done, text.size() - done);
                    if (n <= 0)
                    {
                        return;
                    }
                    done += static_cast<std::size_t>(n);
                }
            }

            void drain(int fd, std::string& output)
            {
                char buffer[4096];
                ssize_t n;
                while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
                {
                    output.append(buffer, static_cast<std::size_t>(n));
                }
            }
        }  // namespace

        ChildResult run_in_child(const std::function<std::string()>& work,
                                 double seconds)
        {
            int fds[2];
            if (::pipe(fds) != 0)
            {
                return {};
            }
            const pid_t pid = ::fork();
            if (pid == 0)
            {
                ::close(fds[0]);
                int status = 0;
                try
                {
                    write_all(fds[1], work());
                }
                catch (const std::exception& error)
                {
                    write_all(fds[1], std::string{"error: "} + error.what());
                    status = 1;
                }
                ::close(fds[1]);
                std::_Exit(status);
            }
            ::close(fds[1]);
            ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
            ChildResult result;
            const auto deadline = std::chrono::steady_clock::now() +
                                  std::chrono::duration<double>(seconds);
            int status = 0;
            rusage usage{};
            while (::wait4(pid, &status, WNOHANG, &usage) == 0)
            {
                drain(fds[0], result.output);
                if (std::chrono::steady_clock::now() > deadline)
                {
                    ::kill(pid, SIGKILL);
                    ::wait4(pid, &status, 0, &usage);
                    result.timed_out = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            drain(fds[0], result.output);
            ::close(fds[0]);
            result.finished = !result.timed_out && WIFEXITED(status) &&
                              WEXITSTATUS(status) == 0;
            result.peak_rss_kb = usage.ru_maxrss;
            return result;
        }

        std::string failure_text(const ChildResult& result)
        {
            char peak[64];
            std::snprintf(peak, sizeof peak, " (peak %.0f MB)",
                          result.peak_rss_kb / 1024.0);
            return (result.timed_out ? std::string{"timed out"}
                                     : result.output) +
                   peak;
        }

        std::string format(const Fields& fields)
        {
            std::string text;
            for (const auto& field : fields)
            {
                char item[96];
                std::snprintf(item, sizeof item, "%s=%.17g ",
                              field.first.c_str(), field.second);
                text += item;
            }
            return text;
        }

        Fields parse_fields(const std::string& text)
        {
            Fields fields;
            std::stringstream stream{text};
            std::string item;
            while (stream >> item)
            {
                const auto equals = item.find('=');
                if (equals != std::string::npos)
                {
                    fields[item.substr(0, equals)] =
                        std::atof(item.c_str() + equals + 1);
                }
            }
            return fields;
        }
    }  // namespace bench
}  // namespace nodara

#include "reading/assimp_cage.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <new>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/cli_error.h"
#include "reading/assimp_reader.h"
#include "reading/mesh_format.h"
#include "reading/soup_transfer.h"

namespace tessaplan
{
    namespace
    {
        constexpr int child_out_of_memory = 3;
        constexpr std::size_t max_message_bytes = 1 << 16;

        // The limits of one read: room for the file many times over, and
        // time that grows with its size.
        struct Limits
        {
            rlim_t memory_bytes;
            rlim_t cpu_seconds;
            int wall_seconds;
        };

        Limits limits_for(std::uint64_t size)
        {
            constexpr std::uint64_t mib = 1 << 20;
            const std::uint64_t memory =
                std::min<std::uint64_t>(2048 * mib + 64 * size, 16384 * mib);
            const auto cpu = static_cast<rlim_t>(20 + size / mib);
            return {static_cast<rlim_t>(memory), cpu,
                    static_cast<int>(2 * cpu + 10)};
        }

        // The reader's name for messages: "the FBX reader".
        std::string reader_name(const std::string& path)
        {
            auto name = lower_extension(path);
            if (!name.empty())
            {
                name.erase(0, 1);
            }
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c)
                           { return static_cast<char>(std::toupper(c)); });
            if (name == "GLB" || name == "GLTF")
            {
                name = "glTF";
            }
            return "the " + (name.empty() ? std::string{"assimp"} : name) +
                   " reader";
        }

        std::string own_executable()
        {
            std::vector<char> buffer(4096);
            const auto length =
                ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
            if (length <= 0)
            {
                throw CliError{ExitCode::internal_error,
                               "cannot find the program's own file to read "
                               "with assimp"};
            }
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }

        struct Pipe
        {
            int read{-1};
            int write{-1};
        };

        Pipe make_pipe()
        {
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0)
            {
                throw CliError{ExitCode::internal_error,
                               std::string{"cannot start the reader: "} +
                                   std::strerror(errno)};
            }
            return {ends[0], ends[1]};
        }

        // In the child, between fork and exec: only async-signal-safe
        // calls. Never returns.
        [[noreturn]] void become_reader(const Pipe& out, const Pipe& err,
                                        const Limits& limits,
                                        const std::vector<char*>& arguments)
        {
            ::dup2(out.write, STDOUT_FILENO);
            ::dup2(err.write, STDERR_FILENO);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#if !defined(__SANITIZE_ADDRESS__)
            // AddressSanitizer reserves far more address space than it
            // uses: its builds run the child without a memory limit.
            const rlimit memory{limits.memory_bytes, limits.memory_bytes};
            ::setrlimit(RLIMIT_AS, &memory);
#endif
            const rlimit cpu{limits.cpu_seconds, limits.cpu_seconds + 5};
            ::setrlimit(RLIMIT_CPU, &cpu);
            const rlimit core{0, 0};
            ::setrlimit(RLIMIT_CORE, &core);
            ::execv(arguments[0], arguments.data());
            ::_exit(127);
        }

        // What the child wrote, until both pipes close or the deadline
        // passes (then the child is killed and `timed_out` set).
        void collect(pid_t child, int out, int err, int wall_seconds,
                     std::string& mesh, std::string& message, bool& timed_out)
        {
            const auto deadline = std::chrono::steady_clock::now() +
                                  std::chrono::seconds(wall_seconds);
            std::vector<pollfd> fds{{out, POLLIN, 0}, {err, POLLIN, 0}};
            std::vector<char> chunk(1 << 16);
            while (fds[0].fd >= 0 || fds[1].fd >= 0)
            {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0)
                {
                    ::kill(child, SIGKILL);
                    timed_out = true;
                    return;
                }
                if (::poll(fds.data(), fds.size(),
                           static_cast<int>(left.count())) < 0 &&
                    errno != EINTR)
                {
                    break;
                }
                for (std::size_t k = 0; k < fds.size(); ++k)
                {
                    if (fds[k].fd < 0 || fds[k].revents == 0)
                    {
                        continue;
                    }
                    const auto count =
                        ::read(fds[k].fd, chunk.data(), chunk.size());
                    if (count <= 0)
                    {
                        fds[k].fd = -1;
                        continue;
                    }
                    auto& target = k == 0 ? mesh : message;
                    if (k == 0 || message.size() < max_message_bytes)
                    {
                        target.append(chunk.data(),
                                      static_cast<std::size_t>(count));
                    }
                }
            }
        }

        // The last line the child wrote on standard error.
        std::string last_line(std::string text)
        {
            while (!text.empty() &&
                   (text.back() == '\n' || text.back() == '\r'))
            {
                text.pop_back();
            }
            const auto start = text.rfind('\n');
            return start == std::string::npos ? text : text.substr(start + 1);
        }

        [[noreturn]] void reader_failed(const std::string& path,
                                        const std::string& why)
        {
            throw CliError{ExitCode::invalid_input,
                           "cannot read '" + path + "': " + reader_name(path) +
                               " failed on this file (" + why + ")"};
        }

        // Turns the child's end into the soup or an error.
        PolygonSoup outcome(int status, bool timed_out, const Limits& limits,
                            const std::string& path, const std::string& mesh,
                            const std::string& message)
        {
            if (timed_out ||
                (WIFSIGNALED(status) &&
                 (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL)))
            {
                reader_failed(path, "it ran over its time limit of " +
                                        std::to_string(limits.cpu_seconds) +
                                        " s");
            }
            if (WIFSIGNALED(status))
            {
                reader_failed(path, std::string{"it crashed: "} +
                                        strsignal(WTERMSIG(status)));
            }
            const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
            // assimp catches its own std::bad_alloc and reports its name.
            if (code == child_out_of_memory ||
                message.find("std::bad_alloc") != std::string::npos)
            {
                reader_failed(path,
                              "it ran over its memory limit of " +
                                  std::to_string(limits.memory_bytes >> 20) +
                                  " MiB");
            }
            if (code == static_cast<int>(ExitCode::invalid_input))
            {
                throw CliError{ExitCode::invalid_input, last_line(message)};
            }
            if (code != 0)
            {
                reader_failed(path,
                              "it ended with status " + std::to_string(code));
            }
            return decode_soup(mesh, path);
        }
    }  // namespace

    PolygonSoup read_with_assimp_caged(const std::string& path,
                                       std::uint64_t size)
    {
        const auto limits = limits_for(size);
        auto executable = own_executable();
        std::string flag = assimp_child_argument;
        auto file = path;
        const std::vector<char*> arguments{executable.data(), flag.data(),
                                           file.data(), nullptr};
        const auto out = make_pipe();
        const auto err = make_pipe();
        const pid_t child = ::fork();
        if (child == 0)
        {
            become_reader(out, err, limits, arguments);
        }
        ::close(out.write);
        ::close(err.write);
        std::string mesh;
        std::string message;
        bool timed_out = false;
        if (child > 0)
        {
            collect(child, out.read, err.read, limits.wall_seconds, mesh,
                    message, timed_out);
        }
        ::close(out.read);
        ::close(err.read);
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) < 0)
        {
            throw CliError{ExitCode::internal_error,
                           "cannot start the reader of '" + path + "'"};
        }
        return outcome(status, timed_out, limits, path, mesh, message);
    }

    int run_assimp_child(const std::string& path)
    {
        try
        {
            const auto bytes = encode_soup(read_with_assimp(path));
            std::cout.write(bytes.data(),
                            static_cast<std::streamsize>(bytes.size()));
            std::cout.flush();
            return std::cout ? 0 : 1;
        }
        catch (const CliError& error)
        {
            std::cerr << error.what() << '\n';
            return static_cast<int>(ExitCode::invalid_input);
        }
        catch (const std::bad_alloc&)
        {
            return child_out_of_memory;
        }
        catch (const std::exception& error)
        {
            std::cerr << "cannot read '" << path << "': " << error.what()
                      << '\n';
            return static_cast<int>(ExitCode::invalid_input);
        }
    }
}  // namespace tessaplan

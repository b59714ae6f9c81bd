// Measures what this machine charges for memory that a process writes for
// the first time: seconds per GiB to fault in fresh anonymous memory with
// small pages and with transparent huge pages, on one thread and on two,
// and to write the same memory again once it is mapped. Large flattenings
// write several GiB that they never wrote before (the factor alone is most
// of the peak), so this sets a floor under their time on this machine.
//
//   first_touch_bench [--gib N] [--rounds N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <sys/mman.h>

namespace
{
    constexpr std::size_t page = 4096;

    // One anonymous mapping, unmapped when it goes out of scope.
    class Mapping
    {
    public:
        Mapping(std::size_t bytes, bool huge_pages) : bytes_(bytes)
        {
            void* data = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (data == MAP_FAILED)
            {
                std::perror("first_touch_bench: mmap");
                std::exit(1);
            }
            data_ = static_cast<char*>(data);
            if (huge_pages)
            {
                static_cast<void>(::madvise(data_, bytes, MADV_HUGEPAGE));
            }
        }
        ~Mapping() { ::munmap(data_, bytes_); }
        Mapping(const Mapping&) = delete;
        Mapping& operator=(const Mapping&) = delete;

        // Writes one byte of every small page, on `threads` threads that
        // each take an equal share; returns the seconds taken.
        double touch(int threads) const
        {
            const auto start = std::chrono::steady_clock::now();
            const auto share = bytes_ / static_cast<std::size_t>(threads);
            const auto write = [this, share](std::size_t begin)
            {
                for (auto at = begin; at < begin + share; at += page)
                {
                    data_[at] = 1;
                }
            };
            std::thread helper;
            if (threads == 2)
            {
                helper = std::thread{write, share};
            }
            write(0);
            if (helper.joinable())
            {
                helper.join();
            }
            return std::chrono::duration<double>(
                       std::chrono::steady_clock::now() - start)
                .count();
        }

    private:
        std::size_t bytes_;
        char* data_{nullptr};
    };

    [[noreturn]] void usage()
    {
        std::fprintf(stderr,
                     "usage: first_touch_bench [--gib N] "
                     "[--rounds N]\n");
        std::exit(2);
    }

    void measure(std::size_t gib, bool huge_pages, int threads)
    {
        const Mapping memory{gib << 30, huge_pages};
        const double first = memory.touch(threads);
        const double again = memory.touch(threads);
        std::printf(
            "%-6s pages, %d thread%s | first touch %6.3f s/GiB | "
            "written again %6.3f s/GiB\n",
            huge_pages ? "huge" : "small", threads, threads == 1 ? " " : "s",
            first / gib, again / gib);
    }
}  // namespace

int main(int argc, char** argv)
{
    std::size_t gib = 1;
    int rounds = 2;
    for (int i = 1; i < argc; ++i)
    {
        const std::string option = argv[i];
        if (i + 1 == argc)
        {
            usage();
        }
        const long value = std::atol(argv[++i]);
        if (value < 1 || (option != "--gib" && option != "--rounds"))
        {
            usage();
        }
        if (option == "--gib")
        {
            gib = static_cast<std::size_t>(value);
        }
        else
        {
            rounds = static_cast<int>(value);
        }
    }
    // Memory that was freed a few seconds ago may still be backed by the
    // host (3 s were measured too short here),
    // so each measurement waits before it maps fresh memory.
    for (int round = 0; round < rounds; ++round)
    {
        for (const bool huge_pages : {false, true})
        {
            for (const int threads : {1, 2})
            {
                std::this_thread::sleep_for(std::chrono::seconds{10});
                measure(gib, huge_pages, threads);
            }
        }
    }
}

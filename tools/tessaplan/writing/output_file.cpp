#include "writing/output_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/cli_error.h"
#include "cli/path_checks.h"

namespace tessaplan
{
    namespace
    {
        constexpr std::size_t buffer_capacity = 1 << 20;
        constexpr std::size_t max_name_in_temporary = 64;

        CliError write_error(const std::string& path)
        {
            return CliError{
                ExitCode::cannot_write_output,
                "cannot write '" + path + "': " + std::strerror(errno)};
        }

        // The temporary files not yet committed, for the signal handler: a
        // fixed table of C strings, read without locks or allocation.
        constexpr int nb_cleanup_slots = 16;
        std::atomic<const char*> cleanup_paths[nb_cleanup_slots];

        int register_for_cleanup(const char* path)
        {
            for (int slot = 0; slot < nb_cleanup_slots; ++slot)
            {
                const char* expected = nullptr;
                if (cleanup_paths[slot].compare_exchange_strong(expected, path))
                {
                    return slot;
                }
            }
            return -1;
        }

        void unregister_for_cleanup(int slot)
        {
            if (slot >= 0)
            {
                cleanup_paths[slot].store(nullptr);
            }
        }

        extern "C" void remove_outputs_and_exit(int signal)
        {
            for (auto& slot : cleanup_paths)
            {
                if (const char* path = slot.exchange(nullptr))
                {
                    ::unlink(path);
                }
            }
            ::_exit(128 + signal);
        }

        // The permissions open() would give a new file: 0666 less the
        // process's umask, which can only be read by setting it.
        mode_t new_file_mode()
        {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            return 0666 & ~mask;
        }
    }  // namespace

    OutputFile::OutputFile(std::string path) : path_(std::move(path))
    {
        const std::filesystem::path destination{path_};
        if (destination.filename().empty())
        {
            errno = EISDIR;
            throw write_error(path_);
        }
        check_replaceable(path_);
        auto folder = destination.parent_path();
        if (folder.empty())
        {
            folder = ".";
        }
        // At most 64 bytes of the name, so that the temporary name stays
        // within the system's limit however long the destination's is.
        auto pattern = (folder / ("." +
                                  destination.filename().string().substr(
                                      0, max_name_in_temporary) +
                                  ".XXXXXX"))
                           .string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        descriptor_ = ::mkstemp(name.data());
        if (descriptor_ < 0)
        {
            throw write_error(path_);
        }
        temporary_path_ = name.data();
        cleanup_slot_ = register_for_cleanup(temporary_path_.c_str());
        buffer_.reserve(buffer_capacity);
    }

    OutputFile::~OutputFile()
    {
        if (!committed_)
        {
            discard();
        }
    }

    void OutputFile::write(absl::string_view text)
    {
        buffer_.append(text.data(), text.size());
        if (buffer_.size() >= buffer_capacity)
        {
            flush();
        }
    }

    void OutputFile::flush()
    {
        std::size_t written = 0;
        while (written < buffer_.size())
        {
            const auto result = ::write(descriptor_, buffer_.data() + written,
                                        buffer_.size() - written);
            if (result < 0)
            {
                if (errno == EINTR)
                {
                    continue;
                }
                throw write_error(path_);
            }
            written += static_cast<std::size_t>(result);
        }
        buffer_.clear();
    }

    void OutputFile::finish()
    {
        if (descriptor_ < 0)
        {
            return;
        }
        try
        {
            flush();
            if (::fchmod(descriptor_, new_file_mode()) != 0 ||
                ::fsync(descriptor_) != 0)
            {
                throw write_error(path_);
            }
            const int descriptor = descriptor_;
            descriptor_ = -1;
            if (::close(descriptor) != 0)
            {
                throw write_error(path_);
            }
        }
        catch (...)
        {
            discard();
            throw;
        }
    }

    void OutputFile::commit()
    {
        finish();
        try
        {
            // Again: a FIFO or device may have appeared meanwhile.
            check_replaceable(path_);
            if (std::rename(temporary_path_.c_str(), path_.c_str()) != 0)
            {
                throw write_error(path_);
            }
            unregister_for_cleanup(cleanup_slot_);
            cleanup_slot_ = -1;
            committed_ = true;
        }
        catch (...)
        {
            discard();
            throw;
        }
    }

    void OutputFile::discard()
    {
        if (descriptor_ >= 0)
        {
            ::close(descriptor_);
            descriptor_ = -1;
        }
        if (!temporary_path_.empty())
        {
            unregister_for_cleanup(cleanup_slot_);
            cleanup_slot_ = -1;
            ::unlink(temporary_path_.c_str());
            temporary_path_.clear();
        }
    }

    void commit_together(std::initializer_list<OutputFile*> files)
    {
        for (auto* file : files)
        {
            if (file != nullptr)
            {
                file->finish();
            }
        }
        for (auto* file : files)
        {
            if (file != nullptr)
            {
                file->commit();
            }
        }
    }

    void remove_outputs_on_signals()
    {
        struct sigaction action
        {
        };
        action.sa_handler = remove_outputs_and_exit;
        sigemptyset(&action.sa_mask);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        {
            ::sigaction(signal, &action, nullptr);
        }
    }
}  // namespace tessaplan

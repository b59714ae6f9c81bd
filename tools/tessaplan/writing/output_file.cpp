#include "writing/output_file.h"

#include <cerrno>
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

    void OutputFile::commit()
    {
        try
        {
            flush();
            if (::fchmod(descriptor_, new_file_mode()) != 0 ||
                ::fsync(descriptor_) != 0)
            {
                throw write_error(path_);
            }
            // Again: a FIFO or device may have appeared meanwhile.
            check_replaceable(path_);
            const int descriptor = descriptor_;
            descriptor_ = -1;
            if (::close(descriptor) != 0 ||
                std::rename(temporary_path_.c_str(), path_.c_str()) != 0)
            {
                throw write_error(path_);
            }
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
            ::unlink(temporary_path_.c_str());
            temporary_path_.clear();
        }
    }
}  // namespace tessaplan

#include "reading/input_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/cli_error.h"

namespace tessaplan
{
    namespace
    {
        CliError open_error(const std::string& path, const std::string& why)
        {
            return CliError{ExitCode::cannot_open_input,
                            "cannot open '" + path + "': " + why};
        }

        // Closes the descriptor when the check is over.
        class Descriptor
        {
        public:
            explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
            Descriptor(const Descriptor&) = delete;
            Descriptor& operator=(const Descriptor&) = delete;
            ~Descriptor()
            {
                if (descriptor_ >= 0)
                {
                    ::close(descriptor_);
                }
            }
            int get() const { return descriptor_; }

        private:
            int descriptor_;
        };
    }  // namespace

    std::uint64_t check_input_file(const std::string& path)
    {
        // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
        // writer.
        const Descriptor file{
            ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
        if (file.get() < 0)
        {
            throw open_error(path, std::strerror(errno));
        }
        struct stat status
        {
        };
        if (::fstat(file.get(), &status) != 0)
        {
            throw open_error(path, std::strerror(errno));
        }
        if (S_ISDIR(status.st_mode))
        {
            throw open_error(path, "it is a folder");
        }
        if (!S_ISREG(status.st_mode))
        {
            throw open_error(path, "it is not a regular file");
        }
        return static_cast<std::uint64_t>(status.st_size);
    }
}  // namespace tessaplan

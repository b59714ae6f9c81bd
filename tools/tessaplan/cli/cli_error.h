#pragma once

#include <stdexcept>
#include <string>

namespace tessaplan
{
    /// The process exit status of the command, one per kind of failure.
    enum class ExitCode : int
    {
        success = 0,
        internal_error = 1,
        usage = 2,
        cannot_open_input = 3,
        invalid_input = 4,
        flattening_failed = 5,
        cannot_write_output = 6
    };

    /// A failure of the command, with the exit status it ends the process
    /// with and a one-line message for the user.
    class CliError : public std::runtime_error
    {
    public:
        CliError(ExitCode code, const std::string& message)
            : std::runtime_error(message), code_(code)
        {
        }

        ExitCode code() const { return code_; }

    private:
        ExitCode code_;
    };
}  // namespace tessaplan

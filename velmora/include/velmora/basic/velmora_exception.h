#pragma once

#include <stdexcept>
#include <string>

namespace nodara
{
    /// The exception type of every failure of the mesh-core layer and of the
    /// libraries built on it. The message starts with the failing operation
    /// in square brackets and is returned unchanged by what().
    class VelmoraException : public std::runtime_error
    {
    public:
        explicit VelmoraException(const std::string& message)
            : std::runtime_error(message)
        {
        }
    };

    /// A failure caused by what the caller passed: an argument or option
    /// out of range, arrays that do not match, or a surface the operation
    /// cannot handle as given (one that cannot be flattened without cuts,
    /// for example). The caller can mend it.
    class InvalidInputException : public VelmoraException
    {
    public:
        using VelmoraException::VelmoraException;
    };

    /// A failure of the computation itself on input it accepted: a solve
    /// that does not succeed, a result that fails its own check.
    class ComputationException : public VelmoraException
    {
    public:
        using VelmoraException::VelmoraException;
    };
}  // namespace nodara

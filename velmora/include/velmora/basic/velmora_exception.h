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
}  // namespace nodara

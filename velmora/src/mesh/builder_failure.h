#pragma once

#include <string>

#include <velmora/basic/velmora_exception.h>

namespace nodara
{
    /// Throws InvalidInputException "[TriangulatedSurfaceBuilder::operation]
    /// message": the builder's one kind of failure, a bad argument.
    [[noreturn]] inline void fail_in_builder(const char* operation,
                                             const char* message)
    {
        throw InvalidInputException{
            std::string{"[TriangulatedSurfaceBuilder::"} + operation + "] " +
            message};
    }
}  // namespace nodara

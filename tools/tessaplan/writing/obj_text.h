#pragma once

#include <cstdint>
#include <string>

namespace tessaplan
{
    /// Appends the shortest text that reads back as the same double.
    void append_obj_number(std::string& text, double value);

    /// Appends the 1-based OBJ reference of the 0-based `index`.
    void append_obj_index(std::string& text, std::uint64_t index);
}  // namespace tessaplan

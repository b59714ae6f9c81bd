#include "writing/obj_text.h"

#include <array>
#include <charconv>

namespace tessaplan
{
    void append_obj_number(std::string& text, double value)
    {
        std::array<char, 32> buffer{};
        const auto end =
            std::to_chars(buffer.data(), buffer.data() + buffer.size(), value)
                .ptr;
        text.append(buffer.data(), end);
    }

    void append_obj_index(std::string& text, std::uint64_t index)
    {
        std::array<char, 24> buffer{};
        const auto end = std::to_chars(buffer.data(),
                                       buffer.data() + buffer.size(), index + 1)
                             .ptr;
        text.append(buffer.data(), end);
    }
}  // namespace tessaplan

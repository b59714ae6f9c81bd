#include "reading/blank_to_space_buffer.h"

#include <algorithm>

namespace tessaplan
{
    BlankToSpaceBuffer::BlankToSpaceBuffer(std::istream& source)
        : source_(source)
    {
        setg(chunk_.data(), chunk_.data(), chunk_.data());
    }

    BlankToSpaceBuffer::int_type BlankToSpaceBuffer::underflow()
    {
        if (gptr() < egptr())
        {
            return traits_type::to_int_type(*gptr());
        }
        source_.read(chunk_.data(),
                     static_cast<std::streamsize>(chunk_.size()));
        const auto count = source_.gcount();
        if (count <= 0)
        {
            return traits_type::eof();
        }
        const auto end = chunk_.data() + count;
        std::replace_if(
            chunk_.data(), end,
            [](char c) { return c == '\t' || c == '\v' || c == '\f'; }, ' ');
        setg(chunk_.data(), chunk_.data(), end);
        return traits_type::to_int_type(*gptr());
    }
}  // namespace tessaplan

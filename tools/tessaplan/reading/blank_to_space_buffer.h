#pragma once

#include <array>
#include <istream>
#include <streambuf>

namespace tessaplan
{
    /// A read-only stream buffer that passes on the text of another stream
    /// with every tab, vertical tab and form feed turned into a space.
    /// CGAL's OBJ reader skips from one face corner to the next by looking
    /// for a space, so a face whose corners are separated by tabs would
    /// lose all but its first corner.
    class BlankToSpaceBuffer : public std::streambuf
    {
    public:
        /// Reads from `source`, which must outlive the buffer.
        explicit BlankToSpaceBuffer(std::istream& source);

    protected:
        int_type underflow() override;

    private:
        std::istream& source_;
        std::array<char, 1 << 16> chunk_{};
    };
}  // namespace tessaplan

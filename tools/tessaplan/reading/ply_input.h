#pragma once

#include <array>
#include <istream>
#include <streambuf>
#include <string>

namespace tessaplan
{
    /// A PLY file as CGAL's reader is given it. ASCII numbers are text, so
    /// every `float` property of an ASCII file is declared `double`: the
    /// reader then parses each number as written, in double precision,
    /// instead of rounding it to single precision first. A binary file
    /// passes unchanged, its floats at the precision they are stored in.
    class PlyInput
    {
    public:
        /// Reads the header from the start of `file`, which must outlive
        /// this object and must have passed check_ply_counts.
        explicit PlyInput(std::istream& file);
        PlyInput(const PlyInput&) = delete;
        PlyInput& operator=(const PlyInput&) = delete;

        /// The file, its header as rewritten, from its start.
        std::istream& stream() { return stream_; }

        /// Whether the vertices' coordinates are stored as binary floats.
        bool single_precision() const { return single_precision_; }

    private:
        // Serves the rewritten header, then the rest of the file.
        class SplicedBuffer : public std::streambuf
        {
        public:
            SplicedBuffer(std::string head, std::streambuf& rest);

        protected:
            int_type underflow() override;

        private:
            std::string head_;
            std::streambuf& rest_;
            bool head_served_{false};
            std::array<char, 1 << 16> chunk_{};
        };

        bool single_precision_{false};
        SplicedBuffer buffer_;
        std::istream stream_;
    };
}  // namespace tessaplan

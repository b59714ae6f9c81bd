#pragma once

#include <cstdint>
#include <string>

namespace tessaplan
{
    /// An sRGB colour, 8 bits per channel.
    struct Rgb
    {
        std::uint8_t red;
        std::uint8_t green;
        std::uint8_t blue;
    };

    /// The viridis colour scale (dark purple at 0, through blue and green, to
    /// yellow at 1), perceptually uniform and readable in grey and by most
    /// colour-blind readers. `t` is clamped to [0, 1]; NaN gives the colour
    /// at 0.
    Rgb viridis(double t);

    /// "#rrggbb".
    std::string hex_text(Rgb colour);
}  // namespace tessaplan

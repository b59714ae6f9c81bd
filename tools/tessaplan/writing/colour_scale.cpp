#include "writing/colour_scale.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tessaplan
{
    namespace
    {
        // matplotlib's viridis sampled at 17 evenly spaced points; linear
        // interpolation between them is indistinguishable from the full
        // table.
        constexpr std::array<Rgb, 17> viridis_stops{{{0x44, 0x01, 0x54},
                                                     {0x48, 0x18, 0x6a},
                                                     {0x47, 0x2d, 0x7b},
                                                     {0x42, 0x40, 0x86},
                                                     {0x3b, 0x52, 0x8b},
                                                     {0x33, 0x63, 0x8d},
                                                     {0x2c, 0x72, 0x8e},
                                                     {0x26, 0x82, 0x8e},
                                                     {0x21, 0x91, 0x8c},
                                                     {0x1f, 0xa0, 0x88},
                                                     {0x28, 0xae, 0x80},
                                                     {0x3f, 0xbc, 0x73},
                                                     {0x5e, 0xc9, 0x62},
                                                     {0x84, 0xd4, 0x4b},
                                                     {0xad, 0xdc, 0x30},
                                                     {0xd8, 0xe2, 0x19},
                                                     {0xfd, 0xe7, 0x25}}};

        std::uint8_t mix(std::uint8_t from, std::uint8_t to, double weight)
        {
            const double value = from + (to - from) * weight;
            return static_cast<std::uint8_t>(std::lround(value));
        }
    }  // namespace

    Rgb viridis(double t)
    {
        if (!(t > 0.0))
        {
            return viridis_stops.front();
        }
        if (t >= 1.0)
        {
            return viridis_stops.back();
        }
        const double position = t * (viridis_stops.size() - 1);
        const auto index = std::min(static_cast<std::size_t>(position),
                                    viridis_stops.size() - 2);
        const double weight = position - static_cast<double>(index);
        const auto& from = viridis_stops[index];
        const auto& to = viridis_stops[index + 1];
        return {mix(from.red, to.red, weight),
                mix(from.green, to.green, weight),
                mix(from.blue, to.blue, weight)};
    }

    std::string hex_text(Rgb colour)
    {
        constexpr char digits[] = "0123456789abcdef";
        std::string text{"#"};
        for (const auto channel : {colour.red, colour.green, colour.blue})
        {
            text += digits[channel >> 4];
            text += digits[channel & 0x0f];
        }
        return text;
    }
}  // namespace tessaplan

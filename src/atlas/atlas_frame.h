#pragma once

#include <memory>

#include <velmora/mesh/triangulated_surface.h>

namespace nodara
{
    /// The frame the atlas is computed in: the surface scaled by a power of
    /// two, exactly, so that its largest coordinate lies in [0.5, 1). The
    /// same surface at any power-of-two scale gives the same coordinates
    /// there, so the same atlas, and lengths, areas and texel counts stay
    /// far from the ends of the range of doubles.
    struct AtlasFrame
    {
        /// The surface's coordinates times 2^-exponent.
        int exponent{0};
        /// The scaled copy; null when the surface is already in the frame.
        std::unique_ptr<TriangulatedSurface<3>> scaled;

        /// The surface to compute on.
        const TriangulatedSurface<3>& surface(
            const TriangulatedSurface<3>& input) const
        {
            return scaled ? *scaled : input;
        }
    };

    /// The frame of `surface`, whose coordinates must be finite. Throws only
    /// std::bad_alloc.
    AtlasFrame atlas_frame(const TriangulatedSurface<3>& surface);
}  // namespace nodara

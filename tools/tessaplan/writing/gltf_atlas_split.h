#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tessaplan/seam_cut.h>
#include <tiny_gltf.h>

#include "reading/gltf_scene.h"
#include "writing/gltf_buffer_appender.h"

namespace tessaplan
{
    /// A vertex number for soup triangles that are not on the surface.
    constexpr std::uint64_t no_triangle = UINT64_MAX;

    /// Per soup triangle of `scene`, the surface triangle read_mesh made of
    /// it, or no_triangle for one with two corners joined into one vertex,
    /// which it left out. Throws CliError (internal_error) when the count
    /// differs from `nb_surface_triangles`.
    std::vector<std::uint64_t> surface_triangles(
        const GltfScene& scene, std::uint64_t nb_surface_triangles);

    /// The primitive `original` of `instance` (its accessors those of the
    /// appender's document) split along the seams of `cut`: one
    /// vertex per (primitive vertex, chart corner) its surface triangles
    /// use, with a copy of each of its attributes and morph targets'
    /// (POSITION with its bounds), texture coordinate set `uv_set` (u,
    /// 1 - v) from the cut's images, _ORIGINAL_INDEX (the primitive vertex,
    /// as a float), and new triangle indices; the triangles left out of the
    /// surface are left out. Throws CliError (cannot_write_output) naming
    /// `output` for a vertex number beyond a float's exact 2^24 or a value
    /// beyond single precision.
    tinygltf::Primitive split_primitive(
        const tinygltf::Primitive& original,
        const GltfPrimitiveInstance& instance,
        const std::vector<std::uint64_t>& surface_triangle,
        const nodara::SeamCut& cut, int uv_set, GltfBufferAppender& appender,
        const std::string& output);
}  // namespace tessaplan

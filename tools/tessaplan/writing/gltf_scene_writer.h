#pragma once

#include <string>
#include <vector>

#include <tessaplan/seam_cut.h>
#include <velmora/geometry/point.h>

#include "reading/mesh_reader.h"
#include "writing/output_file.h"

namespace tessaplan
{
    /// Whether the output of `mesh` to `output` keeps the input's glTF
    /// document: glTF input, a .gltf or .glb output, and not --flat.
    bool keeps_gltf_scene(const MeshReadResult& mesh, const std::string& output,
                          bool flat);

    /// Checks --uv-set before the work: a set other than 0 needs glTF input
    /// written as .gltf or .glb (see keeps_gltf_scene) whose primitives have
    /// the sets below it. Throws CliError: usage when the output does not
    /// keep a glTF document, invalid_input when a primitive lacks a set
    /// below.
    void check_uv_set(const MeshReadResult& mesh, const std::string& input,
                      const std::string& output, bool flat, int uv_set);

    /// Writes the glTF document of `scene` (read from `input`) with texture
    /// coordinate set `uv_set` added or replaced in every primitive it
    /// flattened: per primitive vertex, `uv` (one point per surface vertex)
    /// of its surface vertex, as (u, 1 - v). Everything else is kept: the
    /// buffers joined into one (a GLB's binary chunk, a .gltf's data: URI),
    /// embedded images moved into buffer views, the URIs of images in files
    /// made relative to the output's folder; the output's extension chooses
    /// GLB or JSON.
    /// Throws CliError: invalid_input when a primitive lacks a set below
    /// `uv_set`, cannot_write_output for a value beyond single precision or
    /// as OutputFile does.
    void write_gltf_scene_flattening(const GltfScene& scene,
                                     const std::vector<nodara::Point<2>>& uv,
                                     int uv_set, const std::string& input,
                                     OutputFile& file);

    /// Writes the glTF document of `scene` (read from `input`) with every
    /// primitive it flattened split along the seams of `cut` (see
    /// split_primitive). Everything else is kept, as by
    /// write_gltf_scene_flattening.
    /// Throws CliError as write_gltf_scene_flattening does.
    void write_gltf_scene_atlas(const GltfScene& scene,
                                const nodara::SeamCut& cut, int uv_set,
                                const std::string& input, OutputFile& file);
}  // namespace tessaplan

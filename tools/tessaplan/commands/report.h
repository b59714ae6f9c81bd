#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <tessaplan/atlas.h>
#include <tessaplan/distortion.h>

namespace tessaplan
{
    /// What every command reports of its input and where it writes.
    struct InputReport
    {
        std::string input;
        std::string output;
        /// Empty when no picture was asked for.
        std::string svg;
        std::string png;
        /// The input's format, and whether it was read in single
        /// precision.
        std::string format;
        bool single_precision{false};
        /// Whether node transforms placed the input's meshes.
        bool transforms_applied{false};
        /// Vertices joined into another at the same position.
        std::uint64_t joined_vertices{0};
        nodara::index_t vertices{0};
        nodara::index_t triangles{0};
        nodara::index_t border_edges{0};
        double read_seconds{0.0};
        /// Printed on standard error before the report.
        std::vector<std::string> warnings;
    };

    /// What one flattening did and measured.
    struct Report : InputReport
    {
        /// Triangles left out of the solve: with corners at fewer than
        /// three positions, and copies of an earlier one.
        nodara::index_t left_out_repeated_corners{0};
        nodara::index_t left_out_duplicates{0};
        double parameterize_seconds{0.0};
        double measure_seconds{0.0};
        double write_seconds{0.0};
        /// With the figures of every piece.
        nodara::DistortionSummary distortion{};
        /// With --pack: the pieces' boxes' share of the bounding square.
        std::optional<double> pack_fill;
        /// "lscm" or "arap", and with ARAP its iterations and whether its
        /// energy settled.
        std::string method{"lscm"};
        std::optional<nodara::index_t> arap_iterations;
        bool arap_converged{false};
    };

    /// What one atlas did and measured.
    struct AtlasReport : InputReport
    {
        nodara::Atlas atlas;
        /// Of the atlas's map, on the surface cut along its seams.
        nodara::DistortionSummary distortion{};
        double atlas_seconds{0.0};
        double write_seconds{0.0};
        /// Polygons written as their triangles because a seam crosses
        /// them.
        std::size_t nb_split_faces{0};
    };

    /// The report as a few aligned lines of text.
    void print_text_report(const Report& report, std::ostream& out);

    /// The report as one JSON object on one line; numbers that are not
    /// finite become null.
    void print_json_report(const Report& report, std::ostream& out);

    /// The atlas report as lines of text, or as one JSON object.
    void print_atlas_report(const AtlasReport& report, bool json,
                            std::ostream& out);

    /// The warnings of `report` on standard error, one line each.
    void print_warnings(const InputReport& report);
}  // namespace tessaplan

#include "commands/report.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "cli/printable_text.h"

namespace tessaplan
{
    namespace
    {
        // A picture's path, or null when none was asked for.
        nlohmann::json optional_path(const std::string& path)
        {
            return path.empty() ? nlohmann::json(nullptr)
                                : nlohmann::json(path);
        }

        nlohmann::json number_or_null(double value)
        {
            if (!std::isfinite(value))
            {
                return nullptr;
            }
            return value;
        }

        nlohmann::json statistics_json(
            const nodara::DistortionStatistics& statistics)
        {
            return {{"mean", number_or_null(statistics.mean)},
                    {"p95", number_or_null(statistics.p95)},
                    {"max", number_or_null(statistics.max)}};
        }

        std::string value_text(double value)
        {
            if (std::isnan(value))
            {
                return "n/a";
            }
            if (std::isinf(value))
            {
                return value > 0 ? "inf" : "-inf";
            }
            // Distortions are mostly a little above 1: show four decimals.
            char buffer[32];
            std::snprintf(buffer, sizeof buffer,
                          std::abs(value) < 1e4 ? "%.4f" : "%.4g", value);
            return buffer;
        }

        std::string seconds_text(double seconds)
        {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%.3f s", seconds);
            return buffer;
        }

        nlohmann::json pieces_json(
            const std::vector<nodara::PieceDistortion>& pieces)
        {
            auto list = nlohmann::json::array();
            for (const auto& piece : pieces)
            {
                list.push_back(
                    {{"triangles", piece.nb_triangles},
                     {"border_edges", piece.nb_border_edges},
                     {"closed", piece.closed()},
                     {"area_ratio", number_or_null(piece.area_ratio)},
                     {"length_scale", number_or_null(piece.length_scale())},
                     {"collapsed_triangles", piece.nb_collapsed_triangles}});
            }
            return {{"count", pieces.size()}, {"list", list}};
        }

        std::string piece_text(const nodara::PieceDistortion& piece)
        {
            char ratio[32];
            std::snprintf(ratio, sizeof ratio, "%.4g", piece.area_ratio);
            char length_scale[32];
            std::snprintf(length_scale, sizeof length_scale, "%.6g",
                          piece.length_scale());
            return std::to_string(piece.nb_triangles) + " triangles, " +
                   std::to_string(piece.nb_border_edges) + " border edges, " +
                   (piece.closed() ? "closed" : "open") + ", area ratio " +
                   ratio + ", length scale " + length_scale +
                   (piece.nb_collapsed_triangles > 0
                        ? ", " + std::to_string(piece.nb_collapsed_triangles) +
                              " collapsed triangles"
                        : "");
        }

        std::string statistics_text(
            const nodara::DistortionStatistics& statistics)
        {
            return "mean " + value_text(statistics.mean) + ", p95 " +
                   value_text(statistics.p95) + ", max " +
                   value_text(statistics.max);
        }

        // The keys both commands report of their input and outputs, with
        // the paths as given.
        nlohmann::json input_json(const InputReport& report,
                                  const std::string& input,
                                  const std::string& output)
        {
            return {{"input", input},
                    {"output", output},
                    {"svg", optional_path(report.svg)},
                    {"png", optional_path(report.png)},
                    {"format", report.format},
                    {"single_precision", report.single_precision},
                    {"transforms_applied", report.transforms_applied},
                    {"joined_vertices", report.joined_vertices},
                    {"vertices", report.vertices}};
        }

        // The number of charts on each page of the atlas.
        std::vector<std::size_t> charts_per_page(const nodara::Atlas& atlas)
        {
            std::vector<std::size_t> counts(atlas.nb_pages, 0);
            std::vector<bool> counted(atlas.charts.size(), false);
            for (std::size_t t = 0; t < atlas.triangle_chart.size(); ++t)
            {
                const auto chart = atlas.triangle_chart[t];
                counts[atlas.triangle_page[t]] += counted[chart] ? 0 : 1;
                counted[chart] = true;
            }
            return counts;
        }

        // The charts made each way: cut by the atlas, given (flattened
        // again) and kept (an island's own map).
        std::array<std::size_t, 3> chart_sources(const nodara::Atlas& atlas)
        {
            std::array<std::size_t, 3> counts{};
            for (const auto& chart : atlas.charts)
            {
                ++counts[static_cast<std::size_t>(chart.source)];
            }
            return counts;
        }

        std::string counts_text(const std::vector<std::size_t>& counts)
        {
            std::string text;
            for (const auto count : counts)
            {
                text += (text.empty() ? "" : ", ") + std::to_string(count);
            }
            return text;
        }

        void print_atlas_json(const AtlasReport& report, std::ostream& out)
        {
            const auto& a = report.atlas;
            const auto& d = report.distortion;
            auto json = input_json(report, printable(report.input),
                                   printable(report.output));
            json.update(nlohmann::json{
                {"triangles", a.triangle_chart.size()},
                {"charts", a.charts.size()},
                {"pages", a.nb_pages},
                {"charts_per_page", charts_per_page(a)},
                {"seam_edges", a.nb_seam_edges},
                {"chart_sources",
                 {{"cut", chart_sources(a)[0]},
                  {"given", chart_sources(a)[1]},
                  {"kept", chart_sources(a)[2]}}},
                {"efficiency", number_or_null(a.efficiency)},
                {"conformal_distortion", statistics_json(d.conformal)},
                {"area_distortion", statistics_json(d.area)},
                {"area_p95", number_or_null(a.area_p95)},
                {"flipped_triangles", a.check.nb_flipped_triangles},
                {"overlapping_pairs", a.check.nb_overlapping_pairs},
                {"degenerate_triangles", a.nb_degenerate_triangles},
                {"faces_split_at_seams", report.nb_split_faces},
                {"texels_per_unit", number_or_null(a.texels_per_unit)},
                {"warnings", report.warnings},
                {"seconds",
                 {{"read", report.read_seconds},
                  {"atlas", report.atlas_seconds},
                  {"write", report.write_seconds}}}});
            out << json.dump() << '\n';
        }

        void print_atlas_text(const AtlasReport& report, std::ostream& out)
        {
            const auto& a = report.atlas;
            const auto sources = chart_sources(a);
            const auto& d = report.distortion;
            out << "input                 " << printable(report.input) << '\n'
                << "triangles             " << a.triangle_chart.size() << '\n'
                << "charts                " << a.charts.size() << '\n'
                << "pages                 " << a.nb_pages
                << " (charts: " << counts_text(charts_per_page(a)) << ")\n"
                << "seam edges            " << a.nb_seam_edges << '\n'
                << "charts made           " << sources[0] << " cut, "
                << sources[1] << " given, " << sources[2] << " kept\n"
                << "texels per unit       " << a.texels_per_unit << '\n'
                << "efficiency            " << 100.0 * a.efficiency
                << " % of the " << (a.nb_pages > 1 ? "pages" : "square") << '\n'
                << "conformal distortion  mean " << d.conformal.mean << ", p95 "
                << d.conformal.p95 << ", max " << d.conformal.max << '\n'
                << "area distortion       mean " << d.area.mean << ", p95 "
                << d.area.p95 << ", max " << d.area.max << '\n'
                << "area both ways        p95 " << a.area_p95 << '\n'
                << "flipped triangles     " << a.check.nb_flipped_triangles
                << '\n'
                << "overlapping pairs     " << a.check.nb_overlapping_pairs
                << '\n'
                << "zero-area triangles   " << a.nb_degenerate_triangles << '\n'
                << "faces split at seams  " << report.nb_split_faces << '\n'
                << "seconds               read " << report.read_seconds
                << ", atlas " << report.atlas_seconds << ", write "
                << report.write_seconds << '\n'
                << "output                " << printable(report.output) << '\n';
        }

    }  // namespace

    void print_text_report(const Report& report, std::ostream& out)
    {
        const auto line = [&out](const char* label, const std::string& value)
        {
            char padded[32];
            std::snprintf(padded, sizeof padded, "%-22s", label);
            out << padded << value << '\n';
        };
        line("input", printable(report.input));
        line("output", printable(report.output));
        if (!report.svg.empty())
        {
            line("picture", printable(report.svg));
        }
        if (!report.png.empty())
        {
            line("PNG picture", printable(report.png));
        }
        line("format",
             report.format + (report.single_precision ? " (single precision)"
                                                      : " (double precision)"));
        line("joined vertices", std::to_string(report.joined_vertices));
        line("vertices", std::to_string(report.vertices));
        line("triangles", std::to_string(report.triangles));
        line("border edges", std::to_string(report.border_edges));
        if (report.transforms_applied)
        {
            line("node transforms", "applied");
        }
        line("left out of solve",
             std::to_string(report.left_out_repeated_corners) +
                 " with repeated corners, " +
                 std::to_string(report.left_out_duplicates) + " duplicates");
        const auto& pieces = report.distortion.pieces;
        line("pieces", std::to_string(pieces.size()));
        for (std::size_t p = 0; p < pieces.size(); ++p)
        {
            line(("  piece " + std::to_string(p)).c_str(),
                 piece_text(pieces[p]));
        }
        line("time", "read " + seconds_text(report.read_seconds) +
                         ", flatten " +
                         seconds_text(report.parameterize_seconds) +
                         ", measure " + seconds_text(report.measure_seconds) +
                         ", write " + seconds_text(report.write_seconds));
        line("conformal distortion",
             statistics_text(report.distortion.conformal));
        line("area distortion", statistics_text(report.distortion.area));
        line("length distortion", statistics_text(report.distortion.length));
        if (report.arap_iterations)
        {
            line("ARAP iterations",
                 std::to_string(*report.arap_iterations) +
                     (report.arap_converged ? " (settled)"
                                            : " (bound reached)"));
        }
        line("flipped triangles",
             std::to_string(report.distortion.nb_flipped_triangles));
        line("collapsed triangles",
             std::to_string(report.distortion.nb_collapsed_triangles));
        line("zero-area triangles",
             std::to_string(report.distortion.nb_degenerate_triangles));
        if (report.pack_fill)
        {
            char fill[32];
            std::snprintf(fill, sizeof fill, "%.1f %% of the bounding square",
                          100.0 * *report.pack_fill);
            line("packing fill", fill);
        }
    }

    void print_json_report(const Report& report, std::ostream& out)
    {
        auto json = input_json(report, report.input, report.output);
        json.update(nlohmann::json{
            {"triangles", report.triangles},
            {"border_edges", report.border_edges},
            {"left_out_triangles",
             {{"repeated_corners", report.left_out_repeated_corners},
              {"duplicates", report.left_out_duplicates}}},
            {"pieces", pieces_json(report.distortion.pieces)},
            {"seconds",
             {{"read", report.read_seconds},
              {"parameterize", report.parameterize_seconds},
              {"measure", report.measure_seconds},
              {"write", report.write_seconds}}},
            {"conformal_distortion",
             statistics_json(report.distortion.conformal)},
            {"area_distortion", statistics_json(report.distortion.area)},
            {"length_distortion", statistics_json(report.distortion.length)},
            {"method", report.method},
            {"arap_iterations", report.arap_iterations
                                    ? nlohmann::json(*report.arap_iterations)
                                    : nlohmann::json(nullptr)},
            {"arap_converged", report.arap_iterations
                                   ? nlohmann::json(report.arap_converged)
                                   : nlohmann::json(nullptr)},
            {"flipped_triangles", report.distortion.nb_flipped_triangles},
            {"collapsed_triangles", report.distortion.nb_collapsed_triangles},
            {"degenerate_triangles", report.distortion.nb_degenerate_triangles},
            {"pack_fill", report.pack_fill ? number_or_null(*report.pack_fill)
                                           : nlohmann::json(nullptr)},
            {"warnings", report.warnings}});
        // Replace, rather than fail on, bytes of file names that are not
        // UTF-8.
        out << json.dump(-1, ' ', false,
                         nlohmann::json::error_handler_t::replace)
            << '\n';
    }

    void print_atlas_report(const AtlasReport& report, bool json,
                            std::ostream& out)
    {
        if (json)
        {
            print_atlas_json(report, out);
        }
        else
        {
            print_atlas_text(report, out);
        }
    }

    void print_warnings(const InputReport& report)
    {
        for (const auto& warning : report.warnings)
        {
            std::cerr << "tessaplan: warning: " << printable(warning) << '\n';
        }
    }
}  // namespace tessaplan

// Python module measuring the distortion of a parameterization of a surface
// of velmora_py_mesh (found through pybind11's shared registry): per-triangle
// numpy arrays and the summary statistics, for a parameterization stored on
// the surface as a vertex attribute, given as an array, or computed here.

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <absl/strings/string_view.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <tessaplan/cut_flattening.h>
#include <tessaplan/distortion.h>
#include <tessaplan/lscm.h>
#include <tessaplan/surface_flattening.h>
#include <velmora/geometry/point.h>

#include "gil.h"
#include "seam_edges.h"
#include "velmora_py_types.h"

namespace py = pybind11;

namespace
{
    py::array_t<double> to_array(const std::vector<double>& values)
    {
        return py::array_t<double>(static_cast<py::ssize_t>(values.size()),
                                   values.data());
    }

    py::array_t<bool> to_array(const std::vector<bool>& values)
    {
        py::array_t<bool> array(static_cast<py::ssize_t>(values.size()));
        auto view = array.mutable_unchecked<1>();
        for (std::size_t i = 0; i < values.size(); ++i)
        {
            view(static_cast<py::ssize_t>(i)) = values[i];
        }
        return array;
    }

    py::array_t<nodara::index_t> to_array(
        const std::vector<nodara::index_t>& values)
    {
        return py::array_t<nodara::index_t>(
            static_cast<py::ssize_t>(values.size()), values.data());
    }

    /// The figures of every piece as arrays indexed by piece.
    py::dict pieces_dict(const std::vector<nodara::PieceDistortion>& pieces)
    {
        std::vector<nodara::index_t> triangles;
        std::vector<nodara::index_t> border_edges;
        std::vector<nodara::index_t> collapsed_triangles;
        std::vector<double> area_ratio;
        std::vector<double> length_scale;
        std::vector<bool> closed;
        std::vector<bool> collapsed;
        for (const auto& piece : pieces)
        {
            triangles.push_back(piece.nb_triangles);
            border_edges.push_back(piece.nb_border_edges);
            collapsed_triangles.push_back(piece.nb_collapsed_triangles);
            area_ratio.push_back(piece.area_ratio);
            length_scale.push_back(piece.length_scale());
            closed.push_back(piece.closed());
            collapsed.push_back(piece.collapsed);
        }
        py::dict result;
        result["count"] = pieces.size();
        result["triangles"] = to_array(triangles);
        result["border_edges"] = to_array(border_edges);
        result["closed"] = to_array(closed);
        result["area_ratio"] = to_array(area_ratio);
        result["length_scale"] = to_array(length_scale);
        result["collapsed_triangles"] = to_array(collapsed_triangles);
        result["collapsed"] = to_array(collapsed);
        return result;
    }

    py::dict statistics_dict(const nodara::DistortionStatistics& statistics)
    {
        py::dict result;
        result["mean"] = statistics.mean;
        result["p95"] = statistics.p95;
        result["max"] = statistics.max;
        return result;
    }

    py::dict summary_dict(const nodara::DistortionSummary& summary)
    {
        py::dict result;
        result["conformal"] = statistics_dict(summary.conformal);
        result["area"] = statistics_dict(summary.area);
        result["length"] = statistics_dict(summary.length);
        result["flipped_triangles"] = summary.nb_flipped_triangles;
        result["degenerate_triangles"] = summary.nb_degenerate_triangles;
        result["collapsed_triangles"] = summary.nb_collapsed_triangles;
        result["pieces"] = pieces_dict(summary.pieces);
        return result;
    }

    py::dict distortions_dict(const nodara::TriangleDistortions& distortions)
    {
        py::dict result;
        result["conformal"] = to_array(distortions.conformal);
        result["area"] = to_array(distortions.area);
        result["sigma1"] = to_array(distortions.sigma1);
        result["sigma2"] = to_array(distortions.sigma2);
        result["length"] = to_array(distortions.length);
        result["signed_image_area"] = to_array(distortions.signed_image_area);
        result["flipped"] = to_array(distortions.flipped);
        result["degenerate"] = to_array(distortions.degenerate);
        result["collapsed"] = to_array(distortions.collapsed);
        result["piece"] = to_array(distortions.piece);
        result["summary"] =
            summary_dict(nodara::summarize_distortions(distortions));
        return result;
    }

    py::dict distortions_of_attribute(
        const nodara::TriangulatedSurface<3>& surface,
        absl::string_view attribute_name)
    {
        return distortions_dict(
            nodara::compute_triangle_distortions(surface, attribute_name));
    }

    /// A C-ordered, aligned float64 array: numpy copies a misaligned one
    /// (a view into a byte buffer at an odd offset) rather than handing over
    /// doubles that cannot be read in place.
    using UvArray =
        py::array_t<double, py::array::c_style |
                                py::detail::npy_api::NPY_ARRAY_ALIGNED_>;

    /// `uv` as a C-ordered float64 array of shape (nb_vertices, 2) with
    /// finite values. Throws TypeError when it does not hold real numbers and
    /// ValueError for another shape or for a value that is not finite (the
    /// message names the first bad row).
    UvArray checked_uv(const py::object& uv, nodara::index_t nb_vertices)
    {
        const auto array =
            py::module_::import("numpy").attr("asarray")(uv).cast<py::array>();
        const std::string kind(1, array.dtype().kind());
        if (std::string("fiu").find(kind) == std::string::npos)
        {
            throw py::type_error("uv must hold real numbers, got dtype " +
                                 std::string(py::str(array.dtype())));
        }
        if (array.ndim() != 2 ||
            array.shape(0) != static_cast<py::ssize_t>(nb_vertices) ||
            array.shape(1) != 2)
        {
            throw py::value_error("uv must have shape (" +
                                  std::to_string(nb_vertices) +
                                  ", 2), one row per vertex, got " +
                                  std::string(py::str(array.attr("shape"))));
        }
        UvArray converted(array);
        const auto rows = converted.unchecked<2>();
        for (py::ssize_t row = 0; row < rows.shape(0); ++row)
        {
            if (!std::isfinite(rows(row, 0)) || !std::isfinite(rows(row, 1)))
            {
                throw py::value_error("uv row " + std::to_string(row) +
                                      " has a coordinate that is not finite");
            }
        }
        return converted;
    }

    py::dict distortions_of_uv(const nodara::TriangulatedSurface<3>& surface,
                               const py::object& uv)
    {
        const auto nb_vertices = surface.nb_vertices();
        const auto values = checked_uv(uv, nb_vertices);
        const auto rows = values.unchecked<2>();
        std::vector<nodara::Point<2>> points;
        points.reserve(nb_vertices);
        for (nodara::index_t v = 0; v < nb_vertices; ++v)
        {
            points.push_back(nodara::Point<2>{{rows(v, 0), rows(v, 1)}});
        }
        return distortions_dict(tessaplan_python::without_gil(
            [&]
            { return nodara::compute_triangle_distortions(surface, points); }));
    }

    py::array_t<double> map_array(const std::vector<nodara::Point<2>>& map)
    {
        py::array_t<double> array({static_cast<py::ssize_t>(map.size()),
                                   static_cast<py::ssize_t>(2)});
        auto rows = array.mutable_unchecked<2>();
        for (std::size_t v = 0; v < map.size(); ++v)
        {
            rows(static_cast<py::ssize_t>(v), 0) = map[v][0];
            rows(static_cast<py::ssize_t>(v), 1) = map[v][1];
        }
        return array;
    }

    nodara::FlatteningMethod flattening_method(const std::string& method)
    {
        if (method == "lscm")
        {
            return nodara::FlatteningMethod::lscm;
        }
        if (method == "arap")
        {
            return nodara::FlatteningMethod::arap;
        }
        throw py::value_error("method must be 'lscm' or 'arap', got '" +
                              method + "'");
    }

    nodara::FlatteningScale flattening_scale(const std::string& scale)
    {
        if (scale == "pins")
        {
            return nodara::FlatteningScale::pins;
        }
        if (scale == "area")
        {
            return nodara::FlatteningScale::area;
        }
        throw py::value_error("scale must be 'pins' or 'area', got '" + scale +
                              "'");
    }

    // The pins as (k,) vertex ids and (k, 2) positions, which the package
    // has checked for shape and type.
    std::vector<nodara::VertexPin> vertex_pins(
        const py::array_t<std::int64_t,
                          py::array::c_style | py::array::forcecast>& vertices,
        const py::array_t<double, py::array::c_style | py::array::forcecast>&
            positions)
    {
        if (vertices.ndim() != 1 || positions.ndim() != 2 ||
            positions.shape(1) != 2 || positions.shape(0) != vertices.shape(0))
        {
            throw py::value_error(
                "pins need (k,) vertex indices and (k, 2) positions");
        }
        const auto ids = vertices.unchecked<1>();
        const auto at = positions.unchecked<2>();
        std::vector<nodara::VertexPin> pins;
        for (py::ssize_t k = 0; k < ids.shape(0); ++k)
        {
            if (ids(k) < 0 ||
                ids(k) > std::numeric_limits<nodara::index_t>::max())
            {
                throw py::value_error(
                    "pin " + std::to_string(k) + " names vertex " +
                    std::to_string(ids(k)) + ", not a vertex index");
            }
            pins.push_back({static_cast<nodara::index_t>(ids(k)),
                            nodara::Point<2>{{at(k, 0), at(k, 1)}}});
        }
        return pins;
    }

    py::array_t<double> corners_array(const nodara::CornerMap& corners)
    {
        py::array_t<double> array({static_cast<py::ssize_t>(corners.size()),
                                   static_cast<py::ssize_t>(3),
                                   static_cast<py::ssize_t>(2)});
        auto view = array.mutable_unchecked<3>();
        for (std::size_t t = 0; t < corners.size(); ++t)
        {
            for (int k = 0; k < 3; ++k)
            {
                view(static_cast<py::ssize_t>(t), k, 0) = corners[t][k][0];
                view(static_cast<py::ssize_t>(t), k, 1) = corners[t][k][1];
            }
        }
        return array;
    }

    py::dict flattening_dict(const nodara::SurfaceFlattening& flattening)
    {
        py::dict result;
        result["map"] = map_array(flattening.map);
        result["left_out"] = to_array(flattening.selection.left_out);
        result["repeated_corner_triangles"] =
            flattening.selection.nb_repeated_corners;
        result["duplicate_triangles"] = flattening.selection.nb_duplicates;
        result["summary"] = summary_dict(flattening.summary);
        result["pack_fill"] = flattening.pack_fill;
        result["arap_iterations"] = flattening.arap_iterations;
        result["arap_converged"] = flattening.arap_converged;
        return result;
    }

    py::dict checked_flattening(
        const nodara::TriangulatedSurface<3>& surface, bool pack,
        const std::string& scale,
        const py::array_t<std::int64_t, py::array::c_style |
                                            py::array::forcecast>& pin_vertices,
        const py::array_t<double, py::array::c_style | py::array::forcecast>&
            pin_positions,
        const std::string& method, const py::object& seams)
    {
        const nodara::FlattenOptions options{
            pack, flattening_scale(scale),
            vertex_pins(pin_vertices, pin_positions),
            flattening_method(method)};
        if (seams.is_none())
        {
            return flattening_dict(tessaplan_python::without_gil(
                [&] { return nodara::flatten_surface(surface, options); }));
        }
        const auto edges = tessaplan_python::seam_edges(seams);
        const auto cut = tessaplan_python::without_gil(
            [&]
            { return nodara::flatten_cut_surface(surface, edges, options); });
        auto result = flattening_dict(cut.flattening);
        result["corners"] = corners_array(cut.corners);
        result["cut_source"] = to_array(cut.cut.source);
        return result;
    }

    py::dict distortions_of_flattening(
        const nodara::TriangulatedSurface<3>& surface)
    {
        return distortions_dict(tessaplan_python::without_gil(
            [&]
            {
                return nodara::compute_triangle_distortions(
                    surface, nodara::compute_LSCM_map(surface));
            }));
    }
}  // namespace

PYBIND11_MODULE(tessaplan_py_distortion, m)
{
    // The library's exceptions become the classes tessaplan_py_surface
    // defines.
    py::module_::import("tessaplan_py_surface");

    m.doc() =
        "Distortion of a parameterization of a TriangulatedSurface3D: "
        "per-triangle measures as numpy arrays and their summary.";

    const char* const result_doc =
        "Returns a dict of numpy arrays indexed by triangle: 'conformal' "
        "(float64, sigma1 / sigma2 >= 1 of the map from the triangle to its "
        "image; inf when the image has zero area), 'area' (float64, the "
        "triangle's share of the image area over its share of the 3D area; "
        "NaN everywhere when the image area is zero), 'sigma1' and "
        "'sigma2' (float64, the singular values of that map, the most and "
        "least it stretches lengths), 'length' (float64, max(sigma1, 1 / "
        "sigma2) >= 1, 1 when lengths are kept), 'signed_image_area' "
        "(float64, positive when the image turns counter-clockwise), "
        "'flipped' (bool, turns against the majority of its piece, read in "
        "the piece's consistent orientation, or zero image area), "
        "'degenerate' (bool, zero 3D area: its measures are NaN and it is "
        "never flipped or collapsed), 'collapsed' (bool, image area below "
        "1e-12 of the 3D area) and 'piece' (uint32, its piece: triangles "
        "joined through edges shared by exactly two triangles); and "
        "'summary': {'conformal': {'mean', 'p95', 'max'}, 'area': {...}, "
        "'length': {...}, "
        "'flipped_triangles', 'degenerate_triangles', "
        "'collapsed_triangles', 'pieces': {'count', and arrays indexed by "
        "piece: 'triangles', 'border_edges' (sides with no triangle across, "
        "or more than one), 'closed', 'area_ratio' (image area over 3D "
        "area), 'collapsed_triangles', 'collapsed' (area ratio below 1e-12 "
        "or NaN)}}, the statistics over the non-degenerate triangles, p95 "
        "by nearest rank (the smallest value that at least 95 % of the "
        "values do not exceed); NaN when no triangle counts.";

    const std::string attribute_doc =
        std::string(
            "Distortion of the parameterization stored on `surface` as "
            "its Point<2> vertex attribute `attribute_name` (a str or "
            "StringView). ") +
        result_doc +
        " Raises RuntimeError with the library's message when the attribute "
        "is missing or holds another value type.";
    m.def("compute_triangle_distortions", &distortions_of_attribute,
          py::arg("surface"), py::arg("attribute_name"), attribute_doc.c_str());

    const std::string uv_doc =
        std::string(
            "Distortion of the parameterization `uv`, an (n, 2) "
            "array-like of real numbers whose row v is the image of "
            "vertex v; the surface is left as it was. ") +
        result_doc +
        " Raises TypeError when `uv` does not hold real numbers, and "
        "ValueError for another shape or a value that is not finite (the "
        "message names the first bad row).";
    m.def("compute_uv_distortions", &distortions_of_uv, py::arg("surface"),
          py::arg("uv"), uv_doc.c_str());

    const std::string flattening_doc =
        std::string(
            "Distortion of the least squares conformal map of `surface` "
            "(compute_LSCM_map); the surface is left as it was. ") +
        result_doc +
        " Raises RuntimeError with the library's message when the map "
        "cannot be computed.";
    m.def("compute_flattening_distortions", &distortions_of_flattening,
          py::arg("surface"), flattening_doc.c_str());

    m.def("compute_checked_flattening", &checked_flattening, py::arg("surface"),
          py::arg("pack") = false, py::arg("scale") = "pins",
          py::arg("pin_vertices") = py::array_t<std::int64_t>(0),
          py::arg("pin_positions") =
              py::array_t<double>(std::vector<py::ssize_t>{0, 2}),
          py::arg("method") = "lscm", py::arg("seams") = py::none(),
          "The least squares conformal map of `surface` as tessaplan.flatten "
          "computes it: triangles whose corners lie at fewer than three "
          "distinct positions, and copies of an earlier triangle (either way "
          "round), are left out of the solve; a vertex only they use takes "
          "the map of a solved vertex at its position, else its projection. "
          "With `pack`, the pieces are laid out side by side (as "
          "pack_pieces does) before the map is measured. With `scale` "
          "'area', each group of pieces joined through vertices is scaled "
          "about its centroid so that its flat area equals its 3D area "
          "(true size); 'pins' (the default) keeps the pins' scale; any "
          "other value raises ValueError. `pin_vertices` ((k,) integers) "
          "and `pin_positions` ((k, 2) floats) pin those vertices at those "
          "positions as nodara::solve_LSCM does (a piece with two or more "
          "uses exactly those); a bad pin raises InvalidInputError (a "
          "ValueError) naming it. `method` 'arap' makes the map as rigid as "
          "possible (nodara::solve_ARAP from the LSCM map; no pins), 'lscm' "
          "(the default) keeps it conformal; the dict then also holds "
          "'arap_iterations' and 'arap_converged'. With `seams` ((k, 2) "
          "vertex pairs, edges of the surface) the surface is cut open along "
          "them first (nodara::flatten_cut_surface): 'map' and the summary "
          "are then those of the cut surface, 'cut_source' gives each of its "
          "vertices' source vertex and 'corners' ((m, 3, 2) float64) the "
          "images of every triangle's corners. "
          "Returns a dict: 'map' ((n, 2) float64), 'left_out' (bool per "
          "triangle), 'repeated_corner_triangles' and 'duplicate_triangles' "
          "(the counts left out), 'pack_fill' (0 without `pack`) and "
          "'summary' (as compute_triangle_"
          "distortions gives it, over the solved triangles). Raises "
          "tessaplan_py_surface.FlatteningError (a ValueError and a "
          "RuntimeError) naming the piece when a piece collapsed or its "
          "solve failed, InvalidInputError (a ValueError) for other bad "
          "input and TessaplanError (a RuntimeError) for failures of the "
          "computation.");
}

// Python module of the texture atlas of a surface of velmora_py_mesh (found
// through pybind11's shared registry and taken out of its Python object as
// velmora_py_types.h says): the chart of every triangle and the
// image of every triangle corner as numpy arrays, and the exact check of any
// such corner map.

#include <cmath>
#include <cstdint>
#include <string>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <tessaplan/atlas.h>
#include <tessaplan/seam_cut.h>

#include "gil.h"
#include "seam_edges.h"
#include "velmora_py_types.h"

namespace py = pybind11;

namespace
{
    /// `corner_uv` as a C-ordered float64 array of shape (nb_triangles, 3,
    /// 2). Throws TypeError when it does not hold real numbers and
    /// ValueError for another shape.
    nodara::CornerMap checked_corners(const py::object& corner_uv,
                                      nodara::index_t nb_triangles)
    {
        const auto array = py::module_::import("numpy")
                               .attr("asarray")(corner_uv)
                               .cast<py::array>();
        const std::string kind(1, array.dtype().kind());
        if (std::string("fiu").find(kind) == std::string::npos)
        {
            throw py::type_error(
                "corner_uv must hold real numbers, got dtype " +
                std::string(py::str(array.dtype())));
        }
        if (array.ndim() != 3 ||
            array.shape(0) != static_cast<py::ssize_t>(nb_triangles) ||
            array.shape(1) != 3 || array.shape(2) != 2)
        {
            throw py::value_error("corner_uv must have shape (" +
                                  std::to_string(nb_triangles) +
                                  ", 3, 2), one row per triangle, got " +
                                  std::string(py::str(array.attr("shape"))));
        }
        // Aligned: numpy copies a misaligned array rather than hand over
        // doubles that cannot be read in place.
        py::array_t<double, py::array::c_style |
                                py::detail::npy_api::NPY_ARRAY_ALIGNED_>
            converted(array);
        const auto values = converted.unchecked<3>();
        nodara::CornerMap corners(nb_triangles);
        for (nodara::index_t t = 0; t < nb_triangles; ++t)
        {
            for (py::ssize_t k = 0; k < 3; ++k)
            {
                corners[t][static_cast<std::size_t>(k)] =
                    nodara::Point<2>{{values(t, k, 0), values(t, k, 1)}};
            }
        }
        return corners;
    }

    // The mesh split along the atlas's seams: per new vertex its input
    // vertex and its image, and the triangles.
    void add_split_mesh(const nodara::SeamCut& cut, py::dict& result)
    {
        const auto n = static_cast<py::ssize_t>(cut.source.size());
        py::array_t<nodara::index_t> vertices(n);
        py::array_t<double> uv({n, py::ssize_t{2}});
        auto uv_view = uv.mutable_unchecked<2>();
        for (py::ssize_t v = 0; v < n; ++v)
        {
            const auto i = static_cast<std::size_t>(v);
            vertices.mutable_at(v) = cut.source[i];
            uv_view(v, 0) = cut.images[i][0];
            uv_view(v, 1) = cut.images[i][1];
        }
        const auto m = static_cast<py::ssize_t>(cut.surface->nb_polygons());
        py::array_t<nodara::index_t> faces({m, py::ssize_t{3}});
        auto face_view = faces.mutable_unchecked<2>();
        for (py::ssize_t t = 0; t < m; ++t)
        {
            const auto& corners =
                cut.surface->polygon_vertices(static_cast<nodara::index_t>(t));
            for (py::ssize_t k = 0; k < 3; ++k)
            {
                face_view(t, k) = corners[static_cast<std::size_t>(k)];
            }
        }
        result["vertices"] = vertices;
        result["uv"] = uv;
        result["faces"] = faces;
    }

    py::dict atlas_dict(const nodara::Atlas& atlas)
    {
        const auto m = static_cast<py::ssize_t>(atlas.triangle_chart.size());
        py::array_t<nodara::index_t> chart(m);
        py::array_t<nodara::index_t> page(m);
        auto page_view = page.mutable_unchecked<1>();
        py::array_t<double> corners({m, py::ssize_t{3}, py::ssize_t{2}});
        auto chart_view = chart.mutable_unchecked<1>();
        auto corner_view = corners.mutable_unchecked<3>();
        for (py::ssize_t t = 0; t < m; ++t)
        {
            const auto i = static_cast<std::size_t>(t);
            chart_view(t) = atlas.triangle_chart[i];
            page_view(t) = atlas.triangle_page[i];
            for (py::ssize_t k = 0; k < 3; ++k)
            {
                for (py::ssize_t d = 0; d < 2; ++d)
                {
                    corner_view(t, k, d) =
                        atlas.corners[i][static_cast<std::size_t>(k)]
                                     [static_cast<std::size_t>(d)];
                }
            }
        }
        const auto n = static_cast<py::ssize_t>(atlas.charts.size());
        py::array_t<nodara::index_t> chart_triangles(n);
        py::array_t<double> conformal(n);
        py::array_t<double> area(n);
        for (py::ssize_t c = 0; c < n; ++c)
        {
            const auto& figures = atlas.charts[static_cast<std::size_t>(c)];
            chart_triangles.mutable_at(c) = figures.nb_triangles;
            conformal.mutable_at(c) = figures.conformal_p95;
            area.mutable_at(c) = figures.area_p95;
        }
        py::dict result;
        result["chart"] = chart;
        result["page"] = page;
        result["pages"] = atlas.nb_pages;
        result["corner_uv"] = corners;
        result["chart_triangles"] = chart_triangles;
        result["chart_conformal_p95"] = conformal;
        result["chart_area_p95"] = area;
        py::list sources;
        for (const auto& figures : atlas.charts)
        {
            sources.append(
                figures.source == nodara::AtlasChartSource::given  ? "given"
                : figures.source == nodara::AtlasChartSource::kept ? "kept"
                                                                   : "cut");
        }
        result["chart_source"] = sources;
        result["area_p95"] = atlas.area_p95;
        result["seam_edges"] = atlas.nb_seam_edges;
        result["degenerate_triangles"] = atlas.nb_degenerate_triangles;
        result["efficiency"] = atlas.efficiency;
        result["texels_per_unit"] = atlas.texels_per_unit;
        return result;
    }

    py::dict check_dict(const nodara::AtlasCheck& check)
    {
        py::list pairs;
        for (const auto& pair : check.overlapping_pairs)
        {
            pairs.append(py::make_tuple(pair.first, pair.second));
        }
        py::dict result;
        result["valid"] = check.valid();
        result["flipped_triangles"] = check.nb_flipped_triangles;
        result["overlapping_pairs"] = check.nb_overlapping_pairs;
        result["degenerate_triangles"] = check.nb_degenerate_triangles;
        result["first_overlaps"] = pairs;
        return result;
    }
}  // namespace

PYBIND11_MODULE(tessaplan_py_atlas, m)
{
    // The library's exceptions become the classes tessaplan_py_surface
    // defines.
    py::module_::import("tessaplan_py_surface");

    m.doc() =
        "Texture atlas of a TriangulatedSurface3D: charts that are "
        "topological discs, each flattened without fold and packed into the "
        "unit square; and the exact check of a map of triangle corners.";

    // The library's defaults, the one source of the wrapper's.
    const nodara::AtlasOptions defaults;
    py::dict default_options;
    default_options["max_distortion"] = defaults.max_distortion;
    default_options["padding"] = defaults.padding;
    default_options["resolution"] = defaults.resolution;
    default_options["max_area_distortion"] = defaults.max_area_distortion;
    default_options["rotate"] = defaults.rotate;
    default_options["max_chart_area"] = defaults.max_chart_area;
    default_options["max_boundary_length"] = defaults.max_boundary_length;
    default_options["texels_per_unit"] = defaults.texels_per_unit;
    m.attr("DEFAULT_OPTIONS") = default_options;

    m.def(
        "compute_atlas",
        [](const nodara::TriangulatedSurface<3>& surface, double max_distortion,
           double padding, nodara::index_t resolution, bool rotate,
           double max_chart_area, double max_boundary_length,
           double texels_per_unit, const py::object& seams,
           const py::object& charts_from_uv)
        {
            nodara::AtlasOptions options;
            options.max_distortion = max_distortion;
            options.padding = padding;
            options.resolution = resolution;
            options.rotate = rotate;
            options.max_chart_area = max_chart_area;
            options.max_boundary_length = max_boundary_length;
            options.texels_per_unit = texels_per_unit;
            const auto edges =
                seams.is_none() ? std::vector<std::array<nodara::index_t, 2>>{}
                                : tessaplan_python::seam_edges(seams);
            const auto islands =
                charts_from_uv.is_none()
                    ? nodara::CornerMap{}
                    : checked_corners(charts_from_uv, surface.nb_polygons());
            nodara::SeamCut cut;
            const auto atlas = tessaplan_python::without_gil(
                [&]
                {
                    auto result =
                        !charts_from_uv.is_none()
                            ? nodara::compute_atlas_of_islands(surface, islands,
                                                               options)
                        : edges.empty() && seams.is_none()
                            ? nodara::compute_atlas(surface, options)
                            : nodara::compute_atlas(surface, edges, options);
                    cut = nodara::cut_along_seams(surface, result.corners);
                    return result;
                });
            auto result = atlas_dict(atlas);
            add_split_mesh(cut, result);
            result["check"] = check_dict(atlas.check);
            return result;
        },
        py::arg("surface"), py::arg("max_distortion") = defaults.max_distortion,
        py::arg("padding") = defaults.padding,
        py::arg("resolution") = defaults.resolution,
        py::arg("rotate") = defaults.rotate,
        py::arg("max_chart_area") = defaults.max_chart_area,
        py::arg("max_boundary_length") = defaults.max_boundary_length,
        py::arg("texels_per_unit") = defaults.texels_per_unit,
        py::arg("seams") = py::none(), py::arg("charts_from_uv") = py::none(),
        "Cuts `surface` into charts and packs them into the unit square (or, "
        "at a `texels_per_unit` above 0, into as many squares, pages, as "
        "they need). Returns a dict: 'chart' (uint32 array (m,), the chart "
        "of each triangle), 'page' (uint32 array (m,), the page of each "
        "triangle), 'pages' (their number), 'corner_uv' (float64 array (m, "
        "3, 2), the image of each triangle corner in its page), per chart "
        "'chart_triangles', "
        "'chart_conformal_p95', 'chart_area_p95' (arrays), 'area_p95' "
        "(the whole atlas's area distortion p95, both ways), and "
        "'seam_edges', 'degenerate_triangles', 'efficiency' (covered share "
        "of the square) and 'texels_per_unit'; the mesh split along the "
        "seams: 'vertices' (uint32 (p,), the input vertex of each of its "
        "vertices), 'uv' (float64 (p, 2)) and 'faces' (uint32 (m, 3), "
        "triangle t of the input); and 'check', the exact check's dict "
        "(as check_atlas returns it). Every chart keeps its "
        "conformal distortion p95 under `max_distortion` and its area "
        "distortion p95, both ways (max(a, 1/a) of each triangle's share of "
        "the image area over its share of the 3D area), under "
        "DEFAULT_OPTIONS['max_area_distortion']; charts "
        "lie `padding` texels apart at "
        "`resolution` texels along the side, turned for a tight box when "
        "`rotate`; a chart beyond `max_chart_area` or "
        "`max_boundary_length` (0: unbounded) is cut further; with `seams` "
        "((k, 2) vertex pairs, edges of the surface) no chart crosses them; "
        "with `charts_from_uv` (an (m, 3, 2) map of the triangle corners) "
        "the charts are its islands (compute_atlas_of_islands), and "
        "'chart_source' says per chart 'given' (flattened again by LSCM), "
        "'kept' (its own map, scaled) or 'cut' (by the atlas). Raises "
        "RuntimeError with the "
        "library's message for a surface without triangle or with a "
        "coordinate that is not finite, and for options out of range.");

    m.def(
        "seam_edges",
        [](const nodara::TriangulatedSurface<3>& surface,
           const py::object& corner_uv)
        {
            const auto corners =
                checked_corners(corner_uv, surface.nb_polygons());
            const auto edges = nodara::seam_edges(surface, corners);
            py::array_t<std::int64_t> result(
                {static_cast<py::ssize_t>(edges.size()), py::ssize_t{2}});
            auto view = result.mutable_unchecked<2>();
            for (py::ssize_t e = 0; e < view.shape(0); ++e)
            {
                view(e, 0) = edges[static_cast<std::size_t>(e)][0];
                view(e, 1) = edges[static_cast<std::size_t>(e)][1];
            }
            return result;
        },
        py::arg("surface"), py::arg("corner_uv"),
        "The seams of a map of the triangle corners of `surface` (an (m, 3, "
        "2) array-like of real numbers): the edges shared by two triangles "
        "across which it is not continuous, as an int64 (k, 2) array of "
        "vertex pairs. Raises TypeError when `corner_uv` does not hold real "
        "numbers and ValueError for another shape.");

    m.def(
        "check_atlas",
        [](const nodara::TriangulatedSurface<3>& surface,
           const py::object& corner_uv)
        {
            const auto corners =
                checked_corners(corner_uv, surface.nb_polygons());
            return check_dict(tessaplan_python::without_gil(
                [&] { return nodara::check_atlas(surface, corners); }));
        },
        py::arg("surface"), py::arg("corner_uv"),
        "Checks a map of the triangle corners of `surface` (an (m, 3, 2) "
        "array-like of real numbers) with exact predicates. Returns a dict: "
        "'valid', 'flipped_triangles' (zero image area, or turning against "
        "the majority of its chart, read in the chart's consistent "
        "orientation), 'overlapping_pairs' (pairs of images whose interiors "
        "meet), 'degenerate_triangles' (zero 3D area, not checked) and "
        "'first_overlaps' (up to 16 pairs of triangle ids). Raises TypeError "
        "when `corner_uv` does not hold real numbers, ValueError for another "
        "shape, and RuntimeError for a value that is not finite.");
}

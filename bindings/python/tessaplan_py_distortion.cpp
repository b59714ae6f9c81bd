// Python module measuring the distortion of a parameterization held by a
// surface of velmora_py_mesh (found through pybind11's shared registry):
// per-triangle numpy arrays and the summary statistics.

#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <tessaplan/distortion.h>

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
        result["flipped_triangles"] = summary.nb_flipped_triangles;
        result["degenerate_triangles"] = summary.nb_degenerate_triangles;
        return result;
    }

    py::dict triangle_distortions(const nodara::TriangulatedSurface<3>& surface,
                                  const std::string& attribute_name)
    {
        const auto distortions =
            nodara::compute_triangle_distortions(surface, attribute_name);
        py::dict result;
        result["conformal"] = to_array(distortions.conformal);
        result["area"] = to_array(distortions.area);
        result["signed_image_area"] = to_array(distortions.signed_image_area);
        result["flipped"] = to_array(distortions.flipped);
        result["degenerate"] = to_array(distortions.degenerate);
        result["summary"] =
            summary_dict(nodara::summarize_distortions(distortions));
        return result;
    }
}  // namespace

PYBIND11_MODULE(tessaplan_py_distortion, m)
{
    m.doc() = "Distortion of a parameterization stored on a surface";
    m.def("compute_triangle_distortions", &triangle_distortions,
          py::arg("surface"), py::arg("attribute_name"),
          "Per-triangle distortion of the Point<2> vertex attribute "
          "`attribute_name` of a TriangulatedSurface3D, as a dict of numpy "
          "arrays indexed by triangle (conformal, area, signed_image_area, "
          "flipped, degenerate) and 'summary': mean, p95 and max of both "
          "measures with the counts of flipped and degenerate triangles. "
          "Raises RuntimeError when the attribute is missing.");
}

#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <velmora/basic/types.h>

namespace tessaplan_python
{
    /// The seams as (k, 2) vertex pairs, from an array the package has
    /// checked for type. Throws pybind11::value_error for another shape or
    /// an index that is negative or too large.
    inline std::vector<std::array<nodara::index_t, 2>> seam_edges(
        const pybind11::object& seams)
    {
        namespace py = pybind11;
        const auto pairs_array =
            seams.cast<py::array_t<std::int64_t, py::array::c_style |
                                                     py::array::forcecast>>();
        if (pairs_array.ndim() != 2 || pairs_array.shape(1) != 2)
        {
            throw py::value_error("seams need (k, 2) vertex indices");
        }
        const auto pairs = pairs_array.unchecked<2>();
        std::vector<std::array<nodara::index_t, 2>> edges;
        for (py::ssize_t k = 0; k < pairs.shape(0); ++k)
        {
            for (int end = 0; end < 2; ++end)
            {
                if (pairs(k, end) < 0 ||
                    pairs(k, end) > std::numeric_limits<nodara::index_t>::max())
                {
                    throw py::value_error(
                        "seam " + std::to_string(k) + " names vertex " +
                        std::to_string(pairs(k, end)) + ", not a vertex index");
                }
            }
            edges.push_back({static_cast<nodara::index_t>(pairs(k, 0)),
                             static_cast<nodara::index_t>(pairs(k, 1))});
        }
        return edges;
    }
}  // namespace tessaplan_python

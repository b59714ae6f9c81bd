#include "array_checks.h"

#include <algorithm>
#include <sstream>

#include <velmora/mesh/duplicate_triangles.h>

namespace velmora_python
{
    namespace
    {
        /// Throws ValueError saying that `array` does not have
        /// `expected_shape`.
        [[noreturn]] void throw_shape_error(const py::array& array,
                                            const char* what,
                                            const std::string& expected_shape)
        {
            throw py::value_error(std::string(what) + " must have shape " +
                                  expected_shape + ", got " +
                                  shape_text(array));
        }
    }  // namespace

    std::string shape_text(const py::array& array)
    {
        return std::string(py::str(array.attr("shape")));
    }

    std::string dtype_text(const py::array& array)
    {
        return std::string(py::str(array.dtype()));
    }

    /// `object` as a numpy array (numpy.asarray).
    py::array as_numpy_array(const py::object& object)
    {
        return py::module_::import("numpy")
            .attr("asarray")(object)
            .cast<py::array>();
    }

    /// Throws TypeError unless the dtype kind of `array` is one of `kinds`.
    void check_kind(const py::array& array, const char* what,
                    const std::string& kinds, const char* kinds_text)
    {
        if (kinds.find(array.dtype().kind()) == std::string::npos)
        {
            throw py::type_error(std::string(what) + " must hold " +
                                 kinds_text + ", got dtype " +
                                 dtype_text(array));
        }
    }

    /// `object` as a numpy array of shape (n, columns) whose dtype kind is
    /// one of `kinds`. Throws TypeError for another kind and ValueError for
    /// another shape.
    py::array checked_array(const py::object& object, const char* what,
                            py::ssize_t columns, const std::string& kinds,
                            const char* kinds_text)
    {
        const auto array = as_numpy_array(object);
        check_kind(array, what, kinds, kinds_text);
        if (array.ndim() != 2 || array.shape(1) != columns)
        {
            throw_shape_error(array, what,
                              "(n, " + std::to_string(columns) + ")");
        }
        return array;
    }

    /// `object` as a one-dimensional numpy array of `count` entries whose
    /// dtype kind is one of `kinds`. An empty sequence is taken for a count
    /// of 0 whatever its dtype (numpy.asarray([]) holds floats). Throws
    /// TypeError for another kind and ValueError for another shape.
    py::array checked_vector(const py::object& object, const char* what,
                             index_t count, const std::string& kinds,
                             const char* kinds_text)
    {
        const auto array = as_numpy_array(object);
        const bool empty = array.ndim() == 1 && array.shape(0) == 0;
        if (!empty)
        {
            check_kind(array, what, kinds, kinds_text);
        }
        if (array.ndim() != 1 ||
            array.shape(0) != static_cast<py::ssize_t>(count))
        {
            throw_shape_error(array, what, "(" + std::to_string(count) + ",)");
        }
        return array;
    }

    /// Throws ValueError naming the rows of `triangles` that repeat an
    /// earlier row's vertices (the first ten), if any.
    void check_no_duplicates(
        const std::vector<std::array<index_t, 3>>& triangles)
    {
        const auto duplicates = nodara::find_duplicate_triangles(triangles);
        if (duplicates.empty())
        {
            return;
        }
        constexpr std::size_t named = 10;
        std::ostringstream message;
        message << "triangles has " << duplicates.size()
                << " rows that repeat an earlier row's vertices:";
        for (std::size_t k = 0; k < std::min(named, duplicates.size()); ++k)
        {
            const auto& duplicate = duplicates[k];
            message << (k == 0 ? " " : ", ") << "row " << duplicate.triangle
                    << " repeats row " << duplicate.first
                    << (duplicate.reversed ? " reversed" : "");
        }
        if (duplicates.size() > named)
        {
            message << " and " << duplicates.size() - named << " more";
        }
        throw py::value_error(message.str());
    }
}  // namespace velmora_python

#pragma once

// Checks of the numpy arrays the surface classes take: kinds, shapes and
// values, with TypeError, ValueError and IndexError naming the bad row.

#include <array>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <velmora/basic/types.h>

namespace velmora_python
{
    namespace py = pybind11;
    using nodara::index_t;

    /// An array of T to read in place: C order, converted from another
    /// dtype, and aligned. numpy hands over a misaligned array (a view into a
    /// byte buffer at an odd offset, say) unless asked for alignment; it
    /// copies it then, since reading T at a misaligned address is undefined.
    template <typename T>
    using InPlaceArray =
        py::array_t<T, py::array::c_style | py::array::forcecast |
                           py::detail::npy_api::NPY_ARRAY_ALIGNED_>;

    std::string shape_text(const py::array& array);

    std::string dtype_text(const py::array& array);

    /// `object` as a numpy array (numpy.asarray).
    py::array as_numpy_array(const py::object& object);

    /// Throws TypeError unless the dtype kind of `array` is one of `kinds`.
    void check_kind(const py::array& array, const char* what,
                    const std::string& kinds, const char* kinds_text);

    /// `object` as a numpy array of shape (n, columns) whose dtype kind is
    /// one of `kinds`. Throws TypeError for another kind and ValueError for
    /// another shape.
    py::array checked_array(const py::object& object, const char* what,
                            py::ssize_t columns, const std::string& kinds,
                            const char* kinds_text);

    /// `object` as a one-dimensional numpy array of `count` entries whose
    /// dtype kind is one of `kinds`. An empty sequence is taken for a count
    /// of 0 whatever its dtype (numpy.asarray([]) holds floats). Throws
    /// TypeError for another kind and ValueError for another shape.
    py::array checked_vector(const py::object& object, const char* what,
                             index_t count, const std::string& kinds,
                             const char* kinds_text);

    /// Throws ValueError naming the rows of `triangles` that repeat an
    /// earlier row's vertices (the first ten), if any.
    void check_no_duplicates(
        const std::vector<std::array<index_t, 3>>& triangles);

    /// Checks one triangle index array converted to Index (std::int64_t or
    /// std::uint64_t) and returns the triangles as vertex ids. Throws
    /// ValueError naming the first bad row.
    template <typename Index>
    std::vector<std::array<index_t, 3>> checked_triangles(
        const py::array& array, index_t nb_vertices)
    {
        const InPlaceArray<Index> converted(array);
        const auto rows = converted.template unchecked<2>();
        std::vector<std::array<index_t, 3>> triangles;
        triangles.reserve(static_cast<std::size_t>(rows.shape(0)));
        for (py::ssize_t row = 0; row < rows.shape(0); ++row)
        {
            std::array<index_t, 3> triangle{};
            for (py::ssize_t corner = 0; corner < 3; ++corner)
            {
                const Index value = rows(row, corner);
                if constexpr (std::is_signed<Index>::value)
                {
                    if (value < 0)
                    {
                        throw py::value_error(
                            "triangles row " + std::to_string(row) +
                            " has the negative vertex index " +
                            std::to_string(value));
                    }
                }
                if (static_cast<std::uint64_t>(value) >= nb_vertices)
                {
                    throw py::value_error(
                        "triangles row " + std::to_string(row) +
                        " names vertex " + std::to_string(value) +
                        ", but there are only " + std::to_string(nb_vertices) +
                        " points");
                }
                triangle[static_cast<std::size_t>(corner)] =
                    static_cast<index_t>(value);
            }
            if (triangle[0] == triangle[1] || triangle[0] == triangle[2] ||
                triangle[1] == triangle[2])
            {
                throw py::value_error("triangles row " + std::to_string(row) +
                                      " names a vertex twice");
            }
            triangles.push_back(triangle);
        }
        return triangles;
    }

    /// The entries of a one-dimensional integer array converted to Index
    /// (std::int64_t or std::uint64_t) as a permutation of 0 .. n - 1.
    /// Throws IndexError for an entry out of range and ValueError for an
    /// entry that repeats an earlier one.
    template <typename Index>
    std::vector<index_t> checked_permutation(const py::array& array, index_t n)
    {
        const InPlaceArray<Index> converted(array);
        const auto entries = converted.template unchecked<1>();
        std::vector<index_t> order(n);
        std::vector<index_t> first_entry(n, nodara::NO_ID);
        for (index_t k = 0; k < n; ++k)
        {
            const Index value = entries(k);
            // A negative value converts to a huge unsigned one.
            if (static_cast<std::uint64_t>(value) >= n)
            {
                throw py::index_error("order entry " + std::to_string(k) +
                                      " is " + std::to_string(value) +
                                      ", but there are only " +
                                      std::to_string(n) + " vertices");
            }
            const auto vertex = static_cast<index_t>(value);
            if (first_entry[vertex] != nodara::NO_ID)
            {
                throw py::value_error("order is not a permutation: vertex " +
                                      std::to_string(vertex) +
                                      " is named by entries " +
                                      std::to_string(first_entry[vertex]) +
                                      " and " + std::to_string(k));
            }
            first_entry[vertex] = k;
            order[k] = vertex;
        }
        return order;
    }
}  // namespace velmora_python

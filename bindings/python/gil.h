#pragma once

#include <utility>

#include <pybind11/pybind11.h>

namespace tessaplan_python
{
    /// Runs `work` without the interpreter lock, so that other Python
    /// threads run meanwhile, and returns its result. `work` must touch no
    /// Python object: the arguments are converted before and the result
    /// after. The lock is taken back also when `work` throws.
    template <typename Work>
    auto without_gil(Work&& work) -> decltype(work())
    {
        pybind11::gil_scoped_release release;
        return std::forward<Work>(work)();
    }
}  // namespace tessaplan_python

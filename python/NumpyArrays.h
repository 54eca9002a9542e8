#pragma once

#include <pybind11/numpy.h>

#include <utility>
#include <vector>

// Numpy arrays over memory the module filled: a vector's values are handed
// over without a copy, and the array frees them.
template <typename T>
pybind11::array_t<T> HandOver(std::vector<T>&& values, std::vector<pybind11::ssize_t> shape) {
    auto* owned = new std::vector<T>(std::move(values));
    pybind11::capsule owner(owned, [](void* vector) { delete static_cast<std::vector<T>*>(vector); });
    return pybind11::array_t<T>(std::move(shape), owned->data(), owner);
}

template <typename T>
pybind11::array_t<T> HandOver(std::vector<T>&& values) {
    auto length = static_cast<pybind11::ssize_t>(values.size());
    return HandOver(std::move(values), {length});
}

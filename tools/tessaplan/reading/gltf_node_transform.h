#pragma once

#include <array>

#include <tiny_gltf.h>

namespace tessaplan
{
    /// A 4x4 matrix in double precision, column by column as glTF stores
    /// it.
    using Matrix4 = std::array<double, 16>;

    /// The identity.
    Matrix4 identity_matrix();

    /// The transform of `node` relative to its parent: its matrix when it
    /// has one, otherwise translation * rotation * scale (each the identity
    /// when absent). Throws nothing; missing or short arrays count as
    /// absent.
    Matrix4 local_matrix(const tinygltf::Node& node);

    /// `a` * `b`.
    Matrix4 multiply(const Matrix4& a, const Matrix4& b);

    /// `matrix` applied to the point `p`.
    std::array<double, 3> transform_point(const Matrix4& matrix,
                                          const std::array<double, 3>& p);
}  // namespace tessaplan

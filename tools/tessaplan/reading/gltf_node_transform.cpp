#include "reading/gltf_node_transform.h"

#include <algorithm>
#include <cmath>

namespace tessaplan
{
    namespace
    {
        double& at(Matrix4& m, int row, int column)
        {
            return m[static_cast<std::size_t>(4 * column + row)];
        }

        double at(const Matrix4& m, int row, int column)
        {
            return m[static_cast<std::size_t>(4 * column + row)];
        }

        // The rotation of the unit quaternion (x, y, z, w), normalised
        // first as readers do.
        Matrix4 rotation_matrix(const std::vector<double>& q)
        {
            auto m = identity_matrix();
            if (q.size() != 4)
            {
                return m;
            }
            const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] +
                                          q[2] * q[2] + q[3] * q[3]);
            if (!(norm > 0))
            {
                return m;
            }
            const double x = q[0] / norm, y = q[1] / norm, z = q[2] / norm,
                         w = q[3] / norm;
            at(m, 0, 0) = 1 - 2 * (y * y + z * z);
            at(m, 0, 1) = 2 * (x * y - z * w);
            at(m, 0, 2) = 2 * (x * z + y * w);
            at(m, 1, 0) = 2 * (x * y + z * w);
            at(m, 1, 1) = 1 - 2 * (x * x + z * z);
            at(m, 1, 2) = 2 * (y * z - x * w);
            at(m, 2, 0) = 2 * (x * z - y * w);
            at(m, 2, 1) = 2 * (y * z + x * w);
            at(m, 2, 2) = 1 - 2 * (x * x + y * y);
            return m;
        }
    }  // namespace

    Matrix4 identity_matrix()
    {
        return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    }

    Matrix4 local_matrix(const tinygltf::Node& node)
    {
        if (node.matrix.size() == 16)
        {
            Matrix4 m{};
            std::copy(node.matrix.begin(), node.matrix.end(), m.begin());
            return m;
        }
        auto translation = identity_matrix();
        if (node.translation.size() == 3)
        {
            for (int k = 0; k < 3; ++k)
            {
                at(translation, k, 3) =
                    node.translation[static_cast<std::size_t>(k)];
            }
        }
        auto scale = identity_matrix();
        if (node.scale.size() == 3)
        {
            for (int k = 0; k < 3; ++k)
            {
                at(scale, k, k) = node.scale[static_cast<std::size_t>(k)];
            }
        }
        return multiply(translation,
                        multiply(rotation_matrix(node.rotation), scale));
    }

    Matrix4 multiply(const Matrix4& a, const Matrix4& b)
    {
        Matrix4 product{};
        for (int row = 0; row < 4; ++row)
        {
            for (int column = 0; column < 4; ++column)
            {
                double sum = 0;
                for (int k = 0; k < 4; ++k)
                {
                    sum += at(a, row, k) * at(b, k, column);
                }
                at(product, row, column) = sum;
            }
        }
        return product;
    }

    std::array<double, 3> transform_point(const Matrix4& matrix,
                                          const std::array<double, 3>& p)
    {
        std::array<double, 3> result{};
        for (int row = 0; row < 3; ++row)
        {
            result[static_cast<std::size_t>(row)] =
                at(matrix, row, 0) * p[0] + at(matrix, row, 1) * p[1] +
                at(matrix, row, 2) * p[2] + at(matrix, row, 3);
        }
        return result;
    }
}  // namespace tessaplan

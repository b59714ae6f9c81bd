#pragma once

#include <cstddef>
#include <vector>

#include <tiny_gltf.h>

namespace tessaplan
{
    /// Adds data to a glTF document whose buffers were joined into one
    /// (join_buffers): each addition is a buffer view at the end of buffer
    /// 0, aligned to 4 bytes, with an accessor on it.
    class GltfBufferAppender
    {
    public:
        /// Appends to `model`, which must outlive this object and have
        /// exactly one buffer.
        explicit GltfBufferAppender(tinygltf::Model& model);

        /// Adds a vertex attribute of `packed` elements (of the accessor
        /// type and component type of `like`, keeping its normalized flag),
        /// each padded to 4 bytes as glTF asks of attributes; returns the
        /// accessor's index. Throws nothing but std::bad_alloc.
        int add_attribute(const std::vector<unsigned char>& packed,
                          const tinygltf::Accessor& like);

        /// Adds float elements of `type` (VEC2, SCALAR...); returns the
        /// accessor's index. With `bounds`, sets the accessor's min and max.
        int add_floats(const std::vector<float>& values, int type,
                       bool bounds = false);

        /// The document appended to.
        const tinygltf::Model& model() const { return model_; }

        /// Adds triangle indices, as unsigned shorts when every index
        /// fits, unsigned ints otherwise; returns the accessor's index.
        int add_indices(const std::vector<std::uint32_t>& indices);

        /// Adds `bytes` as a buffer view of no target (an image); returns
        /// the view's index.
        int add_view(const std::vector<unsigned char>& bytes);

    private:
        int add_view(const unsigned char* bytes, std::size_t size, int target,
                     std::size_t stride);
        int add_accessor(int view, const tinygltf::Accessor& like,
                         std::size_t count);

        tinygltf::Model& model_;
    };

    /// Joins every buffer of `model` into buffer 0 (each aligned to 16
    /// bytes), with no URI, so that a GLB holds it as its binary chunk and
    /// a .gltf as one data: URI; moves the bytes of images that were
    /// embedded as data: URIs into buffer views; adds an empty buffer when
    /// there is none. Throws nothing but std::bad_alloc.
    void join_buffers(tinygltf::Model& model);
}  // namespace tessaplan

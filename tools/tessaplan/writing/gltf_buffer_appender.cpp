#include "writing/gltf_buffer_appender.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "reading/gltf_accessor_data.h"

namespace tessaplan
{
    namespace
    {
        void pad(std::vector<unsigned char>& data, std::size_t alignment)
        {
            data.resize((data.size() + alignment - 1) / alignment * alignment,
                        0);
        }

        // The type of an image by its first bytes, for one embedded
        // without one.
        std::string guessed_mime_type(const std::vector<unsigned char>& bytes)
        {
            if (bytes.size() >= 4 && bytes[0] == 0x89 && bytes[1] == 'P' &&
                bytes[2] == 'N' && bytes[3] == 'G')
            {
                return "image/png";
            }
            if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8)
            {
                return "image/jpeg";
            }
            return "application/octet-stream";
        }

        void embed_images(tinygltf::Model& model)
        {
            GltfBufferAppender appender{model};
            for (auto& image : model.images)
            {
                if (!image.as_is || image.bufferView >= 0 || !image.uri.empty())
                {
                    continue;
                }
                image.bufferView = appender.add_view(image.image);
                if (image.mimeType.empty())
                {
                    image.mimeType = guessed_mime_type(image.image);
                }
                image.image.clear();
                image.as_is = false;
            }
        }
    }  // namespace

    GltfBufferAppender::GltfBufferAppender(tinygltf::Model& model)
        : model_(model)
    {
    }

    int GltfBufferAppender::add_view(const unsigned char* bytes,
                                     std::size_t size, int target,
                                     std::size_t stride)
    {
        auto& data = model_.buffers.front().data;
        pad(data, 4);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = data.size();
        view.byteLength = size;
        view.byteStride = stride;
        view.target = target;
        data.insert(data.end(), bytes, bytes + size);
        model_.bufferViews.push_back(view);
        return static_cast<int>(model_.bufferViews.size()) - 1;
    }

    int GltfBufferAppender::add_view(const std::vector<unsigned char>& bytes)
    {
        return add_view(bytes.data(), bytes.size(), 0, 0);
    }

    int GltfBufferAppender::add_accessor(int view,
                                         const tinygltf::Accessor& like,
                                         std::size_t count)
    {
        tinygltf::Accessor accessor;
        accessor.bufferView = view;
        accessor.componentType = like.componentType;
        accessor.type = like.type;
        accessor.normalized = like.normalized;
        accessor.count = count;
        model_.accessors.push_back(accessor);
        return static_cast<int>(model_.accessors.size()) - 1;
    }

    int GltfBufferAppender::add_attribute(
        const std::vector<unsigned char>& packed,
        const tinygltf::Accessor& like)
    {
        const auto size = element_size(like);
        const auto count = packed.size() / size;
        const auto stride = (size + 3) / 4 * 4;
        std::vector<unsigned char> padded(count * stride, 0);
        for (std::size_t k = 0; k < count; ++k)
        {
            std::memcpy(padded.data() + k * stride, packed.data() + k * size,
                        size);
        }
        const auto view =
            add_view(padded.data(), padded.size(), TINYGLTF_TARGET_ARRAY_BUFFER,
                     stride == size ? 0 : stride);
        return add_accessor(view, like, count);
    }

    int GltfBufferAppender::add_floats(const std::vector<float>& values,
                                       int type, bool bounds)
    {
        tinygltf::Accessor like;
        like.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        like.type = type;
        const auto width = component_count(type);
        const auto view = add_view(
            reinterpret_cast<const unsigned char*>(values.data()),
            values.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER, 0);
        const auto index = add_accessor(view, like, values.size() / width);
        if (bounds)
        {
            auto& accessor = model_.accessors.back();
            accessor.minValues.assign(width,
                                      std::numeric_limits<double>::max());
            accessor.maxValues.assign(width,
                                      -std::numeric_limits<double>::max());
            for (std::size_t i = 0; i < values.size(); ++i)
            {
                auto& low = accessor.minValues[i % width];
                auto& high = accessor.maxValues[i % width];
                low = std::min(low, double{values[i]});
                high = std::max(high, double{values[i]});
            }
        }
        return index;
    }

    int GltfBufferAppender::add_indices(
        const std::vector<std::uint32_t>& indices)
    {
        const auto largest =
            indices.empty() ? 0u
                            : *std::max_element(indices.begin(), indices.end());
        tinygltf::Accessor like;
        like.type = TINYGLTF_TYPE_SCALAR;
        std::vector<unsigned char> bytes;
        if (largest < 0xFFFF)
        {
            like.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
            for (const auto index : indices)
            {
                const auto value = static_cast<std::uint16_t>(index);
                const auto* at = reinterpret_cast<const unsigned char*>(&value);
                bytes.insert(bytes.end(), at, at + sizeof value);
            }
        }
        else
        {
            like.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
            const auto* at =
                reinterpret_cast<const unsigned char*>(indices.data());
            bytes.assign(at, at + indices.size() * sizeof(std::uint32_t));
        }
        const auto view = add_view(bytes.data(), bytes.size(),
                                   TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, 0);
        return add_accessor(view, like, indices.size());
    }

    void join_buffers(tinygltf::Model& model)
    {
        tinygltf::Buffer joined;
        std::vector<std::size_t> start;
        for (const auto& buffer : model.buffers)
        {
            pad(joined.data, 16);
            start.push_back(joined.data.size());
            joined.data.insert(joined.data.end(), buffer.data.begin(),
                               buffer.data.end());
        }
        if (!model.buffers.empty())
        {
            joined.name = model.buffers.front().name;
            joined.extras = model.buffers.front().extras;
        }
        for (auto& view : model.bufferViews)
        {
            view.byteOffset += start[static_cast<std::size_t>(view.buffer)];
            view.buffer = 0;
        }
        model.buffers.assign(1, std::move(joined));
        embed_images(model);
    }
}  // namespace tessaplan

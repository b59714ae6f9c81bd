#include "writing/ply_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include <boost/endian/conversion.hpp>

namespace tessaplan
{
    namespace
    {
        constexpr std::size_t chunk_size = 1 << 16;

        template <typename T>
        void append_binary(std::string& data, T value)
        {
            boost::endian::native_to_little_inplace(value);
            data.append(reinterpret_cast<const char*>(&value), sizeof value);
        }

        void append_double(std::string& data, double value)
        {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            append_binary(data, bits);
        }

        bool has_large_faces(const std::vector<Polygon>& faces)
        {
            return std::any_of(
                faces.begin(), faces.end(),
                [](const Polygon& face) {
                    return face.size() >
                           std::numeric_limits<std::uint8_t>::max();
                });
        }

        std::string header(const FlattenedMesh& mesh, bool large_faces)
        {
            return "ply\nformat binary_little_endian 1.0\n"
                   "comment tessaplan: " +
                   std::string{mesh.flat ? "flattened surface, z = 0"
                                         : "3D vertices with the flattening"} +
                   "\nelement vertex " +
                   std::to_string(mesh.surface.nb_vertices()) +
                   "\nproperty double x\nproperty double y\n"
                   "property double z\nproperty double s\nproperty double t\n" +
                   (mesh.original_index ? "property uint original_index\n"
                                        : "") +
                   "element face " + std::to_string(mesh.faces.size()) +
                   "\nproperty list " + (large_faces ? "uint" : "uchar") +
                   " int vertex_indices\nend_header\n";
        }

        void flush_if_full(std::string& data, OutputFile& file)
        {
            if (data.size() >= chunk_size)
            {
                file.write(data);
                data.clear();
            }
        }
    }  // namespace

    void write_ply(const FlattenedMesh& mesh, OutputFile& file)
    {
        const bool large_faces = has_large_faces(mesh.faces);
        std::string data = header(mesh, large_faces);
        for (nodara::index_t v = 0; v < mesh.surface.nb_vertices(); ++v)
        {
            const auto point = mesh.position(v);
            for (std::size_t k = 0; k < 3; ++k)
            {
                append_double(data, point[k]);
            }
            append_double(data, mesh.uv[v][0]);
            append_double(data, mesh.uv[v][1]);
            if (mesh.original_index)
            {
                append_binary(data, static_cast<std::uint32_t>(
                                        (*mesh.original_index)[v]));
            }
            flush_if_full(data, file);
        }
        for (const auto& face : mesh.faces)
        {
            if (large_faces)
            {
                append_binary(data, static_cast<std::uint32_t>(face.size()));
            }
            else
            {
                append_binary(data, static_cast<std::uint8_t>(face.size()));
            }
            for (const auto vertex : face)
            {
                append_binary(data, static_cast<std::int32_t>(vertex));
            }
            flush_if_full(data, file);
        }
        file.write(data);
    }
}  // namespace tessaplan

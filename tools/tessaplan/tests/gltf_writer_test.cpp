#include "writing/gltf_writer.h"

#include <cstdlib>
#include <filesystem>

#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <assimp/Importer.hpp>

#include <velmora/mesh/triangulated_surface_builder.h>

namespace tessaplan
{
    namespace
    {
        namespace fs = std::filesystem;

        // Two triangles of a bent square, with a flattening.
        struct Square
        {
            Square()
            {
                auto builder =
                    nodara::TriangulatedSurfaceBuilder<3>::create(*surface);
                builder->create_vertices(4);
                const double points[4][3] = {
                    {0, 0, 0}, {1, 0, 0.25}, {1, 1, 0}, {0.1, 1, 0.5}};
                for (nodara::index_t v = 0; v < 4; ++v)
                {
                    builder->set_point(
                        v, nodara::Point<3>{
                               {points[v][0], points[v][1], points[v][2]}});
                }
                builder->create_triangle({0, 1, 2});
                builder->create_triangle({0, 2, 3});
            }
            std::unique_ptr<nodara::TriangulatedSurface<3>> surface{
                nodara::TriangulatedSurface<3>::create()};
            std::vector<Polygon> faces{{0, 1, 2, 3}};
        };

        // Writes the square and reads the file back with assimp.
        void check_read_back(bool binary, bool flat)
        {
            const Square square;
            FlattenedMesh mesh{*square.surface, square.faces, {}, flat};
            mesh.uv = {nodara::Point<2>{{0.0, 0.0}},
                       nodara::Point<2>{{1.0, 0.125}},
                       nodara::Point<2>{{0.875, 1.0}},
                       nodara::Point<2>{{-0.25, 0.75}}};
            const auto path =
                fs::temp_directory_path() /
                ("gltf_writer_test_" + std::to_string(::getpid()) +
                 (binary ? ".glb" : ".gltf"));
            {
                OutputFile file{path.string()};
                write_gltf(mesh, binary, file);
                file.commit();
            }
            Assimp::Importer importer;
            const aiScene* scene = importer.ReadFile(path.string(), 0);
            fs::remove(path);
            ASSERT_NE(scene, nullptr) << importer.GetErrorString();
            ASSERT_EQ(scene->mNumMeshes, 1u);
            const aiMesh& read = *scene->mMeshes[0];
            ASSERT_EQ(read.mNumVertices, 4u);
            ASSERT_TRUE(read.HasTextureCoords(0));
            for (nodara::index_t v = 0; v < 4; ++v)
            {
                const auto position = mesh.position(v);
                EXPECT_EQ(read.mVertices[v].x, static_cast<float>(position[0]));
                EXPECT_EQ(read.mVertices[v].y, static_cast<float>(position[1]));
                EXPECT_EQ(read.mVertices[v].z, static_cast<float>(position[2]));
                // The file holds glTF's (u, 1 - v), which assimp turns
                // back into OBJ's convention: the map as computed.
                EXPECT_EQ(read.mTextureCoords[0][v].x, mesh.uv[v][0]);
                EXPECT_FLOAT_EQ(read.mTextureCoords[0][v].y,
                                static_cast<float>(mesh.uv[v][1]));
            }
            ASSERT_EQ(read.mNumFaces, 2u);
            EXPECT_EQ(read.mFaces[1].mIndices[0], 0u);
            EXPECT_EQ(read.mFaces[1].mIndices[1], 2u);
            EXPECT_EQ(read.mFaces[1].mIndices[2], 3u);
        }

        TEST(GltfWriter, TextReadsBackWithPositionsAndTextureCoordinates)
        {
            check_read_back(false, false);
        }

        TEST(GltfWriter, BinaryReadsBackWithPositionsAndTextureCoordinates)
        {
            check_read_back(true, false);
        }

        TEST(GltfWriter, FlatPositionsAreTheFlattening)
        {
            check_read_back(true, true);
        }
    }  // namespace
}  // namespace tessaplan

#include "reading/gltf_scene.h"

#include <utility>

#include "cli/cli_error.h"
#include "reading/gltf_accessor_data.h"
#include "reading/gltf_node_transform.h"

namespace tessaplan
{
    namespace
    {
        CliError fault(const std::string& path, const std::string& what)
        {
            return CliError{ExitCode::invalid_input,
                            "cannot read '" + path + "': " + what};
        }

        bool is_triangles(int mode)
        {
            return mode == TINYGLTF_MODE_TRIANGLES ||
                   mode == TINYGLTF_MODE_TRIANGLE_STRIP ||
                   mode == TINYGLTF_MODE_TRIANGLE_FAN;
        }

        // The vertex order of the primitive: its indices, or 0, 1, 2...
        std::vector<std::uint32_t> vertex_order(const tinygltf::Model& model,
                                                const tinygltf::Primitive& p,
                                                std::size_t nb_vertices)
        {
            if (p.indices >= 0)
            {
                return accessor_indices(model, p.indices);
            }
            std::vector<std::uint32_t> order(nb_vertices);
            for (std::size_t k = 0; k < order.size(); ++k)
            {
                order[k] = static_cast<std::uint32_t>(k);
            }
            return order;
        }

        // Triangles, strips (every other one turned to keep the winding)
        // and fans as a list of triangles.
        std::vector<std::array<std::uint32_t, 3>> triangle_list(
            const std::vector<std::uint32_t>& order, int mode)
        {
            std::vector<std::array<std::uint32_t, 3>> triangles;
            if (mode == TINYGLTF_MODE_TRIANGLES)
            {
                for (std::size_t k = 0; k + 2 < order.size(); k += 3)
                {
                    triangles.push_back({order[k], order[k + 1], order[k + 2]});
                }
                return triangles;
            }
            for (std::size_t k = 0; k + 2 < order.size(); ++k)
            {
                if (mode == TINYGLTF_MODE_TRIANGLE_FAN)
                {
                    triangles.push_back({order[0], order[k + 1], order[k + 2]});
                }
                else if (k % 2 == 0)
                {
                    triangles.push_back({order[k], order[k + 1], order[k + 2]});
                }
                else
                {
                    triangles.push_back({order[k + 1], order[k], order[k + 2]});
                }
            }
            return triangles;
        }

        void check_counts(const tinygltf::Model& model,
                          const tinygltf::Primitive& primitive,
                          std::size_t nb_vertices, const std::string& name,
                          const std::string& path)
        {
            for (const auto& attribute : primitive.attributes)
            {
                if (model.accessors[static_cast<std::size_t>(attribute.second)]
                        .count != nb_vertices)
                {
                    throw fault(path, name + "'s " + attribute.first +
                                          " has a count other than its "
                                          "POSITION's");
                }
            }
        }

        void check_indices(
            const std::vector<std::array<std::uint32_t, 3>>& triangles,
            std::size_t nb_vertices, const std::string& name,
            const std::string& path)
        {
            for (const auto& triangle : triangles)
            {
                for (const auto vertex : triangle)
                {
                    if (vertex >= nb_vertices)
                    {
                        throw fault(path, name + " has an index beyond its " +
                                              std::to_string(nb_vertices) +
                                              " vertices");
                    }
                }
            }
        }

        // Appends one primitive placed by `world` to the soup: all its
        // vertices, used or not, as the other readers keep them.
        void append_primitive(GltfScene& scene, GltfPrimitiveInstance instance,
                              const Matrix4& world, PolygonSoup& soup,
                              const std::string& path)
        {
            const auto& model = scene.model;
            const auto& primitive =
                model.meshes[static_cast<std::size_t>(instance.mesh)]
                    .primitives[static_cast<std::size_t>(instance.primitive)];
            const auto points =
                accessor_points(model, primitive.attributes.at("POSITION"));
            const auto name = "primitive " +
                              std::to_string(instance.primitive) + " of mesh " +
                              std::to_string(instance.mesh);
            check_counts(model, primitive, points.size(), name, path);
            instance.triangles = triangle_list(
                vertex_order(model, primitive, points.size()), primitive.mode);
            check_indices(instance.triangles, points.size(), name, path);
            if (soup.points.size() + points.size() > max_soup_vertices ||
                soup.polygons.size() + instance.triangles.size() >
                    max_soup_vertices)
            {
                throw fault(path, "its scene places more than " +
                                      std::to_string(max_soup_vertices) +
                                      " vertices or triangles");
            }
            const auto number =
                static_cast<std::uint32_t>(scene.instances.size());
            instance.soup_vertex.resize(points.size());
            for (std::uint32_t v = 0; v < points.size(); ++v)
            {
                instance.soup_vertex[v] = soup.points.size();
                scene.vertex_source.push_back({number, v});
                const auto placed = transform_point(world, points[v]);
                soup.points.emplace_back(placed);
            }
            instance.first_triangle = soup.polygons.size();
            for (const auto& triangle : instance.triangles)
            {
                soup.polygons.push_back({instance.soup_vertex[triangle[0]],
                                         instance.soup_vertex[triangle[1]],
                                         instance.soup_vertex[triangle[2]]});
            }
            scene.instances.push_back(std::move(instance));
        }

        void append_node(GltfScene& scene, int node, const Matrix4& world,
                         PolygonSoup& soup, const std::string& path)
        {
            const auto mesh =
                scene.model.nodes[static_cast<std::size_t>(node)].mesh;
            if (mesh < 0)
            {
                return;
            }
            const auto& primitives =
                scene.model.meshes[static_cast<std::size_t>(mesh)].primitives;
            for (std::size_t p = 0; p < primitives.size(); ++p)
            {
                if (!is_triangles(primitives[p].mode))
                {
                    continue;
                }
                GltfPrimitiveInstance instance;
                instance.node = node;
                instance.mesh = mesh;
                instance.primitive = static_cast<int>(p);
                append_primitive(scene, std::move(instance), world, soup, path);
                soup.transforms_applied =
                    soup.transforms_applied || world != identity_matrix();
            }
        }
    }  // namespace

    std::vector<int> gltf_root_nodes(const tinygltf::Model& model)
    {
        if (model.defaultScene >= 0)
        {
            return model.scenes[static_cast<std::size_t>(model.defaultScene)]
                .nodes;
        }
        std::vector<bool> is_child(model.nodes.size(), false);
        for (const auto& node : model.nodes)
        {
            for (const auto child : node.children)
            {
                is_child[static_cast<std::size_t>(child)] = true;
            }
        }
        std::vector<int> roots;
        for (std::size_t n = 0; n < model.nodes.size(); ++n)
        {
            if (!is_child[n])
            {
                roots.push_back(static_cast<int>(n));
            }
        }
        return roots;
    }

    // Depth first, in the order of the roots and children, with a stack of
    // its own: the hierarchy was checked to be a forest of bounded depth.
    void build_gltf_soup(GltfScene& scene, PolygonSoup& soup,
                         const std::string& path)
    {
        soup.single_precision = true;
        std::vector<std::pair<int, Matrix4>> pending;
        const auto roots = gltf_root_nodes(scene.model);
        for (auto r = roots.size(); r-- > 0;)
        {
            pending.emplace_back(roots[r], identity_matrix());
        }
        while (!pending.empty())
        {
            const auto [node, parent] = pending.back();
            pending.pop_back();
            const auto& gltf_node =
                scene.model.nodes[static_cast<std::size_t>(node)];
            const auto world = multiply(parent, local_matrix(gltf_node));
            append_node(scene, node, world, soup, path);
            for (auto c = gltf_node.children.size(); c-- > 0;)
            {
                pending.emplace_back(gltf_node.children[c], world);
            }
        }
        if (scene.instances.empty())
        {
            throw fault(path, "its scene places no primitive of triangles");
        }
        scene.surface_vertex.resize(soup.points.size());
        for (std::uint64_t v = 0; v < soup.points.size(); ++v)
        {
            scene.surface_vertex[v] = v;
        }
    }
}  // namespace tessaplan

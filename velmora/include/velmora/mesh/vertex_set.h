#pragma once

#include <velmora/basic/attribute_manager.h>
#include <velmora/basic/types.h>

namespace nodara
{
    template <index_t D>
    class TriangulatedSurfaceBuilder;

    /// A set of vertices with their attributes. The attribute manager is
    /// writable even through a const set: attributes are data hung on the
    /// mesh, not part of its geometry.
    class VertexSet
    {
        template <index_t D>
        friend class TriangulatedSurfaceBuilder;

    public:
        VertexSet(const VertexSet&) = delete;
        VertexSet& operator=(const VertexSet&) = delete;
        virtual ~VertexSet() = default;

        /// The number of vertices.
        index_t nb_vertices() const { return nb_vertices_; }

        /// The manager of the per-vertex attributes, sized to nb_vertices().
        AttributeManager& vertex_attribute_manager() const
        {
            return vertex_attribute_manager_;
        }

    protected:
        VertexSet() = default;

        /// Sets the vertex count and resizes every vertex attribute.
        void set_nb_vertices(index_t count)
        {
            vertex_attribute_manager_.resize(count);
            nb_vertices_ = count;
        }

    private:
        index_t nb_vertices_{0};
        mutable AttributeManager vertex_attribute_manager_;
    };
}  // namespace nodara

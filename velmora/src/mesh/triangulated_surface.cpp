#include <velmora/mesh/triangulated_surface.h>

#include <velmora/mesh/triangulated_surface_builder.h>

namespace nodara
{
    template <index_t D>
    std::unique_ptr<TriangulatedSurface<D>> TriangulatedSurface<D>::create()
    {
        return std::make_unique<TriangulatedSurface<D>>();
    }

    template <index_t D>
    std::unique_ptr<TriangulatedSurface<D>> TriangulatedSurface<D>::clone()
        const
    {
        auto copy = create();
        TriangulatedSurfaceBuilder<D>{*copy}.copy(*this);
        return copy;
    }

    template class TriangulatedSurface<2>;
    template class TriangulatedSurface<3>;
}  // namespace nodara

#include <velmora/geometry/plane.h>

namespace nodara
{
    Plane::Plane(const Vector<3>& normal, const Point<3>& origin)
        : normal_(normal.normalize()), origin_(origin)
    {
    }

    double Plane::plane_constant() const
    {
        return -normal_.dot(Vector<3>{origin_.get()});
    }
}  // namespace nodara

#pragma once

#include <functional>

#include <velmora/geometry/vector.h>

namespace nodara
{
    /// A plane through a point with a unit normal. It refers to its origin
    /// point without copying it: the point must outlive the plane.
    class Plane
    {
    public:
        /// Normalises `normal`. Throws VelmoraException "[Point::operator/]
        /// Cannot divide Point by something close to zero" when its length is
        /// not greater than 1e-30.
        Plane(const Vector<3>& normal, const Point<3>& origin);

        const Vector<3>& normal() const { return normal_; }
        const Point<3>& origin() const { return origin_.get(); }

        /// The constant c with normal() . x + c = 0 for every x on the plane.
        double plane_constant() const;

    private:
        Vector<3> normal_;
        std::reference_wrapper<const Point<3>> origin_;
    };
}  // namespace nodara

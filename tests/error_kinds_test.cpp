// Failures tell bad input from failures of the computation by their type.

#include <gtest/gtest.h>

#include <tessaplan/atlas.h>
#include <tessaplan/conversion.h>
#include <tessaplan/distortion.h>
#include <tessaplan/lscm.h>
#include <tessaplan/surface_flattening.h>

#include "surface_factory.h"

namespace nodara
{
    TEST(ErrorKinds, BadArgumentsAndSurfacesAreInvalidInput)
    {
        const auto square = testing::make_unit_square();
        AtlasOptions options;
        options.max_distortion = 0.5;
        EXPECT_THROW(compute_atlas(*square, options), InvalidInputException);
        EXPECT_THROW(
            convert_surface3d_into_2d(*square, std::vector<Point<2>>(3)),
            InvalidInputException);
        EXPECT_THROW(compute_triangle_distortions(*square, "missing"),
                     InvalidInputException);
        const auto octahedron = testing::make_surface(
            testing::octahedron_points(), testing::octahedron_triangles());
        EXPECT_THROW(compute_LSCM_map(*octahedron), InvalidInputException);
        EXPECT_THROW(flatten_surface(*octahedron), InvalidInputException);
        const auto lone = testing::make_surface({{0, 0, 0}}, {});
        EXPECT_THROW(compute_LSCM_map(*lone), InvalidInputException);
    }

    TEST(ErrorKinds, BothKindsAreVelmoraExceptions)
    {
        static_assert(
            std::is_base_of<VelmoraException, InvalidInputException>::value);
        static_assert(
            std::is_base_of<VelmoraException, ComputationException>::value);
        static_assert(std::is_base_of<InvalidInputException,
                                      PieceFlatteningError>::value);
        const ComputationException error{"[LSCM::solve] Solving failed"};
        EXPECT_STREQ(error.what(), "[LSCM::solve] Solving failed");
    }
}  // namespace nodara

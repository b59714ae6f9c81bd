#pragma once

// Everything about flattening one surface: the least squares conformal map
// and the conversion of a map into a surface in the plane.
#include <tessaplan/conversion.h>
#include <tessaplan/lscm.h>

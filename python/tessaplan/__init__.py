"""Flattening of triangulated surfaces by least squares conformal maps.

``flatten(points, triangles)`` maps a triangulated surface in 3D into the
plane and returns the 2D position of every vertex. It is built on two
extension modules that it imports:

- ``velmora_py_mesh``: the surface classes (``TriangulatedSurface3D``,
  ``TriangulatedSurface2D``) with numpy arrays in and out;
- ``tessaplan_py_surface``: ``compute_LSCM_parameterization(surface, name)``,
  which stores the map on the surface as the vertex attribute ``name``, and
  ``convert_surface3d_into_2d(surface, name)``, which builds the flat surface
  from that attribute.

Use those modules directly to keep the surfaces or the attribute.
"""

import velmora_py_mesh
import tessaplan_py_surface

__all__ = ["flatten"]

# The attribute lives only on the temporary surface that flatten builds.
_ATTRIBUTE_NAME = "tessaplan_flatten_uv"


def flatten(points, triangles):
    """Return the LSCM parameterization of a triangulated surface.

    Args:
        points: (n, 3) array-like of real numbers, the vertex coordinates.
        triangles: (m, 3) array-like of integers, the vertex indices of each
            triangle, counting from 0.

    Returns:
        numpy.ndarray: an (n, 2) float64 array; row v is the position of
        vertex v in the plane.

    Raises:
        TypeError: ``points`` does not hold real numbers or ``triangles``
            does not hold integers.
        ValueError: an array of another shape, a coordinate that is not
            finite, a negative or too large vertex index, or a triangle
            naming a vertex twice; the message names the first bad row.
        RuntimeError: the parameterization failed, e.g. for fewer than two
            vertices or a surface whose vertices all project onto one point;
            the message comes from the library.

    The two pinned vertices fix the map only on the connected piece of
    triangles they belong to: pass one connected surface whose every vertex
    belongs to a triangle. Elsewhere the map can come out degenerate (a
    vertex that no triangle uses keeps its projection onto the mean plane;
    when it is pinned, the triangles can collapse to a point).
    """
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, triangles)
    tessaplan_py_surface.compute_LSCM_parameterization(
        surface, _ATTRIBUTE_NAME)
    flat = tessaplan_py_surface.convert_surface3d_into_2d(
        surface, _ATTRIBUTE_NAME)
    return flat.points()

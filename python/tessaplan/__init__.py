"""Flattening of triangulated surfaces by least squares conformal maps.

``flatten(points, triangles, pack=False)`` maps a triangulated surface in 3D
into the plane and returns the 2D position of every vertex (with
``pack=True``, its pieces laid out side by side);
``measure_distortion(points, triangles, uv=None)`` measures how much such a
map distorts every triangle; ``atlas(points, triangles)`` cuts any surface,
closed ones included, into charts flattened without fold and packed into
the unit square, and ``check_atlas(points, triangles, corner_uv)`` checks
such a map of triangle corners exactly. They are built on extension modules
that they import:

- ``velmora_py_mesh``: the surface classes (``TriangulatedSurface3D``,
  ``TriangulatedSurface2D``) with numpy arrays in and out;
- ``tessaplan_py_surface``: ``compute_LSCM_map(surface)``, which returns the
  map as an array, ``pack_pieces(surface, uv)``, which lays the pieces of
  such a map out side by side, and their forms that work on a vertex
  attribute of the surface: ``compute_LSCM_parameterization(surface,
  name)``, ``pack_parameterization_pieces(surface, name)`` and
  ``convert_surface3d_into_2d(surface, name)``, which builds the flat
  surface from that attribute;
- ``tessaplan_py_distortion``: ``compute_uv_distortions(surface, uv)`` for a
  map given as an array, ``compute_flattening_distortions(surface)`` for the
  least squares conformal map of the surface, and
  ``compute_triangle_distortions(surface, name)`` for a map stored as the
  vertex attribute ``name``;
- ``tessaplan_py_atlas``: ``compute_atlas(surface, ...)`` and
  ``check_atlas(surface, corner_uv)``, with every figure of the atlas.

Use those modules directly to keep the surfaces or the attribute.
"""

import numpy

import velmora_py_mesh
import tessaplan_py_surface
import tessaplan_py_distortion
import tessaplan_py_atlas

__all__ = ["flatten", "measure_distortion", "atlas", "check_atlas"]

def flatten(points, triangles, pack=False):
    """Return the LSCM parameterization of a triangulated surface.

    Args:
        points: (n, 3) array-like of real numbers, the vertex coordinates.
        triangles: (m, 3) array-like of integers, the vertex indices of each
            triangle, counting from 0.
        pack: when True, lay the pieces (triangles joined through edges
            shared by exactly two triangles) out side by side: each is moved
            rigidly, by a translation and possibly a quarter turn, at the
            common scale, so that their bounding boxes do not overlap, packed
            into a small square with its lower corner at (0, 0). Pieces that
            share a vertex move together; a vertex that no triangle uses goes
            to (0, 0). When False, every piece stays where its pinned
            vertices put it.

    Returns:
        numpy.ndarray: an (n, 2) float64 array; row v is the position of
        vertex v in the plane.

    Raises:
        TypeError: ``points`` does not hold real numbers, ``triangles`` does
            not hold integers, or ``pack`` is not a bool.
        ValueError: an array of another shape, a coordinate that is not
            finite, a negative or too large vertex index, or a triangle
            naming a vertex twice; the message names the first bad row.
        RuntimeError: the parameterization failed, e.g. for fewer than two
            vertices or a surface whose vertices all project onto one point;
            the message comes from the library.

    Every piece is pinned and flattened at its own size, so a surface in
    several pieces needs no preparation; a vertex that no triangle uses
    keeps its projection onto the mean plane (without ``pack``).
    """
    if not isinstance(pack, (bool, numpy.bool_)):
        raise TypeError("pack must be a bool, got %s" % type(pack).__name__)
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, triangles)
    uv = tessaplan_py_surface.compute_LSCM_map(surface)
    if pack:
        uv, _ = tessaplan_py_surface.pack_pieces(surface, uv)
    return uv


def measure_distortion(points, triangles, uv=None):
    """Return how much a flattening distorts each triangle of a surface.

    Args:
        points: (n, 3) array-like of real numbers, the vertex coordinates.
        triangles: (m, 3) array-like of integers, the vertex indices of each
            triangle, counting from 0.
        uv: (n, 2) array-like of real numbers, the flattening to measure
            (row v is the image of vertex v); None measures the one that
            ``flatten(points, triangles)`` returns.

    Returns:
        dict: per-triangle numpy arrays of length m, row t for triangle t:

        - ``"conformal"`` (float64): sigma1 / sigma2 >= 1, the ratio of the
          singular values of the map from the triangle to its image; 1 when
          angles are kept, inf when the image has zero area;
        - ``"area"`` (float64): the triangle's share of the total image area
          divided by its share of the total 3D area; 1 when its relative size
          is kept. NaN for every triangle when the image has zero area;
        - ``"signed_image_area"`` (float64): positive when the image of
          corners 0, 1, 2 turns counter-clockwise;
        - ``"flipped"`` (bool): the image turns against the majority of the
          triangles of its piece, each read in the piece's consistent
          orientation (a triangle stored with the opposite winding counts
          with its sign inverted), or has zero area;
        - ``"degenerate"`` (bool): the triangle has zero area in 3D; its
          conformal and area values are NaN and it is never flipped or
          collapsed;
        - ``"collapsed"`` (bool): the image area is below 1e-12 of the 3D
          area (or not a number);
        - ``"piece"`` (uint32): the triangle's piece; pieces are triangles
          joined through edges shared by exactly two triangles;

        and ``"summary"``: ``{"conformal": {"mean", "p95", "max"}, "area":
        {"mean", "p95", "max"}, "flipped_triangles": int,
        "degenerate_triangles": int, "collapsed_triangles": int, "pieces":
        {...}}``. ``"pieces"`` holds ``"count"`` and arrays indexed by piece:
        ``"triangles"``, ``"border_edges"`` (sides with no triangle across,
        or with more than one), ``"closed"`` (no border edge),
        ``"area_ratio"`` (the image area over the 3D area: a figure that sees
        the scale, unlike the shares), ``"collapsed_triangles"`` and
        ``"collapsed"`` (area ratio below 1e-12, or not a number, with some
        3D area). The statistics leave the degenerate triangles out; p95 is
        the nearest rank, the smallest value that at least 95 % of the
        values do not exceed. A collapsed triangle makes the conformal mean
        and max inf; all three are NaN when no triangle is left.

    Raises:
        TypeError: ``points`` or ``uv`` does not hold real numbers, or
            ``triangles`` does not hold integers.
        ValueError: as for ``flatten``, and when ``uv`` is not of shape
            (n, 2) or holds a value that is not finite (the message names the
            first bad row).
        RuntimeError: the parameterization failed (only when ``uv`` is None);
            the message comes from the library.
    """
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, triangles)
    if uv is not None:
        return tessaplan_py_distortion.compute_uv_distortions(surface, uv)
    return tessaplan_py_distortion.compute_flattening_distortions(surface)


def atlas(points, triangles, max_distortion=1.15, padding=2.0,
          resolution=1024):
    """Cut a surface into charts, flatten each and pack them into [0, 1]^2.

    Every chart is a topological disc flattened by LSCM without a flipped
    or overlapping triangle, with the 95th percentile of its conformal
    distortion at most ``max_distortion`` and of its area distortion under
    2; the charts share one scale, are turned for a tight box and lie
    ``padding`` texels apart at ``resolution`` texels along the side. Any
    surface works: closed ones, ones with handles, pieces that meet at a
    vertex. A triangle of zero area gets a chart of its own, on a segment.

    Args:
        points: (n, 3) array-like of real numbers, the vertex coordinates.
        triangles: (m, 3) array-like of integers, the vertex indices of each
            triangle, counting from 0.
        max_distortion: real number of at least 1.
        padding: texels between charts, at least 0.
        resolution: texels along the side of the unit square, at least 16.

    Returns:
        tuple: ``(chart, corner_uv)``: a uint32 array (m,) with the chart of
        each triangle, and a float64 array (m, 3, 2) whose entry [t, k] is
        the image of corner k of triangle t; a vertex on a seam has one image
        per chart.

    Raises:
        TypeError: an array does not hold numbers of the right kind.
        ValueError: an array of another shape, a coordinate that is not
            finite, or a bad vertex index (the message names the row).
        RuntimeError: the library refused the surface or the options; the
            message comes from the library.
    """
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, triangles)
    result = tessaplan_py_atlas.compute_atlas(
        surface, max_distortion, padding, resolution)
    return result["chart"], result["corner_uv"]


def check_atlas(points, triangles, corner_uv):
    """Check a map of triangle corners with exact predicates.

    A chart is a set of triangles joined through edges whose ends have the
    same images on both sides. A triangle of non-zero 3D area is flipped
    when its image has zero area or turns against the majority of its chart
    (each read in the chart's consistent orientation, so the input's winding
    does not matter); two images overlap when their interiors meet.

    Args:
        points: (n, 3) array-like of real numbers, the vertex coordinates.
        triangles: (m, 3) array-like of integers.
        corner_uv: (m, 3, 2) array-like of real numbers, the image of each
            triangle corner.

    Returns:
        dict: ``"valid"`` (no flip, no overlap), ``"flipped_triangles"``,
        ``"overlapping_pairs"``, ``"degenerate_triangles"`` (zero 3D area,
        not checked) and ``"first_overlaps"`` (up to 16 pairs of triangle
        ids).

    Raises:
        TypeError: an array does not hold numbers of the right kind.
        ValueError: an array of another shape, or a bad point or triangle
            row.
        RuntimeError: ``corner_uv`` holds a value that is not finite.
    """
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, triangles)
    return tessaplan_py_atlas.check_atlas(surface, corner_uv)

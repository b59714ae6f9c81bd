"""Flattening of triangulated surfaces by least squares conformal maps.

``flatten(points, triangles, pack=False, on_fold="warn")`` maps a
triangulated surface in 3D into the plane and returns the 2D position of
every vertex (with ``pack=True``, its pieces laid out side by side), raising
``FlatteningError`` for a piece that cannot be flattened and warning with
``TessaplanWarning`` of folds and of triangles left out of the solve;
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

The package is typed (it ships ``py.typed``): arrays go in as anything
``numpy.asarray`` accepts (``numpy.typing.ArrayLike``) and come out as
``numpy.typing.NDArray`` of the dtype each function documents; the dicts it
returns are described by the TypedDicts ``Distortions``,
``DistortionSummary``, ``DistortionStatistics``, ``PieceFigures`` and
``AtlasCheck``.
"""

from __future__ import annotations

import dataclasses
import numbers
import warnings
from typing import (Any, Dict, Iterator, List, Literal, Optional, Tuple,
                    TypedDict, cast, get_args)

import numpy
from numpy.typing import ArrayLike, NDArray

import velmora_py_mesh
import tessaplan_py_surface
import tessaplan_py_distortion
import tessaplan_py_atlas

#: The version of the library and of its modules.
__version__ = tessaplan_py_surface.__version__

__all__ = ["flatten", "flatten_with_report", "FlattenResult",
           "measure_distortion", "atlas", "check_atlas", "uv_seams",
           "AtlasResult",
           "TessaplanError", "InvalidInputError", "FlatteningError",
           "TessaplanWarning", "Distortions", "DistortionSummary",
           "DistortionStatistics", "PieceFigures", "AtlasCheck"]

#: Any failure of the library, in particular of its computation (a solve
#: that does not succeed). A subclass of RuntimeError.
TessaplanError = tessaplan_py_surface.TessaplanError

#: Bad input that only the library can see: options out of range, a surface
#: the operation cannot handle as given. A TessaplanError and a ValueError.
InvalidInputError = tessaplan_py_surface.InvalidInputError

#: Raised when a piece of the surface cannot be flattened: it collapsed (a
#: closed piece does, and cannot be flattened without cuts) or its solve
#: failed; the message names the piece, one of its triangles and the likely
#: cause. An InvalidInputError.
FlatteningError = tessaplan_py_surface.FlatteningError

# What flatten may do about a map that folds (its on_fold argument).
_OnFold = Literal["warn", "raise", "ignore"]
_ON_FOLD = get_args(_OnFold)
_Scale = Literal["pins", "area"]
_SCALES = get_args(_Scale)
_Method = Literal["lscm", "arap"]
_METHODS = get_args(_Method)


class TessaplanWarning(UserWarning):
    """A result that is usable but not what the caller may expect: a map
    that folds over itself, triangles left out of the solve, a closed
    piece."""


class DistortionStatistics(TypedDict):
    """Statistics of one distortion measure over the triangles that are not
    degenerate: the mean, the 95th percentile (nearest rank) and the
    maximum; NaN when no triangle is left."""

    mean: float
    p95: float
    max: float


class PieceFigures(TypedDict):
    """Figures of the pieces of a surface (triangles joined through edges
    shared by exactly two triangles): ``count``, and arrays indexed by
    piece, as ``measure_distortion`` documents them."""

    count: int
    triangles: NDArray[numpy.uint32]
    border_edges: NDArray[numpy.uint32]
    closed: NDArray[numpy.bool_]
    area_ratio: NDArray[numpy.float64]
    length_scale: NDArray[numpy.float64]
    collapsed_triangles: NDArray[numpy.uint32]
    collapsed: NDArray[numpy.bool_]


class DistortionSummary(TypedDict):
    """The summary of a map's distortion: the statistics of the conformal
    and of the area distortion, the counts of flipped, degenerate and
    collapsed triangles, and the pieces' figures."""

    conformal: DistortionStatistics
    area: DistortionStatistics
    length: DistortionStatistics
    flipped_triangles: int
    degenerate_triangles: int
    collapsed_triangles: int
    pieces: PieceFigures


class Distortions(TypedDict):
    """What ``measure_distortion`` returns: per-triangle arrays (row t for
    triangle t) and their summary, as its docstring explains."""

    conformal: NDArray[numpy.float64]
    area: NDArray[numpy.float64]
    sigma1: NDArray[numpy.float64]
    sigma2: NDArray[numpy.float64]
    length: NDArray[numpy.float64]
    signed_image_area: NDArray[numpy.float64]
    flipped: NDArray[numpy.bool_]
    degenerate: NDArray[numpy.bool_]
    collapsed: NDArray[numpy.bool_]
    piece: NDArray[numpy.uint32]
    summary: DistortionSummary


class AtlasCheck(TypedDict):
    """The exact check of a map of triangle corners, as ``check_atlas``
    returns it: whether it is valid (no flip, no overlap), the counts of
    flipped triangles, overlapping pairs and degenerate triangles, and up
    to 16 overlapping pairs of triangle ids."""

    valid: bool
    flipped_triangles: int
    overlapping_pairs: int
    degenerate_triangles: int
    first_overlaps: List[Tuple[int, int]]


def _flattening_warnings(result: Dict[str, Any]) -> List[str]:
    """The texts of the warnings about a checked flattening, but folds."""
    texts = []
    repeated = result["repeated_corner_triangles"]
    if repeated:
        texts.append(
            "%d triangle(s) with corners at fewer than three distinct "
            "positions were left out of the solve and keep the map of their "
            "vertices" % repeated)
    duplicates = result["duplicate_triangles"]
    if duplicates:
        texts.append(
            "%d triangle(s) repeat the vertices of an earlier one (either "
            "way round): the copies were left out of the solve and keep the "
            "map of their vertices" % duplicates)
    closed = int(numpy.count_nonzero(result["summary"]["pieces"]["closed"]))
    if closed:
        texts.append(
            "%d piece(s) of the surface are closed (no border edge): a "
            "closed surface cannot be flattened without cuts, expect strong "
            "distortion and overlaps; tessaplan.atlas cuts it into charts"
            % closed)
    return texts


def _fold_text(summary: DistortionSummary) -> str:
    """The text of the warning, or error, about a map that folds."""
    triangles = int(numpy.sum(summary["pieces"]["triangles"]))
    return ("the map folds over itself: %d of %d triangles are flipped "
            "(turned against the others of their piece); tessaplan.atlas "
            "cuts the surface into charts that do not fold"
            % (summary["flipped_triangles"], triangles))


_Pins = Tuple[ArrayLike, ArrayLike]


def _check_choice(name: str, value: object, choices: Tuple[str, ...]) -> None:
    """Raise TypeError unless ``value`` is a str, ValueError unless it is one
    of ``choices``."""
    if not isinstance(value, str):
        raise TypeError("%s must be a str, got %s"
                        % (name, type(value).__name__))
    if value not in choices:
        raise ValueError("%s must be one of %s, got %r"
                         % (name, ", ".join(repr(x) for x in choices), value))


def _pin_arrays(pins: Optional[_Pins]) -> Tuple[NDArray[numpy.int64],
                                                NDArray[numpy.float64]]:
    """The pins as (k,) int64 vertex indices and (k, 2) float64 positions,
    checked for type and shape."""
    if pins is None:
        return (numpy.zeros(0, dtype=numpy.int64),
                numpy.zeros((0, 2), dtype=numpy.float64))
    if not isinstance(pins, (tuple, list)) or len(pins) != 2:
        raise TypeError("pins must be a pair (vertex indices, positions), "
                        "got %s" % type(pins).__name__)
    vertices = numpy.asarray(pins[0])
    positions = numpy.asarray(pins[1])
    if vertices.size and vertices.dtype.kind not in "iu":
        raise TypeError("pins' vertex indices must be integers, got %s"
                        % vertices.dtype)
    if positions.size and positions.dtype.kind not in "iuf":
        raise TypeError("pins' positions must be real numbers, got %s"
                        % positions.dtype)
    vertices = vertices.reshape(-1) if vertices.size == 0 else vertices
    positions = positions.reshape(-1, 2) if positions.size == 0 else positions
    if vertices.ndim != 1 or positions.shape != (len(vertices), 2):
        raise ValueError("pins need (k,) vertex indices and (k, 2) "
                         "positions, got shapes %s and %s"
                         % (vertices.shape, positions.shape))
    if len(vertices) and (vertices.min() < 0 or
                          vertices.max() > numpy.iinfo(numpy.int64).max):
        raise ValueError("pins' vertex indices must be from 0 on")
    return (vertices.astype(numpy.int64),
            positions.astype(numpy.float64))


def _seam_array(seams: Optional[ArrayLike]) -> Optional[NDArray[numpy.int64]]:
    """The seams as a (k, 2) int64 array, checked for type and shape; None
    stays None."""
    if seams is None:
        return None
    edges = numpy.asarray(seams)
    if edges.size == 0:
        return numpy.zeros((0, 2), dtype=numpy.int64)
    if edges.dtype.kind not in "iu":
        raise TypeError("seams must hold integer vertex indices, got %s"
                        % edges.dtype)
    if edges.ndim != 2 or edges.shape[1] != 2:
        raise ValueError("seams need a (k, 2) array of vertex pairs, got "
                         "shape %s" % (edges.shape,))
    if edges.min() < 0 or edges.max() > numpy.iinfo(numpy.int64).max:
        raise ValueError("seams' vertex indices must be from 0 on")
    return edges.astype(numpy.int64)


def flatten(points: ArrayLike, triangles: ArrayLike, pack: bool = False,
            on_fold: _OnFold = "warn", scale: _Scale = "pins",
            pins: Optional[_Pins] = None, method: _Method = "lscm",
            seams: Optional[ArrayLike] = None) -> NDArray[numpy.float64]:
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
        on_fold: what to do when the map folds over itself (a triangle is
            flipped): "warn" (the default) issues a TessaplanWarning,
            "raise" raises FlatteningError, "ignore" does neither.
        scale: what sets each piece's size: "pins" (the default) keeps the
            scale its pinned vertices give; "area" scales each group of
            pieces joined through vertices uniformly about its centroid so
            that its flat area equals its 3D area, so that a developable
            piece comes out at its true size (a conformal map stays
            conformal). Applied before ``pack``.
        pins: None (the default: two vertices of each piece are pinned at
            their projections onto the mean plane) or a pair
            ``(indices, positions)``: (k,) vertex indices and (k, 2)
            positions. A piece holding two or more given pins is pinned at
            exactly those; one holding one gets a second pin, the extreme
            vertex farther from it, at its projection; one holding none is
            pinned as without ``pins``. The other vertices get the
            least-squares conformal solution under those constraints. With
            ``scale="area"`` the pinned pieces are scaled too.
        method: "lscm" (the default) keeps angles as well as can be;
            "arap" starts from that map and makes it as rigid as possible
            (local/global iterations, one factorisation), keeping lengths
            as well as can be at the surface's own size, so ``scale`` does
            not apply; it takes no ``pins``. Folds are warned of as for
            "lscm".
        seams: None (the default) or (k, 2) vertex pairs, edges of the
            surface along which it is cut open before flattening: the
            triangles on the two sides of a seam no longer share its
            vertices, so a vertex along it gets one image per side (seams
            that cut a closed surface into discs let it flatten). The
            result is then per corner; a pin on a vertex the seams split
            holds its copy in the lowest triangle.

    Returns:
        numpy.ndarray: an (n, 2) float64 array; row v is the position of
        vertex v in the plane. With ``seams``, an (m, 3, 2) float64 array
        instead: [t, k] is the image of corner k of triangle t.

    Raises:
        TypeError: ``points`` does not hold real numbers, ``triangles`` does
            not hold integers, ``pack`` is not a bool or ``on_fold``,
            ``scale`` or ``method`` not a str.
        ValueError: an array of another shape, a coordinate that is not
            finite, a negative or too large vertex index, a triangle naming
            a vertex twice (the message names the first bad row), an
            ``on_fold`` other than "warn", "raise" and "ignore", or a
            ``scale`` other than "pins" and "area", a ``method`` other
            than "lscm" and "arap", ``pins`` with "arap", ``seams`` of
            another shape or naming a pair of vertices that no triangle
            joins by an edge (the message names the seam), or bad ``pins``: of
            another shape, a vertex out of range, a position that is not
            finite, one vertex at two positions, or two pins of one piece
            at one position (the message names the pin). ``pins`` that is
            not a pair, or holds indices that are not integers, raises
            TypeError.
        FlatteningError: a piece collapsed (as a closed piece does: it
            cannot be flattened without cuts, which ``atlas`` makes) or its
            solve failed; with ``on_fold="raise"``, the map folds. The
            message names the piece and one of its triangles.
        RuntimeError: any other failure of the parameterization, e.g. for
            fewer than two vertices; the message comes from the library.

    Every piece is pinned and flattened at its own size, so a surface in
    several pieces needs no preparation; a vertex that no triangle uses
    keeps its projection onto the mean plane (without ``pack``). Triangles
    whose corners lie at fewer than three distinct positions, and copies of
    an earlier triangle (the same vertices, either way round), are left out
    of the solve with a TessaplanWarning giving their count; their vertices
    keep the map of the solved vertex at the same position. A closed piece
    that does not collapse gives a TessaplanWarning.
    """
    return flatten_with_report(points, triangles, pack=pack, on_fold=on_fold,
                               scale=scale, pins=pins, method=method,
                               seams=seams, _stacklevel=3).uv


@dataclasses.dataclass(frozen=True)
class FlattenResult:
    """What ``flatten_with_report`` computes.

    Attributes:
        uv: float64 (n, 2), the map: row v is the image of vertex v; with
            ``seams``, float64 (m, 3, 2), the image of every triangle
            corner.
        summary: the distortion of the map, over the triangles solved for,
            as ``measure_distortion`` gives its ``"summary"`` (statistics,
            counts and per-piece figures).
        left_out: bool (m,), the triangles left out of the solve.
        repeated_corner_triangles: how many were left out for corners at
            fewer than three distinct positions.
        duplicate_triangles: how many were left out as copies of an
            earlier triangle.
        pack_fill: with ``pack``, the pieces' boxes' share of the bounding
            square; 0 without.
        arap_iterations: with ``method="arap"``, the iterations run; 0
            otherwise.
        arap_converged: with ``method="arap"``, whether the energy settled
            (changed by less than 1e-6 of itself) within 500 iterations.
        warnings: the texts of the warnings issued (folds, triangles left
            out, closed pieces).
    """

    uv: NDArray[numpy.float64]
    summary: DistortionSummary
    left_out: NDArray[numpy.bool_]
    repeated_corner_triangles: int
    duplicate_triangles: int
    pack_fill: float
    warnings: Tuple[str, ...]
    arap_iterations: int = 0
    arap_converged: bool = False


def flatten_with_report(points: ArrayLike, triangles: ArrayLike,
                        pack: bool = False, on_fold: _OnFold = "warn",
                        scale: _Scale = "pins",
                        pins: Optional[_Pins] = None,
                        method: _Method = "lscm",
                        seams: Optional[ArrayLike] = None,
                        _stacklevel: int = 2) -> FlattenResult:
    """Flatten as ``flatten`` does and return the map with its report.

    Takes the same arguments, issues the same warnings and raises the same
    exceptions as ``flatten``.

    Returns:
        FlattenResult: the map, its distortion summary, the triangles left
        out of the solve, the packing's fill and the warnings' texts.
    """
    if not isinstance(pack, (bool, numpy.bool_)):
        raise TypeError("pack must be a bool, got %s" % type(pack).__name__)
    if not isinstance(on_fold, str):
        raise TypeError("on_fold must be a str, got %s"
                        % type(on_fold).__name__)
    if on_fold not in _ON_FOLD:
        raise ValueError("on_fold must be one of %s, got %r"
                         % (", ".join(repr(x) for x in _ON_FOLD), on_fold))
    _check_choice("scale", scale, _SCALES)
    _check_choice("method", method, _METHODS)
    pin_vertices, pin_positions = _pin_arrays(pins)
    seam_edges = _seam_array(seams)
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, triangles)
    result = tessaplan_py_distortion.compute_checked_flattening(
        surface, bool(pack), scale, pin_vertices, pin_positions, method,
        seam_edges)
    summary = cast(DistortionSummary, result["summary"])
    texts = _flattening_warnings(result)
    for text in texts:
        warnings.warn(text, TessaplanWarning, stacklevel=_stacklevel)
    if summary["flipped_triangles"] and on_fold != "ignore":
        if on_fold == "raise":
            raise FlatteningError(_fold_text(summary))
        texts.append(_fold_text(summary))
        warnings.warn(texts[-1], TessaplanWarning, stacklevel=_stacklevel)
    return FlattenResult(
        uv=result["map"] if seam_edges is None else result["corners"],
        summary=summary,
        left_out=result["left_out"],
        repeated_corner_triangles=result["repeated_corner_triangles"],
        duplicate_triangles=result["duplicate_triangles"],
        pack_fill=result["pack_fill"], warnings=tuple(texts),
        arap_iterations=result["arap_iterations"],
        arap_converged=result["arap_converged"])


def measure_distortion(points: ArrayLike, triangles: ArrayLike,
                       uv: Optional[ArrayLike] = None) -> Distortions:
    """Return how much a flattening distorts each triangle of a surface.

    Args:
        points: (n, 3) array-like of real numbers, the vertex coordinates.
        triangles: (m, 3) array-like of integers, the vertex indices of each
            triangle, counting from 0.
        uv: (n, 2) array-like of real numbers, the flattening to measure
            (row v is the image of vertex v); None measures the one that
            ``flatten(points, triangles, on_fold="ignore")`` returns (with
            its warnings and exceptions).

    Returns:
        dict: per-triangle numpy arrays of length m, row t for triangle t:

        - ``"conformal"`` (float64): sigma1 / sigma2 >= 1, the ratio of the
          singular values of the map from the triangle to its image; 1 when
          angles are kept, inf when the image has zero area;
        - ``"area"`` (float64): the triangle's share of the total image area
          divided by its share of the total 3D area; 1 when its relative size
          is kept. NaN for every triangle when the image has zero area;
        - ``"sigma1"``, ``"sigma2"`` (float64): the singular values of that
          map, the most and the least it stretches lengths;
        - ``"length"`` (float64): max(sigma1, 1 / sigma2) >= 1, 1 when
          lengths are kept (it sees the map's scale: meaningful at true
          size, ``scale="area"`` or ``method="arap"``);
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
        {"mean", "p95", "max"}, "length": {...}, "flipped_triangles": int,
        "degenerate_triangles": int, "collapsed_triangles": int, "pieces":
        {...}}``. ``"pieces"`` holds ``"count"`` and arrays indexed by piece:
        ``"triangles"``, ``"border_edges"`` (sides with no triangle across,
        or with more than one), ``"closed"`` (no border edge),
        ``"area_ratio"`` (the image area over the 3D area: a figure that sees
        the scale, unlike the shares), ``"length_scale"`` (its square root:
        the factor the map applies to the piece's lengths, 1 at true
        size), ``"collapsed_triangles"`` and
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
        FlatteningError, RuntimeError: as for ``flatten`` (only when ``uv``
            is None).
    """
    if uv is None:
        uv = flatten(points, triangles, on_fold="ignore")
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, triangles)
    return cast(Distortions,
                tessaplan_py_distortion.compute_uv_distortions(surface, uv))


@dataclasses.dataclass(frozen=True)
class AtlasResult:
    """What ``atlas`` computes.

    Attributes:
        chart: uint32 (m,), the chart of each triangle.
        corner_uv: float64 (m, 3, 2), the image of corner k of triangle t
            in the unit square of its page; a vertex on a seam has one
            image per chart.
        page: uint32 (m,), the page (square) of each triangle: all 0 unless
            ``texels_per_unit`` asked for a density that needs more pages.
            Triangles on different pages may overlap in ``corner_uv``.
        pages: the number of pages.
        vertices: uint32 (p,), for the mesh split along the seams, the input
            vertex each of its vertices comes from.
        uv: float64 (p, 2), the image of each vertex of the split mesh.
        faces: uint32 (m, 3), triangle t of the input in the split mesh:
            ``uv[faces[t, k]]`` is ``corner_uv[t, k]``.
        texels_per_unit: texels per unit of 3D length, for every chart.
        efficiency: the share of the pages' area the triangles cover.
        seam_edges: edges shared by triangles of different charts.
        degenerate_triangles: triangles of zero 3D area.
        chart_triangles, chart_conformal_p95, chart_area_p95: per chart,
            arrays of its triangle count and the 95th percentiles of its
            conformal and area distortion, the latter both ways: per
            triangle max(a, 1/a), with a its share of the chart's image
            area over its share of the chart's 3D area.
        area_p95: the same area figure over the whole atlas, each triangle
            of a chart that is not degenerate counted once (the charts
            share one scale, so a is the triangle's texel density over the
            atlas's mean).
        check: the exact check of ``corner_uv``, as ``check_atlas`` returns
            it; always valid.
        chart_source: per chart, how its map was made: "cut" (cut and
            flattened by the atlas), "given" (an island of
            ``charts_from_uv`` flattened again by LSCM) or "kept" (an
            island that keeps its own map, scaled to its 3D area).

    Iterating gives ``chart`` and ``corner_uv``, so that
    ``chart, corner_uv = atlas(...)`` keeps working.
    """

    chart: NDArray[numpy.uint32]
    corner_uv: NDArray[numpy.float64]
    page: NDArray[numpy.uint32]
    pages: int
    vertices: NDArray[numpy.uint32]
    uv: NDArray[numpy.float64]
    faces: NDArray[numpy.uint32]
    texels_per_unit: float
    efficiency: float
    seam_edges: int
    degenerate_triangles: int
    chart_triangles: NDArray[numpy.uint32]
    chart_conformal_p95: NDArray[numpy.float64]
    chart_area_p95: NDArray[numpy.float64]
    area_p95: float
    check: AtlasCheck
    chart_source: List[str]

    def __iter__(self) -> Iterator[NDArray[Any]]:
        """``chart``, then ``corner_uv``."""
        pair: Tuple[NDArray[Any], ...] = (self.chart, self.corner_uv)
        return iter(pair)


_ATLAS_DEFAULTS = tessaplan_py_atlas.DEFAULT_OPTIONS


def _atlas_options(max_distortion: Any, padding: Any, resolution: Any,
                   rotate: Any, max_chart_area: Any, max_boundary_length: Any,
                   texels_per_unit: Any) -> Tuple[Any, ...]:
    """The atlas's options in the order compute_atlas takes them, checked
    for their types (TypeError) and, for ``resolution``, for a size the
    binding can hold (ValueError); the library checks their ranges."""
    numbers_given = {"max_distortion": max_distortion, "padding": padding,
                     "max_chart_area": max_chart_area,
                     "max_boundary_length": max_boundary_length,
                     "texels_per_unit": texels_per_unit}
    for name, value in numbers_given.items():
        if isinstance(value, (bool, numpy.bool_)) or not isinstance(
                value, numbers.Real):
            raise TypeError(f"{name} must be a real number, got "
                            f"{type(value).__name__}")
    if isinstance(resolution, (bool, numpy.bool_)) or not isinstance(
            resolution, numbers.Integral):
        raise TypeError("resolution must be a whole number of texels, got "
                        f"{type(resolution).__name__}")
    resolution = int(resolution)
    if not 0 <= resolution < 2**32:
        raise ValueError("resolution must be from 16 to 16777216 texels, "
                         f"got {resolution}")
    if not isinstance(rotate, (bool, numpy.bool_)):
        raise TypeError(f"rotate must be True or False, got "
                        f"{type(rotate).__name__}")
    return (float(max_distortion), float(padding), resolution,
            bool(rotate), float(max_chart_area), float(max_boundary_length),
            float(texels_per_unit))


def atlas(points: ArrayLike, triangles: ArrayLike,
          max_distortion: float = _ATLAS_DEFAULTS["max_distortion"],
          padding: float = _ATLAS_DEFAULTS["padding"],
          resolution: int = _ATLAS_DEFAULTS["resolution"],
          rotate: bool = _ATLAS_DEFAULTS["rotate"],
          max_chart_area: float = _ATLAS_DEFAULTS["max_chart_area"],
          max_boundary_length: float = _ATLAS_DEFAULTS["max_boundary_length"],
          texels_per_unit: float = _ATLAS_DEFAULTS["texels_per_unit"],
          seams: Optional[ArrayLike] = None,
          charts_from_uv: Optional[ArrayLike] = None) -> AtlasResult:
    """Cut a surface into charts, flatten each and pack them into [0, 1]^2.

    Every chart is a topological disc flattened by LSCM without a flipped
    or overlapping triangle, with the 95th percentile of its conformal
    distortion at most ``max_distortion`` and of its area distortion, both
    ways (a triangle shrunk by a factor counts as one grown by it), at
    most ``_ATLAS_DEFAULTS["max_area_distortion"]`` (2); the charts share
    one scale, are turned for a tight box (unless ``rotate`` is False) and
    lie ``padding`` texels apart at ``resolution`` texels along the side.
    Any surface works: closed ones, ones with handles, pieces that meet at
    a vertex. A triangle of zero area gets a chart of its own, on a
    segment. The defaults are the library's (``_ATLAS_DEFAULTS``).

    Args:
        points: (n, 3) array-like of real numbers, the vertex coordinates.
        triangles: (m, 3) array-like of integers, the vertex indices of each
            triangle, counting from 0.
        max_distortion: real number of at least 1.
        padding: texels between charts, at least 0.
        resolution: texels along the side of the unit square (of each
            page), from 16 to 16777216.
        rotate: whether packing turns the charts (to their smallest
            enclosing rectangle, and by quarter turns).
        max_chart_area: the largest 3D area of a chart, in the units of
            ``points`` squared; a larger chart is cut further, a single
            triangle never. 0 or infinity: unbounded.
        max_boundary_length: the largest 3D length of a chart's border,
            kept in the same way. 0 or infinity: unbounded.
        texels_per_unit: 0 packs at the largest scale that fits one square;
            above 0, the charts are packed at that many texels per unit of
            3D length into as many squares (pages) of ``resolution`` texels
            as they need.
        seams: None (the default) or (k, 2) vertex pairs, edges of the
            surface that no chart may cross (as in ``flatten``): charts end
            at them, and other seams are added where needed.
        charts_from_uv: None (the default) or an (m, 3, 2) array-like of
            real numbers, a map of the triangle corners such as a file's
            texture coordinates: its islands (the pieces of the surface cut
            where the map is not continuous) become the charts. Each is
            flattened again by LSCM, whatever its distortion; one that LSCM
            folds keeps its own map, scaled to its 3D area, when that lays
            it flat; one that neither lays flat (closed, or overlapping
            itself) is cut as usual (see ``AtlasResult.chart_source``).
            Not with ``seams``.

    Returns:
        AtlasResult: the chart and page of each triangle and the image of
        each triangle corner, the mesh split along the seams, and the
        atlas's figures. Unpacked as a pair it gives ``(chart, corner_uv)``.

    Raises:
        TypeError: an array does not hold numbers of the right kind, or an
            option is not of its type (``rotate`` a bool, ``resolution`` an
            integer, the others real numbers).
        ValueError: an array of another shape, a coordinate that is not
            finite, or a bad vertex index (the message names the row), and
            options out of range (InvalidInputError), a chart larger than a
            page at ``texels_per_unit`` among them, and ``seams`` of another
            shape or naming a pair of vertices that no triangle joins by an
            edge, ``charts_from_uv`` of another shape or with a value that
            is not finite, or given with ``seams``.
        TessaplanError: the atlas could not be made (a RuntimeError); the
            message comes from the library.
    """
    options = _atlas_options(max_distortion, padding, resolution, rotate,
                             max_chart_area, max_boundary_length,
                             texels_per_unit)
    seam_edges = _seam_array(seams)
    if seam_edges is not None and charts_from_uv is not None:
        raise ValueError("charts_from_uv keeps the map's islands as the "
                         "charts: seams do not apply")
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, triangles)
    result = tessaplan_py_atlas.compute_atlas(
        surface, *(options + (seam_edges, charts_from_uv)))
    return AtlasResult(
        chart=result["chart"], corner_uv=result["corner_uv"],
        page=result["page"], pages=result["pages"],
        vertices=result["vertices"], uv=result["uv"], faces=result["faces"],
        texels_per_unit=result["texels_per_unit"],
        efficiency=result["efficiency"], seam_edges=result["seam_edges"],
        degenerate_triangles=result["degenerate_triangles"],
        chart_triangles=result["chart_triangles"],
        chart_conformal_p95=result["chart_conformal_p95"],
        chart_area_p95=result["chart_area_p95"],
        area_p95=result["area_p95"],
        check=cast(AtlasCheck, result["check"]),
        chart_source=list(result["chart_source"]))


def uv_seams(points: ArrayLike, triangles: ArrayLike,
             corner_uv: ArrayLike) -> NDArray[numpy.int64]:
    """The seams of a map of the triangle corners, such as a file's UVs.

    Passed as ``seams`` to ``flatten`` or ``atlas``, they cut the surface
    where the map is not continuous, so that its islands become the pieces
    (or no chart crosses them).

    Args:
        points: (n, 3) array-like of real numbers, the vertex coordinates.
        triangles: (m, 3) array-like of integers, the vertex indices of each
            triangle, counting from 0.
        corner_uv: (m, 3, 2) array-like of real numbers, the image of
            corner k of triangle t.

    Returns:
        int64 (k, 2): the edges shared by two triangles across which the
        map is not continuous (an end has different images on the two
        sides), as vertex pairs.

    Raises:
        TypeError: an array does not hold numbers of the right kind.
        ValueError: an array of another shape, a coordinate that is not
            finite, or a bad vertex index.
    """
    surface = velmora_py_mesh.TriangulatedSurface3D.from_arrays(
        points, triangles)
    return tessaplan_py_atlas.seam_edges(surface, corner_uv)


def check_atlas(points: ArrayLike, triangles: ArrayLike,
                corner_uv: ArrayLike) -> AtlasCheck:
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
    return cast(AtlasCheck,
                tessaplan_py_atlas.check_atlas(surface, corner_uv))

"""Types of tessaplan_py_distortion (bindings/python): the distortion
measures. Their dicts are laid out as tessaplan.Distortions describes; a str
is accepted wherever a StringView is expected."""

from typing import Any, Dict, Optional, Union

from numpy.typing import ArrayLike

from velmora_py_mesh import StringView, TriangulatedSurface3D

def compute_triangle_distortions(
        surface: TriangulatedSurface3D,
        attribute_name: Union[str, StringView]) -> Dict[str, Any]: ...
def compute_uv_distortions(surface: TriangulatedSurface3D,
                           uv: ArrayLike) -> Dict[str, Any]: ...
def compute_flattening_distortions(
        surface: TriangulatedSurface3D) -> Dict[str, Any]: ...
def compute_checked_flattening(surface: TriangulatedSurface3D,
                               pack: bool = ...,
                               scale: str = ...,
                               pin_vertices: ArrayLike = ...,
                               pin_positions: ArrayLike = ...,
                               method: str = ...,
                               seams: Optional[ArrayLike] = ...
                               ) -> Dict[str, Any]: ...

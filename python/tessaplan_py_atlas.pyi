"""Types of tessaplan_py_atlas (bindings/python): the texture atlas and its
exact check. Their dicts are described by tessaplan.AtlasResult and
tessaplan.AtlasCheck."""

from typing import Any, Dict, Optional

from numpy.typing import ArrayLike

from velmora_py_mesh import TriangulatedSurface3D

DEFAULT_OPTIONS: Dict[str, Any]

def compute_atlas(surface: TriangulatedSurface3D, max_distortion: float = ...,
                  padding: float = ..., resolution: int = ...,
                  rotate: bool = ..., max_chart_area: float = ...,
                  max_boundary_length: float = ...,
                  texels_per_unit: float = ...,
                  seams: Optional[ArrayLike] = ...) -> Dict[str, Any]: ...
def check_atlas(surface: TriangulatedSurface3D,
                corner_uv: ArrayLike) -> Dict[str, Any]: ...

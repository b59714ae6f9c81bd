"""Types of tessaplan_py_atlas (bindings/python): the texture atlas and its
exact check. Their dicts are described by tessaplan.AtlasResult and
tessaplan.AtlasCheck."""

from typing import Any, Dict, Optional

import numpy
from numpy.typing import ArrayLike, NDArray

from velmora_py_mesh import TriangulatedSurface3D

DEFAULT_OPTIONS: Dict[str, Any]

def compute_atlas(surface: TriangulatedSurface3D, max_distortion: float = ...,
                  padding: float = ..., resolution: int = ...,
                  rotate: bool = ..., max_chart_area: float = ...,
                  max_boundary_length: float = ...,
                  texels_per_unit: float = ...,
                  seams: Optional[ArrayLike] = ...,
                  charts_from_uv: Optional[ArrayLike] = ...) -> Dict[str, Any]: ...
def seam_edges(surface: TriangulatedSurface3D,
               corner_uv: ArrayLike) -> NDArray[numpy.int64]: ...
def check_atlas(surface: TriangulatedSurface3D,
                corner_uv: ArrayLike) -> Dict[str, Any]: ...

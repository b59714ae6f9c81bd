"""Types of tessaplan_py_surface (bindings/python): the version, the error
classes, the least squares conformal map and the packing of its pieces. A
str is accepted wherever a StringView is expected."""

from typing import Tuple, Union

import numpy
from numpy.typing import ArrayLike, NDArray

from velmora_py_mesh import (StringView, TriangulatedSurface2D,
                             TriangulatedSurface3D)

__version__: str

class TessaplanError(RuntimeError): ...
class InvalidInputError(TessaplanError, ValueError): ...
class FlatteningError(InvalidInputError): ...

def convert_surface3d_into_2d(surface: TriangulatedSurface3D,
                              name: Union[str, StringView],
                              /) -> TriangulatedSurface2D: ...
def compute_LSCM_parameterization(surface: TriangulatedSurface3D,
                                  name: Union[str, StringView],
                                  /) -> None: ...
def compute_LSCM_map(
        surface: TriangulatedSurface3D) -> NDArray[numpy.float64]: ...
def pack_parameterization_pieces(
        surface: TriangulatedSurface3D,
        attribute_name: Union[str, StringView]) -> float: ...
def pack_pieces(surface: TriangulatedSurface3D, uv: ArrayLike
                ) -> Tuple[NDArray[numpy.float64], float]: ...
